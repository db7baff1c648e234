#pragma once
// Messages of the ADB transport: a 24-byte little-endian header
// (command, arg0, arg1, data_length, data_check, magic) and a payload of
// data_length bytes. magic is command ^ 0xffffffff; data_check is the sum of
// the payload bytes (protocol version 0x01000000; from 0x01000001 on it may be
// 0).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tvsim {

constexpr uint32_t kCnxn = 0x4e584e43;
constexpr uint32_t kAuth = 0x48545541;
constexpr uint32_t kOpen = 0x4e45504f;
constexpr uint32_t kOkay = 0x59414b4f;
constexpr uint32_t kClse = 0x45534c43;
constexpr uint32_t kWrte = 0x45545257;

// The protocol version this device speaks, and the first one that lets the
// sender leave data_check at 0.
constexpr uint32_t kVersion = 0x01000000;
constexpr uint32_t kVersionSkipChecksum = 0x01000001;

// AUTH types.
constexpr uint32_t kAuthToken = 1;
constexpr uint32_t kAuthSignature = 2;
constexpr uint32_t kAuthPublicKey = 3;

constexpr std::size_t kHeaderSize = 24;

struct Header {
  uint32_t command = 0;
  uint32_t arg0 = 0;
  uint32_t arg1 = 0;
  uint32_t dataLength = 0;
  uint32_t dataCheck = 0;
  uint32_t magic = 0;
};

struct Message {
  Header header;
  std::string payload;
};

// Sum of the payload bytes, as unsigned bytes, modulo 2^32.
uint32_t Checksum(std::string_view payload);

// Header and payload as one block of bytes, ready for a single write.
// `withChecksum` false leaves data_check at 0.
std::string EncodeMessage(uint32_t command, uint32_t arg0, uint32_t arg1, std::string_view payload,
                          bool withChecksum = true);

// Reads a header from 24 bytes.
Header DecodeHeader(const unsigned char* bytes);

enum class HeaderProblem {
  None,
  BadMagic,        // magic is not command ^ 0xffffffff
  UnknownCommand,  // not one of the six commands above
  TooLong,         // payload longer than the receiver accepts
};

HeaderProblem CheckHeader(const Header& header, uint32_t maxPayload);

// "CNXN", "OKAY", ... or the value in hex for anything else.
std::string CommandName(uint32_t command);

}  // namespace tvsim
