// The device side of the transport, driven over raw sockets: the handshake,
// authentication, shell streams with their flow control, and peers that
// break the protocol (which lose their own connection only).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "device_server.h"
#include "raw_client.h"
#include "shell_packets.h"
#include "television.h"

using namespace tvsim;
using tvsim::testing::RawClient;

namespace {

std::string Crlf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out.push_back('\r');
    out.push_back(c);
  }
  return out;
}

struct StreamResult {
  bool opened = false;   // OKAY came back
  bool refused = false;  // CLSE(0, id) came back instead
  bool closed = false;   // the device closed the stream after its data
  uint32_t local = 0;
  std::string data;
  std::vector<std::size_t> writeSizes;
};

class ServerTest : public ::testing::Test {
 protected:
  void Start(int android, AuthMode auth = AuthMode::None, int latencyMs = 0) {
    tv_ = std::make_unique<Television>(DefaultTv(), android, "");
    ServerOptions options;
    options.address = "127.0.0.1";
    options.port = 0;
    options.auth = auth;
    options.latencyMs = latencyMs;
    server_ = std::make_unique<DeviceServer>(options, *tv_);
    std::string error;
    ASSERT_TRUE(server_->Listen(&error)) << error;
    thread_ = std::thread([this] { server_->Run(); });
  }
  void TearDown() override {
    if (server_) server_->Stop();
    if (thread_.joinable()) thread_.join();
  }

  std::unique_ptr<RawClient> Connect() {
    auto c = std::make_unique<RawClient>();
    EXPECT_TRUE(c->Connect("127.0.0.1", server_->Port()));
    return c;
  }

  // Connects and completes the handshake; the device's CNXN in `reply`.
  std::unique_ptr<RawClient> Online(uint32_t maxPayload = 1024 * 1024, Message* reply = nullptr) {
    auto c = Connect();
    EXPECT_TRUE(c->SendConnect(maxPayload));
    Message m;
    EXPECT_TRUE(c->Read(m));
    EXPECT_EQ(m.header.command, kCnxn);
    if (reply) *reply = m;
    return c;
  }

  // Opens `service` as stream `remote` and reads it to its end, answering
  // every WRTE with OKAY as the adb server does.
  StreamResult Shell(RawClient& c, const std::string& service, uint32_t remote = 7) {
    StreamResult r;
    EXPECT_TRUE(c.Send(kOpen, remote, 0, service + std::string(1, '\0')));
    Message m;
    while (c.Read(m)) {
      const Header& h = m.header;
      if (h.command == kClse && h.arg0 == 0 && h.arg1 == remote && !r.opened) {
        r.refused = true;
        break;
      }
      if (h.command == kOkay && h.arg1 == remote) {
        EXPECT_FALSE(r.opened);
        EXPECT_NE(h.arg0, 0u);
        r.opened = true;
        r.local = h.arg0;
      } else if (h.command == kWrte && r.opened && h.arg0 == r.local && h.arg1 == remote) {
        EXPECT_EQ(h.dataCheck, Checksum(m.payload));
        r.data += m.payload;
        r.writeSizes.push_back(m.payload.size());
        EXPECT_TRUE(c.Send(kOkay, remote, r.local));
      } else if (h.command == kClse && r.opened && h.arg0 == r.local && h.arg1 == remote) {
        r.closed = true;
        break;
      } else {
        ADD_FAILURE() << "unexpected " << CommandName(h.command) << " " << h.arg0 << " " << h.arg1;
        break;
      }
    }
    return r;
  }

  // What the TV's shell answers to `line`, on a fresh default TV.
  ShellResult Expected(const std::string& line, int android) {
    TvState state = DefaultTv();
    return TvShell(state, android).Run(line);
  }

  std::unique_ptr<Television> tv_;
  std::unique_ptr<DeviceServer> server_;
  std::thread thread_;
};

struct Decoded {
  std::string out, err;
  int exit = -1;
  int exitPackets = 0;
};

Decoded DecodeShell(const std::string& data) {
  Decoded d;
  ShellPacketReader reader;
  reader.Feed(data);
  ShellPacketReader::Packet p;
  while (reader.Next(p)) {
    if (p.id == kShellStdout)
      d.out += p.data;
    else if (p.id == kShellStderr)
      d.err += p.data;
    else if (p.id == kShellExit && p.data.size() == 1) {
      d.exit = static_cast<unsigned char>(p.data[0]);
      ++d.exitPackets;
    } else
      ADD_FAILURE() << "packet id " << int(p.id);
  }
  return d;
}

}  // namespace

