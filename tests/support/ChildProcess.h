#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace elmtest {

struct ChildResult {
  int exitCode = -1;   ///< exit status, or 128 + signal number
  std::string out;     ///< everything the child wrote to standard output
};

/// Value that unsets a variable in RunInChild's environment changes.
inline const std::string kUnset = "\x01unset";

/// The child inherits what the parent had settled already, so a test that
/// relies on fresh process state must not settle it before the call; ctest
/// runs every test in a process of its own, which keeps that true.
/// Runs body in a forked child with the given environment changes (kUnset
/// removes the variable) and its standard output captured. Process-wide
/// state that is settled once (trace level, module) starts fresh there.
/// body's return value is the child's exit code.
ChildResult RunInChild(const std::map<std::string, std::string>& env, const std::function<int()>& body);

/// Waits for the child to end, killing it after seconds: its exit status, or
/// 128 + signal number; -2 when it had to be killed.
int WaitBounded(int pid, int seconds);

struct ProcessResult {
  int exitCode = -1;  ///< exit status, or 128 + signal number
  std::string out;
  std::string err;
  long maxResidentKb = 0;  ///< the child's peak resident set (RunOptions form only)
};

/// Runs program with args, the environment changed by env (an empty value
/// unsets the variable), and collects both output streams.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env = {});

/// How RunProcess runs its child beyond the arguments.
struct RunOptions {
  std::map<std::string, std::string> env;  ///< as RunProcess's env
  /// Killed once this many seconds have passed (exit code -2); 0: no limit.
  int timeoutSeconds = 0;
  /// Runs in the child just before exec, e.g. DropRootPrivileges.
  std::function<void()> beforeExec;
};
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args, const RunOptions& options);

/// For RunOptions::beforeExec: a child of root becomes "nobody" (uid and
/// gid 65534), so that permissions apply to it as they do to a user; any
/// other child is left as it is. Ends the child (127) when the change fails.
void DropRootPrivileges();

/// The built elm-server executable, run as a child process; killed on
/// destruction unless Signal() ended it before.
class ServerProcess {
public:
  /// Starts `elm-server args...`; its standard error goes to logFile.
  ServerProcess(const std::vector<std::string>& args, const std::string& logFile);
  ~ServerProcess();
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  /// Waits for the "listening on" line and gives the URL it names; empty
  /// when the process ended or stayed silent for 15 s.
  std::string WaitForUrl();
  /// Sends the signal and waits; gives the exit status, or 128 + signal.
  int Signal(int sig);
  const std::string& Stdout() const { return m_out; }

private:
  int m_pid = -1;
  int m_outFd = -1;
  std::string m_out;
  int m_status = -1;
};

}  // namespace elmtest
