// Reading documents from bytes: what loads into which tree, what is refused,
// and the files this program actually reads.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <utility>

#include "xml/xml_document.h"
#include "xml_test_support.h"

namespace quenlo::xml {
namespace {

using namespace std::string_literals;
using testing_support::Compact;
using testing_support::Fixture;

struct LoadCase {
  const char* what;
  std::string in;
  std::string tree;  // Compact() of the loaded tree
};

TEST(XmlLoad, AcceptedInputs) {
  const LoadCase cases[] = {
      {"declaration skipped", R"(<?xml version="1.0" encoding="gb2312"?><a/>)", "<a/>"},
      {"attribute without a value gets 1", R"(<a b c="2" d/>)", R"(<a b="1" c="2" d="1"/>)"},
      {"values kept escaped", R"(<a v="&lt;&quote;&copy;&amp;"/>)", R"(<a v="&lt;&quote;&copy;&amp;"/>)"},
      {"blanks around =", "<a v = \"1\"\r\n\tw=\"2\" />", R"(<a v="1" w="2"/>)"},
      {"single quotes", R"(<a v='say "hi"'/>)", R"(<a v="say &quot;hi&quot;"/>)"},
      {"text trimmed", "<a>\r\n\t  x \t y \t\r\n</a>", "<a>x \t y</a>"},
      {"blank text is no text", "<a>\r\n\t </a>", "<a/>"},
      {"text stays escaped", "<a>&amp;&quote;&copy;</a>", "<a>&amp;&quote;&copy;</a>"},
      {"text is the data right after the start tag", "<a> t <b/> u </a>", "<a>t<b/></a>"},
      {"text after leading children is dropped", "<a><b/>late</a>", "<a><b/></a>"},
      {"nesting", "<a><b><c>x</c></b><b></b></a>", "<a><b><c>x</c></b><b/></a>"},
      {"end tag with blanks", "<a></a >", "<a/>"},
      {"comment joins the text around it", "<a>x<!-- c -->y</a>", "<a>xy</a>"},
      {"comments go before anything else is read", R"(<a v="1<!--x-->2"/>)", R"(<a v="12"/>)"},
      {"comments before and after the root", "<!--a-->\r\n<a/>\r\n<!--b-->", "<a/>"},
      {"unclosed comment after the root", "<a/><!-- no end", "<a/>"},
      {"doctype with an internal subset", R"(<!DOCTYPE a [<!ENTITY e "<x>">]><a/>)", "<a/>"},
      {"processing instruction inside", "<a><?pi x?><b/></a>", "<a><b/></a>"},
      {"CDATA raw, flag set", R"(<a><![CDATA[ <x> & "y" ]]></a>)", R"(<a><![CDATA[ <x> & "y" ]]></a>)"},
      {"CDATA after blank data", "<a>\r\n  <![CDATA[x]]>\r\n</a>", "<a><![CDATA[x]]></a>"},
      {"CDATA after text is dropped", "<a>t<![CDATA[x]]></a>", "<a>t</a>"},
      {"Chinese names and texts", "<小米命令 作者=\"某人\"><去除开机广告>卸载</去除开机广告></小米命令>",
       "<小米命令 作者=\"某人\"><去除开机广告>卸载</去除开机广告></小米命令>"},
      {"punctuation in names", "<g><重启?/><其它(慎用!)/><无说明,未测试/></g>",
       "<g><重启?/><其它(慎用!)/><无说明,未测试/></g>"},
      {"slash inside a name", "<a/b>x</a/b>", "<a/b>x</a/b>"},
      // The byte after a lead byte is part of the character: not a quote,
      // not the start of markup, not the end of a CDATA section.
      {"quote after a lead byte", "<a v=\"\x81\"\"/>", "<a v=\"\x81\"\"/>"},
      {"< after a lead byte", "<a>\x81<</a>", "<a>\x81<</a>"},
      {"] after a lead byte in CDATA", "<a><![CDATA[\x81]]>x]]></a>", "<a><![CDATA[\x81]]>x]]></a>"},
      {"blank after a lead byte is not trimmed", "<a>x\x81 </a>", "<a>x\x81 </a>"},
      {"NUL bytes are data", "<a>x\0y</a>"s, "<a>x\0y</a>"s},
      {"blank lines after the root", "<a/>\r\n\r\n", "<a/>"},
  };
  for (const auto& c : cases) {
    XmlDocument doc;
    EXPECT_TRUE(doc.LoadDocument(c.in)) << c.what;
    EXPECT_EQ(Compact(doc), c.tree) << c.what;
  }
}

TEST(XmlLoad, RefusedInputsLeaveTheDocumentEmpty) {
  const LoadCase cases[] = {
      {"repeated attribute", R"(<a x="1" x="2"/>)", ""},
      {"repeated attribute without value, nested", R"(<a><b p="1" q p/></a>)", ""},
      {"lone <", "<", ""},
      {"lone < after a root", "<a/><", ""},
      {"unclosed root", "<a>", ""},
      {"unclosed child", "<a><b></a>", ""},
      {"end tag without a start", "</a>", ""},
      {"end tag of another name", "<a></b>", ""},
      {"two roots", "<a/><b/>", ""},
      {"no element", "just text", ""},
      {"text before the root", "x<a/>", ""},
      {"text after the root", "<a/>x", ""},
      {"only blanks", " \r\n\t", ""},
      {"only a comment", "<!-- nothing -->", ""},
      {"only a declaration", R"(<?xml version="1.0"?>)", ""},
      {"value without its closing quote", R"(<a v="1/>)", ""},
      {"unquoted value", "<a v=1/>", ""},
      {"= without a name", R"(<a ="1"/>)", ""},
      {"empty element name", "< a/>", ""},
      {"empty end tag", "<a></>", ""},
      {"unclosed start tag", "<a b=\"1\"", ""},
      {"unclosed CDATA", "<a><![CDATA[x</a>", ""},
      {"CDATA outside the root", "<![CDATA[x]]><a/>", ""},
      {"unclosed processing instruction", "<?xml version", ""},
      {"unclosed doctype", "<!DOCTYPE a [ <a/>", ""},
      {"NUL byte", "\0"s, ""},
      {"lead byte takes the closing quote", "<a v=\"\x81\"/>", ""},
      {"lead byte last", "<a>\x81", ""},
      {"lead byte last after the root", "<a/>\x81", ""},
  };
  for (const auto& c : cases) {
    XmlDocument doc;
    ASSERT_TRUE(doc.NewDocument("previous"));
    EXPECT_FALSE(doc.LoadDocument(c.in)) << c.what;
    EXPECT_TRUE(doc.Empty()) << c.what;
    EXPECT_EQ(doc.RootName(), "") << c.what;
  }
}

TEST(XmlLoad, EmptyBytesKeepThePreviousTree) {
  XmlDocument doc;
  EXPECT_FALSE(doc.LoadDocument(""));
  EXPECT_TRUE(doc.Empty());

  ASSERT_TRUE(doc.LoadDocument("<head><prop/></head>"));
  EXPECT_FALSE(doc.LoadDocument(""));
  EXPECT_EQ(Compact(doc), "<head><prop/></head>");
}

TEST(XmlLoad, LoadReplacesThePreviousTree) {
  XmlDocument doc;
  ASSERT_TRUE(doc.LoadDocument("<head><prop/></head>"));
  ASSERT_TRUE(doc.LoadDocument("<other/>"));
  EXPECT_EQ(Compact(doc), "<other/>");
}

TEST(XmlLoad, CommandDataSetFile) {
  XmlDocument doc;
  ASSERT_TRUE(doc.LoadDocument(Fixture("dataset.xml")));
  EXPECT_EQ(doc.RootName(), "小米命令");
  EXPECT_EQ(doc.AttributeText("小米命令", "机型"), "L55M5");
  ASSERT_EQ(doc.ChildCount("小米命令"), 3);

  // Group 1: its text, then two commands of the same name reached by position.
  EXPECT_EQ(doc.NodeName("小米命令/@1"), "去除开机广告");
  EXPECT_EQ(doc.NodeText("小米命令/@1"), "先卸载广告组件");
  ASSERT_EQ(doc.ChildCount("小米命令/@1"), 2);
  EXPECT_EQ(doc.NodeText("小米命令/@1/@1"),
            "adb shell pm uninstall --user 0 com.miui.systemAdSolution");
  EXPECT_EQ(doc.NodeText("小米命令/@1/@2"), "adb shell pm disable-user com.xiaomi.mitv.upgrade");

  EXPECT_EQ(doc.ChildCount("小米命令/@2"), 0);  // a group without commands

  EXPECT_EQ(doc.NodeName("小米命令/@3"), "其它(慎用!)");
  EXPECT_EQ(doc.NodeName("小米命令/@3/@1"), "重启?");
  EXPECT_EQ(doc.NodeText("小米命令/@3/@1"), "adb reboot");
  EXPECT_EQ(doc.NodeText("小米命令/@3/无说明,未测试"), "adb shell input keyevent 3");
  EXPECT_EQ(doc.NodeText("小米命令/@3/@3"), "");  // a command without text
}

TEST(XmlLoad, HandWrittenConfiguration) {
  XmlDocument doc;
  ASSERT_TRUE(doc.LoadDocument(Fixture("handwritten.xml")));
  EXPECT_EQ(doc.AttributeText("head", "tips"), "说\"明\"");  // &quote; reads as a quote
  EXPECT_EQ(doc.AttributeText("head", "legal"), "&copy; 2019");
  EXPECT_EQ(doc.AttributeText("head", "debug"), "1");
  EXPECT_EQ(doc.NodeText("head/ip"), "10.0.0.2");
  EXPECT_EQ(doc.AttributeText("head/prop", "tips"), "单引号 \"值\"");
  EXPECT_EQ(doc.AttributeText("head/prop/@1", "name"), "查看进程");
  EXPECT_EQ(doc.AttributeText("head/prop/@2", "name"), "");
  EXPECT_EQ(doc.NodeText("head/prop/@2"), "查看包名");
  EXPECT_EQ(doc.NodeText("head/script"), R"( if [ "$a" \< 1 ]; then echo "<ok>"; fi )");
  EXPECT_TRUE(doc.Find("head/script")->cdata);
}

TEST(XmlLoad, RepeatedAttributeInAConfigurationFile) {
  XmlDocument doc;
  ASSERT_TRUE(doc.NewDocument("head"));
  EXPECT_FALSE(doc.LoadDocument(Fixture("duplicate_attribute.xml")));
  EXPECT_TRUE(doc.Empty());
}

// Inputs that end exactly at an unreadable page: a scan that looks one byte
// past the end (typically after a lead byte in the last position) faults.
TEST(XmlLoad, NeverReadsPastTheEnd) {
  const long page = sysconf(_SC_PAGESIZE);
  void* mem = mmap(nullptr, static_cast<size_t>(2 * page), PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(mem, MAP_FAILED);
  char* guard = static_cast<char*>(mem) + page;
  ASSERT_EQ(mprotect(guard, static_cast<size_t>(page), PROT_NONE), 0);

  const std::string inputs[] = {
      "\x81",          "<\x81",          "<a>\x81",           "<a/>\x81",
      "<a v=\"\x81",   "<a v\x81",       "<a><![CDATA[\x81",  "<a><![CDATA[x]\x81",
      "<!--\x81",      "<!--x-\x81",     "<?\x81",            "<!DOCTYPE\x81",
      "<a></a\x81",    "<a>\x81\x81\x81", "<a",               "<a/",
      "<a></a",        "<a x",           "<a x=",             "<a><![CDATA[",
  };
  for (const auto& in : inputs) {
    char* start = guard - in.size();
    std::memcpy(start, in.data(), in.size());
    XmlDocument doc;
    EXPECT_FALSE(doc.LoadDocument(std::string_view(start, in.size()))) << in;
  }
  // The same for the text functions.
  const std::pair<std::string, std::string> decodes[] = {
      {"&\x81", "&\x81"}, {"&lt\x81", "&lt\x81"}, {"&lt;\x81", "<\x81"}};
  for (const auto& [in, out] : decodes) {
    char* start = guard - in.size();
    std::memcpy(start, in.data(), in.size());
    EXPECT_EQ(XmlDecode(std::string_view(start, in.size())), out);
  }
  const std::string escape = "<\x81";
  std::memcpy(guard - escape.size(), escape.data(), escape.size());
  EXPECT_EQ(XmlEscape(std::string_view(guard - escape.size(), escape.size())), "&lt;\x81");
  munmap(mem, static_cast<size_t>(2 * page));
}

}  // namespace
}  // namespace quenlo::xml