TEST_F(ServerTest, AnswersConnectWithVersionPayloadAndBanner) {
  const struct {
    int android;
    uint32_t peerMax;
    uint32_t expectedMax;
    const char* banner;
  } cases[] = {
      {7, 1024 * 1024, 256 * 1024,
       "device::ro.product.name=dangal;ro.product.model=MiTV4A;ro.product.device=dangal;features="
       "shell_v2,cmd"},
      {7, 4096, 4096,
       "device::ro.product.name=dangal;ro.product.model=MiTV4A;ro.product.device=dangal;features="
       "shell_v2,cmd"},
      {6, 1024 * 1024, 4096,
       "device::ro.product.name=dangal;ro.product.model=MiTV4A;ro.product.device=dangal;"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.android);
    TearDown();
    Start(c.android);
    Message m;
    auto client = Online(c.peerMax, &m);
    EXPECT_EQ(m.header.arg0, kVersion);
    EXPECT_EQ(m.header.arg1, c.expectedMax);
    EXPECT_EQ(m.payload, c.banner);
    EXPECT_EQ(m.header.dataCheck, Checksum(m.payload));  // required at version 0x01000000
  }
}

TEST_F(ServerTest, ShellProtocolCarriesStdoutStderrAndExitCode) {
  Start(7);
  auto c = Online();
  const struct {
    const char* service;
    const char* command;
  } cases[] = {
      {"shell,v2,TERM=xterm-256color,raw:", "pm list packages"},
      {"shell,v2,raw:", "echo hi; nosuch"},
      {"shell,v2,raw:", "pm uninstall com.no.such"},
      {"shell,v2,TERM=dumb,raw:", "nosuch"},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.command);
    StreamResult r = Shell(*c, std::string(k.service) + k.command);
    ASSERT_TRUE(r.opened);
    EXPECT_TRUE(r.closed);
    const Decoded d = DecodeShell(r.data);
    const ShellResult want = Expected(k.command, 7);
    EXPECT_EQ(d.out, want.Stdout());
    EXPECT_EQ(d.err, want.Stderr());
    EXPECT_EQ(d.exit, want.exitCode);
    EXPECT_EQ(d.exitPackets, 1);
    EXPECT_EQ(d.out.find('\r'), std::string::npos);
  }
}

TEST_F(ServerTest, PlainShellMergesOutputWithTheLineEndsOfItsVersion) {
  for (int android : {6, 7}) {
    SCOPED_TRACE(android);
    TearDown();
    Start(android);
    auto c = Online();
    const std::string command = "echo a; nosuch; pm list packages -3";
    StreamResult r = Shell(*c, "shell:" + command);
    ASSERT_TRUE(r.opened);
    EXPECT_TRUE(r.closed);
    const std::string merged = Expected(command, android).Merged();
    // Android 6 runs it on a pseudo-terminal: CRLF, as the terminal writes.
    EXPECT_EQ(r.data, android == 6 ? Crlf(merged) : merged);
    EXPECT_EQ(r.data.rfind("a\r\n/system/bin/sh: nosuch: not found\r\npackage:", 0) == 0,
              android == 6);
  }
}

TEST_F(ServerTest, RefusesEveryOtherServiceWithClose) {
  for (int android : {6, 7}) {
    SCOPED_TRACE(android);
    TearDown();
    Start(android);
    auto c = Online();
    std::vector<std::string> refused = {
        "shell:",       "shell,v2,pty:", "sync:",     "exec:ls",  "reboot:", "tcpip:5555",
        "framebuffer:", "jdwp:123",      "shellx:ls", "remount:", ""};
    if (android == 6) refused.push_back("shell,v2,raw:echo x");  // no shell protocol before 7
    uint32_t id = 100;
    for (const auto& service : refused) {
      SCOPED_TRACE(service);
      StreamResult r = Shell(*c, service, ++id);
      EXPECT_TRUE(r.refused);
    }
    // The connection goes on serving.
    EXPECT_TRUE(Shell(*c, "shell:echo still here").closed);
  }
}

