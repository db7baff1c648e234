#include "pattern/pattern_matcher.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/text.h"

namespace quenlo {
namespace {

// Compile options that make PCRE2 read and match the way the program's
// VBScript-style patterns expect:
//  - UTF: the subject is matched as UTF-8 characters; without UCP, \w \d \s
//    and \b stay ASCII-only.
//  - DOLLAR_ENDONLY: without multiline, $ matches only at the very end.
//  - ALT_BSUX, MATCH_UNSET_BACKREF, EXTRA_BAD_ESCAPE_IS_LITERAL: \uhhhh and
//    \xhh escapes, unknown escapes such as \y standing for the letter, and a
//    back reference to a group that took no part matching the empty text,
//    all as in JavaScript.
//  - NEVER_BACKSLASH_C: \C could end a match inside a character, which has
//    no counterpart in the GBK subject.
constexpr uint32_t kBaseOptions = PCRE2_UTF | PCRE2_DOLLAR_ENDONLY | PCRE2_ALT_BSUX |
                                  PCRE2_MATCH_UNSET_BACKREF | PCRE2_NEVER_BACKSLASH_C;
constexpr uint32_t kExtraOptions = PCRE2_EXTRA_BAD_ESCAPE_IS_LITERAL;

constexpr std::string_view kUtf8Replacement = "\xEF\xBF\xBD";  // U+FFFD

bool IsAscii(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  std::string out;
  std::size_t done = 0;
  for (std::size_t at = text.find(from); at != std::string_view::npos; at = text.find(from, done)) {
    out.append(text.substr(done, at - done)).append(to);
    done = at + from.size();
  }
  out.append(text.substr(done));
  return out;
}

// A pattern that ends in an unpaired backslash is an error to VBScript, but
// PCRE2 would take the backslash literally under BAD_ESCAPE_IS_LITERAL. Looked
// for in the UTF-8 pattern: in GBK a 0x5C byte may be the trail byte of a
// character.
bool EndsInLoneBackslash(std::string_view pattern) {
  std::size_t count = 0;
  while (count < pattern.size() && pattern[pattern.size() - 1 - count] == '\\') ++count;
  return count % 2 == 1;
}

// Length of the UTF-8 character whose first byte is `lead`.
std::size_t Utf8Length(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead < 0xE0) return 2;
  if (lead < 0xF0) return 3;
  return 4;
}

// Length of the GBK/GB18030 character at text[pos], judged strictly by the
// byte ranges of the encoding; 0 when the byte there starts no valid
// character (a stray lead byte, 0x80, 0xFF, or a lead byte at the end).
std::size_t GbkUnitLength(std::string_view text, std::size_t pos) {
  const auto at = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = at(pos);
  if (lead < 0x80) return 1;
  if (lead == 0x80 || lead == 0xFF || pos + 1 >= text.size()) return 0;
  const unsigned char second = at(pos + 1);
  if ((second >= 0x40 && second <= 0x7E) || (second >= 0x80 && second <= 0xFE)) return 2;
  if (second >= 0x30 && second <= 0x39 && pos + 3 < text.size()) {
    const unsigned char third = at(pos + 2), fourth = at(pos + 3);
    if (third >= 0x81 && third <= 0xFE && fourth >= 0x30 && fourth <= 0x39) return 4;
  }
  return 0;
}

// A GBK subject converted to UTF-8, with the GBK offset of every UTF-8 byte
// offset (and of the end), so that match boundaries can be carried back to
// the original bytes.
struct Utf8Subject {
  std::string text;
  std::vector<std::size_t> gbkOffset;

