// The television's shell: what pm, am, cmd, ps, getprop, echo and the shell
// itself answer, and how the commands change the TV.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>

#include "tv_shell.h"
#include "tv_state.h"

using namespace tvsim;

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

std::vector<std::string> Listed(const std::string& pmOutput) {
  std::vector<std::string> names;
  for (const auto& line : Lines(pmOutput)) {
    EXPECT_EQ(line.rfind("package:", 0), 0u) << line;
    names.push_back(line.substr(8));
  }
  return names;
}

class TvShellTest : public ::testing::Test {
 protected:
  ShellResult Run(const std::string& line, int android = 7) {
    TvShell shell(state_, android);
    return shell.Run(line);
  }
  std::vector<std::string> ListPackages(const std::string& flags = "") {
    ShellResult r = Run("pm list packages " + flags);
    EXPECT_EQ(r.exitCode, 0) << flags;
    return Listed(r.Stdout());
  }
  bool Lists(const std::string& name, const std::string& flags = "") {
    auto names = ListPackages(flags);
    return std::find(names.begin(), names.end(), name) != names.end();
  }
  std::vector<std::string> ProcessesOf(const std::string& package) {
    std::vector<std::string> out;
    for (const auto& p : state_.processes)
      if (p.package == package) out.push_back(p.name);
    return out;
  }
  bool PsShows(const std::string& name) {
    for (const auto& line : Lines(Run("ps").Stdout()))
      if (line.size() > name.size() && line.substr(line.size() - name.size() - 1) == " " + name)
        return true;
    return false;
  }

  TvState state_ = DefaultTv();
};

}  // namespace

TEST_F(TvShellTest, AnswersAsTheTvDoes) {
  const struct {
    const char* line;
    int android;
    const char* out;
    const char* err;
    int exit;
  } cases[] = {
      {"echo hello world", 7, "hello world\n", "", 0},
      {"echo -n x", 7, "x", "", 0},
      {"echo 'a  b' \"c d\" e\\ f", 7, "a  b c d e f\n", "", 0},
      {"echo a; echo b;", 7, "a\nb\n", "", 0},
      {"echo a && echo b", 7, "a\nb\n", "", 0},
      {"false && echo no", 7, "", "", 1},
      {"false || echo yes", 7, "yes\n", "", 0},
      {"true && false || echo rescued", 7, "rescued\n", "", 0},
      {"/system/bin/echo full path", 7, "full path\n", "", 0},
      {"echo hidden >/dev/null", 7, "", "", 0},
      {"nosuch --flag", 7, "", "/system/bin/sh: nosuch: not found\n", 127},
      {"nosuch 2>/dev/null", 7, "", "", 127},
      {"nosuch 2>&1", 7, "/system/bin/sh: nosuch: not found\n", "", 127},
      {"nosuch >/dev/null 2>&1", 7, "", "", 127},
      {"echo 'no end", 7, "", "/system/bin/sh: no closing quote\n", 1},
      {"; echo x", 7, "", "/system/bin/sh: syntax error: ';' unexpected\n", 1},
      {"echo x |", 7, "", "/system/bin/sh: syntax error: unexpected end of line\n", 1},
      {"getprop ro.product.model", 7, "MiTV4A\n", "", 0},
      {"getprop ro.product.manufacturer", 6, "Xiaomi\n", "", 0},
      {"getprop ro.build.version.sdk", 6, "23\n", "", 0},
      {"getprop ro.build.version.sdk", 7, "25\n", "", 0},
      {"getprop no.such.property", 7, "\n", "", 0},
      {"getprop no.such.property fallback", 7, "fallback\n", "", 0},
      {"cmd package list packages tvhome", 7, "package:com.mitv.tvhome\n", "", 0},
      {"cmd package list packages tvhome", 6, "", "/system/bin/sh: cmd: not found\n", 127},
      {"cmd nosuchservice", 7, "", "cmd: Can't find service: nosuchservice\n", 20},
      {"pm list", 7, "", "Error: didn't specify type of data to list\n", 1},
      {"pm list packages -z", 7, "", "Error: Unknown option: -z\n", 1},
      {"pm list packages --user", 7, "", "Error: no USER_ID specified\n", 1},
      {"pm path com.mitv.tvhome", 7, "package:/system/app/MitvTvhome/MitvTvhome.apk\n", "", 0},
      {"pm path com.no.such", 7, "", "", 1},
      {"pm uninstall com.no.such", 7, "Failure [DELETE_FAILED_INTERNAL_ERROR]\n", "", 1},
      {"pm uninstall --user 0 com.no.such", 6, "Failure [DELETE_FAILED_INTERNAL_ERROR]\n", "", 1},
      {"pm uninstall com.mitv.tvhome", 7, "Failure [DELETE_FAILED_INTERNAL_ERROR]\n", "", 1},
      {"pm uninstall --user 0 com.android.browser", 7, "Failure [not installed for 0]\n", "", 1},
      {"pm uninstall --user 10 com.mitv.tvhome", 7, "Failure [not installed for 10]\n", "", 1},
      {"pm uninstall", 7, "", "Error: package name not specified\n", 1},
      {"pm disable com.no.such", 7, "",
       "Error: java.lang.IllegalArgumentException: Unknown package: com.no.such\n", 1},
      {"pm disable-user --user 0 com.no.such", 6, "",
       "Error: java.lang.IllegalArgumentException: Unknown package: com.no.such\n", 1},
      {"pm clear com.no.such", 7, "", "Failed\n", 1},
      {"pm install-existing com.no.such", 7,
       "android.content.pm.PackageManager$NameNotFoundException: Package com.no.such doesn't "
       "exist\n",
       "", 1},
      {"pm frobnicate", 7, nullptr, nullptr, 1},
      {"am force-stop com.no.such", 7, "", "", 0},
      {"am", 7, nullptr, nullptr, 1},
      {"ps | grep -c tvhome", 7, "2\n", "", 0},
      {"ps | grep nothing-like-this", 7, "", "", 1},
      {"echo a b c | wc -l", 7, "1\n", "", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.line) + " (Android " + std::to_string(c.android) + ")");
    state_ = DefaultTv();
    ShellResult r = Run(c.line, c.android);
    if (c.out) {
      EXPECT_EQ(r.Stdout(), c.out);
    } else {
      EXPECT_NE(r.Stderr().find("usage: "), std::string::npos) << r.Stderr();
    }
    if (c.err) {
      EXPECT_EQ(r.Stderr(), c.err);
    }
    EXPECT_EQ(r.exitCode, c.exit);
    EXPECT_FALSE(r.changed);
    EXPECT_TRUE(state_.changes.empty());
  }
}

