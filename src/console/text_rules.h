#pragma once
// The two text rules the console applies to interpreter output, whose lines
// are separated by CRLF.
#include <string>
#include <string_view>

namespace quenlo::console {

// The part after the last CRLF; empty when the text holds no CRLF.
std::string_view LastLine(std::string_view text);

// True when the last line of `text` ends with '>': the interpreter shows its
// prompt (or a piece of output stopped right after a '>').
bool EndsWithPrompt(std::string_view text);

// Drops empty lines at both ends of a CRLF-separated text. A line of blanks
// is not empty; lines in the middle stay unchanged; no CRLF follows the last
// line kept.
std::string TrimBlankLines(std::string_view text);

// Removes every occurrence of `what` from `text` (byte-exact).
std::string RemoveAll(std::string_view text, std::string_view what);

}  // namespace quenlo::console
