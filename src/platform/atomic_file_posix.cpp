#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <string>

#include "platform/text.h"

namespace quenlo::platform {
namespace {

// Bytes a write may still put out before the injected failure; -1 when no
// failure is injected.
std::atomic<std::int64_t> g_failAfter{-1};

// Writes everything or reports failure; honours the injected failure.
bool WriteAll(int fd, std::string_view bytes) {
  std::int64_t allowed = g_failAfter.load();
  const char* p = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    size_t chunk = left;
    if (allowed >= 0) {
      if (allowed == 0) {
        errno = EIO;
        return false;
      }
      if (chunk > static_cast<size_t>(allowed)) chunk = static_cast<size_t>(allowed);
    }
    ssize_t n = write(fd, p, chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    left -= static_cast<size_t>(n);
    if (allowed >= 0) allowed -= n;
  }
  return true;
}

// Flushes the directory entry of a rename to disk. Best effort: some file
// systems refuse fsync on a directory, and the file itself is already safe.
void SyncDirectory(const std::string& dir) {
  int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

}  // namespace

bool WriteFileAtomically(const std::string& gbkPath, std::string_view bytes) {
  if (gbkPath.empty()) return false;
  const std::string path = GbkToUtf8(gbkPath);
  if (path.back() == '/') return false;

  const size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  // Keep the temporary name well below the file system's name limit, even
  // for a target whose own name is near it.
  if (base.size() > 100) base.resize(100);

  // A fresh name beside the target; created with O_EXCL so that an existing
  // file is never reused, and with mode 0666 so that the umask applies as
  // for any newly created file.
  static std::atomic<unsigned> counter{0};
  std::string tmpName;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    tmpName = dir + "/." + base + ".tmp" + std::to_string(getpid()) + "." +
              std::to_string(counter.fetch_add(1));
    fd = open(tmpName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;

  bool ok = true;
  // A replaced file keeps its permission bits.
  struct stat st;
  if (stat(path.c_str(), &st) == 0 && fchmod(fd, st.st_mode & 07777) != 0) ok = false;

  ok = ok && WriteAll(fd, bytes);
  ok = ok && fsync(fd) == 0;
  if (close(fd) != 0) ok = false;
  ok = ok && rename(tmpName.c_str(), path.c_str()) == 0;
  if (!ok) {
    int saved = errno;
    unlink(tmpName.c_str());
    errno = saved;
    return false;
  }
  SyncDirectory(dir);
  return true;
}

void SetWriteFailureAfterForTesting(std::optional<std::size_t> bytes) {
  g_failAfter.store(bytes ? static_cast<std::int64_t>(*bytes) : -1);
}

}  // namespace quenlo::platform
