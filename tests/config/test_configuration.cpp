// config.xml read and written to the byte, and the menus it defines.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "config/configuration.h"
#include "config/menus.h"
#include "xml/xml_document.h"

using namespace quenlo::config;
using quenlo::xml::XmlDocument;

namespace {

std::string Fixture(const std::string& name) {
  std::ifstream in(std::string(QUENLO_FIXTURES_DIR) + "/config/" + name, std::ios::binary);
  EXPECT_TRUE(in.good()) << name;
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A compact picture of a menu: items separated by ';', a separator as '-',
// a command item as text=command, a submenu as text[...].
std::string Dump(const PopupMenu& menu) {
  std::string out;
  for (const MenuItem& item : menu.items) {
    if (!out.empty()) out += ';';
    switch (item.kind) {
      case MenuItem::Kind::Separator: out += '-'; break;
      case MenuItem::Kind::Command: out += item.text + "=" + ResolveMenuCommand(item.commandId); break;
      case MenuItem::Kind::Submenu: out += item.text + "[" + Dump(*item.submenu) + "]"; break;
    }
  }
  return out;
}

// Reads a configuration and writes it again from what was read, as start-up
// followed by a close does.
std::string ReadAndWrite(const std::string& bytes, const WindowRect& window) {
  XmlDocument doc;
  EXPECT_TRUE(doc.LoadDocument(bytes));
  auto notes = ReadPackageNotes(doc);
  auto commands = ReadViewCommands(doc);
  auto menus = BuildMenuSet(doc);
  XmlDocument out;
  LiveConfiguration live{ReadIpAddress(doc), window, &notes, &commands, &menus};
  BuildConfigurationDocument(out, live);
  return out.Serialize();
}

}  // namespace

TEST(DefaultConfiguration, IsTheWritersOwnBytesAndHoldsTheDefaults) {
  const std::string bytes(DefaultConfiguration());
  EXPECT_EQ(bytes, Fixture("default_config.xml"));
  XmlDocument doc;
  ASSERT_TRUE(doc.LoadDocument(bytes));
  EXPECT_EQ(doc.Serialize(), bytes);

  EXPECT_EQ(ReadIpAddress(doc), "192.168.1.7");
  EXPECT_EQ(ReadWindowRect(doc, 1920, 1080), (WindowRect{157, 115, 1017, 500}));
  auto commands = ReadViewCommands(doc);
  ASSERT_EQ(commands.size(), 2u);
  EXPECT_EQ(commands[0].name, "查看进程");
  EXPECT_EQ(commands[0].command, "adb shell ps");
  EXPECT_EQ(commands[1].name, "查看包名");
  EXPECT_EQ(commands[1].command, "adb shell pm list packages");
  auto notes = ReadPackageNotes(doc);
  ASSERT_EQ(notes.size(), 17u);
  EXPECT_EQ(notes[0].Pack, "com.sohu.inputmethod.sogou.tv");
  EXPECT_EQ(notes[1].Pack, "com.mitv.tvhome");
  EXPECT_EQ(notes[1].rgb, 255);
  EXPECT_EQ(notes[4].Tips, "系统更新 !!!注意：删除后无法更新系统");
  EXPECT_EQ(notes[16].Pack, "com.xiaomi.mitv.shop");
  EXPECT_EQ(notes[16].rgb, 16711680);

  bool none = true;
  auto menus = BuildMenuSet(doc, &none);
  EXPECT_FALSE(none);
  ASSERT_EQ(menus.size(), 2u);
  EXPECT_EQ(Dump(menus[0]),
            "结束进程(&E)=adb shell am force-stop (pack);结束进程并清除数据=adb shell pm clear (pack);"
            "查看进程状态(&R)=adb shell ps -x (pack);演示弹出式菜单添加[弹出式菜单1=选中这个菜单执行的命令;"
            "弹出式菜单2=(pack) = 当前选中项的包名,执行时会替换成包名;多层弹出式菜单[多层1=命令这里有两个固定执行的功能;"
            "多层2=SetColor() = 设置颜色,delete() = 删除说明,记得有括号]];设置显示颜色=setColor();删除说明=delete()");
  EXPECT_EQ(Dump(menus[1]),
            "卸载=adb shell pm uninstall --user 0 (pack);卸载-保留数据=adb shell pm uninstall -k --user 0 (pack);"
            "清除缓存=adb shell pm clear (pack);禁用=adb shell pm disable -k --user 0 (pack);"
            "恢复禁用=adb shell pm enable -k --user 0 (pack);设置显示颜色=setColor();删除说明=delete()");

  // Written back from the live state, the default comes out byte for byte.
  EXPECT_EQ(ReadAndWrite(bytes, {157, 115, 1017, 500}), bytes);
}

TEST(Configuration, EdgeCasesReadAndWrittenToTheByte) {
  const std::string in = Fixture("edge_config.xml");
  XmlDocument doc;
  ASSERT_TRUE(doc.LoadDocument(in));
  // The ip attribute is empty: the older ip element counts.
  EXPECT_EQ(ReadIpAddress(doc), "10.0.0.5");
  auto commands = ReadViewCommands(doc);
  ASSERT_EQ(commands.size(), 2u);
  EXPECT_EQ(commands[0].name, "查看进程");  // from the element text
  EXPECT_EQ(commands[0].command, "adb shell ps");
  EXPECT_EQ(commands[1].name, "空命令");
  EXPECT_EQ(commands[1].command, "");
  auto notes = ReadPackageNotes(doc);
  ASSERT_EQ(notes.size(), 4u);
  EXPECT_EQ(notes[0].rgb, 0);    // "abc"
  EXPECT_EQ(notes[1].rgb, 255);  // "255,0,0"
  EXPECT_EQ(notes[2].Tips, "带\"引号\"和&符号的<备注>");
  EXPECT_EQ(notes[2].rgb, -16);  // full-width "－１６"
  EXPECT_EQ(notes[3].Pack, "");  // an element of any name, without attributes
  EXPECT_EQ(ReadAndWrite(in, {-100, 20, 900, 600}), Fixture("edge_config.saved.xml"));
}

TEST(Configuration, IntegerValue) {
  struct Case {
    const char* text;
    int value;
  } cases[] = {
      {"", 0},          {"abc", 0},           {"255", 255},         {"255,0,0", 255},
      {"  42x", 42},    {"-17", -17},         {"+8", 8},            {"- 5", 0},
      {"１２３", 123},  {"－４５", -45},      {"＋７", 7},          {"1２3", 123},
      {"12中3", 12},    {"99999999999", 2147483647},               {"-99999999999", -2147483647 - 1},
      {"\t3", 3},       {"0x10", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(IntegerValue(c.text), c.value) << c.text;
}

TEST(Configuration, WindowRectangleRules) {
  struct Case {
    const char* windowPos;  // the attributes of windowPos, or nullptr for none
    WindowRect expected;
  } cases[] = {
      {R"(left="-500" top="100" width="300" height="500")", {541, 100, 838, 500}},
      // Saved while minimised: centred, 838 by 500.
      {R"(left="-32000" top="-32000" width="160" height="28")", {541, 290, 838, 500}},
      {R"(left="-100" top="-100" width="1000" height="700")", {-100, -100, 1000, 700}},
      {R"(left="-101" top="-101" width="1001" height="701")", {459, 189, 1001, 701}},
      {nullptr, {0, 0, 838, 500}},
      {R"(left="5000" top="5000" width="9000" height="9000")", {5000, 5000, 9000, 9000}},
      // Halves are truncated toward zero.
      {R"(left="-200" top="-200" width="1921" height="1081")", {0, 0, 1921, 1081}},
  };
  for (const auto& c : cases) {
    std::string xml = "<head>";
    if (c.windowPos) xml += std::string("<windowPos ") + c.windowPos + "/>";
    xml += "</head>";
    XmlDocument doc;
    ASSERT_TRUE(doc.LoadDocument(xml));
    EXPECT_EQ(ReadWindowRect(doc, 1920, 1080), c.expected) << xml;
  }
}

TEST(Configuration, OtherRootOrMissingElementsFallBack) {
  // A command data set imported as a configuration: nothing resolves.
  XmlDocument doc;
  ASSERT_TRUE(doc.LoadDocument("<小米><group name=\"a\"><cmd name=\"x\" command=\"y\"/></group></小米>"));
  EXPECT_TRUE(ReadPackageNotes(doc).empty());
  auto commands = ReadViewCommands(doc);
  ASSERT_EQ(commands.size(), 2u);
  EXPECT_EQ(commands[0].name, "查看进程");
  EXPECT_EQ(commands[1].command, "adb shell pm list packages");
  EXPECT_EQ(ReadIpAddress(doc), "");
  EXPECT_EQ(ReadWindowRect(doc, 1920, 1080), (WindowRect{0, 0, 838, 500}));
  bool none = false;
  EXPECT_TRUE(BuildMenuSet(doc, &none).empty());
  EXPECT_TRUE(none);
}

TEST(Configuration, DuplicatedAttributeDoesNotLoad) {
  XmlDocument doc;
  EXPECT_FALSE(doc.LoadDocument(
      "<head><Explain><data Pack=\"a\" Pack=\"b\" Tips=\"x\" rgb=\"0\"/></Explain></head>"));
  EXPECT_TRUE(doc.Empty());
}

TEST(Menus, BuiltAndWrittenBack) {
  struct Case {
    const char* menus;   // children of head/menu
    const char* built;   // Dump of each menu, separated by " | "
    const char* saved;   // the menu1 element as written back (one line per element)
  } cases[] = {
      // PopupMenu in any letter case makes a submenu, written back as popupMenu.
      {R"(<m><i name="子" command="PopupMenu"><j name="a" command="x"/><j name="b" command="y"/></i></m>)",
       "子[a=x;b=y]",
       R"(<item name="子" command="popupMenu"><item2 name="a" command="x"/><item2 name="b" command="y"/></item>)"},
      // A submenu without children is left out, also from the file.
      {R"(<m><i name="空" command="popupMenu"/><i name="a" command="x"/></m>)", "a=x",
       R"(<item name="a" command="x"/>)"},
      // A separator, whatever its command, comes back with an empty command.
      {R"(<m><i name="a" command="x"/><i name="-" command="ignored"/><i name="b" command="y"/></m>)",
       "a=x;-;b=y",
       R"(<item name="a" command="x"/><item name="-" command=""/><item name="b" command="y"/>)"},
      // Missing name or command.
      {R"(<m><i command="x"/><i name="无命令"/></m>)", "=x;无命令=",
       R"(<item name="" command="x"/><item name="无命令" command=""/>)"},
      // The same command twice: two items, each with its own record.
      {R"(<m><i name="a" command="same"/><i name="b" command="same"/></m>)", "a=same;b=same",
       R"(<item name="a" command="same"/><item name="b" command="same"/>)"},
      // Four levels deep.
      {R"(<m><i name="1" command="popupmenu"><i name="2" command="POPUPMENU"><i name="3" command="popupMenu"><i name="4" command="deep"/></i></i></i></m>)",
       "1[2[3[4=deep]]]",
       R"(<item name="1" command="popupMenu"><item2 name="2" command="popupMenu"><item3 name="3" command="popupMenu"><item4 name="4" command="deep"/></item3></item2></item>)"},
      // Element names are free.
      {R"(<x><y name="a" command="b"/></x>)", "a=b", R"(<item name="a" command="b"/>)"},
      // Two menus.
      {R"(<m1><i name="a" command="x"/></m1><m2><i name="b" command="y"/></m2>)", "a=x | b=y", nullptr},
      // Texts keep their access key and escaped characters.
      {R"x(<m><i name="结束(&amp;E)" command="adb shell echo &quot;x&quot;"/></m>)x",
       "结束(&E)=adb shell echo \"x\"",
       R"x(<item name="结束(&amp;E)" command="adb shell echo &quot;x&quot;"/>)x"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.menus);
    XmlDocument doc;
    ASSERT_TRUE(doc.LoadDocument(std::string("<head><menu>") + c.menus + "</menu></head>"));
    auto menus = BuildMenuSet(doc);
    std::string built;
    for (std::size_t i = 0; i < menus.size(); ++i) built += (i ? " | " : "") + Dump(menus[i]);
    EXPECT_EQ(built, c.built);
    if (!c.saved) continue;
    XmlDocument out;
    out.NewDocument("head");
    SaveMenus(out, menus);
    // Compare without the layout: strip line ends and TABs.
    std::string text = out.Serialize("gb18030", "", "");
    auto start = text.find("<item");
    auto end = text.rfind("</menu1>");
    ASSERT_NE(start, std::string::npos) << text;
    EXPECT_EQ(text.substr(start, end - start), c.saved);
  }
}

TEST(Menus, RegistryIdentifiers) {
  int a = RegisterMenuCommand("x");
  int b = RegisterMenuCommand("x");
  EXPECT_NE(a, b);
  for (int id : {a, b}) {
    EXPECT_NE(id, 0);
    EXPECT_NE(id, -1);
    EXPECT_EQ(ResolveMenuCommand(id), "x");
  }
  EXPECT_EQ(ResolveMenuCommand(0), "");
  EXPECT_EQ(ResolveMenuCommand(-1), "");
  EXPECT_EQ(ResolveMenuCommand(1), "");
  auto list = BuildListMenu();
  EXPECT_EQ(Dump(list), "导入去广告XML=导入去广告XML;批量执行这个列表的命令=批量执行这个列表的命令");
}

TEST(Menus, NoMenusSavesAnEmptyMenuElement) {
  XmlDocument out;
  out.NewDocument("head");
  SaveMenus(out, {});
  EXPECT_EQ(out.ChildCount("head/menu"), 0);
  EXPECT_FALSE(out.AttributeText("head/menu", "tips").empty());
  std::string text = out.Serialize();
  EXPECT_NE(text.find("\t<menu tips=\""), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 12), "\"/>\r\n</head>");
}

TEST(Menus, LongNamesAreCutWhenWritten) {
  XmlDocument doc;
  std::string longName(300, 'n');
  ASSERT_TRUE(doc.LoadDocument("<head><menu><m><i name=\"" + longName + "\" command=\"c\"/></m></menu></head>"));
  auto menus = BuildMenuSet(doc);
  XmlDocument out;
  out.NewDocument("head");
  SaveMenus(out, menus);
  EXPECT_EQ(out.AttributeText("head/menu/@1/@1", "name"), std::string(254, 'n'));
}
