#include "platform/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "platform/text.h"

namespace quenlo::platform {

std::string RunDirectory() {
  std::vector<char> buf(4096);
  ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n <= 0) return CurrentDirectory();
  std::string exe(buf.data(), static_cast<std::size_t>(n));
  auto slash = exe.rfind('/');
  std::string dir = slash == 0 ? "/" : exe.substr(0, slash);
  return Utf8ToGbk(dir);
}

std::string CurrentDirectory() {
  std::vector<char> buf(4096);
  while (getcwd(buf.data(), buf.size()) == nullptr) {
    if (buf.size() > (1u << 20)) return {};
    buf.resize(buf.size() * 2);
  }
  return Utf8ToGbk(buf.data());
}

bool FileExists(const std::string& gbkPath) {
  struct stat st {};
  return stat(GbkToUtf8(gbkPath).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::optional<std::string> ReadFileBytes(const std::string& gbkPath) {
  std::ifstream in(GbkToUtf8(gbkPath), std::ios::binary);
  if (!in) return std::nullopt;
  std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return data;
}

}  // namespace quenlo::platform
