#include "shell_packets.h"

namespace tvsim {

std::string EncodeShellPacket(uint8_t id, std::string_view data) {
  std::string out;
  out.reserve(kShellHeaderSize + data.size());
  out.push_back(static_cast<char>(id));
  const auto n = static_cast<uint32_t>(data.size());
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((n >> (8 * i)) & 0xff));
  out.append(data);
  return out;
}

bool ShellPacketReader::Next(Packet& packet) {
  if (broken_ || buffer_.size() < kShellHeaderSize) return false;
  const auto* p = reinterpret_cast<const unsigned char*>(buffer_.data());
  const uint32_t length = static_cast<uint32_t>(p[1]) | static_cast<uint32_t>(p[2]) << 8 |
                          static_cast<uint32_t>(p[3]) << 16 | static_cast<uint32_t>(p[4]) << 24;
  if (length > maxLength_) {
    broken_ = true;
    return false;
  }
  if (buffer_.size() < kShellHeaderSize + length) return false;
  packet.id = p[0];
  packet.data.assign(buffer_, kShellHeaderSize, length);
  buffer_.erase(0, kShellHeaderSize + length);
  return true;
}

}  // namespace tvsim
