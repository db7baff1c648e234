#pragma once
// Conversions between the program's internal texts (GBK bytes, code page 936)
// and UTF-8, which the operating system uses for file names and the
// interpreter's host side. GB18030 is used for the conversion: it is a
// byte-compatible superset of GBK, so nothing read from a GBK file changes,
// and it can represent every character the system can hand us.
#include <string>
#include <string_view>

namespace quenlo::platform {

// GBK/GB18030 bytes to UTF-8. Bytes that do not form a valid character are
// replaced by U+FFFD; the conversion never fails.
std::string GbkToUtf8(std::string_view gbk);

// UTF-8 to GB18030 bytes. Invalid UTF-8 bytes are replaced by '?'.
std::string Utf8ToGbk(std::string_view utf8);

// Length in bytes of the GBK/GB18030 character that starts at text[pos]:
// 1 for a single byte, 2 for a double-byte character, 4 for a GB18030
// four-byte sequence. A lead byte at the very end of the text counts as 1,
// so callers never read past the end.
std::size_t GbkCharLength(std::string_view text, std::size_t pos);

}  // namespace quenlo::platform
