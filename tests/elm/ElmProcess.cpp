#include "ElmProcess.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace elmtest {

namespace {

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

int Status(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status); }

}  // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env) {
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
    ExecChild(program, args, env);
  }
  close(out[1]);
  close(err[1]);
  // Read both streams together, so a child that fills one pipe never blocks.
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open = 2;
  while (open > 0) {
    if (poll(fds, 2, -1) < 0) {
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
  if (pid > 0) waitpid(pid, &status, 0);
  result.exitCode = pid > 0 ? Status(status) : -1;
  return result;
}

ServerProcess::ServerProcess(const std::string& database) {
  int out[2];
  if (pipe(out) != 0) return;
  pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    close(out[1]);
    // Its closing words would only clutter the test log.
    if (int null = open("/dev/null", O_WRONLY); null >= 0) dup2(null, STDERR_FILENO);
    ExecChild(ELM_SERVER_EXE, {"--db", database, "--listen", "127.0.0.1:0", "--quiet"}, {});
  }
  close(out[1]);
  m_pid = pid;
  // The server prints its URL once it listens: reading the line is the wait.
  std::string line;
  char c;
  while (read(out[0], &c, 1) == 1 && c != '\n') line += c;
  close(out[0]);
  auto start = line.find("http://");
  if (start == std::string::npos) return;
  auto end = line.find(' ', start);
  m_url = line.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

ServerProcess::~ServerProcess() {
  if (m_pid <= 0) return;
  kill(m_pid, SIGTERM);
  int status = 0;
  waitpid(m_pid, &status, 0);
}

}  // namespace elmtest
