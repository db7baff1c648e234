// tvsim: a simulated Android TV that adb can connect to over TCP on a
// loopback address. See --help.
#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "device_server.h"
#include "television.h"

namespace {

constexpr char kUsage[] =
    "usage: tvsim [--listen ADDR] [--port N] [--state FILE] [--latency-ms N]\n"
    "             [--android 6|7] [--auth none|any|deny] [--verbose]\n"
    "\n"
    "  --listen ADDR     loopback address to listen on (default 127.0.0.2)\n"
    "  --port N          TCP port (default 5555; 0 picks a free one)\n"
    "  --state FILE      JSON state: loaded when present, else written with the\n"
    "                    default TV; rewritten after every change\n"
    "  --latency-ms N    delay before every message sent\n"
    "  --android 6|7     6: plain shell on a pseudo-terminal; 7 (default): shell\n"
    "                    protocol v2 and the cmd tool\n"
    "  --auth MODE       none (default), any (AUTH, any key accepted),\n"
    "                    deny (AUTH, stays unauthorized)\n"
    "  --verbose         log connections and services to standard error\n";

bool ParseInt(const char* text, int min, int max, int& out) {
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text, &end, 10);
  if (errno || !end || *end || end == text || v < min || v > max) return false;
  out = static_cast<int>(v);
  return true;
}

int Usage(const std::string& problem) {
  std::fprintf(stderr, "tvsim: %s\n%s", problem.c_str(), kUsage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  tvsim::ServerOptions options;
  std::string statePath;
  int android = 7;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--verbose") {
      options.verbose = true;
      continue;
    }
    const char* v = value();
    if (!v) return Usage(arg + " needs a value");
    if (arg == "--listen") {
      options.address = v;
    } else if (arg == "--port") {
      if (!ParseInt(v, 0, 65535, options.port)) return Usage("bad port: " + std::string(v));
    } else if (arg == "--state") {
      statePath = v;
    } else if (arg == "--latency-ms") {
      if (!ParseInt(v, 0, 60000, options.latencyMs)) return Usage("bad latency: " + std::string(v));
    } else if (arg == "--android") {
      if (!ParseInt(v, 6, 7, android)) return Usage("--android takes 6 or 7");
    } else if (arg == "--auth") {
      const std::string mode = v;
      if (mode == "none")
        options.auth = tvsim::AuthMode::None;
      else if (mode == "any")
        options.auth = tvsim::AuthMode::Any;
      else if (mode == "deny")
        options.auth = tvsim::AuthMode::Deny;
      else
        return Usage("--auth takes none, any or deny");
    } else {
      return Usage("unknown option " + arg);
    }
  }
  if (!tvsim::IsLoopbackAddress(options.address)) {
    std::fprintf(
        stderr,
        "tvsim: refusing to listen on %s: only loopback addresses (127.0.0.0/8) are allowed\n",
        options.address.c_str());
    return 2;
  }

  // Signals are taken by sigwait below; every thread inherits the mask.
  signal(SIGPIPE, SIG_IGN);
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  tvsim::Television tv(tvsim::DefaultTv(), android, statePath);
  std::string error;
  if (!tv.Open(&error)) {
    std::fprintf(stderr, "tvsim: %s\n", error.c_str());
    return 1;
  }
  tvsim::DeviceServer server(options, tv);
  if (!server.Listen(&error)) {
    std::fprintf(stderr, "tvsim: %s\n", error.c_str());
    return 1;
  }
  std::printf("tvsim listening on %s:%d (android %d, auth %s)\n",
              options.address == "localhost" ? "127.0.0.1" : options.address.c_str(), server.Port(),
              android,
              options.auth == tvsim::AuthMode::None  ? "none"
              : options.auth == tvsim::AuthMode::Any ? "any"
                                                     : "deny");
  std::fflush(stdout);

  std::thread serving([&] { server.Run(); });
  int sig = 0;
  sigwait(&stopSignals, &sig);
  server.Stop();
  serving.join();
  return 0;
}
