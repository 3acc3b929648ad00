#pragma once

#include <map>
#include <string>
#include <vector>

namespace elmtest {

struct ProcessResult {
  int exitCode = -1;  ///< exit status, or 128 + signal number
  std::string out;
  std::string err;
};

/// Runs program with args, the environment changed by env (an empty value
/// unsets the variable), and collects both output streams.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env = {});

/// elm-server on a free loopback port with its own database, stopped and
/// waited for on destruction.
class ServerProcess {
public:
  explicit ServerProcess(const std::string& database);
  ~ServerProcess();
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  /// Empty when the server did not start.
  const std::string& Url() const { return m_url; }

private:
  int m_pid = -1;
  std::string m_url;
};

}  // namespace elmtest
