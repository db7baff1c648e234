// Message framing of the transport, the shell protocol's packets, and the
// JSON used for the state file.
#include <gtest/gtest.h>

#include <string>

#include "adb_wire.h"
#include "json.h"
#include "shell_packets.h"

using namespace tvsim;

namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out.push_back(static_cast<char>(v));
  return out;
}

}  // namespace

TEST(Wire, HeaderIsSixLittleEndianWordsThenPayload) {
  const std::string service("shell:ls\0", 9);  // the NUL travels too
  const std::string m = EncodeMessage(kOpen, 0x01020304, 0, service);
  ASSERT_EQ(m.size(), kHeaderSize + 9);
  EXPECT_EQ(m.substr(0, 4), "OPEN");  // the command reads as text on the wire
  EXPECT_EQ(m.substr(4, 4), Bytes({4, 3, 2, 1}));
  EXPECT_EQ(m.substr(8, 4), Bytes({0, 0, 0, 0}));
  EXPECT_EQ(m.substr(12, 4), Bytes({9, 0, 0, 0}));
  EXPECT_EQ(m.substr(24), service);
  const Header h = DecodeHeader(reinterpret_cast<const unsigned char*>(m.data()));
  EXPECT_EQ(h.command, kOpen);
  EXPECT_EQ(h.arg0, 0x01020304u);
  EXPECT_EQ(h.dataLength, 9u);
  EXPECT_EQ(h.dataCheck, Checksum(service));
  EXPECT_EQ(h.magic, kOpen ^ 0xffffffffu);
}

TEST(Wire, CommandsSpellTheirNames) {
  const struct {
    uint32_t command;
    const char* text;
  } cases[] = {{kCnxn, "CNXN"}, {kAuth, "AUTH"}, {kOpen, "OPEN"},
               {kOkay, "OKAY"}, {kClse, "CLSE"}, {kWrte, "WRTE"}};
  for (const auto& c : cases) {
    EXPECT_EQ(EncodeMessage(c.command, 0, 0, "").substr(0, 4), c.text);
    EXPECT_EQ(CommandName(c.command), c.text);
  }
  EXPECT_EQ(CommandName(0x434e5953), "0x434e5953");
}

TEST(Wire, ChecksumIsTheSumOfUnsignedBytes) {
  EXPECT_EQ(Checksum(""), 0u);
  EXPECT_EQ(Checksum("A"), 65u);
  EXPECT_EQ(Checksum(Bytes({0xff, 0xff, 1})), 511u);  // bytes count as unsigned
  EXPECT_EQ(Checksum(std::string(100000, '\xff')), 25500000u);
  const std::string m = EncodeMessage(kWrte, 1, 2, "abc", false);
  EXPECT_EQ(DecodeHeader(reinterpret_cast<const unsigned char*>(m.data())).dataCheck, 0u);
}

TEST(Wire, HeaderCheckFindsEachProblem) {
  Header ok;
  ok.command = kWrte;
  ok.magic = kWrte ^ 0xffffffffu;
  ok.dataLength = 4096;
  EXPECT_EQ(CheckHeader(ok, 4096), HeaderProblem::None);

  Header badMagic = ok;
  badMagic.magic = kWrte;
  EXPECT_EQ(CheckHeader(badMagic, 4096), HeaderProblem::BadMagic);

  Header sync = ok;
  sync.command = 0x434e5953;
  sync.magic = sync.command ^ 0xffffffffu;
  EXPECT_EQ(CheckHeader(sync, 4096), HeaderProblem::UnknownCommand);

  Header tooLong = ok;
  tooLong.dataLength = 4097;
  EXPECT_EQ(CheckHeader(tooLong, 4096), HeaderProblem::TooLong);
  tooLong.dataLength = 0xffffffffu;
  EXPECT_EQ(CheckHeader(tooLong, 4096), HeaderProblem::TooLong);
}

TEST(ShellPackets, EncodeIdLengthData) {
  EXPECT_EQ(EncodeShellPacket(kShellStdout, "hi\n"), Bytes({1, 3, 0, 0, 0}) + "hi\n");
  EXPECT_EQ(EncodeShellPacket(kShellExit, std::string(1, '\x7f')), Bytes({3, 1, 0, 0, 0, 0x7f}));
  EXPECT_EQ(EncodeShellPacket(kShellStderr, std::string(300, 'e')).substr(0, 5),
            Bytes({2, 0x2c, 1, 0, 0}));
}

