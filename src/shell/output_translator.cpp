#include "shell/output_translator.h"

#include "platform/text.h"

namespace quenlo::shell {
namespace {

enum class Utf8 { Valid, Invalid, Incomplete };

// Checks the UTF-8 sequence that starts with the non-ASCII byte data[pos].
// Strict: overlong forms, surrogates and values above U+10FFFF are invalid,
// so whatever is accepted here converts without error. `Incomplete` means
// the data ends before the sequence does, every byte so far being right.
Utf8 CheckSequence(std::string_view data, std::size_t pos, std::size_t& length) {
  const auto lead = static_cast<unsigned char>(data[pos]);
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // overlong
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // overlong
    if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
  } else {
    return Utf8::Invalid;
  }
  for (std::size_t k = 1; k < length; ++k) {
    if (pos + k >= data.size()) return Utf8::Incomplete;
    const auto b = static_cast<unsigned char>(data[pos + k]);
    if (k == 1 ? (b < low || b > high) : (b < 0x80 || b > 0xBF)) return Utf8::Invalid;
  }
  return Utf8::Valid;
}

}  // namespace

std::string OutputTranslator::Feed(std::string_view chunk) {
  if (carry_.empty()) return Translate(chunk, false);
  std::string data = std::move(carry_);
  carry_.clear();
  data.append(chunk);
  return Translate(data, false);
}

std::string OutputTranslator::Finish() {
  std::string data = std::move(carry_);
  carry_.clear();
  return Translate(data, true);
}

std::string OutputTranslator::Translate(std::string_view data, bool last) {
  std::string out;
  // Valid UTF-8 with its line ends already rewritten, waiting to be
  // converted in one piece (CR and LF are the same bytes in GBK).
  std::string text;
  text.reserve(data.size() + data.size() / 8);
  const auto flushText = [&] {
    out.append(platform::Utf8ToGbk(text));
    text.clear();
  };

  std::size_t i = 0;
  const std::size_t n = data.size();
  while (i < n) {
    const auto c = static_cast<unsigned char>(data[i]);
    if (c == '\n') {
      text.append("\r\n");
      ++i;
    } else if (c == '\r') {
      std::size_t j = i;
      while (j < n && data[j] == '\r') ++j;
      if (j == n && !last) {  // the LF may be in the next chunk
        carry_.assign(data.substr(i));
        break;
      }
      if (j < n && data[j] == '\n') {
        text.append("\r\n");
        i = j + 1;
      } else {
        text.append(j - i, '\r');
        i = j;
      }
    } else if (c < 0x80) {
      std::size_t j = i + 1;
      while (j < n) {
        const auto d = static_cast<unsigned char>(data[j]);
        if (d >= 0x80 || d == '\r' || d == '\n') break;
        ++j;
      }
      text.append(data.substr(i, j - i));
      i = j;
    } else {
      std::size_t length = 0;
      const Utf8 kind = CheckSequence(data, i, length);
      if (kind == Utf8::Valid) {
        text.append(data.substr(i, length));
        i += length;
      } else if (kind == Utf8::Incomplete && !last) {
        carry_.assign(data.substr(i));
        break;
      } else {
        // Not UTF-8: hand the byte on untouched and go on with the next one.
        flushText();
        out.push_back(static_cast<char>(c));
        ++i;
      }
    }
  }
  flushText();
  return out;
}

}  // namespace quenlo::shell
