#pragma once
// A bare TCP client speaking the ADB transport by hand, to drive tvsim the
// way the adb server does, or the way a broken peer would.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <string_view>

#include "adb_wire.h"

namespace tvsim::testing {

class RawClient {
 public:
  RawClient() = default;
  ~RawClient() { Close(); }
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;

  bool Connect(const std::string& address, int port) {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return false;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, address.c_str(), &addr.sin_addr);
    if (connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return false;
    const int one = 1;
    setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return true;
  }

  void Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }

  bool SendBytes(std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
      if (n <= 0) return false;
      done += static_cast<std::size_t>(n);
    }
    return true;
  }

  bool Send(uint32_t command, uint32_t arg0, uint32_t arg1, std::string_view payload = {}) {
    return SendBytes(EncodeMessage(command, arg0, arg1, payload));
  }

  // The adb server's greeting, with the max payload it accepts.
  bool SendConnect(uint32_t maxPayload = 1024 * 1024, uint32_t version = kVersionSkipChecksum) {
    return Send(kCnxn, version, maxPayload,
                "host::features=shell_v2,cmd,stat_v2,ls_v2,fixed_push_mkdir,apex,abb,"
                "fixed_push_symlink_timestamp,abb_exec,remount_shell");
  }

  // Reads one whole message; false on timeout, close or a bad header.
  bool Read(Message& m, int timeoutMs = 3000) {
    unsigned char raw[kHeaderSize];
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    if (!ReadExact(raw, sizeof raw, deadline)) return false;
    m.header = DecodeHeader(raw);
    if (m.header.magic != (m.header.command ^ 0xffffffffu)) return false;
    if (m.header.dataLength > 16 * 1024 * 1024) return false;
    m.payload.assign(m.header.dataLength, '\0');
    return m.header.dataLength == 0 || ReadExact(m.payload.data(), m.payload.size(), deadline);
  }

  // True when nothing arrives for `ms` milliseconds (and the peer stays).
  bool Quiet(int ms) {
    pollfd p{fd_, POLLIN, 0};
    return poll(&p, 1, ms) == 0;
  }

  // True when the peer closes the connection within `ms` milliseconds
  // (anything it still sends is skipped).
  bool ClosedByPeer(int ms = 3000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    char buf[4096];
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            deadline - std::chrono::steady_clock::now())
                            .count();
      if (left <= 0) return false;
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left)) <= 0) return false;
      const ssize_t n = recv(fd_, buf, sizeof buf, 0);
      if (n <= 0) return true;
    }
  }

  int fd() const { return fd_; }

 private:
  bool ReadExact(void* buf, std::size_t size, std::chrono::steady_clock::time_point deadline) {
    auto* p = static_cast<char*>(buf);
    std::size_t done = 0;
    while (done < size) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            deadline - std::chrono::steady_clock::now())
                            .count();
      if (left <= 0) return false;
      pollfd pfd{fd_, POLLIN, 0};
      if (poll(&pfd, 1, static_cast<int>(left)) <= 0) return false;
      const ssize_t n = recv(fd_, p + done, size - done, 0);
      if (n <= 0) return false;
      done += static_cast<std::size_t>(n);
    }
    return true;
  }

  int fd_ = -1;
};

}  // namespace tvsim::testing
