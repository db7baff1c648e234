// Building a tree through the operations and addressing it by element paths.
#include <gtest/gtest.h>

#include <string>

#include "xml/xml_document.h"
#include "xml_test_support.h"

namespace quenlo::xml {
namespace {

using testing_support::Compact;

// head
//   windowPos
//   prop
//     comboBox "one"
//     comboBox "two"
//     sub
//       leaf "deep"
//   数据 "gbk"
//   "\x81/x" (a name whose second byte is a slash)
//   @x "named like a position"
class PathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(doc.NewDocument("head"));
    ASSERT_TRUE(doc.AppendChild("head", "windowPos", ""));
    ASSERT_TRUE(doc.AppendChild("head", "prop", ""));
    ASSERT_TRUE(doc.AppendChild("head/prop", "comboBox", "one"));
    ASSERT_TRUE(doc.AppendChild("head/prop", "comboBox", "two"));
    ASSERT_TRUE(doc.AppendChild("head/prop", "sub", ""));
    ASSERT_TRUE(doc.AppendChild("head/prop/sub", "leaf", "deep"));
    ASSERT_TRUE(doc.AppendChild("head", "数据", "gbk"));
    ASSERT_TRUE(doc.AppendChild("head", "\x81/x", "pair"));
    ASSERT_TRUE(doc.AppendChild("head", "@x", "named like a position"));
  }
  XmlDocument doc;
};

