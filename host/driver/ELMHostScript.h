#pragma once

#include "ELMHostDriver.h"

#include <cstddef>
#include <string>
#include <vector>

namespace elmhost {

/// One step of a script: the answer to a message box, or an action on a
/// dialog as a person would take it.
struct ScriptStep {
  enum class Action { Box, Press, Button, Check, Uncheck, Choose, Pick, Select, Type, Close };
  Action action = Action::Box;
  int index = 0;              ///< position in the script, from 1
  int answer = 1;             ///< Box: the answer (1 OK, 2 Cancel, 0 Close, or a number)
  std::string dialog;         ///< the dialog's name
  std::string widget;         ///< the widget's name (Press, Check, Uncheck, Choose, Pick, Select, Type)
  CATULong button = 0;        ///< Button: CATDlgWndOK, ...
  int line = -1;              ///< Pick by line
  bool byText = false;        ///< Pick by text instead of line
  std::string text;           ///< Type, or Pick by text
  std::vector<int> lines;     ///< Select
  bool mdi = false;           ///< Close: as a document window of the application frame
};

/// The answer's word: "OK", "Cancel", "Close", or the number.
ExportedByELMHost std::string AnswerWord(int answer);

/// Input files are refused before they are parsed when they are larger than
/// this, or nested deeper than a script can be.
constexpr std::size_t kScriptMaxBytes = 1u << 20;
constexpr int kScriptMaxDepth = 8;

/// Reads a script: a JSON array of steps. A step is a box answer ("OK",
/// "Cancel", "Close", a number, or {"box": ...}) or an object naming a dialog
/// and one action: {"dialog": D, "press": W}, {"dialog": D, "button": "OK"},
/// {"dialog": D, "check": W}, {"dialog": D, "uncheck": W}, {"dialog": D,
/// "choose": W}, {"dialog": D, "pick": W, "line": N} or {... "text": T},
/// {"dialog": D, "select": W, "lines": [N, ...]}, {"dialog": D, "type": W,
/// "text": T}, {"dialog": D, "close": "window"} or {... "close": "mdi"}; any
/// object may carry a "comment". On false, error names the file (name), the
/// place in it and what is wrong.
ExportedByELMHost bool ParseScript(const std::string& text, const std::string& name, std::vector<ScriptStep>& steps,
                                   std::string& error);
/// ParseScript on a file, after checking its size.
ExportedByELMHost bool ReadScriptFile(const std::string& path, std::vector<ScriptStep>& steps, std::string& error);

/// "press ELMCheckServerButton in oak_about", "answer OK", ...
ExportedByELMHost std::string DescribeStep(const ScriptStep& step);

/// Plays a script against the open dialogs through the driver.
class ExportedByELMHost ScriptPlayer {
public:
  explicit ScriptPlayer(std::vector<ScriptStep> steps) : m_steps(std::move(steps)) {}

  bool Done() const { return m_next >= m_steps.size(); }
  /// The next step, or null when the script has run out.
  const ScriptStep* Next() const { return Done() ? nullptr : &m_steps[m_next]; }
  /// The answer to a box being shown: the next step when it answers a box
  /// (it is used up), else OK: boxes that a script does not care about are
  /// acknowledged.
  int AnswerBox();
  /// Takes the next step, which acts on a dialog; taken is called once the
  /// action has passed its checks. On failure the step is used up and the
  /// error names it ("step 3 (press X in D): ...").
  ActionResult PlayNext(const ActionTaken& taken = {});

  /// Runs the dispatch until it is idle, then the next step, and so on
  /// until the script has run out or a step fails: what a host does while a
  /// command waits for a person. idle is called whenever the dispatch is
  /// idle (before each step and at the end), taken for each step that is taken.
  ActionResult PlayAll(const std::function<void()>& idle = {},
                       const std::function<void(const ScriptStep&)>& taken = {});

private:
  std::vector<ScriptStep> m_steps;
  std::size_t m_next = 0;
};

}  // namespace elmhost
