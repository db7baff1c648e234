#include "console/text_rules.h"

namespace quenlo::console {

std::string_view LastLine(std::string_view text) {
  auto pos = text.rfind("\r\n");
  if (pos == std::string_view::npos) return {};
  return text.substr(pos + 2);
}

bool EndsWithPrompt(std::string_view text) {
  auto last = LastLine(text);
  return !last.empty() && last.back() == '>';
}

std::string TrimBlankLines(std::string_view text) {
  // Leading empty lines are CRLF pairs at the very start; trailing empty
  // lines are CRLF pairs at the very end (the last line being empty too).
  std::size_t begin = 0;
  while (text.compare(begin, 2, "\r\n") == 0) begin += 2;
  std::size_t end = text.size();
  while (end >= begin + 2 && text.compare(end - 2, 2, "\r\n") == 0) end -= 2;
  if (end < begin) end = begin;
  return std::string(text.substr(begin, end - begin));
}

std::string RemoveAll(std::string_view text, std::string_view what) {
  if (what.empty()) return std::string(text);
  std::string out;
  out.reserve(text.size());
  std::size_t from = 0;
  for (;;) {
    auto pos = text.find(what, from);
    if (pos == std::string_view::npos) break;
    out.append(text, from, pos - from);
    from = pos + what.size();
  }
  out.append(text, from);
  return out;
}

}  // namespace quenlo::console
