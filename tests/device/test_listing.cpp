// The two listing parsers over replies as the console hands them back (CRLF
// line ends, a blank line and the interpreter's prompt at the end), and the
// lookups the menus make on the resulting table.
#include "device/listing.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace quenlo::device {
namespace {

using Rows = std::vector<std::vector<std::string>>;

std::string ReadFixture(const std::string& name) {
  const std::string path = std::string(QUENLO_FIXTURES_DIR) + "/listing/" + name;
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in.good()) << path;
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> Titles(const ListingTable& t) {
  std::vector<std::string> titles;
  for (const auto& c : t.columns) titles.push_back(c.title);
  return titles;
}

std::vector<int> Widths(const ListingTable& t) {
  std::vector<int> widths;
  for (const auto& c : t.columns) widths.push_back(c.width);
  return widths;
}

// ---------------------------------------------------------------------------

TEST(ListingKind, PrefixIsByteExactAndPackageListingWins) {
  struct Case {
    const char* command;
    int kind;
  } cases[] = {
      {"adb shell ps", kProcessListing},
      {"adb shell ps -x com.xiaomi.mitv.upgrade", kProcessListing},  // a filled menu template
      {"adb shell pstree", kProcessListing},                         // a plain prefix test
      {"adb shell pm list packages", kPackageListing},
      {"adb shell pm list packages -3", kPackageListing},
      {"adb shell pm list package", kNoListing},
      {" adb shell ps", kNoListing},
      {"ADB SHELL PS", kNoListing},
      {"adb shell PM list packages", kNoListing},
      {"adb  shell ps", kNoListing},
      {"adb shell p", kNoListing},
      {"adb devices", kNoListing},
      {"", kNoListing},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ListingKindOf(c.command), c.kind) << '"' << c.command << '"';
  }
}

// ---------------------------------------------------------------------------

TEST(ListingPackages, RealReplyGivesOneRowPerPackageAndTheColumns) {
  const ListingTable t = ParsePackageListing(ReadFixture("pm_packages.txt"), 1000);
  EXPECT_EQ(t.viewMode, kPackageListing);
  EXPECT_EQ(Titles(t), (std::vector<std::string>{"序号", "app包名", "说明"}));
  EXPECT_EQ(Widths(t), (std::vector<int>{50, 300, 620}));
  EXPECT_EQ(t.rows, (Rows{{"1", "com.mitv.tvhome", ""},
                          {"2", "com.xiaomi.mitv.upgrade", ""},
                          {"3", "com.xiaomi.mitv.advertise", ""},
                          {"4", "android", ""},
                          {"5", "com.android.providers.settings", ""}}));
}

TEST(ListingPackages, NoiseDoubledPrefixAndBareCarriageReturn) {
  // Lines without "package:" give no row and leave no gap in the numbering;
  // "package:package:x" gives x; "package:" with only a CR behind it gives a
  // row with an empty name.
  const ListingTable t = ParsePackageListing(ReadFixture("pm_packages_noise.txt"), 380);
  EXPECT_EQ(t.rows, (Rows{{"1", "com.mitv.tvhome", ""},
                          {"2", "com.xiaomi.mitv.appstore", ""},
                          {"3", "", ""},
                          {"4", "com.xiaomi.mitv.advertise", ""}}));
  EXPECT_EQ(t.columns.at(2).width, 0);
}

