// Escaping of stored texts and decoding of texts handed out.
#include <gtest/gtest.h>

#include <string>

#include "xml/xml_document.h"

namespace quenlo::xml {
namespace {

struct TextCase {
  const char* what;
  std::string in;
  std::string out;
};

TEST(XmlEscape, ReplacesTheFiveMarkupCharacters) {
  const TextCase cases[] = {
      {"empty", "", ""},
      {"plain", "adb shell ps", "adb shell ps"},
      {"all five", "a\"b&c'd<e>f", "a&quot;b&amp;c&apos;d&lt;e&gt;f"},
      {"an entity is escaped again", "&amp;", "&amp;amp;"},
      {"Chinese text", "查看<进程>", "查看&lt;进程&gt;"},
      // The byte after a lead byte belongs to the character, whatever it is.
      {"quote after a lead byte", "\x81\"x\"", "\x81\"x&quot;"},
      {"pairs are counted from the start", "\x81\x81<", "\x81\x81&lt;"},
      {"lead byte last", "a<\x81", "a&lt;\x81"},
  };
  for (const auto& c : cases) EXPECT_EQ(XmlEscape(c.in), c.out) << c.what;
}

TEST(XmlDecode, KnownEntitiesBecomeCharactersOthersStayAsWritten) {
  const TextCase cases[] = {
      {"empty", "", ""},
      {"the five", "&lt;&gt;&amp;&apos;&quot;", "<>&'\""},
      {"&quote; is a double quote too", "say &quote;hi&quote;", "say \"hi\""},
      {"unknown entity", "&copy; 2019", "&copy; 2019"},
      {"decoded once only", "&amp;lt;", "&lt;"},
      {"names are case-sensitive", "&LT;&Amp;", "&LT;&Amp;"},
      {"no semicolon at all", "a & b &lt", "a & b &lt"},
      // Everything from an ampersand to the next semicolon is one sequence.
      {"bare ampersand swallows up to the next semicolon", "AT&T &amp; co", "AT&T &amp; co"},
      {"text after the sequence is decoded", "&x;&lt;", "&x;<"},
      {"Chinese around entities", "进程&gt;包名", "进程>包名"},
      {"ampersand as the second byte of a character", "\x81&lt;", "\x81&lt;"},
      {"semicolon as the second byte of a character", "&lt\x81;&gt;", "&lt\x81;&gt;"},
      {"lead byte last", "&gt;\x81", ">\x81"},
  };
  for (const auto& c : cases) EXPECT_EQ(XmlDecode(c.in), c.out) << c.what;
}

TEST(XmlEscape, DecodeRestoresWhatWasEscaped) {
  const std::string texts[] = {
      "",
      "plain",
      "a\"b&c'd<e>f",
      "&amp; &quote; &copy; &",
      "这里存放的是包名的备注,Pack=包名,Tips=说明,rgb=十进制rgb颜色值",
      "adb shell \"pm list packages | grep '<mi>'\"",
      std::string("nul\0byte", 8),
  };
  for (const auto& t : texts) EXPECT_EQ(XmlDecode(XmlEscape(t)), t) << t;
}

}  // namespace
}  // namespace quenlo::xml