TEST_F(ServerTest, OneWriteInFlightAndNeverOverTheNegotiatedPayload) {
  const struct {
    int android;
    uint32_t peerMax;
    const char* service;
    std::size_t limit;
  } cases[] = {
      {6, 1024 * 1024, "shell:", 4096},
      {7, 1024, "shell,v2,raw:", 1024},
      {7, 1024 * 1024, "shell,v2,raw:", 256 * 1024},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(std::to_string(k.android) + " " + std::to_string(k.peerMax));
    TearDown();
    Start(k.android);
    auto c = Online(k.peerMax);
    // The first WRTE comes; nothing more until it is acknowledged.
    ASSERT_TRUE(c->Send(kOpen, 5, 0, std::string(k.service) + "ps -x; pm list packages -f -u"));
    Message okay, first;
    ASSERT_TRUE(c->Read(okay));
    ASSERT_EQ(okay.header.command, kOkay);
    ASSERT_TRUE(c->Read(first));
    ASSERT_EQ(first.header.command, kWrte);
    EXPECT_LE(first.payload.size(), k.limit);
    EXPECT_TRUE(c->Quiet(300));
    std::string data = first.payload;
    std::size_t writes = 1;
    ASSERT_TRUE(c->Send(kOkay, 5, okay.header.arg0));
    Message m;
    while (c->Read(m) && m.header.command == kWrte) {
      EXPECT_LE(m.payload.size(), k.limit);
      data += m.payload;
      ++writes;
      ASSERT_TRUE(c->Send(kOkay, 5, okay.header.arg0));
    }
    EXPECT_EQ(m.header.command, kClse);
    if (k.limit < 10000) {
      EXPECT_GT(writes, 2u);
    }
    const ShellResult want = Expected("ps -x; pm list packages -f -u", k.android);
    if (k.android == 6) {
      EXPECT_EQ(data, Crlf(want.Merged()));
    } else {
      EXPECT_EQ(DecodeShell(data).out, want.Stdout());
    }
  }
}

TEST_F(ServerTest, WritesAreAcknowledgedAndClosesEndStreamsQuietly) {
  Start(7);
  auto c = Online(1024);
  ASSERT_TRUE(c->Send(kOpen, 9, 0, "shell,v2,raw:ps -x"));
  Message okay, first;
  ASSERT_TRUE(c->Read(okay));
  ASSERT_TRUE(c->Read(first));
  ASSERT_EQ(first.header.command, kWrte);
  const uint32_t local = okay.header.arg0;

  // Standard input (and its close) is acknowledged like any WRTE.
  ASSERT_TRUE(c->Send(
      kWrte, 9, local,
      EncodeShellPacket(kShellStdin, "ignored\n") + EncodeShellPacket(kShellCloseStdin, "")));
  Message ack;
  ASSERT_TRUE(c->Read(ack));
  EXPECT_EQ(ack.header.command, kOkay);
  EXPECT_EQ(ack.header.arg0, local);
  EXPECT_EQ(ack.header.arg1, 9u);

  // The peer closes its end in the middle of the output: the device sends
  // nothing more for that stream and does not answer the CLSE.
  ASSERT_TRUE(c->Send(kClse, 9, local));
  ASSERT_TRUE(c->Send(kOkay, 9, local));  // a late OKAY for the gone stream
  EXPECT_TRUE(c->Quiet(300));
  // A second CLSE for it, and a CLSE for a stream that never was, are
  // ignored too.
  ASSERT_TRUE(c->Send(kClse, 9, local));
  ASSERT_TRUE(c->Send(kClse, 77, 12345));
  EXPECT_TRUE(c->Quiet(200));

  // New streams get new local ids.
  StreamResult a = Shell(*c, "shell,v2,raw:echo a", 10);
  StreamResult b = Shell(*c, "shell,v2,raw:echo b", 10);
  EXPECT_TRUE(a.closed);
  EXPECT_TRUE(b.closed);
  EXPECT_GT(a.local, local);
  EXPECT_GT(b.local, a.local);
  EXPECT_EQ(DecodeShell(b.data).out, "b\n");
}

TEST_F(ServerTest, StreamsOfOneConnectionInterleave) {
  Start(6);
  auto c = Online();
  // Two streams opened before either is read: each gets its own output.
  ASSERT_TRUE(c->Send(kOpen, 1, 0, std::string("shell:ps")));
  ASSERT_TRUE(c->Send(kOpen, 2, 0, std::string("shell:getprop ro.product.model")));
  std::map<uint32_t, uint32_t> localOf;
  std::map<uint32_t, std::string> data;
  int closed = 0;
  Message m;
  while (closed < 2 && c->Read(m)) {
    if (m.header.command == kOkay) localOf[m.header.arg1] = m.header.arg0;
    if (m.header.command == kWrte) {
      data[m.header.arg1] += m.payload;
      ASSERT_TRUE(c->Send(kOkay, m.header.arg1, m.header.arg0));
    }
    if (m.header.command == kClse) ++closed;
  }
  EXPECT_EQ(closed, 2);
  EXPECT_NE(localOf[1], localOf[2]);
  EXPECT_EQ(data[1], Crlf(Expected("ps", 6).Stdout()));
  EXPECT_EQ(data[2], "MiTV4A\r\n");
}

