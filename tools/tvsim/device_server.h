#pragma once
// The device side of the ADB transport over TCP: accepts the adb server's
// connections, answers its CNXN (and AUTH, when asked to), and serves the
// shell services from the Television. Every connection has a thread of its
// own; a connection that breaks the protocol is dropped alone.
#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "television.h"

namespace tvsim {

enum class AuthMode {
  None,  // CNXN is answered with CNXN at once
  Any,   // AUTH TOKEN first; any signature or public key is accepted
  Deny,  // AUTH TOKEN, and the device stays unauthorized
};

struct ServerOptions {
  std::string address = "127.0.0.2";
  int port = 5555;    // 0: any free port
  int latencyMs = 0;  // delay before every message sent
  AuthMode auth = AuthMode::None;
  bool verbose = false;  // log connections, services and dropped peers to stderr
};

// The largest payload this device accepts: 4096 before Android 7, 256 KiB from
// Android 7 on.
uint32_t DeviceMaxPayload(int android);

// True for an IPv4 address in 127.0.0.0/8 (or "localhost").
bool IsLoopbackAddress(const std::string& address);

class DeviceServer {
 public:
  DeviceServer(ServerOptions options, Television& tv);
  ~DeviceServer();
  DeviceServer(const DeviceServer&) = delete;
  DeviceServer& operator=(const DeviceServer&) = delete;

  // Binds and listens. False with `error` set when that fails (or the
  // address is not a loopback address).
  bool Listen(std::string* error);
  int Port() const { return port_; }

  // Serves connections until Stop; then ends every connection and returns.
  void Run();
  // Safe from any thread.
  void Stop();

 private:
  struct Worker {
    std::thread thread;
    std::atomic<bool> done{false};
  };
  void ReapFinished(bool all);

  ServerOptions options_;
  Television& tv_;
  int listenFd_ = -1;
  int wakePipe_[2] = {-1, -1};
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::mutex mu_;
  std::set<int> openFds_;  // connections still open, to be shut down on Stop
  std::list<std::unique_ptr<Worker>> workers_;
};

}  // namespace tvsim