TEST_F(TvShellTest, MergedOutputKeepsTheOrderOfWriting) {
  ShellResult r = Run("echo one; nosuch; echo two");
  EXPECT_EQ(r.Merged(), "one\n/system/bin/sh: nosuch: not found\ntwo\n");
  EXPECT_EQ(r.exitCode, 0);  // the last command's status
}

TEST_F(TvShellTest, ListFlagsSelectLikeThePackageManager) {
  // The TV comes with disabled packages, one left for another user only,
  // and both system and owner-installed apps.
  auto count = [&](auto pred) {
    return std::count_if(state_.packages.begin(), state_.packages.end(), pred);
  };
  ASSERT_GT(count([](const Package& p) { return !p.IsEnabled() && p.installed; }), 0);
  ASSERT_GT(count([](const Package& p) { return !p.installed; }), 0);
  ASSERT_GT(count([](const Package& p) { return !p.system; }), 0);

  const struct {
    const char* flags;
    bool (*keep)(const Package&);
  } cases[] = {
      {"", [](const Package& p) { return p.installed; }},
      {"-u", [](const Package&) { return true; }},
      {"-s", [](const Package& p) { return p.installed && p.system; }},
      {"-3", [](const Package& p) { return p.installed && !p.system; }},
      {"-d", [](const Package& p) { return p.installed && !p.IsEnabled(); }},
      {"-e", [](const Package& p) { return p.installed && p.IsEnabled(); }},
      {"-e -s", [](const Package& p) { return p.installed && p.IsEnabled() && p.system; }},
      {"-d -3", [](const Package& p) { return p.installed && !p.IsEnabled() && !p.system; }},
      {"-s -3", [](const Package&) { return false; }},
      {"-u -s", [](const Package& p) { return p.system; }},
      {"-3 --user 0", [](const Package& p) { return p.installed && !p.system; }},
      {"xiaomi",
       [](const Package& p) { return p.installed && p.name.find("xiaomi") != std::string::npos; }},
      {"-s mitv",
       [](const Package& p) {
         return p.installed && p.system && p.name.find("mitv") != std::string::npos;
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.flags);
    std::vector<std::string> expected;
    for (const auto& p : state_.packages)
      if (c.keep(p)) expected.push_back(p.name);
    EXPECT_EQ(ListPackages(c.flags), expected);
  }
  // The long forms of a line.
  EXPECT_EQ(Run("pm list packages -f tvhome").Stdout(),
            "package:/system/app/MitvTvhome/MitvTvhome.apk=com.mitv.tvhome\n");
  EXPECT_EQ(Run("pm list packages -3 -i dangbei").Stdout(),
            "package:com.dangbeimarket  installer=com.xiaomi.mitv.appstore\n");
  EXPECT_EQ(Run("pm list package com.android.shell").Stdout(), "package:com.android.shell\n");
}

TEST_F(TvShellTest, UninstallForUserZeroAndInstallBack) {
  const std::string pkg = "com.miui.systemAdSolution";
  ASSERT_EQ(ProcessesOf(pkg).size(), 2u);
  for (int android : {6, 7}) {
    SCOPED_TRACE(android);
    state_ = DefaultTv();
    ShellResult r = Run("pm uninstall --user 0 " + pkg, android);
    EXPECT_EQ(r.Stdout(), "Success\n");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.changed);
    EXPECT_FALSE(state_.FindPackage(pkg)->installed);
    EXPECT_FALSE(Lists(pkg));
    EXPECT_TRUE(Lists(pkg, "-u"));  // still on the system partition
    EXPECT_TRUE(ProcessesOf(pkg).empty());
    EXPECT_FALSE(PsShows(pkg));

    r = Run("pm uninstall --user 0 " + pkg, android);
    EXPECT_EQ(r.Stdout(), "Failure [not installed for 0]\n");
    EXPECT_EQ(r.exitCode, 1);

    r = Run(android >= 7 ? "cmd package install-existing " + pkg : "pm install-existing " + pkg,
            android);
    EXPECT_EQ(r.Stdout(), "Package " + pkg + " installed for user: 0\n");
    EXPECT_TRUE(Lists(pkg));

    // Only the commands that changed something are in the list.
    ASSERT_EQ(state_.changes.size(), 2u);
    EXPECT_EQ(state_.changes[0].command, "pm uninstall --user 0 " + pkg);
    EXPECT_EQ(state_.changes[0].output, "Success");
    EXPECT_EQ(state_.changes[1].output, "Package " + pkg + " installed for user: 0");
  }
}

