#include "CommandLine.h"
#include "ElmServer.h"
#include "PdmStore.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <pthread.h>
#include <sys/resource.h>

using namespace elmserver;

namespace {

int Serve(const CommandLine& cmd, const std::string& dbPath) {
  // Block the stop signals before any thread starts, so every thread
  // inherits the mask and only sigwait below receives them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  // A client that hangs up mid-answer must not end the server.
  std::signal(SIGPIPE, SIG_IGN);
  // Each connection is a descriptor, and the usual soft limit of 1024 would
  // cap the connections well below what the server can hold.
  if (rlimit files{}; getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
    files.rlim_cur = std::min<rlim_t>(files.rlim_max, kMaxConnections + 64);
    setrlimit(RLIMIT_NOFILE, &files);
  }

  try {
    PdmStore store(dbPath);
    ElmServer server(store, cmd.server, cmd.quiet ? nullptr : &std::cerr);
    // Said before binding, so that it is said even when the bind fails.
    if (!IsLoopbackHost(cmd.server.host))
      std::cerr << "elm-server: warning: --allow-remote: " << HostPort(cmd.server.host, cmd.server.port)
                << " may be reached from other machines, and elm-server has no authentication: whoever reaches it "
                   "can take part numbers and record transfers"
                << std::endl;
    std::string why;
    if (server.Bind(why) < 0 || !server.Start(why)) {
      std::cerr << "elm-server: " << why << '\n';
      return 1;
    }
    // Scripts and tests read the URL from here, the port included when the
    // system picked it.
    std::cout << "elm-server " << ELM_SERVER_VERSION_TEXT << " listening on " << server.Url() << " (database "
              << dbPath << ")" << std::endl;
    int sig = 0;
    sigwait(&stopSignals, &sig);
    std::cerr << "elm-server: " << (sig == SIGINT ? "SIGINT" : "SIGTERM") << " received, stopping" << std::endl;
    server.Stop();
  } catch (const StoreError& e) {
    std::cerr << "elm-server: " << e.what() << '\n';
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  CommandLine cmd;
  std::string error;
  if (!ParseCommandLine(args, cmd, error)) {
    std::cerr << "elm-server: " << error << "\nTry 'elm-server --help'.\n";
    return kUsageError;
  }
  if (cmd.mode == Mode::Help) {
    std::cout << UsageText();
    return 0;
  }
  if (cmd.mode == Mode::Version) {
    std::cout << "elm-server " << ELM_SERVER_VERSION_TEXT << '\n';
    return 0;
  }
  std::string dbPath = cmd.db.empty() ? DefaultDatabasePath(error) : cmd.db;
  if (dbPath.empty()) {
    std::cerr << "elm-server: " << error << '\n';
    return 1;
  }
  if (cmd.mode == Mode::Serve) return Serve(cmd, dbPath);
  return RunAdmin(cmd, dbPath, std::cout, std::cerr);
}
