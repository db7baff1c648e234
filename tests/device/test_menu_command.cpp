// Menu command decisions: which texts are built-in, how a template is filled
// from a listing row, what is asked before it runs, and the typed colours.
#include "device/menu_command.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace quenlo::device {
namespace {

using config::PackageNote;
using Notes = std::vector<PackageNote>;

ListingTable ProcessRow(const std::string& pid, const std::string& ppid, const std::string& name) {
  ListingTable t;
  t.viewMode = kProcessListing;
  t.rows = {{"1", "u0_a19", pid, ppid, "1236669", "44276", "SyS_epoll_", name, ""}};
  return t;
}

ListingTable PackageRow(const std::string& package) {
  ListingTable t;
  t.viewMode = kPackageListing;
  t.rows = {{"1", package, ""}};
  return t;
}

// ---------------------------------------------------------------------------

TEST(MenuCommandClassify, BuiltInsAndTemplates) {
  struct Case {
    const char* text;
    MenuAction action;
  } cases[] = {
      {"导入去广告XML", MenuAction::ImportDataSet},
      {"导入去广告xml", MenuAction::Template},
      {"批量执行这个列表的命令", MenuAction::BatchRun},
      {"批量执行这个列表的命令 ", MenuAction::Template},
      {"delete()", MenuAction::DeleteRemark},
      {"Delete()", MenuAction::DeleteRemark},
      {"DELETE()", MenuAction::DeleteRemark},
      {" delete()", MenuAction::Template},
      {"delete() ", MenuAction::Template},
      {"delete", MenuAction::Template},
      {"setColor()", MenuAction::SetColour},
      {"SetColor()", MenuAction::SetColour},
      {"SETCOLOR()", MenuAction::SetColour},
      {"setColour()", MenuAction::Template},
      {"adb shell pm uninstall --user 0 (pack)", MenuAction::Template},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.action, ClassifyMenuCommand(c.text)) << '"' << c.text << '"';
  }
}

TEST(MenuCommandPlaceholders, FillPlaceholders) {
  struct Case {
    const char* text;
    const char* pack;
    const char* pid;
    const char* ppid;
    const char* filled;
  } cases[] = {
      {"adb shell kill (pid)", "com.a", "974", "224", "adb shell kill 974"},
      {"(PACK) (Pid) (pPiD) (pack)", "com.a", "974", "224", "com.a 974 224 com.a"},
      {"a(pack)b(pid)c(ppid)d", "", "", "", "abcd"},
      {"(pack(pack))", "x", "", "", "(packx)"},
      // The search goes on behind the inserted value; removing a placeholder
      // does not make a new one out of what surrounds it.
      {"(pa(pack)ck)", "", "", "", "(pack)"},
      {"(pack)", "(pack)", "", "", "(pack)"},
      // The passes run in order over the whole text: a later placeholder
      // inside an earlier value is replaced, an earlier one is not.
      {"(pack)", "(pid)", "7", "", "7"},
      {"(pid)", "", "(pack)", "", "(pack)"},
      {"(pi d) (pid (ppid", "p", "1", "2", "(pi d) (pid (ppid"},
      {"卸载 (pack)", "com.a", "", "", "卸载 com.a"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FillPlaceholders(c.text, c.pack, c.pid, c.ppid), c.filled) << c.text;
  }
}

TEST(MenuCommandPlaceholders, SafeValues) {
  struct Case {
    const char* value;
    bool safe;
  } cases[] = {
      {"", true},
      {"com.xiaomi.mitv.upgrade:service", true},
      {"/system/bin/surfaceflinger", true},
      {"a-Z_0+9@x", true},
      {"com.x;rm -rf /", false},
      {"$(reboot)", false},
      {"com.`id`", false},
      {"com. x", false},
      {"a|b", false},
      {"a&b", false},
      {"a>b", false},
      {"'a'", false},
      {"\"a\"", false},
      {"a\\b", false},
      {"a\r", false},
      {"a\nb", false},
      {"a*", false},
      {"中文", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsSafeValue(c.value), c.safe) << '"' << c.value << '"';
  }
}

// ---------------------------------------------------------------------------

constexpr const char* kSensitive =
    "\r\n\r\n该包名设置为敏感操作,请确认您知道自己在操作什么,否则请点击取消";
constexpr const char* kClearText =
    "清除此进程的数据可能会对您的电视有影响,如果您不确定您在操作什么,请点击取消";

Question Ask(std::string text, std::string title, ui::Icon icon, ui::Buttons buttons) {
  return Question{std::move(text), std::move(title), icon, buttons};
}

