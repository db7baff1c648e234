#include "device_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <random>

#include "adb_wire.h"
#include "shell_packets.h"

namespace tvsim {
namespace {

// A peer announcing less than this cannot take our CNXN.
constexpr uint32_t kSmallestPeerPayload = 256;

std::string Printable(std::string_view s) {
  std::string out;
  for (char c : s) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u < 0x7f) {
      out.push_back(c);
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", u);
      out += buf;
    }
  }
  return out;
}

std::string ToCrlf(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (char c : text) {
    if (c == '\n') out.push_back('\r');
    out.push_back(c);
  }
  return out;
}

// One connection from an adb server.
class Session {
 public:
  Session(int fd, const ServerOptions& options, Television& tv, std::string peer)
      : fd_(fd),
        options_(options),
        tv_(tv),
        peer_(std::move(peer)),
        ourMax_(DeviceMaxPayload(tv.Android())) {}

  void Run() {
    Log("connected");
    Message m;
    while (ReadMessage(m)) {
      if (!Handle(m)) break;
    }
    Log("disconnected" + (why_.empty() ? std::string() : " (" + why_ + ")"));
  }

 private:
  struct Stream {
    uint32_t local = 0;
    uint32_t remote = 0;
    std::deque<std::string> chunks;  // still to send, each within the payload limit
    bool awaitingOkay = false;
    bool shellV2 = false;
    ShellPacketReader stdinReader;
  };

  void Log(const std::string& what) {
    if (options_.verbose) std::fprintf(stderr, "tvsim: %s: %s\n", peer_.c_str(), what.c_str());
  }

  bool Fail(const std::string& why) {
    why_ = why;
    return false;
  }

  bool ReadExact(void* buf, std::size_t size) {
    auto* p = static_cast<char*>(buf);
    std::size_t done = 0;
    while (done < size) {
      const ssize_t n = recv(fd_, p + done, size - done, 0);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      done += static_cast<std::size_t>(n);
      AckAtOnce();
    }
    return true;
  }

  // The adb server writes a header and its payload in two writes without
  // TCP_NODELAY, so the payload waits until the header is acknowledged.
  // Acknowledge at once rather than after the delayed-ACK timer; the kernel
  // falls back to delayed ACKs after reads and writes, hence after each.
  void AckAtOnce() {
    const int one = 1;
    setsockopt(fd_, IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
  }

  bool ReadMessage(Message& m) {
    unsigned char raw[kHeaderSize];
    if (!ReadExact(raw, sizeof raw)) return Fail("closed by the peer");
    m.header = DecodeHeader(raw);
    switch (CheckHeader(m.header, ourMax_)) {
      case HeaderProblem::None:
        break;
      case HeaderProblem::BadMagic:
        return Fail("bad magic");
      case HeaderProblem::UnknownCommand:
        return Fail("unknown command " + CommandName(m.header.command));
      case HeaderProblem::TooLong:
        return Fail("payload of " + std::to_string(m.header.dataLength) +
                    " bytes is over the limit");
    }
    m.payload.assign(m.header.dataLength, '\0');
    if (m.header.dataLength && !ReadExact(m.payload.data(), m.payload.size()))
      return Fail("closed in the middle of a message");
    // Checksums may be left out only by a peer that announced a version that
    // skips them, and only once both sides run it; this device does not.
    if (m.header.dataCheck != Checksum(m.payload)) return Fail("bad data checksum");
    return true;
  }

  bool Send(uint32_t command, uint32_t arg0, uint32_t arg1, std::string_view payload = {}) {
    if (options_.latencyMs > 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(options_.latencyMs));
    // Header and payload leave in one write.
    const std::string bytes = EncodeMessage(command, arg0, arg1, payload);
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return Fail("cannot write to the peer");
      done += static_cast<std::size_t>(n);
    }
    AckAtOnce();
    return true;
  }

  bool SendConnect() {
    online_ = true;
    Log("online, max payload " + std::to_string(sendMax_));
    return Send(kCnxn, kVersion, sendMax_, tv_.Banner());
  }

  bool SendAuthToken() {
    std::string token(20, '\0');
    std::random_device rd;
    for (auto& c : token) c = static_cast<char>(rd() & 0xff);
    return Send(kAuth, kAuthToken, 0, token);
  }

  bool Handle(const Message& m) {
    const Header& h = m.header;
    if (h.command == kCnxn) return OnConnect(h);
    if (h.command == kAuth) return OnAuth(h);
    // Nothing else counts before the device is online.
    if (!online_) return true;
    switch (h.command) {
      case kOpen:
        return OnOpen(h, m.payload);
      case kOkay:
        return OnOkay(h);
      case kWrte:
        return OnWrite(h, m.payload);
      case kClse:
        // The peer's stream is gone; nothing is answered. A CLSE for a
        // stream this side already closed finds nothing.
        streams_.erase(h.arg1);
        return true;
      default:
        return true;
    }
  }

