#pragma once

#include "ElmServer.h"

#include <ostream>
#include <string>
#include <vector>

namespace elmserver {

enum class Mode { Serve, Seed, List, Set, Help, Version };

struct CommandLine {
  Mode mode = Mode::Serve;
  std::string db;  ///< empty: the default database of the user
  ServerConfig server;
  bool quiet = false;
  std::vector<std::string> operands;  ///< seed files; what to list; setting name and value
};

/// Exit status for a command line that cannot be used, as the usual tools do.
inline constexpr int kUsageError = 2;

/// Reads the arguments after the program name. On false, error says what
/// is wrong in words a user can act on.
bool ParseCommandLine(const std::vector<std::string>& args, CommandLine& out, std::string& error);
/// Splits HOST:PORT; the port may be 0 (any free port).
bool ParseListen(const std::string& text, std::string& host, int& port, std::string& error);
std::string UsageText();
/// $XDG_DATA_HOME/elm-server/elm-server.db, else ~/.local/share/...; the
/// directories are created. Empty, with error, when neither is known.
std::string DefaultDatabasePath(std::string& error);

/// Runs seed, list or set against the database; returns the exit status.
int RunAdmin(const CommandLine& cmd, const std::string& dbPath, std::ostream& out, std::ostream& err);

}  // namespace elmserver