TEST_F(TvShellTest, OwnersAppsLeaveEntirelyUnlessTheirDataIsKept) {
  ShellResult r = Run("pm uninstall com.ktcp.video");
  EXPECT_EQ(r.Stdout(), "Success\n");
  EXPECT_EQ(state_.FindPackage("com.ktcp.video"), nullptr);
  EXPECT_FALSE(Lists("com.ktcp.video", "-u"));
  EXPECT_EQ(Run("pm uninstall com.ktcp.video").Stdout(),
            "Failure [DELETE_FAILED_INTERNAL_ERROR]\n");

  r = Run("pm uninstall -k --user 0 com.dianshijia.newlive");
  EXPECT_EQ(r.Stdout(), "Success\n");
  EXPECT_FALSE(Lists("com.dianshijia.newlive"));
  EXPECT_TRUE(Lists("com.dianshijia.newlive", "-u"));
  EXPECT_TRUE(ProcessesOf("com.dianshijia.newlive").empty());
}

TEST_F(TvShellTest, DisableUserEnableAndTheRefusedPlainDisable) {
  const std::string pkg = "com.xiaomi.mitv.upgrade";
  const std::size_t before = state_.processes.size();
  ShellResult r = Run("pm disable-user --user 0 " + pkg);
  EXPECT_EQ(r.Stdout(), "Package " + pkg + " new state: disabled-user\n");
  EXPECT_EQ(state_.FindPackage(pkg)->enabled, EnabledState::DisabledUser);
  EXPECT_TRUE(Lists(pkg, "-d"));
  EXPECT_FALSE(Lists(pkg, "-e"));
  EXPECT_TRUE(Lists(pkg));  // disabled, still installed
  EXPECT_FALSE(PsShows(pkg + ":service"));
  EXPECT_EQ(state_.processes.size(), before - 1);

  r = Run("pm enable " + pkg);
  EXPECT_EQ(r.Stdout(), "Package " + pkg + " new state: enabled\n");
  EXPECT_TRUE(Lists(pkg, "-e"));

  // The shell user may not use the plain disabled state on a firmware app.
  r = Run("pm disable com.mitv.tvhome");
  EXPECT_EQ(r.Stdout(), "");
  EXPECT_EQ(
      r.Stderr().rfind("Error: java.lang.SecurityException: Permission Denial: attempt to change "
                       "component state from pid=",
                       0),
      0u)
      << r.Stderr();
  const std::string uid = std::to_string(state_.FindPackage("com.mitv.tvhome")->uid);
  EXPECT_NE(r.Stderr().find(", uid=2000, package uid=" + uid + "\n"), std::string::npos)
      << r.Stderr();
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(state_.FindPackage("com.mitv.tvhome")->IsEnabled());
  EXPECT_TRUE(PsShows("com.mitv.tvhome"));

  // An owner's app may be.
  r = Run("pm disable com.cibn.tv");
  EXPECT_EQ(r.Stdout(), "Package com.cibn.tv new state: disabled\n");
  EXPECT_TRUE(Lists("com.cibn.tv", "-d"));

  EXPECT_EQ(state_.changes.size(), 3u);
  // Enabling what is enabled changes nothing.
  EXPECT_EQ(Run("pm enable " + pkg).Stdout(), "Package " + pkg + " new state: enabled\n");
  EXPECT_EQ(state_.changes.size(), 3u);
}