TEST(ListingPackages, SmallReplies) {
  struct Case {
    const char* name;
    std::string reply;
    Rows rows;
  } cases[] = {
      {"empty reply", "", {}},
      {"prompt only", "\r\n/home/user/quenlo>", {}},
      {"package: with nothing after it", "package:\r\n/x>", {}},
      {"prefix is case-sensitive", "Package:com.a\r\nPACKAGE:com.b\r\n/x>", {}},
      {"text before the prefix is dropped", "xx package:com.a\r\n/x>", {{"1", "com.a", ""}}},
      {"lone LF stays inside one line and is removed",
       "package:com.a\npackage:com.b\r\n/x>",
       {{"1", "com.b", ""}}},
      {"stray CR and LF inside a name are removed", "package:com.\ra\r\r\n/x>",
       {{"1", "com.a", ""}}},
      {"last line without a line end", "package:com.a", {{"1", "com.a", ""}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParsePackageListing(c.reply, 800).rows, c.rows) << c.name;
  }
}

// ---------------------------------------------------------------------------

TEST(ListingProcesses, RealToolboxReply) {
  const ListingTable t = ParseProcessListing(ReadFixture("ps_toolbox.txt"));
  EXPECT_EQ(t.viewMode, kProcessListing);
  EXPECT_EQ(Titles(t), (std::vector<std::string>{"序号", "用户", "进程ID", "父进程ID", "内存大小",
                                                 "驻留内存", "内核地址", "包名", "说明"}));
  EXPECT_EQ(Widths(t), (std::vector<int>{50, 80, 70, 75, 75, 75, 90, 200, 200}));
  // Every name ends its line; the line break behind it completes the match.
  // The kworker line has its state in lower case, so no name is taken.
  EXPECT_EQ(t.rows,
            (Rows{
                {"1", "root", "1", "0", "8744", "704", "SyS_epoll_", "S /init", ""},
                {"2", "root", "2", "0", "0", "0", "kthreadd", "S kthreadd", ""},
                {"3", "root", "3", "2", "0", "0", "smpboot_th", "S ksoftirqd/0", ""},
                {"4", "system", "224", "1", "1012345", "52000", "SyS_epoll_", "S zygote", ""},
                {"5", "u0_a19", "974", "224", "1236669", "44276", "SyS_epoll_", "S com.mitv.tvhome",
                 ""},
                {"6", "system", "1234", "224", "1100000", "30000", "SyS_epoll_",
                 "S com.xiaomi.mitv.upgrade:service", ""},
                {"7", "u0_a42", "1301", "224", "1090000", "28000", "SyS_epoll_",
                 "S com.xiaomi.mitv.advertise", ""},
                {"8", "root", "1500", "2", "0", "0", "worker_thr", "", ""},
                {"9", "shell", "1620", "1580", "4300", "1200", "0", "R ps", ""},
            }));
}

TEST(ListingProcesses, HeaderInSecondPlaceBecomesARow) {
  const ListingTable t = ParseProcessListing(ReadFixture("ps_header_second.txt"));
  EXPECT_EQ(t.rows, (Rows{{"1", "USER", "PID", "PPID", "VSIZE", "RSS", "WCHAN", "R PID ", ""},
                          {"2", "u0_a19", "974", "224", "1236669", "44276", "SyS_epoll_",
                           "S com.mitv.tvhome", ""}}));
}

TEST(ListingProcesses, PromptWithSixBlanksBecomesARow) {
  const ListingTable t = ParseProcessListing(ReadFixture("ps_prompt_six_blanks.txt"));
  ASSERT_EQ(t.RowCount(), 2);
  EXPECT_EQ(t.rows[1], (std::vector<std::string>{"2", "/home/user/my", "tv", "tools", "1", "2",
                                                 "3", "", ""}));
}

TEST(ListingProcesses, SmallReplies) {
  const std::string header = "USER PID PPID VSIZE RSS WCHAN PC NAME\r\n";
  struct Case {
    const char* name;
    std::string reply;
    Rows rows;
  } cases[] = {
      {"nothing after the first line", header, {}},
      {"no line break at all", "USER PID PPID VSIZE RSS WCHAN PC NAME", {}},
      {"empty reply", "", {}},
      {"header, blank line and prompt", header + "\r\n/home/user/quenlo>", {}},
      {"first line is dropped even when it is a process",
       "root 1 0 8744 704 SyS_epoll_ 00000000 S /init\r\n/x>",
       {}},
      {"six fields are too few", header + "root 1 0 8744 704 S\r\n/x>", {}},
      {"seven fields are enough",
       header + "a b c d e f g\r\n/x>",
       {{"1", "a", "b", "c", "d", "e", "f", "", ""}}},
      {"name at the very end of the reply has no whitespace after it",
       header + "root 1 0 8744 704 SyS_epoll_ 00000000 S /init",
       {{"1", "root", "1", "0", "8744", "704", "SyS_epoll_", "", ""}}},
      {"blank runs of any length collapse, also inside the name part",
       header + "u0_a19      974  224 1 2    w  0   S   com.x  \r\n/x>",
       {{"1", "u0_a19", "974", "224", "1", "2", "w", "S com.x ", ""}}},
      {"lower-case state letter is not a state",
       header + "root 9 2 0 0 w 0 s kworker/0:1\r\n/x>",
       {{"1", "root", "9", "2", "0", "0", "w", "", ""}}},
      {"name must start with a word character or a slash",
       header + "root 9 2 0 0 w 0 S [kthreadd]\r\n/x>",
       {{"1", "root", "9", "2", "0", "0", "w", "", ""}}},
      {"first capital-blank-name wins",
       header + "root 9 2 0 0 w 0 R ps S sh\r\n/x>",
       {{"1", "root", "9", "2", "0", "0", "w", "R ps ", ""}}},
      {"device that sent CR CR LF",
       header + "u0_a19 974 224 1 2 w 0 S com.x\r\r\n/x>",
       {{"1", "u0_a19", "974", "224", "1", "2", "w", "S com.x", ""}}},
      {"blank lines in between give no rows and no gaps",
       header + "\r\na b c d e f S x\r\n\r\ng h i j k l S y\r\n/x>",
       {{"1", "a", "b", "c", "d", "e", "f", "S x", ""},
        {"2", "g", "h", "i", "j", "k", "l", "S y", ""}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseProcessListing(c.reply).rows, c.rows) << c.name;
  }
}

// ---------------------------------------------------------------------------

TEST(ListingLookups, TextAfterLast) {
  struct Case {
    const char* text;
    const char* separator;
    const char* after;
  } cases[] = {
      {"S com.mitv.tvhome", " ", "com.mitv.tvhome"},
      {"a b c", " ", "c"},
      {"comx", " ", ""},
      {"a b ", " ", ""},
      {"package:package:com.a", "package:", "com.a"},
      {"package:com.a", "Package:", ""},
      {"", " ", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TextAfterLast(c.text, c.separator), c.after) << c.text << " / " << c.separator;
  }
}

TEST(ListingLookups, CellOutsideTheTableIsEmpty) {
  ListingTable t;
  t.rows = {{"1", "com.a", ""}};
  EXPECT_EQ(t.Cell(1, 2), "com.a");
  EXPECT_EQ(t.Cell(0, 2), "");
  EXPECT_EQ(t.Cell(2, 2), "");
  EXPECT_EQ(t.Cell(1, 0), "");
  EXPECT_EQ(t.Cell(1, 4), "");
}

TEST(ListingLookups, RowPackage) {
  ListingTable processes;
  processes.viewMode = kProcessListing;
  processes.rows = {{"1", "u", "1", "0", "", "", "", "S com.mitv.tvhome", ""},
                    {"2", "u", "2", "0", "", "", "", "comx", ""},
                    {"3", "u", "3", "0", "", "", "", "", "x y"}};
  ListingTable packages;
  packages.viewMode = kPackageListing;
  packages.rows = {{"1", "com.a b", "note"}};
  ListingTable none = packages;
  none.viewMode = kNoListing;

  struct Case {
    const char* name;
    const ListingTable& table;
    int row;
    const char* package;
  } cases[] = {
      {"process: after the last blank of 包名", processes, 1, "com.mitv.tvhome"},
      {"process: 包名 without a blank", processes, 2, ""},
      {"process: empty 包名, other columns ignored", processes, 3, ""},
      {"process: row outside", processes, 4, ""},
      {"package: the cell unchanged", packages, 1, "com.a b"},
      {"no listing", none, 1, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RowPackage(c.table, c.row), c.package) << c.name;
  }
}

TEST(ListingLookups, FindPackageNote) {
  const std::vector<config::PackageNote> notes = {
      {"com.xiaomi.mitv.appstore", "应用商店", 255},
      {"com.xiaomi.mitv.app", "", 0},
      {"com.mitv.tvhome", "桌面", 16711680},
  };
  struct Case {
    const char* package;
    int index;
  } cases[] = {
      {"", -1},
      {"com.xiaomi.mitv.appstore", 1},
      {"com.xiaomi.mitv.app", 1},       // part of the first note's Pack: first match wins
      {"tvhome", 3},                    // any part of a Pack
      {"com.mitv.tvhome.extra", 0},     // a Pack inside the name is no match
      {"COM.MITV.TVHOME", 0},           // case-sensitive
      {"com.android.settings", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FindPackageNote(notes, c.package), c.index) << c.package;
  }
  EXPECT_EQ(FindPackageNote({}, "com.a"), 0);
  EXPECT_EQ(FindPackageNote({}, ""), -1);
}

}  // namespace
}  // namespace quenlo::device