TEST(MenuCommandTemplate, DecisionTable) {
  const Notes red = {{"com.a", "敏感", 255}};
  const Notes blue = {{"com.a", "", 16711680}};
  const Notes appstore = {{"com.xiaomi.mitv.appstore", "", 255},
                          {"com.xiaomi.mitv.app", "", 0}};
  const Notes appstoreSecond = {{"com.xiaomi.mitv.app.x", "", 0},
                                {"com.xiaomi.mitv.appstore", "", 255}};
  const ListingTable pkgA = PackageRow("com.a");
  const ListingTable procA = ProcessRow("974", "224", "S com.a");
  const ListingTable procNoBlank = ProcessRow("974", "224", "comx");
  const ListingTable app = PackageRow("com.xiaomi.mitv.app");
  ListingTable noListing = PackageRow("com.a");
  noListing.viewMode = kNoListing;
  const std::string unsafe = "包名中含有不安全的字符,为了安全,这条命令没有执行";
  const auto uninstallAsk = [](const std::string& pack) {
    return Ask("您将要卸载包名为:" + pack + ", 的程序,是否卸载?", "", ui::Icon::Question,
               ui::Buttons::YesNo);
  };

  struct Case {
    const char* name;
    Notes notes;
    const ListingTable& table;
    int row;
    std::string command;
    std::optional<Question> asked;
    bool run;
    std::string runs;  // the finished line when run
    std::string refusal = {};
  } cases[] = {
      // clear: only a sensitive package asks, with its own title.
      {"pm clear, red", red, pkgA, 1, "adb shell pm clear (pack)",
       Ask(kClearText, "注意:", ui::Icon::Question, ui::Buttons::OkCancel), true,
       "adb shell pm clear com.a"},
      {"pm clear, capital placeholder and command", red, pkgA, 1, "ADB Shell PM Clear (PACK)",
       Ask(kClearText, "注意:", ui::Icon::Question, ui::Buttons::OkCancel), true,
       "ADB Shell PM Clear com.a"},
      {"pm clear, blue", blue, pkgA, 1, "adb shell pm clear (pack)", std::nullopt, true,
       "adb shell pm clear com.a"},
      {"pm clear, no note", {}, pkgA, 1, "adb shell pm clear (pack)", std::nullopt, true,
       "adb shell pm clear com.a"},
      // uninstall always asks; the sensitive form has OK/Cancel.
      {"uninstall, no note", {}, pkgA, 1, "adb shell pm uninstall --user 0 (pack)",
       uninstallAsk("com.a"), true, "adb shell pm uninstall --user 0 com.a"},
      {"uninstall, blue", blue, pkgA, 1, "adb shell pm UNINSTALL --user 0 (Pack)",
       uninstallAsk("com.a"), true, "adb shell pm UNINSTALL --user 0 com.a"},
      {"uninstall, red", red, pkgA, 1, "adb shell pm uninstall --user 0 (pack)",
       Ask(std::string("您将要卸载包名为 com.a的程序") + kSensitive, "", ui::Icon::Question,
           ui::Buttons::OkCancel),
       true, "adb shell pm uninstall --user 0 com.a"},
      {"uninstall from a process row", {}, procA, 1, "adb uninstall (pack)",
       uninstallAsk("com.a"), true, "adb uninstall com.a"},
      // Any other command asks only for a sensitive package, naming the line.
      {"other command, red", red, pkgA, 1, "adb shell am force-stop (pack)",
       Ask(std::string("您将要调用 adb shell am force-stop com.a 命令来操作包名为 com.a") +
               kSensitive,
           "", ui::Icon::Information, ui::Buttons::OkCancel),
       true, "adb shell am force-stop com.a"},
      {"other command, blue", blue, pkgA, 1, "adb shell am force-stop (pack)", std::nullopt, true,
       "adb shell am force-stop com.a"},
      {"red note, command without placeholder", red, pkgA, 1, "adb shell ps",
       Ask(std::string("您将要调用 adb shell ps 命令来操作包名为 com.a") + kSensitive, "",
           ui::Icon::Information, ui::Buttons::OkCancel),
       true, "adb shell ps"},
      // Notes are found by a part of their Pack; the first one in the list wins.
      {"substring note, first wins (red)", appstore, app, 1, "adb shell pm clear (pack)",
       Ask(kClearText, "注意:", ui::Icon::Question, ui::Buttons::OkCancel), true,
       "adb shell pm clear com.xiaomi.mitv.app"},
      {"substring note, first wins (plain)", appstoreSecond, app, 1, "adb shell pm clear (pack)",
       std::nullopt, true, "adb shell pm clear com.xiaomi.mitv.app"},
      // Values from the row.
      {"process row fills all three", {}, procA, 1, "adb shell kill (PID) (ppid) (pack)",
       std::nullopt, true, "adb shell kill 974 224 com.a"},
      {"package row removes (pid) and (ppid)", {}, pkgA, 1, "adb shell ps -x (pid)(PPID)(pack)",
       std::nullopt, true, "adb shell ps -x com.a"},
      {"process name without a blank gives no package, even with a red note",
       {{"comx", "", 255}}, procNoBlank, 1, "adb shell pm clear (pack)", std::nullopt, true,
       "adb shell pm clear "},
      // Nothing at all.
      {"no listing", red, noListing, 1, "adb shell pm clear (pack)", std::nullopt, false, ""},
      {"row 0", red, pkgA, 0, "adb shell pm clear (pack)", std::nullopt, false, ""},
      {"row past the end", red, pkgA, 2, "adb shell pm clear (pack)", std::nullopt, false, ""},
      // Values the television printed that a shell would act on are refused,
      // before any question, whether or not the command uses them.
      {"package with ;", {}, PackageRow("com.x;rm -rf /"), 1,
       "adb shell pm uninstall --user 0 (pack)", std::nullopt, false, "", unsafe},
      {"package with $( )", {{"$(reboot)", "", 255}}, PackageRow("$(reboot)"), 1,
       "adb shell pm clear (pack)", std::nullopt, false, "", unsafe},
      {"package with backtick", {}, PackageRow("a`reboot`"), 1, "adb shell am force-stop (pack)",
       std::nullopt, false, "", unsafe},
      {"package with a blank", {}, PackageRow("com.a b"), 1, "adb shell pm clear (PACK)",
       std::nullopt, false, "", unsafe},
      // A value the command does not use cannot do harm.
      {"unsafe package not used", {}, PackageRow("com.a;reboot"), 1, "adb shell ps",
       std::nullopt, true, "adb shell ps", ""},
      {"process id", {}, ProcessRow("974|reboot", "224", "S com.a"), 1, "adb shell kill (pid)",
       std::nullopt, false, "", unsafe},
      {"parent id", {}, ProcessRow("974", "&reboot", "S com.a"), 1, "adb shell kill (ppid)",
       std::nullopt, false, "", unsafe},
      {"process name", {}, ProcessRow("974", "224", "S com.a>/sdcard/x"), 1,
       "adb shell am force-stop (pack)", std::nullopt, false, "", unsafe},
  };

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TemplatePlan plan = PlanTemplate(c.command, c.table, c.row, c.notes);
    EXPECT_EQ(plan.run, c.run);
    EXPECT_EQ(plan.command, c.runs);
    EXPECT_EQ(plan.refusal, c.refusal);
    ASSERT_EQ(plan.question.has_value(), c.asked.has_value());
    if (c.asked) {
      EXPECT_EQ(plan.question->text, c.asked->text);
      EXPECT_EQ(plan.question->title, c.asked->title);
      EXPECT_EQ(plan.question->icon, c.asked->icon);
      EXPECT_EQ(plan.question->buttons, c.asked->buttons);
    }
  }
}

