#include "platform/text.h"

#include <iconv.h>

#include <cerrno>
#include <mutex>

namespace quenlo::platform {
namespace {

// One converter per direction and thread: iconv descriptors keep state and
// are not safe to share between threads.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts `in`; on an invalid or incomplete sequence `onBad` is appended
  // and one input byte is skipped.
  std::string Run(std::string_view in, std::string_view onBad) {
    std::string out;
    if (cd_ == reinterpret_cast<iconv_t>(-1)) return std::string(in);
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    out.reserve(in.size() * 3 / 2 + 8);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char buf[4096];
    while (srcLeft > 0) {
      char* dst = buf;
      size_t dstLeft = sizeof buf;
      size_t rc = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
      out.append(buf, static_cast<size_t>(dst - buf));
      if (rc == static_cast<size_t>(-1)) {
        if (errno == E2BIG) continue;
        // EILSEQ or EINVAL: replace one byte and resynchronise.
        out.append(onBad);
        ++src;
        --srcLeft;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
      }
    }
    char* dst = buf;
    size_t dstLeft = sizeof buf;
    iconv(cd_, nullptr, nullptr, &dst, &dstLeft);
    out.append(buf, static_cast<size_t>(dst - buf));
    return out;
  }

 private:
  iconv_t cd_;
};

bool IsAscii(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

}  // namespace

std::string GbkToUtf8(std::string_view gbk) {
  if (IsAscii(gbk)) return std::string(gbk);
  thread_local Converter conv("UTF-8", "GB18030");
  return conv.Run(gbk, "\xEF\xBF\xBD");
}

std::string Utf8ToGbk(std::string_view utf8) {
  if (IsAscii(utf8)) return std::string(utf8);
  thread_local Converter conv("GB18030", "UTF-8");
  return conv.Run(utf8, "?");
}

std::size_t GbkCharLength(std::string_view text, std::size_t pos) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  if (pos >= text.size()) return 0;
  unsigned char lead = byte(pos);
  if (lead < 0x81 || lead == 0xFF || pos + 1 >= text.size()) return 1;
  unsigned char second = byte(pos + 1);
  if (second >= 0x30 && second <= 0x39) {
    if (pos + 3 < text.size()) {
      unsigned char third = byte(pos + 2), fourth = byte(pos + 3);
      if (third >= 0x81 && third <= 0xFE && fourth >= 0x30 && fourth <= 0x39) return 4;
    }
    return 1;
  }
  return 2;
}

}  // namespace quenlo::platform