TEST_F(PathTest, ResolvesOrNot) {
  struct Case {
    std::string path;
    std::string name;  // empty: the path does not resolve
    std::string text;
  };
  const Case cases[] = {
      {"head", "head", ""},
      {"@1", "head", ""},
      {"head/", "head", ""},
      {"@1/", "head", ""},
      {"head/@1", "windowPos", ""},
      {"@1/@1", "windowPos", ""},
      {"head/windowPos", "windowPos", ""},
      {"head/prop/@2", "comboBox", "two"},
      {"head/prop/comboBox", "comboBox", "one"},  // the first of that name
      {"head/prop/@02", "comboBox", "two"},
      {"head/prop/sub/leaf", "leaf", "deep"},
      {"head/prop/sub/leaf/", "leaf", "deep"},
      {"@1/@2/@3/@1", "leaf", "deep"},
      {"head/数据", "数据", "gbk"},
      {"head/\x81/x", "\x81/x", "pair"},  // the slash after a lead byte does not cut
      {"head/@x", "@x", "named like a position"},
      // Not resolving.
      {"", "", ""},
      {"/", "", ""},
      {"/head", "", ""},
      {"Head", "", ""},
      {"hea", "", ""},
      {"@2", "", ""},
      {"@01x", "", ""},
      {"head//prop", "", ""},
      {"head/prop//", "", ""},
      {"head/prop/@0", "", ""},
      {"head/prop/@4", "", ""},
      {"head/prop/@", "", ""},
      {"head/prop/@-1", "", ""},
      {"head/prop/@99999999999999999999999999", "", ""},
      {"head/missing", "", ""},
      {"head/\x81", "", ""},
      {"head/prop/comboBox/x", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("path \"" + c.path + "\"");
    EXPECT_EQ(doc.NodeName(c.path), c.name);
    EXPECT_EQ(doc.NodeText(c.path), c.text);
    EXPECT_EQ(doc.Find(c.path) != nullptr, !c.name.empty());
  }
}

TEST_F(PathTest, ChildCount) {
  EXPECT_EQ(doc.ChildCount("head"), 5);
  EXPECT_EQ(doc.ChildCount("head/prop"), 3);
  EXPECT_EQ(doc.ChildCount("head/prop/@3"), 1);
  EXPECT_EQ(doc.ChildCount("head/windowPos"), 0);
  EXPECT_EQ(doc.ChildCount("head/nothing"), 0);
  EXPECT_EQ(doc.ChildCount(""), 0);
}

TEST_F(PathTest, ChangesThroughAPathThatDoesNotResolveChangeNothing) {
  const std::string before = Compact(doc);
  EXPECT_FALSE(doc.AppendChild("head/missing", "x", ""));
  EXPECT_FALSE(doc.AppendChild("", "x", ""));
  EXPECT_FALSE(doc.AddAttribute("head//prop", "x", "1"));
  EXPECT_FALSE(doc.AddAttribute("head/prop/@0", "x", "1"));
  EXPECT_EQ(Compact(doc), before);
}

TEST(XmlTree, EmptyDocumentAnswersNothing) {
  XmlDocument doc;
  EXPECT_TRUE(doc.Empty());
  EXPECT_EQ(doc.RootName(), "");
  EXPECT_EQ(doc.ChildCount("@1"), 0);
  EXPECT_EQ(doc.NodeName("@1"), "");
  EXPECT_EQ(doc.NodeText("@1"), "");
  EXPECT_EQ(doc.AttributeText("@1", "@1"), "");
  EXPECT_FALSE(doc.AppendChild("@1", "x", ""));
  EXPECT_FALSE(doc.AddAttribute("@1", "x", ""));
  EXPECT_FALSE(doc.ClearDocument());
  EXPECT_TRUE(doc.Empty());
}

TEST(XmlTree, NewDocumentAndClearDocument) {
  XmlDocument doc;
  EXPECT_FALSE(doc.NewDocument(""));
  EXPECT_TRUE(doc.Empty());

  ASSERT_TRUE(doc.NewDocument("head"));
  ASSERT_TRUE(doc.AppendChild("head", "prop", "x"));
  ASSERT_TRUE(doc.AddAttribute("head", "ip", "1.2.3.4"));
  EXPECT_FALSE(doc.NewDocument(""));  // refused: the tree stays
  EXPECT_EQ(Compact(doc), "<head ip=\"1.2.3.4\"><prop>x</prop></head>");

  ASSERT_TRUE(doc.NewDocument("小米命令"));  // starts over with a bare root
  EXPECT_EQ(doc.RootName(), "小米命令");
  EXPECT_EQ(Compact(doc), "<小米命令/>");

  EXPECT_TRUE(doc.ClearDocument());
  EXPECT_TRUE(doc.Empty());
  EXPECT_FALSE(doc.ClearDocument());
}

TEST(XmlTree, AppendChildStoresEscapedAndReturnsDecoded) {
  XmlDocument doc;
  ASSERT_TRUE(doc.NewDocument("head"));
  EXPECT_FALSE(doc.AppendChild("head", "", "no name"));
  // Names are free text; the data sets use such names.
  ASSERT_TRUE(doc.AppendChild("head", "其它(慎用!)", ""));
  ASSERT_TRUE(doc.AppendChild("head/@1", "无说明,未测试?", "adb shell \"echo a<b & c\""));
  ASSERT_TRUE(doc.AppendChild("head/@1", "无说明,未测试?", "second"));

  EXPECT_EQ(doc.ChildCount("head/其它(慎用!)"), 2);
  EXPECT_EQ(doc.NodeText("head/@1/@1"), "adb shell \"echo a<b & c\"");
  EXPECT_EQ(doc.Find("head/@1/@1")->text, "adb shell &quot;echo a&lt;b &amp; c&quot;");
  EXPECT_EQ(doc.NodeText("head/@1/@2"), "second");  // appended last
}

TEST(XmlTree, AttributesByNameAndPosition) {
  XmlDocument doc;
  ASSERT_TRUE(doc.NewDocument("head"));
  ASSERT_TRUE(doc.AddAttribute("head", "ip", "192.168.1.7"));
  ASSERT_TRUE(doc.AddAttribute("head", "tips", "a \"quoted\" & <marked> 'text'"));
  ASSERT_TRUE(doc.AddAttribute("head", "empty", ""));  // an empty value is still added

  EXPECT_FALSE(doc.AddAttribute("head", "ip", "10.0.0.1"));  // never replaced
  EXPECT_FALSE(doc.AddAttribute("head", "", "x"));

  struct Case {
    std::string name;
    std::string value;
  };
  const Case cases[] = {
      {"ip", "192.168.1.7"},
      {"tips", "a \"quoted\" & <marked> 'text'"},
      {"@1", "192.168.1.7"},
      {"@2", "a \"quoted\" & <marked> 'text'"},
      {"@3", ""},
      {"@4", ""},
      {"@0", ""},
      {"IP", ""},
      {"missing", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(doc.AttributeText("head", c.name), c.value) << c.name;
  EXPECT_EQ(doc.AttributeText("head/x", "ip"), "");
  EXPECT_EQ(Compact(doc),
            "<head ip=\"192.168.1.7\" tips=\"a &quot;quoted&quot; &amp; &lt;marked&gt; "
            "&apos;text&apos;\" empty=\"\"/>");
}

TEST(XmlTree, MovedDocumentTakesTheTree) {
  XmlDocument a;
  ASSERT_TRUE(a.NewDocument("head"));
  ASSERT_TRUE(a.AppendChild("head", "prop", ""));
  XmlDocument b(std::move(a));
  EXPECT_EQ(b.ChildCount("head"), 1);

  XmlDocument c;
  ASSERT_TRUE(c.NewDocument("other"));
  c = std::move(b);
  EXPECT_EQ(c.RootName(), "head");
  EXPECT_EQ(c.ChildCount("head"), 1);
}

}  // namespace
}  // namespace quenlo::xml