  void Append(std::string_view utf8Char, std::size_t gbkPos) {
    text.append(utf8Char);
    gbkOffset.insert(gbkOffset.end(), utf8Char.size(), gbkPos);
  }
};

// Appends the run gbk[units.front(), end) of valid multi-byte characters that
// start at `units`. The run is converted in one call; if that does not give
// exactly one code point per character (the converter refused one of them),
// each character is converted alone and a refused one becomes U+FFFD as a
// whole, so that its trail bytes are never read as ASCII.
void AppendMultiByteRun(std::string_view gbk, const std::vector<std::size_t>& units,
                        std::size_t end, Utf8Subject& out) {
  const std::string utf8 = platform::GbkToUtf8(gbk.substr(units.front(), end - units.front()));
  std::vector<std::size_t> starts;
  bool clean = true;
  for (std::size_t i = 0; i < utf8.size(); i += Utf8Length(static_cast<unsigned char>(utf8[i]))) {
    starts.push_back(i);
    if (utf8.compare(i, kUtf8Replacement.size(), kUtf8Replacement) == 0) clean = false;
  }
  if (clean && starts.size() == units.size()) {
    starts.push_back(utf8.size());
    for (std::size_t k = 0; k < units.size(); ++k)
      out.Append(std::string_view(utf8).substr(starts[k], starts[k + 1] - starts[k]), units[k]);
    return;
  }
  for (std::size_t k = 0; k < units.size(); ++k) {
    const std::size_t unitEnd = k + 1 < units.size() ? units[k + 1] : end;
    const std::string one = platform::GbkToUtf8(gbk.substr(units[k], unitEnd - units[k]));
    const bool single = !one.empty() && Utf8Length(static_cast<unsigned char>(one[0])) == one.size();
    out.Append(single ? std::string_view(one) : kUtf8Replacement, units[k]);
  }
}

Utf8Subject ConvertSubject(std::string_view gbk) {
  Utf8Subject out;
  out.text.reserve(gbk.size() * 3 / 2);
  out.gbkOffset.reserve(gbk.size() * 3 / 2 + 1);
  std::vector<std::size_t> run;  // starts of the pending multi-byte characters
  std::size_t pos = 0;
  const auto flush = [&] {
    if (!run.empty()) AppendMultiByteRun(gbk, run, pos, out);
    run.clear();
  };
  while (pos < gbk.size()) {
    const std::size_t len = GbkUnitLength(gbk, pos);
    if (len > 1) {
      run.push_back(pos);
      pos += len;
      continue;
    }
    flush();
    if (len == 1)
      out.Append(gbk.substr(pos, 1), pos);
    else
      out.Append(kUtf8Replacement, pos);  // a byte that starts no character
    ++pos;
  }
  flush();
  out.gbkOffset.push_back(gbk.size());
  return out;
}

}  // namespace

struct PatternMatcher::Impl {
  // Compiled form of the last pattern, kept while the same pattern and
  // options come again (the process-listing parser runs one pattern for
  // every line of a listing).
  std::string compiledPattern;
  uint32_t compiledOptions = 0;
  pcre2_code* code = nullptr;
  pcre2_match_data* matchData = nullptr;

  // Results of the last search.
  std::string pattern;        // GBK, after quote escaping
  std::string subject;        // GBK
  int matchCount = 0;
  int groupCount = 0;         // capturing groups of the pattern
  std::vector<long> offsets;  // per match, begin/end of group 0..groupCount; -1 unset

  ~Impl() { DropCode(); }

  void DropCode() {
    pcre2_match_data_free(matchData);
    pcre2_code_free(code);
    matchData = nullptr;
    code = nullptr;
    compiledPattern.clear();
  }

