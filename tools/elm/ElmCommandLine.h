#pragma once

#include <string>
#include <vector>

namespace elmapp {

enum class Mode { Help, Version, Commands, Run, CheckServer };

struct CommandLine {
  Mode mode = Mode::Help;
  std::string className;
  std::string sessionPath;
  std::string answersPath;  ///< empty: every box is answered with OK
  std::string eventsPath;   ///< empty: no event file
};

/// Exit statuses; 0 means the command ran, whatever its outcome.
enum ExitStatus {
  kExitRan = 0,
  kExitServerCheckFailed = 1,
  kExitUsage = 2,
  kExitBadInput = 3,      ///< session or answers file unusable
  kExitUnknownClass = 4,
  kExitNoPlugin = 5,
  kExitEventsFile = 6,
};

/// Reads the arguments after the program name; on false, error says what is
/// wrong in words a user can act on.
bool ParseCommandLine(const std::vector<std::string>& args, CommandLine& out, std::string& error);
std::string UsageText();

}  // namespace elmapp