  bool OnConnect(const Header& h) {
    if ((h.arg0 & 0xff000000u) != (kVersion & 0xff000000u)) return Fail("unknown protocol version");
    if (h.arg1 < kSmallestPeerPayload) return Fail("peer's max payload is too small");
    // A new CNXN starts the connection over.
    streams_.clear();
    online_ = false;
    sendMax_ = std::min(h.arg1, ourMax_);
    if (options_.auth == AuthMode::None) return SendConnect();
    return SendAuthToken();
  }

  bool OnAuth(const Header& h) {
    if (online_ || options_.auth == AuthMode::None) return true;
    if (h.arg0 == kAuthSignature) {
      if (options_.auth == AuthMode::Any) return SendConnect();
      Log("signature refused");
      return SendAuthToken();
    }
    if (h.arg0 == kAuthPublicKey) {
      if (options_.auth == AuthMode::Any) return SendConnect();
      // Waits for somebody to allow the key on the TV, which never happens.
      Log("public key offered; the device stays unauthorized");
      return true;
    }
    return true;
  }

  bool OnOpen(const Header& h, const std::string& payload) {
    std::string service = payload;
    if (const auto nul = service.find('\0'); nul != std::string::npos) service.resize(nul);
    Log("open '" + Printable(service) + "'");
    const uint32_t remote = h.arg0;
    if (remote == 0) return true;

    bool shell = false, v2 = false, pty = false;
    std::string command;
    if (service.rfind("shell", 0) == 0 && service.size() > 5 &&
        (service[5] == ':' || service[5] == ',')) {
      const auto colon = service.find(':');
      if (colon != std::string::npos) {
        shell = true;
        command = service.substr(colon + 1);
        std::string args = service.substr(5, colon - 5);
        bool raw = false;
        std::size_t start = 0;
        while (start <= args.size()) {
          std::size_t comma = args.find(',', start);
          if (comma == std::string::npos) comma = args.size();
          const std::string arg = args.substr(start, comma - start);
          if (arg == "v2")
            v2 = true;
          else if (arg == "pty")
            pty = true;
          else if (arg == "raw")
            raw = true;
          start = comma + 1;
        }
        const bool android7 = tv_.Android() >= 7;
        if (v2 && !android7) shell = false;  // the shell protocol came with Android 7
        // Without the shell protocol, Android 6 runs every command on a
        // pseudo-terminal; Android 7 only an interactive one.
        if (!v2)
          pty = !android7;
        else if (!pty && !raw)
          pty = command.empty();
      }
    }
    // Interactive shells are not simulated.
    if (!shell || command.empty()) {
      Log("refused '" + Printable(service) + "'");
      return Send(kClse, 0, remote);
    }

    const uint32_t local = nextLocalId_++;
    Stream& s = streams_[local];
    s.local = local;
    s.remote = remote;
    s.shellV2 = v2;
    const ShellResult result = tv_.Execute(command);
    std::string bytes;
    if (v2) {
      // Each shell packet fits in one WRTE.
      const std::size_t maxData = sendMax_ - kShellHeaderSize;
      auto add = [&](uint8_t id, const std::string& text) {
        for (std::size_t off = 0; off < text.size(); off += maxData)
          bytes += EncodeShellPacket(id, std::string_view(text).substr(off, maxData));
      };
      if (pty) {
        add(kShellStdout, ToCrlf(result.Merged()));
      } else {
        for (const auto& piece : result.pieces)
          add(piece.fd == 2 ? kShellStderr : kShellStdout, piece.text);
      }
      bytes +=
          EncodeShellPacket(kShellExit, std::string(1, static_cast<char>(result.exitCode & 0xff)));
    } else {
      bytes = pty ? ToCrlf(result.Merged()) : result.Merged();
    }
    for (std::size_t off = 0; off < bytes.size(); off += sendMax_)
      s.chunks.push_back(bytes.substr(off, sendMax_));
    if (!Send(kOkay, local, remote)) return false;
    return SendNext(local);
  }

  // Sends the stream's next chunk, or closes it when all has gone.
  bool SendNext(uint32_t local) {
    auto it = streams_.find(local);
    if (it == streams_.end()) return true;
    Stream& s = it->second;
    if (s.awaitingOkay) return true;
    if (s.chunks.empty()) {
      const uint32_t remote = s.remote;
      streams_.erase(it);
      return Send(kClse, local, remote);
    }
    const std::string chunk = std::move(s.chunks.front());
    s.chunks.pop_front();
    s.awaitingOkay = true;
    return Send(kWrte, s.local, s.remote, chunk);
  }

  bool OnOkay(const Header& h) {
    auto it = streams_.find(h.arg1);
    if (it == streams_.end()) return true;
    it->second.awaitingOkay = false;
    return SendNext(h.arg1);
  }

