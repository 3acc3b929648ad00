#include "WinShell.h"

#include "CATGetEnv.h"
#include "ELMHostDesktop.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

extern char** environ;

namespace {

std::mutex g_observerLock;
elmhost::DesktopObserver g_observer;

bool HasDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = CATGetEnv(name);
    if (value && *value) return true;
  }
  return false;
}

/// The program found along PATH, or empty.
std::string FindOnPath(const std::string& program) {
  const char* path = CATGetEnv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= dirs.size()) {
    std::size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string dir = dirs.substr(start, end - start);
    std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + program;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return {};
}

/// Starts opener on file without waiting for the viewer it launches: a
/// shell puts it in the background and ends at once, so nothing is left
/// for this process to reap.
bool StartDetached(const std::string& opener, const std::string& file) {
  const char* argv[] = {"/bin/sh", "-c", "\"$0\" \"$1\" </dev/null >/dev/null 2>&1 &", opener.c_str(), file.c_str(),
                        nullptr};
  pid_t pid = -1;
  if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0) return false;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void Tell(const elmhost::DesktopOpen& what) {
  elmhost::DesktopObserver observer;
  {
    std::lock_guard<std::mutex> lock(g_observerLock);
    observer = g_observer;
  }
  if (observer)
    observer(what);
  else if (!what.opened)
    std::fprintf(stderr, "The file %s was not opened (%s).\n", what.path.c_str(), what.reason.c_str());
}

HINSTANCE Result(std::intptr_t code) { return reinterpret_cast<HINSTANCE>(code); }

}  // namespace

elmhost::DesktopObserver elmhost::SetDesktopObserver(DesktopObserver observer) {
  std::lock_guard<std::mutex> lock(g_observerLock);
  return std::exchange(g_observer, std::move(observer));
}

DWORD GetLongPathNameA(LPCSTR shortPath, LPSTR longPath, DWORD size) {
  if (!shortPath || !*shortPath) return 0;
  char* resolved = realpath(shortPath, nullptr);
  if (!resolved) return 0;
  std::string full = resolved;
  std::free(resolved);
  if (!longPath || full.size() + 1 > size) return static_cast<DWORD>(full.size() + 1);
  std::memcpy(longPath, full.c_str(), full.size() + 1);
  return static_cast<DWORD>(full.size());
}

HINSTANCE ShellExecuteA(HWND, LPCSTR verb, LPCSTR file, LPCSTR, LPCSTR, INT) {
  elmhost::DesktopOpen what;
  what.verb = verb && *verb ? verb : "open";
  what.path = file ? file : "";
  std::intptr_t code = 33;
  if (what.verb != "open") {
    what.reason = "the desktop offers only \"open\"";
    code = SE_ERR_NOASSOC;
  } else if (what.path.empty() || access(what.path.c_str(), F_OK) != 0) {
    what.reason = "the file does not exist";
    code = SE_ERR_FNF;
  } else if (!HasDisplay()) {
    what.reason = "no display";
    code = SE_ERR_NOASSOC;
  } else if (std::string opener = FindOnPath("xdg-open"); opener.empty()) {
    what.reason = "xdg-open is not installed";
    code = SE_ERR_NOASSOC;
  } else if (!StartDetached(opener, what.path)) {
    what.reason = "xdg-open could not be started";
    code = SE_ERR_NOASSOC;
  } else {
    what.opened = true;
    what.opener = "xdg-open";
  }
  Tell(what);
  return Result(code);
}
