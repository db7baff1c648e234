// The byte layout of saved documents, saving to files, and reading back what
// was saved.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <string>

#include "platform/atomic_file.h"
#include "xml/xml_document.h"
#include "xml_test_support.h"

namespace quenlo::xml {
namespace {

using testing_support::Compact;
using testing_support::Fixture;
using testing_support::ReadBytes;
using testing_support::ScratchDir;
using testing_support::WriteBytes;

// A configuration-like tree with everything the writer distinguishes:
// attributes needing escapes, an empty value, empty elements, a text with
// and without children, a CDATA text. saved_*.xml hold its bytes.
void BuildSample(XmlDocument& doc) {
  ASSERT_TRUE(doc.NewDocument("head"));
  ASSERT_TRUE(doc.AddAttribute("head", "ip", "192.168.1.7"));
  ASSERT_TRUE(doc.AddAttribute("head", "tips", "仅供学习"));
  ASSERT_TRUE(doc.AppendChild("head", "windowPos", ""));
  for (auto [name, value] : {std::pair{"left", "157"}, {"top", "115"}, {"width", "1017"}, {"height", "500"}})
    ASSERT_TRUE(doc.AddAttribute("head/windowPos", name, value));
  ASSERT_TRUE(doc.AppendChild("head", "Explain", ""));
  ASSERT_TRUE(doc.AddAttribute("head/Explain", "tips", "包名备注"));
  ASSERT_TRUE(doc.AppendChild("head/Explain", "data", ""));
  ASSERT_TRUE(doc.AddAttribute("head/Explain/@1", "Pack", "com.miui.systemAdSolution"));
  ASSERT_TRUE(doc.AddAttribute("head/Explain/@1", "Tips", "广告 \"服务\" & 推送"));
  ASSERT_TRUE(doc.AddAttribute("head/Explain/@1", "rgb", "255"));
  ASSERT_TRUE(doc.AppendChild("head", "prop", ""));
  ASSERT_TRUE(doc.AddAttribute("head/prop", "tips", ""));
  ASSERT_TRUE(doc.AppendChild("head/prop", "comboBox", ""));
  ASSERT_TRUE(doc.AddAttribute("head/prop/@1", "name", "查看进程"));
  ASSERT_TRUE(doc.AddAttribute("head/prop/@1", "command", "adb shell ps | grep \"a<b>\""));
  ASSERT_TRUE(doc.AppendChild("head", "note", "a < b 'c'"));
  ASSERT_TRUE(doc.AppendChild("head", "script", ""));
  XmlElement* script = doc.Find("head/script");
  script->text = "x<y && \"z\"";
  script->cdata = true;
  ASSERT_TRUE(doc.AppendChild("head", "group", "说明"));
  ASSERT_TRUE(doc.AppendChild("head/group", "cmd", "adb shell echo 1"));
}

TEST(XmlSave, ByteLayout) {
  XmlDocument doc;
  BuildSample(doc);
  EXPECT_EQ(doc.Serialize(), Fixture("saved_default.xml"));
  EXPECT_EQ(doc.Serialize("gb18030", "\r\n", "\t"), Fixture("saved_default.xml"));
  EXPECT_EQ(doc.Serialize("GBK", "\n", "  "), Fixture("saved_custom.xml"));
}

TEST(XmlSave, SmallestDocuments) {
  XmlDocument doc;
  ASSERT_TRUE(doc.NewDocument("head"));
  EXPECT_EQ(doc.Serialize(), "<?xml version=\"1.0\" encoding=\"gb18030\"?>\r\n<head/>");
  ASSERT_TRUE(doc.AppendChild("head", "a", ""));
  EXPECT_EQ(doc.Serialize(), "<?xml version=\"1.0\" encoding=\"gb18030\"?>\r\n<head>\r\n\t<a/>\r\n</head>");
  // An empty CDATA text with nothing else is still an empty element.
  doc.Find("head/a")->cdata = true;
  EXPECT_EQ(doc.Serialize(), "<?xml version=\"1.0\" encoding=\"gb18030\"?>\r\n<head>\r\n\t<a/>\r\n</head>");
}

TEST(XmlSave, SaveToFileWritesTheSameBytes) {
  ScratchDir dir;
  XmlDocument doc;
  BuildSample(doc);
  ASSERT_TRUE(doc.SaveToFile(dir / "config.xml"));
  EXPECT_EQ(ReadBytes(dir / "config.xml"), Fixture("saved_default.xml"));
  ASSERT_TRUE(doc.SaveToFile(dir / "custom.xml", "GBK", "\n", "  "));
  EXPECT_EQ(ReadBytes(dir / "custom.xml"), Fixture("saved_custom.xml"));
  EXPECT_EQ(dir.Listing(), "config.xml|custom.xml");  // no temporary file left
}

TEST(XmlSave, SavedFilesLoadBackIntoTheSameTree) {
  XmlDocument built;
  BuildSample(built);
  XmlDocument dataset;
  ASSERT_TRUE(dataset.LoadDocument(Fixture("dataset.xml")));
  XmlDocument handwritten;
  ASSERT_TRUE(handwritten.LoadDocument(Fixture("handwritten.xml")));

  for (const XmlDocument* doc : {&built, &dataset, &handwritten}) {
    for (auto [lineEnd, indent] : {std::pair{"\r\n", "\t"}, {"\n", "  "}, {"", ""}}) {
      XmlDocument back;
      ASSERT_TRUE(back.LoadDocument(doc->Serialize("gb18030", lineEnd, indent)));
      EXPECT_EQ(Compact(back), Compact(*doc));
    }
  }
}

TEST(XmlSave, OnlyOuterWhiteSpaceOfTextsIsLost) {
  XmlDocument doc;
  ASSERT_TRUE(doc.NewDocument("head"));
  ASSERT_TRUE(doc.AppendChild("head", "a", " \t padded text \r\n"));
  ASSERT_TRUE(doc.AppendChild("head/a", "b", ""));
  XmlDocument back;
  ASSERT_TRUE(back.LoadDocument(doc.Serialize()));
  EXPECT_EQ(back.NodeText("head/a"), "padded text");
}

TEST(XmlSave, RefusedSaves) {
  ScratchDir dir;
  WriteBytes(dir / "plain-file", "not a directory");
  XmlDocument empty;
  EXPECT_FALSE(empty.SaveToFile(dir / "config.xml"));
  EXPECT_EQ(dir.Listing(), "plain-file");

  XmlDocument doc;
  BuildSample(doc);
  EXPECT_FALSE(doc.SaveToFile(""));
  EXPECT_FALSE(doc.SaveToFile(dir / "plain-file/config.xml"));  // parent is a file
  EXPECT_FALSE(doc.SaveToFile(dir / "missing/config.xml"));
  EXPECT_FALSE(doc.SaveToFile(dir.path()));                     // a directory
  EXPECT_FALSE(doc.SaveToFile(dir.path() + "/"));
  EXPECT_FALSE(doc.SaveToFile("/proc/quenlo-config.xml"));      // not even root may create here
  EXPECT_EQ(dir.Listing(), "plain-file");
  EXPECT_EQ(ReadBytes(dir / "plain-file"), "not a directory");
}

TEST(XmlSave, FileNameIsGbk) {
  ScratchDir dir;
  XmlDocument doc;
  ASSERT_TRUE(doc.NewDocument("head"));
  ASSERT_TRUE(doc.SaveToFile(dir.path() + "/配置.xml"));
  // On disk the name is UTF-8.
  EXPECT_TRUE(ReadBytes(dir.path() + "/\xE9\x85\x8D\xE7\xBD\xAE.xml").has_value());
}

TEST(XmlSave, ReplacingAFileKeepsItsPermissions) {
  ScratchDir dir;
  const std::string path = dir / "config.xml";
  WriteBytes(path, std::string(10000, 'x'));  // longer than what replaces it
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  XmlDocument doc;
  ASSERT_TRUE(doc.NewDocument("head"));
  ASSERT_TRUE(doc.SaveToFile(path));
  EXPECT_EQ(ReadBytes(path), doc.Serialize());
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(XmlSave, InterruptedSaveLeavesThePreviousFile) {
  XmlDocument doc;
  BuildSample(doc);
  const size_t total = doc.Serialize().size();
  const std::string previous = Fixture("dataset.xml");

  for (size_t failAfter : {size_t{0}, size_t{1}, total / 2, total - 1}) {
    SCOPED_TRACE("failure after " + std::to_string(failAfter) + " bytes");
    ScratchDir dir;
    WriteBytes(dir / "config.xml", previous);
    platform::SetWriteFailureAfterForTesting(failAfter);
    EXPECT_FALSE(doc.SaveToFile(dir / "config.xml"));
    platform::SetWriteFailureAfterForTesting(std::nullopt);
    EXPECT_EQ(ReadBytes(dir / "config.xml"), previous);
    EXPECT_EQ(dir.Listing(), "config.xml");
  }

  // A failure just past the end is no failure.
  ScratchDir dir;
  platform::SetWriteFailureAfterForTesting(total);
  EXPECT_TRUE(doc.SaveToFile(dir / "config.xml"));
  platform::SetWriteFailureAfterForTesting(std::nullopt);
  EXPECT_EQ(ReadBytes(dir / "config.xml"), Fixture("saved_default.xml"));
}

}  // namespace
}  // namespace quenlo::xml