  bool OnWrite(const Header& h, const std::string& payload) {
    if (h.arg0 == 0 || h.arg1 == 0) return true;
    auto it = streams_.find(h.arg1);
    if (it != streams_.end() && it->second.shellV2) {
      // Standard input, window sizes and the close of standard input: the
      // simulated commands read none of it.
      it->second.stdinReader.Feed(payload);
      ShellPacketReader::Packet packet;
      while (it->second.stdinReader.Next(packet)) {
      }
    }
    return Send(kOkay, h.arg1, h.arg0);
  }

  int fd_;
  const ServerOptions& options_;
  Television& tv_;
  std::string peer_;
  const uint32_t ourMax_;
  uint32_t sendMax_ = 4096;
  bool online_ = false;
  std::string why_;
  uint32_t nextLocalId_ = 1;  // never reused on this connection
  std::map<uint32_t, Stream> streams_;
};

}  // namespace

uint32_t DeviceMaxPayload(int android) { return android >= 7 ? 256 * 1024 : 4096; }

bool IsLoopbackAddress(const std::string& address) {
  if (address == "localhost") return true;
  in_addr a{};
  if (inet_pton(AF_INET, address.c_str(), &a) != 1) return false;
  return (ntohl(a.s_addr) >> 24) == 127;
}

DeviceServer::DeviceServer(ServerOptions options, Television& tv)
    : options_(std::move(options)), tv_(tv) {
  if (options_.address == "localhost") options_.address = "127.0.0.1";
}

DeviceServer::~DeviceServer() {
  Stop();
  ReapFinished(true);
  if (listenFd_ >= 0) close(listenFd_);
  for (int fd : wakePipe_)
    if (fd >= 0) close(fd);
}

bool DeviceServer::Listen(std::string* error) {
  auto fail = [&](const std::string& what) {
    if (error) *error = what;
    return false;
  };
  if (!IsLoopbackAddress(options_.address))
    return fail("refusing to listen on " + options_.address +
                ": only loopback addresses (127.0.0.0/8) are allowed");
  if (pipe2(wakePipe_, O_CLOEXEC | O_NONBLOCK) != 0)
    return fail(std::string("pipe: ") + std::strerror(errno));
  listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listenFd_ < 0) return fail(std::string("socket: ") + std::strerror(errno));
  const int one = 1;
  setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(options_.port));
  inet_pton(AF_INET, options_.address.c_str(), &addr.sin_addr);
  if (bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
    return fail("cannot listen on " + options_.address + ":" + std::to_string(options_.port) +
                ": " + std::strerror(errno));
  if (listen(listenFd_, 64) != 0) return fail(std::string("listen: ") + std::strerror(errno));
  socklen_t len = sizeof addr;
  getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
  port_ = ntohs(addr.sin_port);
  return true;
}

void DeviceServer::ReapFinished(bool all) {
  std::list<std::unique_ptr<Worker>> finished;
  {
    std::lock_guard<std::mutex> lock(mu_);
    for (auto it = workers_.begin(); it != workers_.end();) {
      if (all || (*it)->done) {
        finished.push_back(std::move(*it));
        it = workers_.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (auto& w : finished)
    if (w->thread.joinable()) w->thread.join();
}

void DeviceServer::Run() {
  while (!stopping_) {
    pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
    const int n = poll(fds, 2, 1000);
    ReapFinished(false);
    if (n < 0 && errno != EINTR) break;
    if (stopping_) break;
    if (n <= 0 || !(fds[0].revents & POLLIN)) continue;
    sockaddr_in peer{};
    socklen_t len = sizeof peer;
    const int fd = accept4(listenFd_, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_CLOEXEC);
    if (fd < 0) continue;
    // Replies go out at once instead of waiting for the peer's delayed ACK.
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    char ip[INET_ADDRSTRLEN] = "?";
    inet_ntop(AF_INET, &peer.sin_addr, ip, sizeof ip);
    const std::string name = std::string(ip) + ":" + std::to_string(ntohs(peer.sin_port));

    std::lock_guard<std::mutex> lock(mu_);
    if (stopping_) {
      close(fd);
      break;
    }
    openFds_.insert(fd);
    auto worker = std::make_unique<Worker>();
    Worker* w = worker.get();
    w->thread = std::thread([this, fd, name, w] {
      Session(fd, options_, tv_, name).Run();
      {
        std::lock_guard<std::mutex> lock(mu_);
        openFds_.erase(fd);
        close(fd);
      }
      w->done = true;
    });
    workers_.push_back(std::move(worker));
  }
  Stop();
  ReapFinished(true);
}

void DeviceServer::Stop() {
  stopping_ = true;
  if (wakePipe_[1] >= 0) {
    const char byte = 0;
    [[maybe_unused]] ssize_t ignored = write(wakePipe_[1], &byte, 1);
  }
  std::lock_guard<std::mutex> lock(mu_);
  for (int fd : openFds_) shutdown(fd, SHUT_RDWR);
}

}  // namespace tvsim