TEST_F(TvShellTest, ForceStopAndClearEndTheProcessesOfOnePackage) {
  const auto tvhome = ProcessesOf("com.mitv.tvhome");
  ASSERT_EQ(tvhome, (std::vector<std::string>{"com.mitv.tvhome", "com.mitv.tvhome:remote"}));
  const std::size_t before = state_.processes.size();
  ShellResult r = Run("am force-stop com.mitv.tvhome");
  EXPECT_EQ(r.Merged(), "");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_TRUE(r.changed);
  EXPECT_EQ(state_.processes.size(), before - 2);
  EXPECT_FALSE(PsShows("com.mitv.tvhome"));
  EXPECT_FALSE(PsShows("com.mitv.tvhome:remote"));
  EXPECT_TRUE(PsShows("com.mitv.screensaver"));
  // Stopping what is stopped changes nothing.
  EXPECT_FALSE(Run("am force-stop com.mitv.tvhome").changed);

  r = Run("pm clear com.xiaomi.smarthome.tv");
  EXPECT_EQ(r.Stdout(), "Success\n");
  EXPECT_FALSE(PsShows("com.xiaomi.smarthome.tv:core"));
  EXPECT_EQ(state_.changes.size(), 2u);
  EXPECT_EQ(state_.changes[0].command, "am force-stop com.mitv.tvhome");
  EXPECT_EQ(state_.changes[0].output, "");
}

TEST_F(TvShellTest, PsPrintsTheOldToolboxFormat) {
  EXPECT_EQ(TvShell::PsHeader(), "USER     PID   PPID  VSIZE  RSS     WCHAN    PC        NAME");
  Process app{"u0_a19",         974,        224, 1236669,           44276,
              "SyS_epoll_wait", "00000000", "S", "com.mitv.tvhome", ""};
  EXPECT_EQ(TvShell::PsRow(app, false),
            "u0_a19    974   224   1236669 44276 SyS_epoll_ 00000000 S com.mitv.tvhome");

  const auto lines = Lines(Run("ps").Stdout());
  ASSERT_EQ(lines.size(), state_.processes.size() + 1);
  EXPECT_EQ(lines[0], TvShell::PsHeader());
  EXPECT_EQ(lines[1], "root      1     0     8744   704   SyS_epoll_ 00000000 S /init");
  EXPECT_EQ(lines[2], "root      2     0     0      0       kthreadd 00000000 S kthreadd");

  // -x adds the times; a name or a pid selects rows.
  const auto withTimes = Lines(Run("ps -x").Stdout());
  ASSERT_EQ(withTimes.size(), lines.size());
  for (std::size_t i = 1; i < lines.size(); ++i) {
    EXPECT_EQ(withTimes[i].rfind(lines[i] + " (u:", 0), 0u) << withTimes[i];
    EXPECT_EQ(withTimes[i].back(), ')');
  }
  EXPECT_EQ(Lines(Run("ps com.mitv.tvhome").Stdout()).size(), 3u);
  EXPECT_EQ(Lines(Run("ps 1").Stdout()), (std::vector<std::string>{lines[0], lines[1]}));
}

