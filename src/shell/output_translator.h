#pragma once
// The text a command prints (UTF-8, any line ends) becomes console text:
// GBK bytes with every line ended by exactly one CRLF.
#include <string>
#include <string_view>

namespace quenlo::shell {

// Converts a command's output as it arrives, chunk by chunk. A chunk may end
// inside a multibyte character or inside a run of CRs whose LF is still to
// come; such a tail is kept back and finished with the next chunk, so the
// result does not depend on where the chunks were cut.
//
// Line ends: LF, CRLF and any run of CRs followed by LF all become one CRLF.
// CRs not followed by LF are kept as they are (progress lines redraw with
// them). Bytes that are not valid UTF-8 are passed on unchanged.
class OutputTranslator {
 public:
  // The console text for `chunk` (possibly empty when all of it is held
  // back for now).
  std::string Feed(std::string_view chunk);
  // The end of the output: whatever was held back, as it is.
  std::string Finish();

 private:
  std::string Translate(std::string_view data, bool last);
  std::string carry_;
};

}  // namespace quenlo::shell
