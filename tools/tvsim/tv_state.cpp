#include "tv_state.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>

namespace tvsim {
namespace {

constexpr int kSystemUid = 1000;
constexpr int kRadioUid = 1001;
constexpr int kBluetoothUid = 1002;
constexpr int kShellUid = 2000;
constexpr int kFirstAppUid = 10000;

struct PackageRow {
  const char* name;
  bool system;
  int sharedUid;  // 0: an application uid of its own
  bool installed;
  EnabledState enabled;
};

constexpr EnabledState kOn = EnabledState::Enabled;
constexpr EnabledState kOff = EnabledState::Disabled;

// Grouped for reading; the list is mixed before use, as the package manager
// lists in no particular order.
const PackageRow kPackages[] = {
    // The platform.
    {"android", true, kSystemUid, true, kOn},
    {"com.android.providers.settings", true, kSystemUid, true, kOn},
    {"com.android.settings", true, kSystemUid, true, kOn},
    {"com.android.keychain", true, kSystemUid, true, kOn},
    {"com.android.location.fused", true, kSystemUid, true, kOn},
    {"com.android.inputdevices", true, kSystemUid, true, kOn},
    {"com.android.server.telecom", true, kSystemUid, true, kOn},
    {"com.android.providers.telephony", true, kRadioUid, true, kOn},
    {"com.android.bluetooth", true, kBluetoothUid, true, kOn},
    {"com.android.shell", true, kShellUid, true, kOn},
    {"com.android.systemui", true, 0, true, kOn},
    {"com.android.packageinstaller", true, 0, true, kOn},
    {"com.android.webview", true, 0, true, kOn},
    {"com.android.providers.media", true, 0, true, kOn},
    {"com.android.providers.downloads", true, 0, true, kOn},
    {"com.android.providers.downloads.ui", true, 0, true, kOn},
    {"com.android.providers.contacts", true, 0, true, kOn},
    {"com.android.providers.calendar", true, 0, true, kOn},
    {"com.android.providers.userdictionary", true, 0, true, kOn},
    {"com.android.providers.tv", true, 0, true, kOn},
    {"com.android.externalstorage", true, 0, true, kOn},
    {"com.android.documentsui", true, 0, true, kOn},
    {"com.android.defcontainer", true, 0, true, kOn},
    {"com.android.certinstaller", true, 0, true, kOn},
    {"com.android.backupconfirm", true, 0, true, kOn},
    {"com.android.sharedstoragebackup", true, 0, true, kOn},
    {"com.android.proxyhandler", true, 0, true, kOn},
    {"com.android.vpndialogs", true, 0, true, kOn},
    {"com.android.statementservice", true, 0, true, kOn},
    {"com.android.bluetoothmidiservice", true, 0, true, kOn},
    {"com.android.captiveportallogin", true, 0, true, kOn},
    {"com.android.pacprocessor", true, 0, true, kOn},
    {"com.android.printspooler", true, 0, true, kOff},
    {"com.android.dreams.basic", true, 0, true, kOff},
    {"com.android.inputmethod.latin", true, 0, true, kOn},
    {"com.android.wallpapercropper", true, 0, true, kOn},
    {"com.android.wallpaper.livepicker", true, 0, true, kOn},
    {"com.android.htmlviewer", true, 0, true, kOn},
    {"com.android.musicfx", true, 0, true, kOn},
    {"com.android.managedprovisioning", true, 0, true, kOn},
    {"com.android.mtp", true, 0, true, kOn},
    {"com.android.onetimeinitializer", true, 0, true, kOn},
    {"com.android.smspush", true, 0, true, kOn},
    {"com.android.carrierconfig", true, 0, true, kOn},
    {"com.android.mms.service", true, 0, true, kOn},
    {"com.android.providers.partnerbookmarks", true, 0, true, kOn},
    {"com.android.browser", true, 0, false, kOn},
    {"com.svox.pico", true, 0, true, kOn},
    // The SoC vendor's TV platform.
    {"com.droidlogic", true, kSystemUid, true, kOn},
    {"com.droidlogic.tvinput", true, kSystemUid, true, kOn},
    {"com.droidlogic.appinstall", true, 0, true, kOn},
    {"com.droidlogic.mediacenter", true, 0, true, kOn},
    {"com.droidlogic.PPPoE", true, kSystemUid, true, kOn},
    {"com.droidlogic.otaupgrade", true, kSystemUid, true, kOn},
    // Xiaomi's system, apps and advertising.
    {"com.sohu.inputmethod.sogou.tv", true, 0, true, kOn},
    {"com.mitv.tvhome", true, 0, true, kOn},
    {"com.duokan.videodaily", true, 0, true, kOn},
    {"com.miui.systemAdSolution", true, 0, true, kOn},
    {"com.xiaomi.mitv.upgrade", true, kSystemUid, true, kOn},
    {"com.xiaomi.mibox.gamecenter", true, 0, true, kOn},
    {"com.xiaomi.tv.gallery", true, 0, true, kOn},
    {"com.mitv.screensaver", true, 0, true, kOn},
    {"com.mitv.codec.update", true, 0, true, kOn},
    {"com.xiaomi.mitv.tvplayer", true, kSystemUid, true, kOn},
    {"com.xiaomi.tweather", true, 0, true, kOn},
    {"com.xiaomi.mitv.appstore", true, 0, true, kOn},
    {"com.xiaomi.smarthome.tv", true, 0, true, kOn},
    {"com.xiaomi.mitv.handbook", true, 0, true, kOn},
    {"com.xiaomi.mitv.calendar", true, 0, true, kOn},
    {"com.xiaomi.mitv.shop", true, 0, true, kOn},
    {"com.xiaomi.mitv.advertise", true, 0, true, kOn},
    {"com.miui.tv.analytics", true, 0, true, kOn},
    {"com.xiaomi.statistic", true, 0, true, kOn},
    {"com.mitv.alarmcenter", true, 0, true, kOn},
    {"com.xiaomi.mitv.karaoke", true, 0, true, kOn},
    {"com.xiaomi.mitv.payment", true, 0, true, kOn},
    {"com.xiaomi.mitv.remotecontroller.service", true, kSystemUid, true, kOn},
    {"com.xiaomi.account", true, 0, true, kOn},
    {"com.xiaomi.mitv.mediaexplorer", true, 0, true, kOn},
    {"com.xiaomi.mitv.assistantsettings", true, 0, true, kOn},
    {"com.xiaomi.mitv.voicecontrol", true, 0, true, kOn},
    {"com.xiaomi.mitv.newsfeed", true, 0, true, kOn},
    {"com.mitv.videoplayer", true, 0, true, kOn},
    {"com.xiaomi.mitv.smartshare", true, 0, true, kOn},
    {"com.xiaomi.mitv.settings", true, kSystemUid, true, kOn},
    {"com.xiaomi.tv.appupgrade", true, 0, true, kOn},
    {"com.xiaomi.mitv.systemui", true, kSystemUid, true, kOn},
    {"com.xiaomi.dm", true, 0, true, kOn},
    {"com.xiaomi.mitv.dmrdemo", true, 0, true, kOn},
    {"com.miui.core.tv", true, 0, true, kOn},
    {"com.xiaomi.xmsf", true, 0, true, kOn},
    {"com.xiaomi.mitv.tvmanager", true, 0, true, kOn},
    {"com.xiaomi.mitv.social", true, 0, true, kOn},
    {"com.xiaomi.mitv.tvpush.tvpushservice", true, 0, true, kOn},
    {"com.xiaomi.mitv.provider", true, kSystemUid, true, kOn},
    {"com.xiaomi.mitv.service", true, kSystemUid, true, kOn},
    {"com.xiaomi.mitv.factorytest", true, kSystemUid, true, kOn},
    {"com.xiaomi.mitv.netdiagnose", true, 0, true, kOn},
    {"com.xiaomi.mitv.feedback", true, 0, true, kOn},
    {"com.xiaomi.mitv.res", true, 0, true, kOn},
    {"com.xiaomi.mitv.bootguide", true, kSystemUid, true, kOn},
    {"com.xiaomi.mitv.childmode", true, 0, true, kOn},
    {"com.xiaomi.mitv.localsearch", true, 0, true, kOn},
    {"com.xiaomi.mitv.logupload", true, kSystemUid, true, kOn},
    {"com.xiaomi.mitv.bluetooth", true, kBluetoothUid, true, kOn},
    {"com.xiaomi.mitv.epg", true, 0, true, kOn},
    {"com.xiaomi.mitv.sound", true, kSystemUid, true, kOn},
    {"com.xiaomi.mitv.theme", true, 0, true, kOn},
    {"com.xiaomi.mitv.music", true, 0, true, kOn},
    {"com.xiaomi.mitv.photo", true, 0, true, kOn},
    {"com.xiaomi.mitv.usbdisk", true, 0, true, kOn},
    {"com.xiaomi.mitv.screenshot", true, 0, true, kOn},
    {"com.xiaomi.mitv.eyecare", true, 0, true, kOn},
    {"com.xiaomi.mitv.vip", true, 0, true, kOn},
    {"com.xiaomi.mitv.tvtoolbox", true, 0, true, kOn},
    {"com.xiaomi.mitv.pay.sdk", true, 0, true, kOn},
    {"com.xiaomi.mitv.milink", true, 0, true, kOn},
    {"com.xiaomi.gamecenter.sdk.service.mibox", true, 0, true, kOn},
    {"com.xiaomi.tv.desktop.widget", true, 0, true, kOn},
    {"com.xiaomi.tv.cloudservice", true, 0, true, kOn},
    {"com.xiaomi.tv.livebroadcast", true, 0, true, kOn},
    {"com.xiaomi.tv.weatherwidget", true, 0, true, kOn},
    {"com.xiaomi.tv.sports", true, 0, true, kOn},
    {"com.xiaomi.tv.kidsvideo", true, 0, true, kOn},
    {"com.xiaomi.micloudsdk.tv", true, 0, true, kOn},
    {"com.xiaomi.passport.tv", true, 0, true, kOn},
    {"com.xiaomi.mitv.airkan", true, 0, true, kOn},
    {"com.miui.tv.provision", true, kSystemUid, true, kOn},
    {"com.miui.tv.milinkservice", true, 0, true, kOn},
    {"com.miui.tv.cleaner", true, 0, true, kOn},
    {"com.miui.tv.securitycenter", true, kSystemUid, true, kOn},
    {"com.mitv.mivideoplayer", true, 0, true, kOn},
    {"com.mitv.gallery.provider", true, 0, true, kOn},
    {"com.mitv.voiceassistant", true, 0, true, kOn},
    {"com.mitv.dream", true, 0, true, kOn},
    {"com.mitv.sportvideo", true, 0, true, kOn},
    {"com.duokan.airkan.tvbox", true, 0, true, kOn},
    {"com.duokan.mitv.packagemanager", true, 0, true, kOn},
    {"com.iflytek.xiri.mitv", true, 0, true, kOn},
    {"com.tencent.qqlivetv.mitv", true, 0, true, kOn},
    {"com.gitv.tv.launcher.mitv", true, 0, true, kOn},
    {"com.ktcp.launcher.mitv", true, 0, true, kOn},
    // Installed by the owner.
    {"com.dianshijia.newlive", false, 0, true, kOn},
    {"com.dangbeimarket", false, 0, true, kOn},
    {"com.ktcp.video", false, 0, true, kOn},
    {"com.gitvdemo.video", false, 0, true, kOn},
    {"com.hunantv.license", false, 0, true, kOn},
    {"com.cibn.tv", false, 0, true, kOn},
    {"com.moretv.android", false, 0, true, kOn},
    {"com.tencent.qqmusictv", false, 0, true, kOn},
    {"com.shafa.market", false, 0, true, kOn},
    {"com.youku.taitan.tv", false, 0, true, kOn},
    {"com.sohuott.tv.vod", false, 0, true, kOn},
};

// One row of the process table: parent "kernel" (kthreadd's children),
// "init", "zygote", or none for init and kthreadd themselves.
struct ProcessRow {
  const char* user;  // nullptr: the user of `package`
  const char* name;
  const char* package;  // "" for kernel threads and daemons
  const char* parent;
  const char* wchan;
  long vsize;
  long rss;
  const char* state;
};

const ProcessRow kProcesses[] = {
    {"root", "/init", "", "", "SyS_epoll_wait", 8744, 704, "S"},
    {"root", "kthreadd", "", "", "kthreadd", 0, 0, "S"},
    {"root", "ksoftirqd/0", "", "kernel", "smpboot_thread_fn", 0, 0, "S"},
    {"root", "kworker/0:0H", "", "kernel", "worker_thread", 0, 0, "S"},
    {"root", "rcu_preempt", "", "kernel", "rcu_gp_kthread", 0, 0, "S"},
    {"root", "rcu_bh", "", "kernel", "rcu_gp_kthread", 0, 0, "S"},
    {"root", "rcu_sched", "", "kernel", "rcu_gp_kthread", 0, 0, "S"},
    {"root", "migration/0", "", "kernel", "smpboot_thread_fn", 0, 0, "S"},
    {"root", "watchdog/0", "", "kernel", "smpboot_thread_fn", 0, 0, "S"},
    {"root", "migration/1", "", "kernel", "smpboot_thread_fn", 0, 0, "S"},
    {"root", "ksoftirqd/1", "", "kernel", "smpboot_thread_fn", 0, 0, "S"},
    {"root", "khelper", "", "kernel", "rescuer_thread", 0, 0, "S"},
    {"root", "netns", "", "kernel", "rescuer_thread", 0, 0, "S"},
    {"root", "writeback", "", "kernel", "rescuer_thread", 0, 0, "S"},
    {"root", "kblockd", "", "kernel", "rescuer_thread", 0, 0, "S"},
    {"root", "cfg80211", "", "kernel", "rescuer_thread", 0, 0, "S"},
    {"root", "kswapd0", "", "kernel", "kswapd", 0, 0, "S"},
    {"root", "fsnotify_mark", "", "kernel", "fsnotify_mark_destroy", 0, 0, "S"},
    {"root", "mmcqd/0", "", "kernel", "mmc_queue_thread", 0, 0, "S"},
    {"root", "jbd2/mmcblk0p12", "", "kernel", "kjournald2", 0, 0, "S"},
    {"root", "/sbin/ueventd", "", "init", "poll_schedule_timeout", 2820, 444, "S"},
    {"logd", "/system/bin/logd", "", "init", "SyS_rt_sigsuspend", 12436, 2716, "S"},
    {"root", "/system/bin/debuggerd", "", "init", "poll_schedule_timeout", 9384, 1396, "S"},
    {"root", "/system/bin/vold", "", "init", "hrtimer_nanosleep", 15028, 1788, "S"},
    {"root", "/sbin/healthd", "", "init", "SyS_epoll_wait", 4336, 512, "S"},
    {"root", "/system/bin/lmkd", "", "init", "SyS_epoll_wait", 2592, 520, "S"},
    {"system", "/system/bin/servicemanager", "", "init", "binder_thread_read", 2400, 668, "S"},
    {"system", "/system/bin/surfaceflinger", "", "init", "SyS_epoll_wait", 193936, 9900, "S"},
    {"root", "/system/bin/systemcontrol", "", "init", "binder_thread_read", 12640, 2272, "S"},
    {"system", "/system/bin/tvserver", "", "init", "binder_thread_read", 60124, 8104, "S"},
    {"root", "zygote", "", "init", "poll_schedule_timeout", 1057520, 62412, "S"},
    {"media", "/system/bin/mediaserver", "", "init", "binder_thread_read", 117312, 16160, "S"},
    {"root", "/system/bin/netd", "", "init", "binder_thread_read", 17364, 2592, "S"},
    {"install", "/system/bin/installd", "", "init", "unix_stream_read_generic", 8504, 1008, "S"},
    {"keystore", "/system/bin/keystore", "", "init", "binder_thread_read", 7968, 1536, "S"},
    {"drm", "/system/bin/drmserver", "", "init", "binder_thread_read", 20980, 4512, "S"},
    {"media_rw", "/system/bin/sdcard", "", "init", "inotify_read", 4856, 232, "S"},
    {"shell", "/sbin/adbd", "", "init", "SyS_epoll_wait", 11264, 532, "S"},
    {"system", "system_server", "", "zygote", "SyS_epoll_wait", 1339876, 115768, "S"},
    {nullptr, "com.android.systemui", "com.android.systemui", "zygote", "SyS_epoll_wait", 1208264,
     56976, "S"},
    {nullptr, "com.xiaomi.mitv.systemui", "com.xiaomi.mitv.systemui", "zygote", "SyS_epoll_wait",
     1168020, 41500, "S"},
    {nullptr, "com.sohu.inputmethod.sogou.tv", "com.sohu.inputmethod.sogou.tv", "zygote",
     "SyS_epoll_wait", 1151452, 38204, "S"},
    {nullptr, "com.droidlogic", "com.droidlogic", "zygote", "SyS_epoll_wait", 1093452, 27436, "S"},
    {nullptr, "com.droidlogic.tvinput", "com.droidlogic.tvinput", "zygote", "SyS_epoll_wait",
     1112752, 30188, "S"},
    {nullptr, "com.xiaomi.mitv.remotecontroller.service",
     "com.xiaomi.mitv.remotecontroller.service", "zygote", "SyS_epoll_wait", 1098248, 29872, "S"},
    {nullptr, "com.mitv.tvhome", "com.mitv.tvhome", "zygote", "SyS_epoll_wait", 1236669, 44276,
     "S"},
    {nullptr, "com.mitv.tvhome:remote", "com.mitv.tvhome", "zygote", "SyS_epoll_wait", 1103216,
     28684, "S"},
    {nullptr, "android.process.media", "com.android.providers.media", "zygote", "SyS_epoll_wait",
     1097812, 31224, "S"},
    {nullptr, "android.process.acore", "com.android.providers.contacts", "zygote", "SyS_epoll_wait",
     1095260, 30412, "S"},
    {nullptr, "com.xiaomi.xmsf", "com.xiaomi.xmsf", "zygote", "SyS_epoll_wait", 1110444, 33648,
     "S"},
    {nullptr, "com.xiaomi.mitv.upgrade:service", "com.xiaomi.mitv.upgrade", "zygote",
     "SyS_epoll_wait", 1099376, 28956, "S"},
    {nullptr, "com.miui.systemAdSolution", "com.miui.systemAdSolution", "zygote", "SyS_epoll_wait",
     1120540, 35812, "S"},
    {nullptr, "com.miui.systemAdSolution:remote", "com.miui.systemAdSolution", "zygote",
     "SyS_epoll_wait", 1094236, 26540, "S"},
    {nullptr, "com.xiaomi.mitv.advertise:service", "com.xiaomi.mitv.advertise", "zygote",
     "SyS_epoll_wait", 1096892, 27960, "S"},
    {nullptr, "com.miui.tv.analytics", "com.miui.tv.analytics", "zygote", "SyS_epoll_wait", 1093964,
     25812, "S"},
    {nullptr, "com.xiaomi.statistic", "com.xiaomi.statistic", "zygote", "SyS_epoll_wait", 1092716,
     24972, "S"},
    {nullptr, "com.xiaomi.account", "com.xiaomi.account", "zygote", "SyS_epoll_wait", 1101060,
     29124, "S"},
    {nullptr, "com.xiaomi.mitv.tvplayer", "com.xiaomi.mitv.tvplayer", "zygote", "SyS_epoll_wait",
     1142616, 40148, "S"},
    {nullptr, "com.xiaomi.tweather:service", "com.xiaomi.tweather", "zygote", "SyS_epoll_wait",
     1094580, 26108, "S"},
    {nullptr, "com.xiaomi.mitv.assistantsettings", "com.xiaomi.mitv.assistantsettings", "zygote",
     "SyS_epoll_wait", 1096212, 27340, "S"},
    {nullptr, "com.xiaomi.mitv.voicecontrol:service", "com.xiaomi.mitv.voicecontrol", "zygote",
     "SyS_epoll_wait", 1118904, 34432, "S"},
    {nullptr, "com.mitv.alarmcenter", "com.mitv.alarmcenter", "zygote", "SyS_epoll_wait", 1093108,
     25600, "S"},
    {nullptr, "com.xiaomi.smarthome.tv:core", "com.xiaomi.smarthome.tv", "zygote", "SyS_epoll_wait",
     1109932, 31880, "S"},
    {nullptr, "com.xiaomi.dm", "com.xiaomi.dm", "zygote", "SyS_epoll_wait", 1092200, 24116, "S"},
    {nullptr, "com.mitv.screensaver", "com.mitv.screensaver", "zygote", "SyS_epoll_wait", 1095640,
     26724, "S"},
    {nullptr, "com.xiaomi.mitv.smartshare", "com.xiaomi.mitv.smartshare", "zygote",
     "SyS_epoll_wait", 1105528, 30964, "S"},
    {nullptr, "com.xiaomi.mitv.tvmanager:service", "com.xiaomi.mitv.tvmanager", "zygote",
     "SyS_epoll_wait", 1094012, 26272, "S"},
    {nullptr, "com.duokan.videodaily:remote", "com.duokan.videodaily", "zygote", "SyS_epoll_wait",
     1097408, 27736, "S"},
    {nullptr, "com.mitv.codec.update:service", "com.mitv.codec.update", "zygote", "SyS_epoll_wait",
     1091820, 23884, "S"},
    {nullptr, "com.xiaomi.mitv.appstore:service", "com.xiaomi.mitv.appstore", "zygote",
     "SyS_epoll_wait", 1103960, 30552, "S"},
    {nullptr, "com.xiaomi.mitv.newsfeed", "com.xiaomi.mitv.newsfeed", "zygote", "SyS_epoll_wait",
     1112308, 32796, "S"},
    {nullptr, "com.dianshijia.newlive:pushservice", "com.dianshijia.newlive", "zygote",
     "SyS_epoll_wait", 1099984, 28412, "S"},
};

// The path of the package's APK, as `pm path` and `pm list packages -f` show
// it: /system/app/Name/Name.apk for the firmware's apps, /system/priv-app for
// those sharing the system uid, /data/app/... for the owner's.
std::string ApkPath(const PackageRow& row) {
  const std::string name = row.name;
  if (!row.system) return "/data/app/" + name + "-1/base.apk";
  if (name == "android") return "/system/framework/framework-res.apk";
  // The last two dotted words of the name, joined in camel case.
  std::string base;
  std::size_t dot = name.rfind('.');
  std::size_t prev =
      dot == std::string::npos || dot == 0 ? std::string::npos : name.rfind('.', dot - 1);
  std::string tail = prev == std::string::npos ? name : name.substr(prev + 1);
  bool upper = true;
  for (char c : tail) {
    if (c == '.' || c == '_') {
      upper = true;
      continue;
    }
    base.push_back(upper && c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
    upper = false;
  }
  const char* dir = row.sharedUid == kSystemUid ? "/system/priv-app/" : "/system/app/";
  return dir + base + "/" + base + ".apk";
}

bool ReadWholeFile(const std::string& path, std::string& out, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (error) *error = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  std::ostringstream ss;
  ss << in.rdbuf();
  out = ss.str();
  return true;
}

const Json* Member(const Json& obj, const char* key, Json::Type type, std::string* error,
                   const std::string& where) {
  const Json* v = obj.Find(key);
  if (!v || v->type() != type) {
    if (error) *error = where + ": missing or wrong \"" + key + "\"";
    return nullptr;
  }
  return v;
}

}  // namespace

const char* EnabledStateName(EnabledState state) {
  switch (state) {
    case EnabledState::Enabled:
      return "enabled";
    case EnabledState::Disabled:
      return "disabled";
    case EnabledState::DisabledUser:
      return "disabled-user";
  }
  return "enabled";
}

std::optional<EnabledState> EnabledStateFromName(const std::string& name) {
  if (name == "enabled") return EnabledState::Enabled;
  if (name == "disabled") return EnabledState::Disabled;
  if (name == "disabled-user") return EnabledState::DisabledUser;
  return std::nullopt;
}

Package* TvState::FindPackage(const std::string& name) {
  for (auto& p : packages)
    if (p.name == name) return &p;
  return nullptr;
}

const Package* TvState::FindPackage(const std::string& name) const {
  for (const auto& p : packages)
    if (p.name == name) return &p;
  return nullptr;
}

int TvState::StopPackage(const std::string& package) {
  const auto before = processes.size();
  std::erase_if(processes,
                [&](const Process& p) { return !p.package.empty() && p.package == package; });
  return static_cast<int>(before - processes.size());
}

std::string UserName(int uid) {
  switch (uid) {
    case 0:
      return "root";
    case kSystemUid:
      return "system";
    case kRadioUid:
      return "radio";
    case kBluetoothUid:
      return "bluetooth";
    case kShellUid:
      return "shell";
    default:
      break;
  }
  if (uid >= kFirstAppUid && uid < 20000) return "u0_a" + std::to_string(uid - kFirstAppUid);
  return std::to_string(uid);
}

TvState DefaultTv() {
  TvState state;
  int nextApp = kFirstAppUid + 10;
  for (const auto& row : kPackages) {
    Package p;
    p.name = row.name;
    p.system = row.system;
    p.installed = row.installed;
    p.enabled = row.enabled;
    p.uid = row.sharedUid ? row.sharedUid : nextApp++;
    p.path = ApkPath(row);
    state.packages.push_back(std::move(p));
  }
  // Mixed in a fixed way, so every default television lists alike.
  uint32_t seed = 0x5eed1234u;
  for (std::size_t i = state.packages.size(); i > 1; --i) {
    seed = seed * 1664525u + 1013904223u;
    std::swap(state.packages[i - 1], state.packages[(seed >> 8) % i]);
  }

  int pid = 1, kthreadd = 0, init = 0, zygote = 0;
  for (const auto& row : kProcesses) {
    Process p;
    p.pid = pid;
    p.name = row.name;
    p.package = row.package;
    const std::string parent = row.parent;
    p.ppid = parent == "kernel"   ? kthreadd
             : parent == "init"   ? init
             : parent == "zygote" ? zygote
                                  : 0;
    if (row.user) {
      p.user = row.user;
    } else {
      const Package* pkg = state.FindPackage(row.package);
      p.user = UserName(pkg ? pkg->uid : 0);
    }
    p.vsize = row.vsize;
    p.rss = row.rss;
    p.wchan = row.wchan;
    p.state = row.state;
    if (p.name == "/init") init = p.pid;
    if (p.name == "kthreadd") kthreadd = p.pid;
    if (p.name == "zygote") zygote = p.pid;
    state.processes.push_back(std::move(p));
    // Gaps between pids, as a system that has been running a while shows.
    if (pid < 3)
      pid += 1;
    else if (parent == "kernel")
      pid += 2 + pid % 5;
    else if (parent == "zygote")
      pid += 17 + (pid * 7) % 31;
    else
      pid += 3 + pid % 11;
  }
  return state;
}

Json ToJson(const TvState& state) {
  Json root = Json::Object();
  Json packages = Json::Array();
  for (const auto& p : state.packages) {
    Json o = Json::Object();
    o.Set("name", p.name);
    o.Set("system", p.system);
    o.Set("installed", p.installed);
    o.Set("enabled", EnabledStateName(p.enabled));
    o.Set("uid", p.uid);
    o.Set("path", p.path);
    packages.Push(std::move(o));
  }
  root.Set("packages", std::move(packages));
  Json processes = Json::Array();
  for (const auto& p : state.processes) {
    Json o = Json::Object();
    o.Set("user", p.user);
    o.Set("pid", p.pid);
    o.Set("ppid", p.ppid);
    o.Set("vsize", static_cast<int64_t>(p.vsize));
    o.Set("rss", static_cast<int64_t>(p.rss));
    o.Set("wchan", p.wchan);
    o.Set("pc", p.pc);
    o.Set("state", p.state);
    o.Set("name", p.name);
    o.Set("package", p.package);
    processes.Push(std::move(o));
  }
  root.Set("processes", std::move(processes));
  Json changes = Json::Array();
  for (const auto& c : state.changes) {
    Json o = Json::Object();
    o.Set("command", c.command);
    o.Set("output", c.output);
    changes.Push(std::move(o));
  }
  root.Set("changes", std::move(changes));
  return root;
}

std::optional<TvState> FromJson(const Json& json, std::string* error) {
  using T = Json::Type;
  if (!json.IsObject()) {
    if (error) *error = "the state is not a JSON object";
    return std::nullopt;
  }
  TvState state;
  const Json* packages = Member(json, "packages", T::Array, error, "state");
  if (!packages) return std::nullopt;
  for (std::size_t i = 0; i < packages->Items().size(); ++i) {
    const Json& o = packages->Items()[i];
    const std::string where = "packages[" + std::to_string(i) + "]";
    if (!o.IsObject()) {
      if (error) *error = where + ": not an object";
      return std::nullopt;
    }
    const Json* name = Member(o, "name", T::String, error, where);
    const Json* system = Member(o, "system", T::Bool, error, where);
    const Json* installed = Member(o, "installed", T::Bool, error, where);
    const Json* enabled = Member(o, "enabled", T::String, error, where);
    if (!name || !system || !installed || !enabled) return std::nullopt;
    auto en = EnabledStateFromName(enabled->AsString());
    if (!en || name->AsString().empty()) {
      if (error) *error = where + ": bad \"name\" or \"enabled\"";
      return std::nullopt;
    }
    Package p;
    p.name = name->AsString();
    p.system = system->AsBool();
    p.installed = installed->AsBool();
    p.enabled = *en;
    if (const Json* uid = o.Find("uid"); uid && uid->IsNumber())
      p.uid = static_cast<int>(uid->AsInt());
    if (const Json* path = o.Find("path"); path && path->IsString()) p.path = path->AsString();
    state.packages.push_back(std::move(p));
  }
  if (const Json* processes = json.Find("processes")) {
    if (!processes->IsArray()) {
      if (error) *error = "state: \"processes\" is not an array";
      return std::nullopt;
    }
    for (std::size_t i = 0; i < processes->Items().size(); ++i) {
      const Json& o = processes->Items()[i];
      const std::string where = "processes[" + std::to_string(i) + "]";
      if (!o.IsObject()) {
        if (error) *error = where + ": not an object";
        return std::nullopt;
      }
      const Json* pid = Member(o, "pid", T::Number, error, where);
      const Json* name = Member(o, "name", T::String, error, where);
      if (!pid || !name) return std::nullopt;
      Process p;
      p.pid = static_cast<int>(pid->AsInt());
      p.name = name->AsString();
      auto str = [&](const char* key, std::string& field) {
        if (const Json* v = o.Find(key); v && v->IsString()) field = v->AsString();
      };
      auto num = [&](const char* key, auto& field) {
        if (const Json* v = o.Find(key); v && v->IsNumber())
          field = static_cast<std::remove_reference_t<decltype(field)>>(v->AsInt());
      };
      str("user", p.user);
      str("wchan", p.wchan);
      str("pc", p.pc);
      str("state", p.state);
      str("package", p.package);
      num("ppid", p.ppid);
      num("vsize", p.vsize);
      num("rss", p.rss);
      state.processes.push_back(std::move(p));
    }
  }
  if (const Json* changes = json.Find("changes"); changes && changes->IsArray()) {
    for (const Json& o : changes->Items()) {
      if (!o.IsObject()) continue;
      Change c;
      if (const Json* v = o.Find("command"); v && v->IsString()) c.command = v->AsString();
      if (const Json* v = o.Find("output"); v && v->IsString()) c.output = v->AsString();
      state.changes.push_back(std::move(c));
    }
  }
  return state;
}

std::optional<TvState> LoadState(const std::string& path, std::string* error) {
  std::string text;
  if (!ReadWholeFile(path, text, error)) return std::nullopt;
  std::string parseError;
  std::optional<Json> json = Json::Parse(text, &parseError);
  if (!json) {
    if (error) *error = path + ": " + parseError;
    return std::nullopt;
  }
  return FromJson(*json, error);
}

bool SaveState(const TvState& state, const std::string& path, std::string* error) {
  // Packages, processes and changes one to a line.
  const std::string text = ToJson(state).Dump(2, 2);
  const std::string tmp = path + ".tmp." + std::to_string(getpid());
  const int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    if (error) *error = "cannot write " + tmp + ": " + std::strerror(errno);
    return false;
  }
  std::size_t done = 0;
  bool ok = true;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  if (ok && fsync(fd) != 0) ok = false;
  const int savedErrno = errno;
  if (close(fd) != 0) ok = false;
  if (ok && rename(tmp.c_str(), path.c_str()) != 0) ok = false;
  if (!ok) {
    if (error)
      *error = "cannot write " + path + ": " + std::strerror(savedErrno ? savedErrno : errno);
    unlink(tmp.c_str());
  }
  return ok;
}

std::map<std::string, std::string> DeviceProperties(int android) {
  const bool seven = android >= 7;
  std::map<std::string, std::string> props = {
      {"ro.product.model", "MiTV4A"},
      {"ro.product.name", "dangal"},
      {"ro.product.device", "dangal"},
      {"ro.product.board", "dangal"},
      {"ro.product.brand", "Xiaomi"},
      {"ro.product.manufacturer", "Xiaomi"},
      {"ro.product.cpu.abi", "armeabi-v7a"},
      {"ro.product.locale", "zh-CN"},
      {"ro.product.locale.language", "zh"},
      {"ro.product.locale.region", "CN"},
      {"ro.hardware", "amlogic"},
      {"ro.board.platform", "gxl"},
      {"ro.serialno", "17368a0c2f9b51e4"},
      {"ro.boot.serialno", "17368a0c2f9b51e4"},
      {"ro.build.type", "user"},
      {"ro.build.tags", "release-keys"},
      {"ro.build.user", "builder"},
      {"ro.build.host", "mitv-build-04"},
      {"ro.secure", "1"},
      {"ro.debuggable", "0"},
      {"ro.adb.secure", "0"},
      {"persist.sys.timezone", "Asia/Shanghai"},
      {"persist.sys.locale", "zh-CN"},
      {"sys.boot_completed", "1"},
      {"service.adb.tcp.port", "5555"},
      {"dhcp.eth0.ipaddress", ""},
      {"ro.mitv.product.model", "L43M5-5A"},
  };
  props["ro.build.version.release"] = seven ? "7.1.2" : "6.0.1";
  props["ro.build.version.sdk"] = seven ? "25" : "23";
  props["ro.build.version.incremental"] = seven ? "1.3.212" : "1.3.98";
  props["ro.build.version.security_patch"] = seven ? "2018-06-01" : "2017-05-01";
  props["ro.build.id"] = seven ? "NHG47K" : "MMB29M";
  props["ro.build.display.id"] = props["ro.build.id"] + " release-keys";
  props["ro.build.fingerprint"] = "Xiaomi/dangal/dangal:" + props["ro.build.version.release"] +
                                  "/" + props["ro.build.id"] + "/" +
                                  props["ro.build.version.incremental"] + ":user/release-keys";
  return props;
}

}  // namespace tvsim