  bool Compile(const std::string& utf8Pattern, uint32_t options) {
    if (code && options == compiledOptions && utf8Pattern == compiledPattern) return true;
    DropCode();
    pcre2_compile_context* context = pcre2_compile_context_create(nullptr);
    if (!context) return false;
    // CR, LF and CRLF all end a line: '.' matches none of them, and in
    // multiline mode ^ and $ match next to each.
    pcre2_set_newline(context, PCRE2_NEWLINE_ANYCRLF);
    pcre2_set_compile_extra_options(context, kExtraOptions);
    int error = 0;
    PCRE2_SIZE errorOffset = 0;
    code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(utf8Pattern.data()), utf8Pattern.size(),
                         options, &error, &errorOffset, context);
    pcre2_compile_context_free(context);
    if (!code) return false;
    pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);  // the interpreter runs when JIT is unavailable
    matchData = pcre2_match_data_create_from_pattern(code, nullptr);
    if (!matchData) {
      DropCode();
      return false;
    }
    compiledPattern = utf8Pattern;
    compiledOptions = options;
    return true;
  }

  int Match(std::string_view text, std::size_t start, uint32_t flags) {
    const auto* data = reinterpret_cast<PCRE2_SPTR>(text.data());
    int rc = pcre2_match(code, data, text.size(), start, flags, matchData, nullptr);
    // A search too deep for the JIT stack may still succeed in the
    // interpreter, whose memory grows on the heap.
    if (rc == PCRE2_ERROR_JIT_STACKLIMIT)
      rc = pcre2_match(code, data, text.size(), start, flags | PCRE2_NO_JIT, matchData, nullptr);
    return rc;
  }

  // Finds the matches of the compiled code in `text` and records them as
  // offsets into the GBK subject (`gbkOffset` empty: the offsets are the
  // same). Empty matches advance the search by one character, as in
  // VBScript/JavaScript. Returns false when the search fails.
  bool FindAll(std::string_view text, const std::vector<std::size_t>& gbkOffset, bool global) {
    const auto toGbk = [&](PCRE2_SIZE at) -> long {
      if (at == PCRE2_UNSET) return -1;
      return static_cast<long>(gbkOffset.empty() ? at : gbkOffset[at]);
    };
    uint32_t flags = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
      const int rc = Match(text, start, flags);
      if (rc == PCRE2_ERROR_NOMATCH) break;
      if (rc < 0) return false;
      flags |= PCRE2_NO_UTF_CHECK;  // the text was checked by the first call
      const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(matchData);
      for (int i = 0; i <= groupCount; ++i) {
        const bool set = i < rc && ov[2 * i] != PCRE2_UNSET;
        offsets.push_back(set ? toGbk(ov[2 * i]) : -1);
        offsets.push_back(set ? toGbk(ov[2 * i + 1]) : -1);
      }
      ++matchCount;
      if (!global) break;
      std::size_t next = ov[1];
      if (ov[0] == ov[1] || next <= start) {
        if (ov[1] >= text.size()) break;
        next = ov[1] + Utf8Length(static_cast<unsigned char>(text[ov[1]]));
      }
      start = next;
    }
    return true;
  }

  // Begin/end of group `group` of match `match` (both 1-based, group 0 the
  // whole match); false when there is no such text.
  bool Span(int match, int group, long& begin, long& end) const {
    if (match < 1 || match > matchCount || group < 0 || group > groupCount) return false;
    const std::size_t at = (static_cast<std::size_t>(match - 1) * (groupCount + 1) + group) * 2;
    begin = offsets[at];
    end = offsets[at + 1];
    return begin >= 0;
  }

  std::string Text(int match, int group, long* position, bool wantPosition) const {
    long begin = -1, end = -1;
    const bool found = Span(match, group, begin, end);
    if (wantPosition && position) *position = found ? begin : -1;
    return found ? subject.substr(begin, end - begin) : std::string();
  }

  // Appends the expansion of `replacement` for match `match`.
  void Expand(const std::string& replacement, int match, std::string& out) const {
    long begin = 0, end = 0;
    Span(match, 0, begin, end);
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    const auto appendGroup = [&](int group) {
      long b = 0, e = 0;
      if (Span(match, group, b, e)) out.append(subject, b, e - b);
    };
    for (std::size_t i = 0; i < replacement.size(); ++i) {
      const char c = replacement[i];
      const char next = i + 1 < replacement.size() ? replacement[i + 1] : '\0';
      if (c != '$' || next == '\0') {
        out += c;
      } else if (next == '$') {
        out += '$';
        ++i;
      } else if (next == '&') {
        out.append(subject, begin, end - begin);
        ++i;
      } else if (next == '`') {
        out.append(subject, 0, begin);
        ++i;
      } else if (next == '\'') {
        out.append(subject, end);
        ++i;
      } else if (isDigit(next)) {
        // Two digits name a group when that group exists; otherwise the
        // first digit alone does, and the second is plain text. $0 and
        // numbers beyond the groups stay as written.
        const int one = next - '0';
        const char after = i + 2 < replacement.size() ? replacement[i + 2] : '\0';
        const int two = isDigit(after) ? one * 10 + (after - '0') : 0;
        if (two >= 1 && two <= groupCount) {
          appendGroup(two);
          i += 2;
        } else if (one >= 1 && one <= groupCount) {
          appendGroup(one);
          i += 1;
        } else {
          out += c;
        }
      } else {
        out += c;
      }
    }
  }
};