TEST_F(ServerTest, NothingCountsBeforeConnect) {
  Start(7);
  auto c = Connect();
  ASSERT_TRUE(c->Send(kOpen, 1, 0, "shell,v2,raw:echo early"));
  ASSERT_TRUE(c->Send(kWrte, 1, 1, "x"));
  EXPECT_TRUE(c->Quiet(200));
  ASSERT_TRUE(c->SendConnect());
  Message m;
  ASSERT_TRUE(c->Read(m));
  EXPECT_EQ(m.header.command, kCnxn);
  EXPECT_EQ(DecodeShell(Shell(*c, "shell,v2,raw:echo late").data).out, "late\n");
}

TEST_F(ServerTest, AuthenticationAcceptsAnyKeyOrStaysUnauthorized) {
  const struct {
    AuthMode mode;
    uint32_t answer;  // AUTH type the client sends after the first token
    bool online;
  } cases[] = {
      {AuthMode::Any, kAuthSignature, true},
      {AuthMode::Any, kAuthPublicKey, true},
      {AuthMode::Deny, kAuthSignature, false},
      {AuthMode::Deny, kAuthPublicKey, false},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(std::to_string(int(k.mode)) + "/" + std::to_string(k.answer));
    TearDown();
    Start(7, k.mode);
    auto c = Connect();
    ASSERT_TRUE(c->SendConnect());
    Message token;
    ASSERT_TRUE(c->Read(token));
    ASSERT_EQ(token.header.command, kAuth);
    EXPECT_EQ(token.header.arg0, kAuthToken);
    EXPECT_EQ(token.payload.size(), 20u);
    ASSERT_TRUE(c->Send(kAuth, k.answer, 0, std::string(256, '\x5a')));
    Message m;
    if (k.online) {
      ASSERT_TRUE(c->Read(m));
      EXPECT_EQ(m.header.command, kCnxn);
      EXPECT_EQ(DecodeShell(Shell(*c, "shell,v2,raw:echo in").data).out, "in\n");
      continue;
    }
    if (k.answer == kAuthSignature) {
      // A refused signature brings a new token, as for trying another key.
      ASSERT_TRUE(c->Read(m));
      EXPECT_EQ(m.header.command, kAuth);
      EXPECT_EQ(m.header.arg0, kAuthToken);
      EXPECT_NE(m.payload, token.payload);
      ASSERT_TRUE(c->Send(kAuth, kAuthPublicKey, 0, "QAAAAKs= adbkey\0"));
    }
    // Nobody confirms the key on the TV: no CNXN, and no stream opens.
    EXPECT_TRUE(c->Quiet(300));
    ASSERT_TRUE(c->Send(kOpen, 1, 0, "shell,v2,raw:echo x"));
    EXPECT_TRUE(c->Quiet(200));
  }
}

TEST_F(ServerTest, ABrokenPeerLosesOnlyItsOwnConnection) {
  Start(7);
  const uint32_t ourMax = DeviceMaxPayload(7);
  auto header = [](uint32_t cmd, uint32_t len, uint32_t check, uint32_t magic) {
    std::string h = EncodeMessage(cmd, 1, 0, "");
    auto put = [&](std::size_t at, uint32_t v) {
      for (int i = 0; i < 4; ++i) h[at + i] = static_cast<char>((v >> (8 * i)) & 0xff);
    };
    put(12, len);
    put(16, check);
    put(20, magic);
    return h;
  };
  const struct {
    const char* what;
    bool online;  // sends its garbage after the handshake
    std::string bytes;
  } cases[] = {
      {"bad magic", true, header(kOpen, 0, 0, kOpen)},
      {"bad magic before connect", false, header(kCnxn, 0, 0, 0x12345678)},
      {"unknown command", true, header(0x434e5953, 0, 0, 0x434e5953 ^ 0xffffffffu)},
      {"oversized length", true, header(kWrte, ourMax + 1, 0, kWrte ^ 0xffffffffu)},
      {"huge length", false, header(kCnxn, 0xfffffff0u, 0, kCnxn ^ 0xffffffffu)},
      {"bad checksum", true, header(kWrte, 3, 999, kWrte ^ 0xffffffffu) + "abc"},
      {"text garbage", false, std::string("GET / HTTP/1.1\r\nHost: tv\r\n\r\n")},
      {"binary garbage", true, std::string(4096, '\xa5')},
      {"tiny max payload", false, EncodeMessage(kCnxn, kVersion, 100, "host::")},
      {"unknown version", false, EncodeMessage(kCnxn, 0x02000000, 4096, "host::")},
  };
  // A well-behaved peer stays connected through all of it.
  auto steady = Online();
  uint32_t id = 1;
  for (const auto& k : cases) {
    SCOPED_TRACE(k.what);
    auto bad = k.online ? Online() : Connect();
    ASSERT_TRUE(bad->SendBytes(k.bytes));
    EXPECT_TRUE(bad->ClosedByPeer());
    EXPECT_EQ(DecodeShell(Shell(*steady, "shell,v2,raw:echo alive", ++id).data).out, "alive\n");
    // And newcomers are still welcome.
    auto next = Online();
    EXPECT_EQ(DecodeShell(Shell(*next, "shell,v2,raw:echo new").data).out, "new\n");
  }
}

