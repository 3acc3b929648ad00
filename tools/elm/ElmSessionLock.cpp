#include "ElmSessionLock.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace elmapp {

namespace {

std::string RealPath(const std::string& path) {
  char buffer[PATH_MAX];
  return realpath(path.c_str(), buffer) ? std::string(buffer) : path;
}

std::string Holder(int fd) {
  char text[512] = {};
  ssize_t n = pread(fd, text, sizeof text - 1, 0);
  std::string holder = n > 0 ? std::string(text, static_cast<std::size_t>(n)) : std::string();
  while (!holder.empty() && (holder.back() == '\n' || holder.back() == '\r')) holder.pop_back();
  return holder.empty() ? "another run" : holder;
}

}  // namespace

SessionLock::~SessionLock() {
  if (m_fd >= 0) close(m_fd);
}

int SessionLock::WaitMs() {
  const char* value = std::getenv("ELM_SESSION_WAIT");
  if (!value || !*value) return 5000;
  char* end = nullptr;
  long seconds = std::strtol(value, &end, 10);
  if (end == value || *end || seconds < 0 || seconds > 3600) return 5000;
  return static_cast<int>(seconds * 1000);
}

bool SessionLock::Acquire(const std::string& sessionPath, int waitMs, const std::string& holder, std::string& error) {
  const std::string target = RealPath(sessionPath);
  const std::string lockPath = target + ".lock";
  int fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  const bool lockFile = fd >= 0;
  if (!lockFile) {
    // A folder that cannot take the lock file cannot take a saved session
    // either; the session file itself still keeps two runs apart.
    fd = open(target.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return true;  // the session's own reading will say what is wrong
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK && errno != EINTR) {
      close(fd);
      return true;  // a file system without locks: nothing to keep apart with
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      error = sessionPath + ": in use by " + (lockFile ? Holder(fd) : std::string("another run")) + "; waited " +
              std::to_string(waitMs / 1000) + " s (ELM_SESSION_WAIT)";
      close(fd);
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (lockFile) {
    std::string text = holder + "\n";
    if (ftruncate(fd, 0) == 0) {
      ssize_t ignored = pwrite(fd, text.data(), text.size(), 0);
      (void)ignored;
    }
  }
  m_fd = fd;
  return true;
}

bool IsSameFile(const std::string& output, const std::string& sessionPath) {
  struct stat out {}, session {};
  if (stat(output.c_str(), &out) != 0 || stat(sessionPath.c_str(), &session) != 0) return false;
  return out.st_dev == session.st_dev && out.st_ino == session.st_ino;
}

}  // namespace elmapp
