#include "CATFileServices.h"

#include "ELMHostFiles.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

const char* CATGetTempDirectory() {
  static std::string directory;
  const char* tmp = CATGetEnv("TMPDIR");
  directory = tmp && *tmp ? tmp : "/tmp";
  return directory.c_str();
}

CATLibStatus CATMakePath(const char* directory, const char* name, char* path, std::size_t size) {
  if (!path || size == 0) return CATLibError;
  path[0] = '\0';
  if (!directory || !name) return CATLibError;
  std::string joined = directory;
  if (!joined.empty() && joined.back() != '/' && *name) joined += '/';
  joined += name;
  if (joined.size() + 1 > size) return CATLibError;
  std::memcpy(path, joined.c_str(), joined.size() + 1);
  return CATLibSuccess;
}

int CATFileAccess(const char* path, int mode) {
  if (!path || !*path || mode < 0 || mode > 7) return -1;
  return access(path, mode) == 0 ? 0 : -1;
}

bool elmhost::WriteFileReplacing(const std::string& path, const std::string& text, std::string& error) {
  std::string tmp = path + ".XXXXXX";
  int fd = mkstemp(tmp.data());
  if (fd < 0) {
    error = "cannot create a file beside " + path + ": " + std::strerror(errno);
    return false;
  }
  const char* p = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    ssize_t n = write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = "cannot write " + tmp + ": " + std::strerror(n < 0 ? errno : ENOSPC);
      close(fd);
      unlink(tmp.c_str());
      return false;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  // mkstemp makes the file readable by its owner only; these files are read
  // by other programs, possibly under other accounts.
  if (close(fd) != 0 || chmod(tmp.c_str(), 0644) != 0 || std::rename(tmp.c_str(), path.c_str()) != 0) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    unlink(tmp.c_str());
    return false;
  }
  return true;
}
