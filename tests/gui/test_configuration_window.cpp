// The configuration through the window: first start, a start from a file,
// the import button, and the messages for broken files.
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

#include "ui/menu_builder.h"

#include "config/configuration.h"
#include "window_fixture.h"

namespace {

class ConfigWindowTest : public WindowTest {};

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteGbk(const fs::path& p, const std::string& gbk) {
  std::ofstream(p, std::ios::binary) << gbk;
}

std::vector<std::string> ChooserItems(MainWindow& w) {
  std::vector<std::string> items;
  for (int i = 0; i < w.CommandChooser()->count(); ++i)
    items.push_back(FromQ(w.CommandChooser()->itemText(i)));
  return items;
}

std::vector<std::string> ActionTexts(QMenu* menu) {
  std::vector<std::string> texts;
  for (QAction* a : menu->actions()) texts.push_back(a->isSeparator() ? "-" : FromQ(a->text()));
  return texts;
}

const char* kThreeMenus =
    "<?xml version=\"1.0\" encoding=\"gb18030\"?>\r\n"
    "<head ip=\"10.9.8.7\">\r\n"
    "\t<windowPos left=\"200\" top=\"100\" width=\"900\" height=\"600\"/>\r\n"
    "\t<prop><comboBox name=\"一\" command=\"echo 1\"/><comboBox name=\"二\" command=\"echo 2\"/>"
    "<comboBox name=\"三\" command=\"echo 3\"/></prop>\r\n"
    "\t<Explain><data Pack=\"com.a\" Tips=\"甲\" rgb=\"255\"/></Explain>\r\n"
    "\t<menu><menu1><item name=\"甲(&amp;A)\" command=\"echo a\"/></menu1>"
    "<menu2><item name=\"乙\" command=\"echo b\"/><item name=\"-\" command=\"\"/>"
    "<item name=\"子\" command=\"popupMenu\"><item2 name=\"丙\" command=\"echo c\"/></item></menu2>"
    "<menu3><item name=\"丁\" command=\"echo d\"/></menu3></menu>\r\n"
    "</head>";

}  // namespace

TEST_F(ConfigWindowTest, FirstStartWithoutConfigWritesTheDefaultOnClose) {
  StandInAdb("List of devices attached\\n\\n");
  ASSERT_FALSE(fs::exists(dir_ / "config.xml"));
  MainWindow& w = OpenWindow();
  WaitForStartup();
  EXPECT_EQ(FromQ(w.IpEdit()->text()), "192.168.1.7");
  EXPECT_EQ(ChooserItems(w), (std::vector<std::string>{"查看进程", "查看包名"}));
  EXPECT_EQ(w.CommandChooser()->currentIndex(), 0);
  EXPECT_EQ(w.frameGeometry(), QRect(157, 115, 1017, 500));
  EXPECT_EQ(Shared().packageNotes.size(), 17u);
  ASSERT_EQ(w.Menus().size(), 2u);
  EXPECT_EQ(ActionTexts(w.Menus()[1])[0], "卸载");
  EXPECT_TRUE(dialogs_->Asks().empty());
  w.close();
  // Nothing changed: the file is the default, byte for byte.
  EXPECT_EQ(ReadAll(dir_ / "config.xml"), std::string(quenlo::config::DefaultConfiguration()));
}

TEST_F(ConfigWindowTest, StartFromAConfigurationWithThreeMenus) {
  StandInAdb("List of devices attached\\n\\n");
  WriteGbk(dir_ / "config.xml", kThreeMenus);
  MainWindow& w = OpenWindow();
  WaitForStartup();
  EXPECT_EQ(FromQ(w.IpEdit()->text()), "10.9.8.7");
  EXPECT_EQ(w.frameGeometry(), QRect(200, 100, 900, 600));
  EXPECT_EQ(ChooserItems(w), (std::vector<std::string>{"一", "二", "三"}));
  ASSERT_EQ(w.Menus().size(), 3u);
  EXPECT_EQ(ActionTexts(w.Menus()[0]), (std::vector<std::string>{"甲(&A)"}));
  EXPECT_EQ(ActionTexts(w.Menus()[1]), (std::vector<std::string>{"乙", "-", "子"}));
  QMenu* sub = w.Menus()[1]->actions()[2]->menu();
  ASSERT_NE(sub, nullptr);
  EXPECT_EQ(ActionTexts(sub), (std::vector<std::string>{"丙"}));
  EXPECT_EQ(quenlo::config::ResolveMenuCommand(
                quenlo::ui::MenuCommandId(sub->actions()[0])),
            "echo c");
  // The user moves the window and changes the address; the close saves both.
  w.IpEdit()->setText(QStringLiteral("10.0.0.99"));
  w.move(300, 150);
  w.close();
  quenlo::xml::XmlDocument saved;
  ASSERT_TRUE(saved.LoadDocument(ReadAll(dir_ / "config.xml")));
  EXPECT_EQ(saved.AttributeText("head", "ip"), "10.0.0.99");
  EXPECT_EQ(saved.AttributeText("head/windowPos", "left"), "300");
  EXPECT_EQ(saved.AttributeText("head/windowPos", "width"), "900");
  EXPECT_EQ(saved.ChildCount("head/menu"), 3);
  EXPECT_EQ(saved.ChildCount("head/prop"), 3);
}