TEST(ShellPackets, ReaderReassemblesPacketsCutAnywhere) {
  const std::string stream = EncodeShellPacket(kShellStdout, "first line\n") +
                             EncodeShellPacket(kShellStderr, "") +
                             EncodeShellPacket(kShellStdout, std::string(1000, 'x')) +
                             EncodeShellPacket(kShellExit, std::string(1, '\0'));
  for (std::size_t cut : {1u, 2u, 5u, 6u, 7u, 64u, 4096u}) {
    SCOPED_TRACE(cut);
    ShellPacketReader reader;
    std::vector<ShellPacketReader::Packet> got;
    for (std::size_t off = 0; off < stream.size(); off += cut) {
      reader.Feed(std::string_view(stream).substr(off, cut));
      ShellPacketReader::Packet p;
      while (reader.Next(p)) got.push_back(p);
    }
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0].id, kShellStdout);
    EXPECT_EQ(got[0].data, "first line\n");
    EXPECT_EQ(got[1].id, kShellStderr);
    EXPECT_EQ(got[1].data, "");
    EXPECT_EQ(got[2].data, std::string(1000, 'x'));
    EXPECT_EQ(got[3].id, kShellExit);
    EXPECT_EQ(got[3].data, std::string(1, '\0'));
    EXPECT_FALSE(reader.Broken());
  }
}

TEST(ShellPackets, ReaderRefusesAnAbsurdLength) {
  ShellPacketReader reader(1024);
  reader.Feed(Bytes({1, 0xff, 0xff, 0xff, 0x7f}));
  ShellPacketReader::Packet p;
  EXPECT_FALSE(reader.Next(p));
  EXPECT_TRUE(reader.Broken());
}

TEST(JsonText, RoundTripKeepsValuesAndMemberOrder) {
  Json root = Json::Object();
  root.Set("zeta", 1);
  root.Set("alpha", "text with \"quotes\", \\ and\nnew line\t\x01");
  root.Set("flag", false);
  root.Set("nothing", nullptr);
  Json list = Json::Array();
  list.Push(-42);
  list.Push(2.5);
  list.Push(Json::Object());
  list.Push(Json::Array());
  root.Set("list", list);
  root.Set("big", static_cast<int64_t>(1236669));
  for (int indent : {0, 2}) {
    for (int flat : {-1, 1}) {
      SCOPED_TRACE(std::to_string(indent) + "/" + std::to_string(flat));
      const std::string text = root.Dump(indent, flat);
      std::string error;
      auto back = Json::Parse(text, &error);
      ASSERT_TRUE(back) << error << "\n" << text;
      EXPECT_EQ(back->Dump(0), root.Dump(0));
      ASSERT_EQ(back->Members().size(), 6u);
      EXPECT_EQ(back->Members()[0].first, "zeta");
      EXPECT_EQ(back->Find("alpha")->AsString(), root.Find("alpha")->AsString());
      EXPECT_EQ(back->Find("big")->AsInt(), 1236669);
      EXPECT_EQ(back->Find("list")->Items()[0].AsInt(), -42);
      EXPECT_DOUBLE_EQ(back->Find("list")->Items()[1].AsNumber(), 2.5);
    }
  }
}

TEST(JsonText, ReadsEscapesAndUnicode) {
  auto v = Json::Parse(R"({"s": "a\/b \u00e9 \ud83d\ude00 \u4e2d"})");
  ASSERT_TRUE(v);
  EXPECT_EQ(v->Find("s")->AsString(), "a/b \xc3\xa9 \xf0\x9f\x98\x80 \xe4\xb8\xad");
}

TEST(JsonText, MalformedDocumentsAreRefusedWithAPlace) {
  const char* cases[] = {
      "",        "{",       "{\"a\" 1}", "{\"a\":1,}", "[1,2",     "[1 2]",
      "\"open",  "tru",     "{a:1}",     "01x",        "-",        "1.",
      "[1] [2]", "\"\\q\"", "\"\\u12\"", "\"a\nb\"",   "{\"a\":}", "nul",
  };
  for (const char* text : cases) {
    SCOPED_TRACE(text);
    std::string error;
    EXPECT_FALSE(Json::Parse(text, &error));
    EXPECT_NE(error.find("at byte"), std::string::npos) << error;
  }
  // Deep nesting is refused rather than exhausting the stack.
  EXPECT_FALSE(Json::Parse(std::string(100000, '[') + std::string(100000, ']')));
}
