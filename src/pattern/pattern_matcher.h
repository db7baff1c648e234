#pragma once
// One regular-expression search over one subject text, and questions about
// its matches afterwards. Used to take the television's address out of the
// "adb devices" reply and the state letter and process name out of each line
// of a process listing.
//
// Texts in and out are GBK bytes. Matching runs on a UTF-8 copy of the
// subject (so a GBK trail byte that happens to be an ASCII letter is never
// taken for one), and every text handed back is cut from the original GBK
// bytes. The syntax and matching rules follow the VBScript/JavaScript
// regular expressions the program's patterns were written for.
#include <memory>
#include <string>

namespace quenlo {

class PatternMatcher {
 public:
  PatternMatcher();
  ~PatternMatcher();
  PatternMatcher(const PatternMatcher&) = delete;
  PatternMatcher& operator=(const PatternMatcher&) = delete;

  // Runs a new search of `pattern` over `subject`; the results of any earlier
  // search are dropped.
  //  caseSensitive: false compares letters without regard to case.
  //  multiline:     ^ and $ also match at line breaks.
  //  global:        false stops after the first match; true finds all
  //                 non-overlapping matches, leftmost first.
  //  quoteEscape:   every "#引号" in the pattern stands for a double quote.
  // '.' never matches a line break. Returns false when the pattern is
  // rejected (or the search cannot be completed); every later question then
  // answers as if there were no matches. Finding nothing is not a failure.
  bool Execute(const std::string& pattern, const std::string& subject, bool caseSensitive = false,
               bool multiline = true, bool global = true, bool quoteEscape = false);

  // Does nothing.
  void Nothing();

  // Pattern text of the last search, after quote escaping; "" before any.
  std::string GetPattern() const;

  // The subject of the last search with every match replaced by
  // `replacement`, in which $1..$99 stand for a group, $& for the match,
  // $` for the text before it, $' for the text after it and $$ for "$".
  std::string Replace(const std::string& replacement) const;

  // Number of matches of the last search.
  int MatchCount() const;

  // Text of match `match` (1-based); "" when there is no such match. When
  // `wantPosition` is set and `position` is given, it receives the 0-based
  // byte offset of the match in the subject, or -1.
  std::string MatchText(int match, long* position = nullptr, bool wantPosition = false) const;

  // Text of group `group` (1-based, counted by opening parenthesis) of match
  // `match`; "" when either does not exist or the group took no part in the
  // match. The position works as in MatchText.
  std::string SubMatchText(int match, int group, long* position = nullptr,
                           bool wantPosition = false) const;

  // Number of groups of the first match; 0 when there is no match.
  int SubMatchCount() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace quenlo
