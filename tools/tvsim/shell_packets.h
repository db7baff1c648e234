#pragma once
// The shell protocol (service "shell,v2,..."): inside the stream, every
// packet is a 1-byte id, a 4-byte little-endian length and that many bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tvsim {

enum ShellId : uint8_t {
  kShellStdin = 0,
  kShellStdout = 1,
  kShellStderr = 2,
  kShellExit = 3,
  kShellCloseStdin = 4,
  kShellWindowSize = 5,
};

constexpr std::size_t kShellHeaderSize = 5;

std::string EncodeShellPacket(uint8_t id, std::string_view data);

// Takes the stream as it arrives, in pieces cut anywhere, and hands out
// whole packets.
class ShellPacketReader {
 public:
  struct Packet {
    uint8_t id = 0;
    std::string data;
  };

  // `maxLength` bounds a single packet's data; a longer announced length
  // marks the stream broken.
  explicit ShellPacketReader(std::size_t maxLength = 1 << 20) : maxLength_(maxLength) {}

  void Feed(std::string_view bytes) { buffer_.append(bytes); }
  // The next whole packet, if one has arrived.
  bool Next(Packet& packet);
  bool Broken() const { return broken_; }

 private:
  std::size_t maxLength_;
  std::string buffer_;
  bool broken_ = false;
};

}  // namespace tvsim
