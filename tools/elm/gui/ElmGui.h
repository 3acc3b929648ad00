#pragma once

#include <string>
#include <vector>

namespace elmapp {
struct CommandLine;
}

namespace elmgui {

/// elm gui: the session's tree in a main window that stands in for the
/// client; commands from its toolbar and menu; their dialogs and boxes as
/// windows. Needs a display.
int RunGui(const elmapp::CommandLine& cmd, const std::vector<std::string>& args);
/// elm snapshot: runs one command as elm run does and writes a picture of
/// every dialog and box as it opens, on Qt's offscreen platform.
int RunSnapshot(const elmapp::CommandLine& cmd, const std::vector<std::string>& args);

}  // namespace elmgui