TEST(DefaultTvTest, HoldsARealisticXiaomiTv) {
  const TvState tv = DefaultTv();
  EXPECT_GE(tv.packages.size(), 140u);
  EXPECT_LE(tv.packages.size(), 170u);
  std::set<std::string> names;
  for (const auto& p : tv.packages) {
    EXPECT_TRUE(names.insert(p.name).second) << "twice: " << p.name;
    EXPECT_FALSE(p.path.empty()) << p.name;
    EXPECT_GE(p.uid, 1000) << p.name;
  }
  for (const char* wanted : {"com.sohu.inputmethod.sogou.tv",
                             "com.mitv.tvhome",
                             "com.duokan.videodaily",
                             "com.miui.systemAdSolution",
                             "com.xiaomi.mitv.upgrade",
                             "com.android.defcontainer",
                             "com.xiaomi.mibox.gamecenter",
                             "com.xiaomi.tv.gallery",
                             "com.mitv.screensaver",
                             "com.mitv.codec.update",
                             "com.xiaomi.mitv.tvplayer",
                             "com.xiaomi.tweather",
                             "com.xiaomi.mitv.appstore",
                             "com.xiaomi.smarthome.tv",
                             "com.xiaomi.mitv.handbook",
                             "com.xiaomi.mitv.calendar",
                             "com.xiaomi.mitv.shop",
                             "com.xiaomi.mitv.advertise",
                             "com.miui.tv.analytics",
                             "com.xiaomi.statistic",
                             "com.mitv.alarmcenter",
                             "com.xiaomi.mitv.karaoke",
                             "com.xiaomi.mitv.payment",
                             "com.xiaomi.mitv.remotecontroller.service",
                             "com.xiaomi.account",
                             "com.xiaomi.mitv.mediaexplorer",
                             "com.xiaomi.mitv.assistantsettings",
                             "com.xiaomi.mitv.voicecontrol",
                             "com.xiaomi.mitv.newsfeed",
                             "com.mitv.videoplayer",
                             "com.xiaomi.mitv.smartshare",
                             "com.xiaomi.mitv.settings",
                             "com.xiaomi.tv.appupgrade",
                             "com.xiaomi.mitv.systemui",
                             "com.xiaomi.dm",
                             "com.xiaomi.mitv.dmrdemo",
                             "com.miui.core.tv",
                             "android",
                             "com.android.providers.settings",
                             "com.android.systemui",
                             "com.android.packageinstaller",
                             "com.android.shell",
                             "com.android.webview"}) {
    const Package* p = tv.FindPackage(wanted);
    ASSERT_NE(p, nullptr) << wanted;
    EXPECT_TRUE(p->installed) << wanted;
    EXPECT_TRUE(p->system) << wanted;
  }

  EXPECT_GE(tv.processes.size(), 55u);
  EXPECT_LE(tv.processes.size(), 80u);
  int zygote = 0, lastPid = 0, services = 0;
  for (const auto& p : tv.processes) {
    EXPECT_GT(p.pid, lastPid) << "pids ascend: " << p.name;
    lastPid = p.pid;
    if (p.name == "zygote") zygote = p.pid;
    if (p.name.find(":service") != std::string::npos) ++services;
    if (p.package.empty()) continue;
    const Package* pkg = tv.FindPackage(p.package);
    ASSERT_NE(pkg, nullptr) << p.name;
    EXPECT_EQ(p.user, UserName(pkg->uid)) << p.name;
    EXPECT_EQ(p.ppid, zygote) << p.name;
    EXPECT_TRUE(p.name == p.package || p.name.rfind(p.package + ":", 0) == 0 ||
                p.name.rfind("android.process.", 0) == 0)
        << p.name;
  }
  EXPECT_GE(services, 3);
  EXPECT_EQ(UserName(10019), "u0_a19");
  EXPECT_EQ(UserName(1000), "system");
}
