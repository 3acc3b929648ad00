#pragma once

#include <string>
#include <vector>

namespace elmapp {

enum class Mode { Help, Version, Commands, Run, CheckServer, Gui, Snapshot };

struct CommandLine {
  Mode mode = Mode::Help;
  std::string className;
  std::string sessionPath;
  std::string answersPath;  ///< empty: every box is answered with OK
  std::string scriptPath;   ///< empty: no dialog is acted on
  std::string eventsPath;   ///< empty: no event file
  std::string outDir;       ///< snapshot: where the pictures go
};

/// Exit statuses; 0 means the command ran, whatever its outcome.
enum ExitStatus {
  kExitRan = 0,
  kExitServerCheckFailed = 1,
  kExitUsage = 2,
  kExitBadInput = 3,      ///< session, answers or script file unusable
  kExitUnknownClass = 4,
  kExitNoPlugin = 5,
  kExitEventsFile = 6,
  kExitScriptStep = 7,    ///< a script step named what is not open, or what a person could not do
  kExitNoPresenter = 8,   ///< gui or snapshot asked of an elm built without Qt, or gui without a display
  kExitSessionInUse = 9,  ///< another run held the session file longer than elm waits
};

/// Reads the arguments after the program name; on false, error says what is
/// wrong in words a user can act on.
bool ParseCommandLine(const std::vector<std::string>& args, CommandLine& out, std::string& error);
std::string UsageText();

}  // namespace elmapp