TEST_F(ServerTest, PeersThatVanishMidwayDoNotDisturbTheOthers) {
  Start(6);
  auto steady = Online();
  const std::vector<std::string> partial = {
      EncodeMessage(kCnxn, kVersion, 4096, "host::").substr(0, 10),  // inside a header
      EncodeMessage(kCnxn, kVersion, 4096, "host::features=shell_v2")
          .substr(0, 30),  // inside a payload
  };
  for (const auto& bytes : partial) {
    auto c = Connect();
    ASSERT_TRUE(c->SendBytes(bytes));
    c->Close();
  }
  // Inside a stream whose output waits for OKAYs that never come.
  for (int i = 0; i < 5; ++i) {
    auto c = Online(4096);
    ASSERT_TRUE(c->Send(kOpen, 3, 0, "shell:ps -x"));
    Message m;
    ASSERT_TRUE(c->Read(m));
    c->Close();
  }
  EXPECT_EQ(Shell(*steady, "shell:echo fine").data, "fine\r\n");
}

TEST_F(ServerTest, ServesManyConnectionsAtOnce) {
  Start(7);
  constexpr int kClients = 8, kCommands = 10;
  std::atomic<int> good{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kClients; ++t) {
    threads.emplace_back([&, t] {
      RawClient c;
      if (!c.Connect("127.0.0.1", server_->Port()) || !c.SendConnect()) return;
      Message m;
      if (!c.Read(m) || m.header.command != kCnxn) return;
      for (int i = 0; i < kCommands; ++i) {
        const std::string word = "c" + std::to_string(t) + "-" + std::to_string(i);
        const uint32_t id = static_cast<uint32_t>(i + 1);
        c.Send(kOpen, id, 0, "shell,v2,raw:echo " + word);
        std::string data;
        uint32_t local = 0;
        while (c.Read(m)) {
          if (m.header.command == kOkay) local = m.header.arg0;
          if (m.header.command == kWrte) {
            data += m.payload;
            c.Send(kOkay, id, local);
          }
          if (m.header.command == kClse) break;
        }
        if (DecodeShell(data).out == word + "\n") ++good;
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(good, kClients * kCommands);
}

TEST_F(ServerTest, LatencyDelaysEveryMessage) {
  Start(7, AuthMode::None, 120);
  auto c = Connect();
  const auto t0 = std::chrono::steady_clock::now();
  ASSERT_TRUE(c->SendConnect());
  Message m;
  ASSERT_TRUE(c->Read(m));
  const auto t1 = std::chrono::steady_clock::now();
  EXPECT_GE(t1 - t0, std::chrono::milliseconds(115));
  // OKAY, WRTE and CLSE each wait their turn.
  StreamResult r = Shell(*c, "shell,v2,raw:echo slow");
  EXPECT_TRUE(r.closed);
  EXPECT_GE(std::chrono::steady_clock::now() - t1, std::chrono::milliseconds(3 * 115));
}

TEST(ServerSetup, OnlyLoopbackAddresses) {
  const struct {
    const char* address;
    bool loopback;
  } cases[] = {
      {"127.0.0.1", true},    {"127.0.0.2", true}, {"127.255.255.254", true}, {"localhost", true},
      {"192.168.1.7", false}, {"10.0.0.8", false}, {"0.0.0.0", false},        {"8.8.8.8", false},
      {"128.0.0.1", false},   {"::1", false},      {"tv.local", false},       {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsLoopbackAddress(c.address), c.loopback) << c.address;

  Television tv(DefaultTv(), 7, "");
  ServerOptions options;
  options.address = "192.168.1.7";
  DeviceServer server(options, tv);
  std::string error;
  EXPECT_FALSE(server.Listen(&error));
  EXPECT_NE(error.find("loopback"), std::string::npos) << error;
}
