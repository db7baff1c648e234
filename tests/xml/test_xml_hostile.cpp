// Inputs meant to break a parser: extreme nesting, huge files, malformed
// markup repeated millions of times. Each must load or fail cleanly, in time
// proportional to its size.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>

#include "xml/xml_document.h"
#include "xml_test_support.h"

namespace quenlo::xml {
namespace {

using testing_support::Compact;

constexpr int kDeep = 100000;

std::string Repeat(std::string_view unit, size_t times) {
  std::string s;
  s.reserve(unit.size() * times);
  for (size_t i = 0; i < times; ++i) s += unit;
  return s;
}

std::string DeepNesting() { return Repeat("<a>", kDeep) + Repeat("</a>", kDeep); }

// A bound far above linear time on any build, far below quadratic time.
constexpr auto kTimeLimit = std::chrono::seconds(30);

TEST(XmlHostile, HugeAndMalformedInputs) {
  struct Case {
    const char* what;
    std::function<std::string()> make;
    bool loads;
  };
  const Case cases[] = {
      {"nesting 100000 deep", DeepNesting, true},
      {"nesting 100000 deep, never closed", [] { return Repeat("<a>", kDeep); }, false},
      {"nesting 100000 deep, wrong end tag at the bottom",
       [] { return Repeat("<a>", kDeep) + "</b>" + Repeat("</a>", kDeep); }, false},
      {"50 MB of commands",
       [] {
         return "<小米命令><组>" +
                Repeat("<命令 n=\"x\">adb shell pm uninstall --user 0 com.example.package</命令>\r\n",
                       50'000'000 / 70) +
                "</组></小米命令>";
       },
       true},
      {"50 MB of text in one element", [] { return "<a>" + Repeat("x", 50'000'000) + "</a>"; }, true},
      {"a million empty siblings", [] { return "<a>" + Repeat("<b/>", 1'000'000) + "</a>"; }, true},
      {"200000 attributes in one tag",
       [] {
         std::string s = "<a";
         for (int i = 0; i < 200000; ++i) s += " n" + std::to_string(i);
         return s + "/>";
       },
       true},
      {"200000 attributes, the last one repeated",
       [] {
         std::string s = "<a";
         for (int i = 0; i < 200000; ++i) s += " n" + std::to_string(i);
         return s + " n0/>";
       },
       false},
      {"a million comments in a text",
       [] { return "<a>" + Repeat("<!--c-->x", 1'000'000) + "</a>"; }, true},
      {"an unclosed comment before 10 MB", [] { return "<!--" + Repeat("<a>", 3'000'000); }, false},
      {"10 MB of comment openers", [] { return "<a/>" + Repeat("<!--", 2'500'000); }, true},
      {"10 MB of <", [] { return Repeat("<", 10'000'000); }, false},
      {"10 MB of </", [] { return Repeat("</", 5'000'000); }, false},
      {"10 MB of <?", [] { return Repeat("<?", 5'000'000); }, false},
      {"10 MB of <!", [] { return Repeat("<!", 5'000'000); }, false},
      {"unclosed CDATA full of ]]", [] { return "<a><![CDATA[" + Repeat("]]", 5'000'000); }, false},
      {"value without its closing quote, 10 MB", [] { return "<a v=\"" + Repeat("x", 10'000'000); },
       false},
      {"10 MB of lead bytes", [] { return Repeat("\x81", 10'000'000); }, false},
      {"10 MB of lead bytes with <", [] { return "<a>" + Repeat("\x81<", 5'000'000) + "</a>"; }, true},
      {"1 MB of NUL bytes in a text",
       [] { return "<a>" + std::string(1'000'000, '\0') + "</a>"; }, true},
      {"1 MB of NUL bytes", [] { return std::string(1'000'000, '\0'); }, false},
      {"10 MB of ampersands", [] { return "<a>" + Repeat("&", 10'000'000) + "</a>"; }, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string input = c.make();
    const auto start = std::chrono::steady_clock::now();
    {
      XmlDocument doc;
      EXPECT_EQ(doc.LoadDocument(input), c.loads);
      EXPECT_EQ(doc.Empty(), !c.loads);
      if (c.loads) doc.NodeText("@1");  // decodes the root's text, however long
    }  // the tree is freed here too
    EXPECT_LT(std::chrono::steady_clock::now() - start, kTimeLimit);
  }
}

TEST(XmlHostile, DeepTreeSurvivesEveryOperation) {
  XmlDocument doc;
  ASSERT_TRUE(doc.LoadDocument(DeepNesting()));

  int depth = 1;
  for (const XmlElement* e = doc.Root(); !e->children.empty(); e = e->children.front().get()) ++depth;
  EXPECT_EQ(depth, kDeep);

  // Written without line ends and indent the output stays linear in size;
  // the innermost element has nothing in it and closes itself.
  const std::string written = doc.Serialize("gb18030", "", "");
  const std::string expected = R"(<?xml version="1.0" encoding="gb18030"?>)" + Repeat("<a>", kDeep - 1) +
                               "<a/>" + Repeat("</a>", kDeep - 1);
  EXPECT_EQ(written, expected);

  XmlDocument again;
  ASSERT_TRUE(again.LoadDocument(written));
  EXPECT_EQ(Compact(again), Compact(doc));

  // Every way of dropping the tree.
  again = std::move(doc);
  EXPECT_TRUE(again.ClearDocument());
  ASSERT_TRUE(doc.LoadDocument(written));
  ASSERT_TRUE(doc.NewDocument("head"));
  ASSERT_TRUE(doc.LoadDocument(written));
  ASSERT_TRUE(doc.LoadDocument("<a/>"));
  ASSERT_TRUE(doc.LoadDocument(written));
  EXPECT_FALSE(doc.LoadDocument("<a/><b/>"));
  ASSERT_TRUE(doc.LoadDocument(written));
}

TEST(XmlHostile, DeepTreeBuiltInMemory) {
  XmlDocument doc;
  ASSERT_TRUE(doc.NewDocument("a"));
  XmlElement* e = doc.Find("a");
  for (int i = 1; i < kDeep; ++i) {
    e->children.push_back(std::make_unique<XmlElement>());
    e = e->children.back().get();
    e->name = "a";
  }
  ASSERT_TRUE(doc.AppendChild("a/a/a", "leaf", "x"));
  EXPECT_EQ(doc.Serialize("gb18030", "", "").size(),
            std::string(R"(<?xml version="1.0" encoding="gb18030"?>)").size() +
                7 * static_cast<size_t>(kDeep) + std::string("<leaf>x</leaf>").size() - 3);
}  // freed by the destructor

}  // namespace
}  // namespace quenlo::xml
