#include "ChildProcess.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace elmtest {

namespace {

int DecodeStatus(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status); }

[[noreturn]] void ExecChild(const std::string& program, const std::vector<std::string>& args,
                            const std::map<std::string, std::string>& env) {
  for (const auto& [k, v] : env) {
    if (v.empty())
      unsetenv(k.c_str());
    else
      setenv(k.c_str(), v.c_str(), 1);
  }
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  execv(program.c_str(), argv.data());
  std::fprintf(stderr, "cannot run %s: %s\n", program.c_str(), std::strerror(errno));
  _exit(127);
}

}  // namespace

ChildResult RunInChild(const std::map<std::string, std::string>& env, const std::function<int()>& body) {
  ChildResult result;
  int fds[2];
  if (pipe(fds) != 0) return result;
  std::fflush(stdout);
  pid_t pid = fork();
  if (pid < 0) {
    close(fds[0]);
    close(fds[1]);
    return result;
  }
  if (pid == 0) {
    close(fds[0]);
    dup2(fds[1], STDOUT_FILENO);
    close(fds[1]);
    for (const auto& [k, v] : env) {
      if (v == kUnset)
        unsetenv(k.c_str());
      else
        setenv(k.c_str(), v.c_str(), 1);
    }
    int code = body();
    std::fflush(stdout);
    _exit(code);
  }
  close(fds[1]);
  char buf[4096];
  ssize_t n;
  while ((n = read(fds[0], buf, sizeof buf)) > 0) result.out.append(buf, static_cast<std::size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  result.exitCode = DecodeStatus(status);
  return result;
}

int WaitBounded(int pid, int seconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  int status = 0;
  while (std::chrono::steady_clock::now() < deadline) {
    pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) return DecodeStatus(status);
    if (r < 0) return -1;
    usleep(2000);
  }
  kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
  return -2;  // did not end in time
}

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env) {
  RunOptions options;
  options.env = env;
  return RunProcess(program, args, options);
}

void DropRootPrivileges() {
  if (geteuid() != 0) return;
  const gid_t nobodyGroup = 65534;
  const uid_t nobody = 65534;
  if (setgroups(0, nullptr) != 0 || setgid(nobodyGroup) != 0 || setuid(nobody) != 0) {
    std::fprintf(stderr, "cannot become nobody: %s\n", std::strerror(errno));
    _exit(127);
  }
}

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args, const RunOptions& options) {
  ProcessResult result;
  int out[2], err[2];
  if (pipe(out) != 0) return result;
  if (pipe(err) != 0) {
    close(out[0]);
    close(out[1]);
    return result;
  }
  pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    dup2(err[1], STDERR_FILENO);
    close(out[0]);
    close(out[1]);
    close(err[0]);
    close(err[1]);
    if (options.beforeExec) options.beforeExec();
    ExecChild(program, args, options.env);
  }
  close(out[1]);
  close(err[1]);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options.timeoutSeconds);
  bool killed = false;
  // Read both streams together, so a child that fills one pipe never blocks.
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open = 2;
  while (open > 0) {
    int waitMs = -1;
    if (options.timeoutSeconds > 0 && !killed) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) {
        // Its pipes close with it, which ends this loop.
        kill(pid, SIGKILL);
        killed = true;
      }
      waitMs = killed ? -1 : static_cast<int>(left.count());
    }
    int ready = poll(fds, 2, waitMs);
    if (ready < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
      char buf[4096];
      ssize_t n = read(fds[i].fd, buf, sizeof buf);
      if (n > 0) {
        sinks[i]->append(buf, static_cast<std::size_t>(n));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  int status = 0;
  rusage usage{};
  if (pid > 0) wait4(pid, &status, 0, &usage);
  result.exitCode = pid > 0 ? (killed ? -2 : DecodeStatus(status)) : -1;
  result.maxResidentKb = usage.ru_maxrss;
  return result;
}

#ifdef ELM_SERVER_EXECUTABLE
ServerProcess::ServerProcess(const std::vector<std::string>& args, const std::string& logFile) {
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
  int errFd = open(logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  m_pid = fork();
  if (m_pid == 0) {
    dup2(fds[1], STDOUT_FILENO);
    dup2(errFd, STDERR_FILENO);
    ExecChild(ELM_SERVER_EXECUTABLE, args, {});
  }
  close(fds[1]);
  close(errFd);
  m_outFd = fds[0];
}

ServerProcess::~ServerProcess() {
  if (m_status < 0 && m_pid > 0) Signal(SIGKILL);
  if (m_outFd >= 0) close(m_outFd);
}

std::string ServerProcess::WaitForUrl() {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (m_out.find('\n') == std::string::npos) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return {};
    pollfd p{m_outFd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) return {};
    char buf[512];
    ssize_t n = read(m_outFd, buf, sizeof buf);
    if (n <= 0) return {};
    m_out.append(buf, static_cast<std::size_t>(n));
  }
  auto at = m_out.find("http://");
  if (at == std::string::npos) return {};
  auto end = m_out.find(' ', at);
  return m_out.substr(at, end - at);
}

int ServerProcess::Signal(int sig) {
  if (m_status >= 0) return m_status;
  kill(m_pid, sig);
  m_status = WaitBounded(m_pid, 15);
  return m_status;
}
#endif

}  // namespace elmtest
