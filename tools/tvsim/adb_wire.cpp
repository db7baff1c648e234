#include "adb_wire.h"

#include <cstdio>

namespace tvsim {
namespace {

void PutLe32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
}

uint32_t GetLe32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace

uint32_t Checksum(std::string_view payload) {
  uint32_t sum = 0;
  for (char c : payload) sum += static_cast<unsigned char>(c);
  return sum;
}

std::string EncodeMessage(uint32_t command, uint32_t arg0, uint32_t arg1, std::string_view payload,
                          bool withChecksum) {
  std::string out;
  out.reserve(kHeaderSize + payload.size());
  PutLe32(out, command);
  PutLe32(out, arg0);
  PutLe32(out, arg1);
  PutLe32(out, static_cast<uint32_t>(payload.size()));
  PutLe32(out, withChecksum ? Checksum(payload) : 0);
  PutLe32(out, command ^ 0xffffffffu);
  out.append(payload);
  return out;
}

Header DecodeHeader(const unsigned char* bytes) {
  Header h;
  h.command = GetLe32(bytes);
  h.arg0 = GetLe32(bytes + 4);
  h.arg1 = GetLe32(bytes + 8);
  h.dataLength = GetLe32(bytes + 12);
  h.dataCheck = GetLe32(bytes + 16);
  h.magic = GetLe32(bytes + 20);
  return h;
}

HeaderProblem CheckHeader(const Header& header, uint32_t maxPayload) {
  if (header.magic != (header.command ^ 0xffffffffu)) return HeaderProblem::BadMagic;
  switch (header.command) {
    case kCnxn:
    case kAuth:
    case kOpen:
    case kOkay:
    case kClse:
    case kWrte:
      break;
    default:
      return HeaderProblem::UnknownCommand;
  }
  if (header.dataLength > maxPayload) return HeaderProblem::TooLong;
  return HeaderProblem::None;
}

std::string CommandName(uint32_t command) {
  switch (command) {
    case kCnxn:
      return "CNXN";
    case kAuth:
      return "AUTH";
    case kOpen:
      return "OPEN";
    case kOkay:
      return "OKAY";
    case kClse:
      return "CLSE";
    case kWrte:
      return "WRTE";
    default: {
      char buf[16];
      std::snprintf(buf, sizeof buf, "0x%08x", command);
      return buf;
    }
  }
}

}  // namespace tvsim
