// The configuration used when config.xml is missing or does not parse, in
// exactly the bytes the writer produces (the literals compile to GBK).
#include "config/configuration.h"

namespace quenlo::config {
namespace {

constexpr char kDefault[] =
    "<?xml version=\"1.0\" encoding=\"gb18030\"?>\r\n"
    "<head ip=\"192.168.1.7\" tips=\"Quenlo 只在它的项目主页发布;从其他地方得到的副本,使用之前请先检查.\">\r\n"
    "\t<windowPos left=\"157\" top=\"115\" width=\"1017\" height=\"500\"/>\r\n"
    "\t<Explain tips=\"这里存放的是包名的备注,Pack=包名,Tips=说明,rgb=十进制rgb颜色值\">\r\n"
    "\t\t<data Pack=\"com.sohu.inputmethod.sogou.tv\" Tips=\"搜狗输入法\" rgb=\"16711680\"/>\r\n"
    "\t\t<data Pack=\"com.mitv.tvhome\" Tips=\"!!!谨慎删除,这个是小米桌面,删除之前请先下载第三方桌面\" rgb=\"255\"/>\r\n"
    "\t\t<data Pack=\"com.duokan.videodaily\" Tips=\"今日头屏\" rgb=\"16711680\"/>\r\n"
    "\t\t<data Pack=\"com.miui.systemAdSolution\" Tips=\"系统广告\" rgb=\"16711680\"/>\r\n"
    "\t\t<data Pack=\"com.xiaomi.mitv.upgrade\" Tips=\"系统更新 !!!注意：删除后无法更新系统\" rgb=\"255\"/>\r\n"
    "\t\t<data Pack=\"com.android.defcontainer\" Tips=\"去除安装 !!!注意：删除这个后系统无法安装应用\" rgb=\"255\"/>\r\n"
    "\t\t<data Pack=\"com.xiaomi.mibox.gamecenter\" Tips=\"游戏中心\" rgb=\"16711680\"/>\r\n"
    "\t\t<data Pack=\"com.xiaomi.tv.gallery\" Tips=\"时尚画报\" rgb=\"16711680\"/>\r\n"
    "\t\t<data Pack=\"com.mitv.screensaver\" Tips=\"屏幕保护\" rgb=\"16711680\"/>\r\n"
    "\t\t<data Pack=\"com.mitv.codec.update\" Tips=\"什么东西的更新,没测试....\" rgb=\"0\"/>\r\n"
    "\t\t<data Pack=\"com.xiaomi.mitv.tvplayer\" Tips=\"小米播放器,应该是不能删除的,我没删除\" rgb=\"0\"/>\r\n"
    "\t\t<data Pack=\"com.xiaomi.tweather\" Tips=\"天气预报\" rgb=\"16711680\"/>\r\n"
    "\t\t<data Pack=\"com.xiaomi.mitv.appstore\" Tips=\"应用商城\" rgb=\"255\"/>\r\n"
    "\t\t<data Pack=\"com.xiaomi.smarthome.tv\" Tips=\"米家\" rgb=\"0\"/>\r\n"
    "\t\t<data Pack=\"com.xiaomi.mitv.handbook\" Tips=\"用户手册\" rgb=\"16711680\"/>\r\n"
    "\t\t<data Pack=\"com.xiaomi.mitv.calendar\" Tips=\"日历\" rgb=\"16711680\"/>\r\n"
    "\t\t<data Pack=\"com.xiaomi.mitv.shop\" Tips=\"购物\" rgb=\"16711680\"/>\r\n"
    "\t</Explain>\r\n"
    "\t<prop tips=\"这里是显示在组合框里的项目,name=显示在组合框中的名字,command=执行的命令,菜单对应这里选中的项目\">\r\n"
    "\t\t<comboBox name=\"查看进程\" command=\"adb shell ps\"/>\r\n"
    "\t\t<comboBox name=\"查看包名\" command=\"adb shell pm list packages\"/>\r\n"
    "\t</prop>\r\n"
    "\t<menu tips=\"command说明:SetColor(),调用设置颜色函数,delete()调用删除说明函数,属性里的参数 (pack)=包名,(pid)=进程ID,(ppid)父进程ID,不区分大小写\">\r\n"
    "\t\t<menu1 tips=\"name=显示的名字,command=执行的命令,command=popupMenu时是弹出式菜单,左边组合框选择第1个时弹出这个菜单\">\r\n"
    "\t\t\t<item name=\"结束进程(&amp;E)\" command=\"adb shell am force-stop (pack)\"/>\r\n"
    "\t\t\t<item name=\"结束进程并清除数据\" command=\"adb shell pm clear (pack)\"/>\r\n"
    "\t\t\t<item name=\"查看进程状态(&amp;R)\" command=\"adb shell ps -x (pack)\"/>\r\n"
    "\t\t\t<item name=\"演示弹出式菜单添加\" command=\"popupMenu\">\r\n"
    "\t\t\t\t<item2 name=\"弹出式菜单1\" command=\"选中这个菜单执行的命令\"/>\r\n"
    "\t\t\t\t<item2 name=\"弹出式菜单2\" command=\"(pack) = 当前选中项的包名,执行时会替换成包名\"/>\r\n"
    "\t\t\t\t<item2 name=\"多层弹出式菜单\" command=\"popupMenu\">\r\n"
    "\t\t\t\t\t<item3 name=\"多层1\" command=\"命令这里有两个固定执行的功能\"/>\r\n"
    "\t\t\t\t\t<item3 name=\"多层2\" command=\"SetColor() = 设置颜色,delete() = 删除说明,记得有括号\"/>\r\n"
    "\t\t\t\t</item2>\r\n"
    "\t\t\t</item>\r\n"
    "\t\t\t<item name=\"设置显示颜色\" command=\"setColor()\"/>\r\n"
    "\t\t\t<item name=\"删除说明\" command=\"delete()\"/>\r\n"
    "\t\t</menu1>\r\n"
    "\t\t<menu2 tips=\"name=显示的名字,command=执行的命令,command=popupMenu时是弹出式菜单,左边组合框选择第2个时弹出这个菜单\">\r\n"
    "\t\t\t<item name=\"卸载\" command=\"adb shell pm uninstall --user 0 (pack)\"/>\r\n"
    "\t\t\t<item name=\"卸载-保留数据\" command=\"adb shell pm uninstall -k --user 0 (pack)\"/>\r\n"
    "\t\t\t<item name=\"清除缓存\" command=\"adb shell pm clear (pack)\"/>\r\n"
    "\t\t\t<item name=\"禁用\" command=\"adb shell pm disable -k --user 0 (pack)\"/>\r\n"
    "\t\t\t<item name=\"恢复禁用\" command=\"adb shell pm enable -k --user 0 (pack)\"/>\r\n"
    "\t\t\t<item name=\"设置显示颜色\" command=\"setColor()\"/>\r\n"
    "\t\t\t<item name=\"删除说明\" command=\"delete()\"/>\r\n"
    "\t\t</menu2>\r\n"
    "\t</menu>\r\n"
    "</head>";

}  // namespace

std::string_view DefaultConfiguration() { return {kDefault, sizeof kDefault - 1}; }

}  // namespace quenlo::config