TEST_F(ConfigWindowTest, ImportReplacesChooserAndNotesOnly) {
  StandInAdb("List of devices attached\\n\\n");
  WriteGbk(dir_ / "config.xml", kThreeMenus);
  MainWindow& w = OpenWindow();
  WaitForStartup();
  // Literals are GBK; names on disk are UTF-8.
  const fs::path imported = dir_ / quenlo::platform::GbkToUtf8("导入.xml");
  WriteGbk(imported,
           "<head ip=\"1.1.1.1\"><windowPos left=\"0\" top=\"0\" width=\"500\" height=\"300\"/>"
           "<prop><comboBox name=\"新\" command=\"echo new\"/></prop>"
           "<Explain><data Pack=\"com.new\" Tips=\"新备注\" rgb=\"16711680\"/>"
           "<data Pack=\"com.two\" Tips=\"二\" rgb=\"0\"/></Explain><menu/></head>");
  dialogs_->QueueFile(quenlo::platform::Utf8ToGbk(imported.string()));
  QTest::mouseClick(w.ImportXmlButton(), Qt::LeftButton);
  EXPECT_EQ(ChooserItems(w), (std::vector<std::string>{"新"}));
  ASSERT_EQ(Shared().packageNotes.size(), 2u);
  EXPECT_EQ(Shared().packageNotes[0].Tips, "新备注");
  EXPECT_EQ(FromQ(w.IpEdit()->text()), "10.9.8.7");
  EXPECT_EQ(w.frameGeometry(), QRect(200, 100, 900, 600));
  EXPECT_EQ(w.Menus().size(), 3u);
  auto asks = dialogs_->Asks();
  ASSERT_EQ(asks.size(), 1u);
  EXPECT_EQ(asks[0].kind, "file");
  EXPECT_EQ(asks[0].title, "请选择去广告命令数据");

  // Cancelled: nothing changes. A file that cannot be read: the message and
  // the default lists.
  QTest::mouseClick(w.ImportXmlButton(), Qt::LeftButton);
  EXPECT_EQ(ChooserItems(w), (std::vector<std::string>{"新"}));
  dialogs_->QueueFile(quenlo::platform::Utf8ToGbk((dir_ / "missing.xml").string()));
  QTest::mouseClick(w.ImportXmlButton(), Qt::LeftButton);
  EXPECT_EQ(ChooserItems(w), (std::vector<std::string>{"查看进程", "查看包名"}));
  EXPECT_EQ(Shared().packageNotes.size(), 17u);
  asks = dialogs_->Asks();
  ASSERT_EQ(asks.size(), 4u);
  EXPECT_EQ(asks[3].text, quenlo::config::kImportFailedMessage);
  EXPECT_EQ(asks[3].icon, quenlo::ui::Icon::Information);
  EXPECT_EQ(FromQ(w.IpEdit()->text()), "10.9.8.7");
}

TEST_F(ConfigWindowTest, BrokenOrMenulessConfigurationsAreReported) {
  StandInAdb("List of devices attached\\n\\n");
  struct Case {
    const char* file;
    std::vector<std::string> messages;
    const char* ip;
  } cases[] = {
      {"<head ip=\"10.1.1.1\"><Explain><data Pack=\"a\" Pack=\"b\"/></Explain></head>",
       {quenlo::config::kImportFailedMessage}, "192.168.1.7"},
      {"", {quenlo::config::kImportFailedMessage}, "192.168.1.7"},
      {"<head ip=\"10.1.1.1\"/>", {quenlo::config::kNoMenusMessage}, "10.1.1.1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    WriteGbk(dir_ / "config.xml", c.file);
    MainWindow& w = OpenWindow();
    WaitForStartup();
    std::vector<std::string> messages;
    for (const auto& a : dialogs_->Asks()) messages.push_back(a.text);
    EXPECT_EQ(messages, c.messages);
    EXPECT_EQ(FromQ(w.IpEdit()->text()), c.ip);
    w.close();
    window_.reset();
  }
}