// ---------------------------------------------------------------------------

TEST(MenuCommandColour, ParseColour) {
  struct Case {
    const char* text;
    std::optional<std::int32_t> colour;
  } cases[] = {
      {"255,0,0", 255},
      {"0,0,255", 16711680},
      {"0,255,0", 65280},
      {"255,255,255", 16777215},
      {"1,2,3", 1 + 256 * 2 + 65536 * 3},
      {"1,2,3,4", 1 + 256 * 2 + 65536 * 3},
      {" 1, 2 ,3", 1 + 256 * 2 + 65536 * 3},
      {"300,-1,0", 44 + 256 * 255},
      {"256,512,-256", 0},
      {"1,2", std::nullopt},
      {",", std::nullopt},
      {",,", 0},
      {"a,b,c", 0},
      {"16711680", 16711680},
      {"0", 0},
      {"abc", 0},
      {"", 0},
      {"-5", -5},
      {"99999999", 99999999},
      {"255abc", 255},
      {"２５５", 255},
      {"２５５，０，０", 255},     // the full-width comma is no separator
      {"０，０，２５５", 0},
      {"１,２,３", 1 + 256 * 2 + 65536 * 3},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseColour(c.text), c.colour) << '"' << c.text << '"';
  }
}

}  // namespace
}  // namespace quenlo::device