PatternMatcher::PatternMatcher() : impl_(std::make_unique<Impl>()) {}

PatternMatcher::~PatternMatcher() = default;

bool PatternMatcher::Execute(const std::string& pattern, const std::string& subject,
                             bool caseSensitive, bool multiline, bool global, bool quoteEscape) {
  Impl& d = *impl_;
  d.pattern = quoteEscape ? ReplaceAll(pattern, "#引号", "\"") : pattern;
  d.subject = subject;
  d.matchCount = 0;
  d.groupCount = 0;
  d.offsets.clear();

  uint32_t options = kBaseOptions;
  if (!caseSensitive) options |= PCRE2_CASELESS;
  if (multiline) options |= PCRE2_MULTILINE;
  const std::string utf8Pattern = platform::GbkToUtf8(d.pattern);
  if (EndsInLoneBackslash(utf8Pattern) || !d.Compile(utf8Pattern, options)) return false;

  uint32_t captures = 0;
  pcre2_pattern_info(d.code, PCRE2_INFO_CAPTURECOUNT, &captures);
  d.groupCount = static_cast<int>(captures);

  bool ok;
  if (IsAscii(subject)) {
    ok = d.FindAll(subject, {}, global);
  } else {
    const Utf8Subject converted = ConvertSubject(subject);
    ok = d.FindAll(converted.text, converted.gbkOffset, global);
  }
  if (!ok) {
    d.matchCount = 0;
    d.offsets.clear();
  }
  return ok;
}

void PatternMatcher::Nothing() {}

std::string PatternMatcher::GetPattern() const { return impl_->pattern; }

std::string PatternMatcher::Replace(const std::string& replacement) const {
  const Impl& d = *impl_;
  std::string out;
  std::size_t copied = 0;
  for (int m = 1; m <= d.matchCount; ++m) {
    long begin = 0, end = 0;
    d.Span(m, 0, begin, end);
    out.append(d.subject, copied, static_cast<std::size_t>(begin) - copied);
    d.Expand(replacement, m, out);
    copied = static_cast<std::size_t>(end);
  }
  out.append(d.subject, copied);
  return out;
}

int PatternMatcher::MatchCount() const { return impl_->matchCount; }

std::string PatternMatcher::MatchText(int match, long* position, bool wantPosition) const {
  return impl_->Text(match, 0, position, wantPosition);
}

std::string PatternMatcher::SubMatchText(int match, int group, long* position,
                                         bool wantPosition) const {
  if (group < 1) {
    if (wantPosition && position) *position = -1;
    return {};
  }
  return impl_->Text(match, group, position, wantPosition);
}

int PatternMatcher::SubMatchCount() const {
  return impl_->matchCount > 0 ? impl_->groupCount : 0;
}

}  // namespace quenlo
