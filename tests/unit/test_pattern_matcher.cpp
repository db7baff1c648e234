// PatternMatcher: the two patterns the program runs (the address in the
// "adb devices" reply and the state letter and name of a process line), the
// answers for missing matches and groups, options, GBK subjects and Replace.
//
// Narrow literals in this file are GBK bytes. Hex escapes are split from a
// following hex digit ("\xC4\x41" "B") so the compiler does not merge them.
#include "pattern/pattern_matcher.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace quenlo {
namespace {

const char kAddressPattern[] = "(\\d+\\.\\d+\\.\\d+\\.\\d+)\\:5555";
const char kProcessPattern[] = "[A-Z] ((\\w+|\\/).*?)\\s";

// Every match of the last search as {text, position}.
std::vector<std::pair<std::string, long>> AllMatches(const PatternMatcher& m) {
  std::vector<std::pair<std::string, long>> out;
  for (int i = 1; i <= m.MatchCount(); ++i) {
    long pos = -2;
    std::string text = m.MatchText(i, &pos, true);
    out.emplace_back(text, pos);
  }
  return out;
}

using Matches = std::vector<std::pair<std::string, long>>;

// ---------------------------------------------------------------------------
// The address probe: group 1 of match 1 over an "adb devices" reply.

struct AddressCase {
  const char* name;
  std::string reply;
  int matches;
  std::string address;
};

void PrintTo(const AddressCase& c, std::ostream* os) { *os << c.name; }

class AddressPattern : public ::testing::TestWithParam<AddressCase> {};

TEST_P(AddressPattern, TakesTheFirstAddress) {
  const AddressCase& c = GetParam();
  PatternMatcher m;
  ASSERT_TRUE(m.Execute(kAddressPattern, c.reply));
  EXPECT_EQ(m.MatchCount(), c.matches);
  EXPECT_EQ(m.SubMatchText(1, 1), c.address);
  if (c.matches > 0) {
    EXPECT_EQ(m.MatchText(1), c.address + ":5555");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Replies, AddressPattern,
    ::testing::Values(
        AddressCase{"OneDevice", "List of devices attached\r\n192.168.1.23:5555\tdevice\r\n\r\n", 1,
                    "192.168.1.23"},
        AddressCase{"TwoDevicesFirstWins",
                    "List of devices attached\r\n192.168.1.23:5555\tdevice\r\n"
                    "10.0.0.7:5555\tdevice\r\n\r\n",
                    2, "192.168.1.23"},
        AddressCase{"HostNameIsNotAnAddress", "List of devices attached\r\ntv.local:5555\tdevice\r\n",
                    0, ""},
        AddressCase{"Offline", "List of devices attached\r\n192.168.1.23:5555\toffline\r\n", 1,
                    "192.168.1.23"},
        AddressCase{"Unauthorized", "List of devices attached\r\n192.168.1.23:5555\tunauthorized\r\n",
                    1, "192.168.1.23"},
        AddressCase{"AfterUsbAndEmulator",
                    "List of devices attached\r\n0123456789ABCDEF\tdevice\r\n"
                    "emulator-5554\tdevice\r\n172.16.0.5:5555\tdevice\r\n",
                    1, "172.16.0.5"},
        AddressCase{"OtherPort", "List of devices attached\r\n192.168.1.23:5556\tdevice\r\n", 0, ""},
        AddressCase{"DaemonStartingNoDevices",
                    "* daemon not running; starting now at tcp:5037\r\n"
                    "* daemon started successfully\r\nList of devices attached\r\n\r\n",
                    0, ""},
        AddressCase{"EmptyReply", "", 0, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// The process-listing parser: match 1 of a toolbox "ps" line, case-sensitive.

struct ProcessCase {
  const char* name;
  std::string line;
  std::string whole;  // MatchText(1): state letter, blank, name, one whitespace
  std::string name1;  // group 1: the name
};

void PrintTo(const ProcessCase& c, std::ostream* os) { *os << c.name; }

class ProcessPattern : public ::testing::TestWithParam<ProcessCase> {};

TEST_P(ProcessPattern, TakesStateAndName) {
  const ProcessCase& c = GetParam();
  PatternMatcher m;
  ASSERT_TRUE(m.Execute(kProcessPattern, c.line, true));
  EXPECT_EQ(m.MatchText(1), c.whole);
  EXPECT_EQ(m.SubMatchText(1, 1), c.name1);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ProcessPattern,
    ::testing::Values(
        ProcessCase{"App",
                    "u0_a19    974   224   1236669 44276 SyS_epoll_ 00000000 S com.mitv.tvhome\r\n",
                    "S com.mitv.tvhome\r", "com.mitv.tvhome"},
        ProcessCase{"LineFeedOnly", "u0_a19    974   224   1236669 44276 SyS_epoll_ 00000000 S com.mitv.tvhome\n",
                    "S com.mitv.tvhome\n", "com.mitv.tvhome"},
        ProcessCase{"Init", "root      1     0     9456   1704  SyS_epoll_ 00000000 S /init\r\n",
                    "S /init\r", "/init"},
        ProcessCase{"SystemBinary",
                    "root      224   1     1500000 30000 poll_sched 00000000 S /system/bin/surfaceflinger\r\n",
                    "S /system/bin/surfaceflinger\r", "/system/bin/surfaceflinger"},
        ProcessCase{"NameWithColon",
                    "system    2345  224   1100000 30000 SyS_epoll_ 00000000 S com.xiaomi.mitv.upgrade:service\r\n",
                    "S com.xiaomi.mitv.upgrade:service\r", "com.xiaomi.mitv.upgrade:service"},
        ProcessCase{"RunningState", "u0_a40    1200  224   1000000 20000 0          00000000 R com.xiaomi.tv.gallery\r\n",
                    "R com.xiaomi.tv.gallery\r", "com.xiaomi.tv.gallery"},
        ProcessCase{"KernelThread", "root      2     0     0      0     kthreadd   00000000 S kthreadd\r\n",
                    "S kthreadd\r", "kthreadd"},
        // The lazy name stops at the first whitespace after it.
        ProcessCase{"StopsAtFirstBlank", "root      9     2     0      0     worker     00000000 S kworker 0:1\r\n",
                    "S kworker ", "kworker"},
        // Without whitespace after the name there is nothing to end it.
        ProcessCase{"NameIsLastCharacter",
                    "u0_a19    974   224   1236669 44276 SyS_epoll_ 00000000 S com.mitv.tvhome", "", ""},
        // A lower-case letter and a blank are not a state letter.
        ProcessCase{"LowerCaseIsNoState",
                    "u0_a19    974   224   1236669 44276 ffffffff 00000000 s com.mitv.tvhome\r\n", "", ""},
        ProcessCase{"Header", "USER     PID   PPID  VSIZE  RSS     WCHAN    PC        NAME\r\n", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PatternMatcherOptions, CaseIsIgnoredByDefault) {
  const std::string line = "u0_a19    974   224   1236669 44276 ffffffff 00000000 s com.mitv.tvhome\r\n";
  PatternMatcher m;
  ASSERT_TRUE(m.Execute(kProcessPattern, line));
  EXPECT_EQ(m.MatchText(1), "f 00000000 ");

  ASSERT_TRUE(m.Execute("TVHOME", "com.mitv.tvhome"));
  EXPECT_EQ(m.MatchText(1), "tvhome");
  ASSERT_TRUE(m.Execute("TVHOME", "com.mitv.tvhome", true));
  EXPECT_EQ(m.MatchCount(), 0);
}

// The cached compiled pattern must not outlive a change of options or pattern.
TEST(PatternMatcherOptions, RepeatedSearchesFollowTheirOwnOptions) {
  PatternMatcher m;
  EXPECT_TRUE(m.Execute("abc", "ABC", true));
  EXPECT_EQ(m.MatchCount(), 0);
  EXPECT_TRUE(m.Execute("abc", "ABC", false));
  EXPECT_EQ(m.MatchCount(), 1);
  EXPECT_TRUE(m.Execute("abc", "ABC", true));
  EXPECT_EQ(m.MatchCount(), 0);
  EXPECT_TRUE(m.Execute("^b", "a\nb", true, false));
  EXPECT_EQ(m.MatchCount(), 0);
  EXPECT_TRUE(m.Execute("^b", "a\nb", true, true));
  EXPECT_EQ(m.MatchCount(), 1);
  EXPECT_TRUE(m.Execute("a", "aaa", true, true, false));
  EXPECT_EQ(m.MatchCount(), 1);
  EXPECT_TRUE(m.Execute("a", "aaa", true, true, true));
  EXPECT_EQ(m.MatchCount(), 3);
  EXPECT_TRUE(m.Execute("b", "aaa"));
  EXPECT_EQ(m.MatchCount(), 0);
}

// ---------------------------------------------------------------------------
// Engine features and matching rules, each as a pattern, subject and options
// with the matches (text and byte position) they must give.

struct SearchCase {
  const char* name;
  std::string pattern;
  std::string subject;
  bool caseSensitive;
  bool multiline;
  bool global;
  Matches expected;
};

void PrintTo(const SearchCase& c, std::ostream* os) { *os << c.name; }

class Search : public ::testing::TestWithParam<SearchCase> {};

TEST_P(Search, FindsTheExpectedMatches) {
  const SearchCase& c = GetParam();
  PatternMatcher m;
  ASSERT_TRUE(m.Execute(c.pattern, c.subject, c.caseSensitive, c.multiline, c.global));
  EXPECT_EQ(AllMatches(m), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Engine, Search,
    ::testing::Values(
        SearchCase{"CapitalRange", "[A-Z]", "aBcD", true, true, true, {{"B", 1}, {"D", 3}}},
        SearchCase{"Digits", "\\d+", "ab12c345", true, true, true, {{"12", 2}, {"345", 5}}},
        SearchCase{"WordIsAsciiOnly", "\\w+", "中文abc_1 x", true, true, true, {{"abc_1", 4}, {"x", 10}}},
        SearchCase{"SpaceTakesCrLfTab", "\\s", "a\tb\rc\nd e", true, true, true,
                   {{"\t", 1}, {"\r", 3}, {"\n", 5}, {" ", 7}}},
        SearchCase{"EscapedPunctuation", "\\.\\:\\/", "a.:/b", true, true, true, {{".:/", 1}}},
        SearchCase{"AlternationLeftmost", "cd|ab", "xxabcd", true, true, true, {{"ab", 2}, {"cd", 4}}},
        SearchCase{"LazyStar", "<.*?>", "<a><b>", true, true, true, {{"<a>", 0}, {"<b>", 3}}},
        SearchCase{"GreedyStar", "<.*>", "<a><b>", true, true, true, {{"<a><b>", 0}}},
        SearchCase{"NotGlobal", "\\d", "a1b2c3", true, true, false, {{"1", 1}}},
        SearchCase{"NonOverlapping", "aa", "aaaaa", true, true, true, {{"aa", 0}, {"aa", 2}}},
        SearchCase{"DotStopsAtLineBreaks", ".+", "ab\r\ncd\re\nf", true, true, true,
                   {{"ab", 0}, {"cd", 4}, {"e", 7}, {"f", 9}}},
        SearchCase{"MultilineAnchors", "^\\w+$", "ab\r\ncd\r\n", true, true, true, {{"ab", 0}, {"cd", 4}}},
        SearchCase{"SingleLineAnchors", "^\\w+$", "ab\r\ncd\r\n", true, false, true, {}},
        SearchCase{"DollarOnlyAtEndWithoutMultiline", "b$", "ab\n", true, false, true, {}},
        // After an empty match the search goes on one character further:
        // one GBK character, not one byte.
        SearchCase{"EmptyMatchesAscii", "x*", "ab", true, true, true, {{"", 0}, {"", 1}, {"", 2}}},
        SearchCase{"EmptyMatchesGbk", "x*", "中文", true, true, true, {{"", 0}, {"", 2}, {"", 4}}},
        SearchCase{"EmptyAfterMatch", "b*", "abc", true, true, true, {{"", 0}, {"b", 1}, {"", 2}, {"", 3}}},
        SearchCase{"WordBoundaries", "\\b", "ab cd", true, true, true, {{"", 0}, {"", 2}, {"", 3}, {"", 5}}},
        // Written the VBScript way.
        SearchCase{"UnknownEscapeIsLiteral", "\\y", "xy", true, true, true, {{"y", 1}}},
        SearchCase{"UnicodeEscape", "\\u6587", "中文", true, true, true, {{"文", 2}}},
        SearchCase{"UnsetBackReferenceIsEmpty", "(a)?b\\1c", "bc", true, true, true, {{"bc", 0}}}),
    [](const auto& info) { return std::string(info.param.name); });

// GBK subjects: the search runs on characters, never on the bytes inside a
// character, and every text and position refers to the original bytes.
INSTANTIATE_TEST_SUITE_P(
    Gbk, Search,
    ::testing::Values(
        // 0xC4 0x41 is one character whose trail byte is the letter 'A'.
        SearchCase{"TrailByteIsNoCapital", "[A-Z]", "\xC4\x41", true, true, true, {}},
        SearchCase{"TrailByteIsNoLetterCaseless", "a", "\xC4\x41", false, true, true, {}},
        SearchCase{"CapitalAfterTrailByteChar", "[A-Z]", "\xC4\x41" "B", true, true, true, {{"B", 2}}},
        SearchCase{"ProcessLineWithTrailByteChar", kProcessPattern, "\xB0\x41 name S app\r\n", true, true,
                   true, {{"S app\r", 8}}},
        // A four-byte character whose second and fourth bytes are digits.
        SearchCase{"FourByteCharIsNoDigit", "\\d", "\x81\x30\x81\x30" "7", true, true, true, {{"7", 4}}},
        SearchCase{"ChineseInPattern", "名称：(\\S+)", "进程名称：小米桌面 ok", true, true, true,
                   {{"名称：小米桌面", 4}}},
        // 0xB1 0x5C ends in the byte of a backslash; the pattern is valid.
        SearchCase{"PatternEndsInTrailBackslash", "x\xB1\x5C", "ax\xB1\x5C", true, true, true,
                   {{"x\xB1\x5C", 1}}},
        SearchCase{"DotIsOneCharacter", "米.", "小米电视", true, true, true, {{"米电", 2}}},
        SearchCase{"AddressAmongChinese", kAddressPattern, "设备 192.168.1.23:5555 在线", false, true, true,
                   {{"192.168.1.23:5555", 5}}},
        // Bytes that start no character each stand for one unknown character
        // at their own offset: 0x81 before a blank, 0xFF, 0x80, a lead byte
        // at the end.
        SearchCase{"InvalidBytesKeepOffsets", "[A-Z]", "\x81 A\xFF" "B\x80" "C\x81", true, true, true,
                   {{"A", 2}, {"B", 4}, {"C", 6}}},
        SearchCase{"InvalidBytesAreCharacters", ".", "a\x81 \xFF", true, true, true,
                   {{"a", 0}, {"\x81", 1}, {" ", 2}, {"\xFF", 3}}},
        // Well-formed but unassigned four-byte sequence between characters:
        // one character, its digit bytes not taken for digits.
        SearchCase{"UnassignedFourByteSequence", ".", "中\x84\x31\xA5\x30" "文", true, true, true,
                   {{"中", 0}, {"\x84\x31\xA5\x30", 2}, {"文", 6}}},
        SearchCase{"UnassignedSequenceIsNoDigit", "\\d", "中\x84\x31\xA5\x30" "文", true, true, true, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Questions about matches and groups that do not exist.

TEST(PatternMatcherAnswers, MissingMatchesAndGroupsAreEmpty) {
  PatternMatcher m;
  ASSERT_TRUE(m.Execute("(a)(x)?", "ba"));
  ASSERT_EQ(m.MatchCount(), 1);
  EXPECT_EQ(m.SubMatchCount(), 2);

  long pos = 0;
  EXPECT_EQ(m.SubMatchText(1, 1, &pos, true), "a");
  EXPECT_EQ(pos, 1);

  struct Ask {
    int match, group;
  };
  // Group 2 exists but took no part; the rest are out of range.
  for (const Ask& a : {Ask{1, 2}, Ask{1, 3}, Ask{1, 0}, Ask{1, -1}, Ask{0, 1}, Ask{2, 1}, Ask{-1, 1}}) {
    SCOPED_TRACE(testing::Message() << "match " << a.match << " group " << a.group);
    pos = 0;
    EXPECT_EQ(m.SubMatchText(a.match, a.group, &pos, true), "");
    EXPECT_EQ(pos, -1);
  }
  for (int match : {0, 2, -1}) {
    pos = 0;
    EXPECT_EQ(m.MatchText(match, &pos, true), "");
    EXPECT_EQ(pos, -1);
  }
  // Without the flag the position is left alone.
  pos = 7;
  EXPECT_EQ(m.MatchText(1, &pos), "a");
  EXPECT_EQ(pos, 7);
}

TEST(PatternMatcherAnswers, AlternativeGroups) {
  PatternMatcher m;
  ASSERT_TRUE(m.Execute("(a)|(b)", "ba"));
  ASSERT_EQ(m.MatchCount(), 2);
  long pos = 0;
  EXPECT_EQ(m.SubMatchText(1, 1, &pos, true), "");
  EXPECT_EQ(pos, -1);
  EXPECT_EQ(m.SubMatchText(1, 2, &pos, true), "b");
  EXPECT_EQ(pos, 0);
  EXPECT_EQ(m.SubMatchText(2, 1, &pos, true), "a");
  EXPECT_EQ(pos, 1);
  EXPECT_EQ(m.SubMatchText(2, 2), "");
}

TEST(PatternMatcherAnswers, BeforeAnySearch) {
  PatternMatcher m;
  m.Nothing();
  EXPECT_EQ(m.GetPattern(), "");
  EXPECT_EQ(m.MatchCount(), 0);
  EXPECT_EQ(m.SubMatchCount(), 0);
  EXPECT_EQ(m.MatchText(1), "");
  EXPECT_EQ(m.SubMatchText(1, 1), "");
  EXPECT_EQ(m.Replace("x"), "");
}

TEST(PatternMatcherAnswers, NoMatchHasNoGroups) {
  PatternMatcher m;
  ASSERT_TRUE(m.Execute("(a)(b)", "xyz"));
  EXPECT_EQ(m.MatchCount(), 0);
  EXPECT_EQ(m.SubMatchCount(), 0);
}

// A new search replaces every answer of the previous one.
TEST(PatternMatcherAnswers, NewSearchDropsOldResults) {
  PatternMatcher m;
  ASSERT_TRUE(m.Execute(kAddressPattern, "1.2.3.4:5555 5.6.7.8:5555"));
  ASSERT_EQ(m.MatchCount(), 2);
  ASSERT_TRUE(m.Execute(kAddressPattern, "tv.local:5555"));
  EXPECT_EQ(m.MatchCount(), 0);
  EXPECT_EQ(m.SubMatchCount(), 0);
  EXPECT_EQ(m.MatchText(1), "");
  EXPECT_EQ(m.SubMatchText(1, 1), "");
  EXPECT_EQ(m.Replace("x"), "tv.local:5555");

  ASSERT_TRUE(m.Execute("\\d", "a1"));
  EXPECT_EQ(m.SubMatchCount(), 0);
  EXPECT_EQ(m.MatchText(1), "1");
}

// ---------------------------------------------------------------------------
// Rejected patterns: Execute fails and everything answers "no matches".

class RejectedPattern : public ::testing::TestWithParam<std::string> {};

TEST_P(RejectedPattern, AnswersAsIfNothingMatched) {
  PatternMatcher m;
  ASSERT_TRUE(m.Execute("(a)", "aaa"));
  ASSERT_EQ(m.MatchCount(), 3);

  EXPECT_FALSE(m.Execute(GetParam(), "aaa"));
  EXPECT_EQ(m.MatchCount(), 0);
  EXPECT_EQ(m.SubMatchCount(), 0);
  long pos = 0;
  EXPECT_EQ(m.MatchText(1, &pos, true), "");
  EXPECT_EQ(pos, -1);
  EXPECT_EQ(m.SubMatchText(1, 1), "");
  EXPECT_EQ(m.Replace("x"), "aaa");
  EXPECT_EQ(m.GetPattern(), GetParam());

  // The matcher stays usable.
  EXPECT_TRUE(m.Execute("(a)", "aaa"));
  EXPECT_EQ(m.MatchCount(), 3);
}

INSTANTIATE_TEST_SUITE_P(Patterns, RejectedPattern,
                         ::testing::Values("(a", "a)", "[A-Z", "*a", "a{2,1}", "(?<n>a)(?<n>b)", "\\", "a\\\\\\"));

// ---------------------------------------------------------------------------

TEST(PatternMatcherQuotes, QuoteEscapeTurnsMarkerIntoQuote) {
  const std::string subject = "<item name=\"tv home\"/>";
  const std::string pattern = "name=#引号([^#引号]+)#引号";
  PatternMatcher m;

  ASSERT_TRUE(m.Execute(pattern, subject, false, true, true, true));
  EXPECT_EQ(m.GetPattern(), "name=\"([^\"]+)\"");
  EXPECT_EQ(m.SubMatchText(1, 1), "tv home");

  ASSERT_TRUE(m.Execute(pattern, subject));
  EXPECT_EQ(m.GetPattern(), pattern);
  EXPECT_EQ(m.MatchCount(), 0);
}

// ---------------------------------------------------------------------------

struct ReplaceCase {
  const char* name;
  std::string pattern;
  std::string subject;
  bool global;
  std::string replacement;
  std::string expected;
};

void PrintTo(const ReplaceCase& c, std::ostream* os) { *os << c.name; }

class Replace : public ::testing::TestWithParam<ReplaceCase> {};

TEST_P(Replace, ExpandsTheReplacement) {
  const ReplaceCase& c = GetParam();
  PatternMatcher m;
  ASSERT_TRUE(m.Execute(c.pattern, c.subject, true, true, c.global));
  EXPECT_EQ(m.Replace(c.replacement), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Replace,
    ::testing::Values(
        ReplaceCase{"Groups", "(\\d+)\\.(\\d+)", "v1.2 and 3.4", true, "$2.$1", "v2.1 and 4.3"},
        ReplaceCase{"WholeMatch", "\\d+", "a1b22", true, "<$&>", "a<1>b<22>"},
        ReplaceCase{"Dollar", "\\d", "a1b", true, "$$", "a$b"},
        ReplaceCase{"BeforeAndAfter", "b", "abc", true, "[$`|$']", "a[a|c]c"},
        ReplaceCase{"OnlyFirstWhenNotGlobal", "\\d", "a1b2", false, "#", "a#b2"},
        ReplaceCase{"NoMatchKeepsSubject", "x", "abc", true, "#", "abc"},
        ReplaceCase{"TwoDigitGroup", "(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)(l)", "abcdefghijkl", true, "$12$1",
                    "la"},
        ReplaceCase{"SecondDigitIsTextWhenNoSuchGroup", "(a)", "a", true, "$10", "a0"},
        ReplaceCase{"MissingGroupStaysLiteral", "(a)", "a", true, "$2$0", "$2$0"},
        ReplaceCase{"UnsetGroupIsEmpty", "(x)?a", "a", true, "[$1]", "[]"},
        ReplaceCase{"LoneDollars", "a", "a", true, "$x$", "$x$"},
        ReplaceCase{"EmptyMatches", "x*", "abc", true, "-", "-a-b-c-"},
        ReplaceCase{"Gbk", "小米", "小米电视，小米盒子", true, "红米($&)", "红米(小米)电视，红米(小米)盒子"},
        ReplaceCase{"GbkGroups", "(\\S+)：(\\S+)", "名称：桌面", true, "$2=$1", "桌面=名称"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------

// The process-listing parser runs one pattern over every line of a listing;
// each line's answer must be its own.
TEST(PatternMatcherListing, SameMatcherOverManyLines) {
  PatternMatcher m;
  for (int i = 0; i < 2000; ++i) {
    const std::string name = "com.app" + std::to_string(i);
    const std::string line = (i % 3 == 0 ? std::string("中文 ") : std::string()) + "u0_a" +
                             std::to_string(i) + " 974 224 1 2 SyS_epoll_ 00000000 S " + name +
                             (i % 2 ? "\r\n" : "");
    ASSERT_TRUE(m.Execute(kProcessPattern, line, true));
    ASSERT_EQ(m.MatchText(1), i % 2 ? "S " + name + "\r" : "") << line;
  }
}

}  // namespace
}  // namespace quenlo
