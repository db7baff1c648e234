#include <gtest/gtest.h>

#include "console/text_rules.h"

using namespace quenlo::console;

TEST(TextRules, TrimBlankLines) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"", ""},
      {"\r\n", ""},
      {"\r\n\r\n\r\n", ""},
      {"abc", "abc"},
      {"abc\r\n", "abc"},
      {"\r\n\r\nabc\r\n\r\n", "abc"},
      {"a\r\n\r\nb", "a\r\n\r\nb"},              // middle lines stay
      {" \r\nabc\r\n \r\n", " \r\nabc\r\n "},   // a line of blanks is not empty
      {"\r\r\n", "\r"},                          // a lone CR is text
      {"\nabc\n", "\nabc\n"},                    // only CRLF separates lines
      {"\r\nx\r\n\r\nC:\\>", "x\r\n\r\nC:\\>"},
  };
  for (const auto& c : cases) EXPECT_EQ(TrimBlankLines(c.in), c.out) << "input: " << c.in;
}

TEST(TextRules, LastLineAndPrompt) {
  struct Case {
    const char* text;
    const char* last;
    bool prompt;
  } cases[] = {
      {"", "", false},
      {"C:\\>", "", false},  // no CRLF: never a prompt
      {"banner\r\n\r\nC:\\>", "C:\\>", true},
      {"out\r\n/tmp/x>", "/tmp/x>", true},
      {"out\r\n/tmp/x> ", "/tmp/x> ", false},
      {"out\r\na -> b", "a -> b", false},
      {"out\r\na >", "a >", true},  // stops right after '>': taken as a prompt
      {"out\r\n", "", false},
      {"out\n/tmp>", "", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LastLine(c.text), c.last) << c.text;
    EXPECT_EQ(EndsWithPrompt(c.text), c.prompt) << c.text;
  }
}

TEST(TextRules, RemoveAllOccurrences) {
  EXPECT_EQ(RemoveAll("adb devices\r\nx\r\nadb devices\r\n/>", "adb devices\r\n"), "x\r\n/>");
  EXPECT_EQ(RemoveAll("aaa", "aa"), "a");
  EXPECT_EQ(RemoveAll("abc", ""), "abc");
  EXPECT_EQ(RemoveAll("", "x"), "");
}
