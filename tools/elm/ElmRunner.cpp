#include "ElmRunner.h"

#include "ElmCommandLine.h"
#include "ElmEvents.h"
#include "ElmHostActivity.h"
#include "ElmSession.h"

#include "WinHttp.h"
#include "ElmPlugin.h"

#include "CATApplication.h"
#include "CATBaseUnknown.h"
#include "CATCommand.h"
#include "CATDlgDialog.h"
#include "CATGetEnv.h"
#include "ELMHostClassDictionary.h"
#include "ELMHostDispatch.h"
#include "ELMHostDriver.h"
#include "ELMHostPLMSession.h"
#include "ELMHostScript.h"
#include "ELMHostUserInterface.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <deque>
#include <memory>

namespace elmapp {

namespace {

using Json = nlohmann::ordered_json;

/// Every line of text (which ends with a line feed) indented by two blanks.
std::string EachLineIndented(const std::string& text) {
  std::string out;
  bool lineStart = true;
  for (char c : text) {
    if (lineStart) out += "  ";
    out += c;
    lineStart = c == '\n';
  }
  return out;
}

std::string JsonLine(const Json& j) { return j.dump(-1, ' ', false, Json::error_handler_t::replace); }

/// The boxes' answers: from a script (which also acts on dialogs), or from
/// the short answers file; OK once there is nothing more to answer with.
class Answers {
public:
  explicit Answers(std::vector<elmhost::ScriptStep> steps) : m_player(std::move(steps)) {}
  int NextBoxAnswer() { return m_player.AnswerBox(); }
  elmhost::ScriptPlayer& Player() { return m_player; }

private:
  elmhost::ScriptPlayer m_player;
};

/// elm's user: prints every box and answers it from the script.
class ConsoleUser : public elmhost::UserInterface {
public:
  ConsoleUser(Answers& answers, EventLog& events) : m_answers(answers), m_events(events) {
    m_previous = elmhost::SetUserInterface(this);
  }
  ~ConsoleUser() override { elmhost::SetUserInterface(m_previous); }
  ConsoleUser(const ConsoleUser&) = delete;
  ConsoleUser& operator=(const ConsoleUser&) = delete;

  int ShowBox(const elmhost::BoxDescription& box) override {
    int answer = m_answers.NextBoxAnswer();
    std::string style = StyleWords(box.style);
    Print(BoxText(box, answer));
    Json e;
    e["event"] = "box";
    e["name"] = box.name.Str();
    e["style"] = style;
    e["styleValue"] = box.style;
    e["title"] = box.title.Utf8();
    e["text"] = box.text.Utf8();
    e["answer"] = elmhost::AnswerWord(answer);
    m_events.Write(JsonLine(e));
    return answer;
  }

private:
  Answers& m_answers;
  EventLog& m_events;
  elmhost::UserInterface* m_previous = nullptr;
};

/// Prints the dialogs that opened or closed since the last look, and writes
/// their events: an opened dialog is shown whole, as a person sees it.
void ReportDialogChanges(elmhost::DialogWatcher& watcher, EventLog& events) {
  for (const auto& change : watcher.Poll()) {
    if (change.opened) {
      Print("[dialog] " + change.name + " opened\n" + EachLineIndented(elmhost::DialogText(change.dialog)));
      Json e = Json::parse(elmhost::DialogJson(change.dialog));
      Json event;
      event["event"] = "dialog-open";
      for (auto it = e.begin(); it != e.end(); ++it) event[it.key()] = it.value();
      events.Write(JsonLine(event));
    } else {
      Print("[dialog] " + change.name + " closed\n");
      Json e;
      e["event"] = "dialog-close";
      e["name"] = change.name;
      e["title"] = change.title;
      events.Write(JsonLine(e));
    }
  }
}

Json StepEvent(const elmhost::ScriptStep& s) {
  using A = elmhost::ScriptStep::Action;
  static const char* const names[] = {"box", "press", "button", "check", "uncheck", "choose", "pick", "select",
                                      "type", "close"};
  Json e;
  e["event"] = "dialog-action";
  e["step"] = s.index;
  e["dialog"] = s.dialog;
  e["action"] = names[static_cast<int>(s.action)];
  if (s.action == A::Button) e["button"] = elmhost::StandardButtonName(s.button);
  if (s.action == A::Close) e["close"] = s.mdi ? "mdi" : "window";
  if (!s.widget.empty()) e["widget"] = s.widget;
  if (s.action == A::Pick && !s.byText) e["line"] = s.line;
  if (s.action == A::Type || (s.action == A::Pick && s.byText)) e["text"] = s.text;
  if (s.action == A::Select) e["lines"] = s.lines;
  return e;
}

int ListCommands() {
  Plugin plugin;
  std::string error;
  if (!plugin.Load(error)) {
    Fail(error);
    return kExitNoPlugin;
  }
  for (const std::string& name : elmhost::ClassDictionary::Names()) Print(name + "\n");
  return kExitRan;
}

int CheckServer() {
  Plugin plugin;
  std::string error;
  if (!plugin.Load(error)) {
    Fail(error);
    return kExitNoPlugin;
  }
  // The plug-in's C entry (its header ELMCheckServerConnection.h): it runs
  // the check and tells which server URL its own lookup found.
  using UrlReceiver = void (*)(const char* url, void* context);
  using CheckFn = HRESULT (*)(UrlReceiver receiver, void* context);
  auto check = reinterpret_cast<CheckFn>(plugin.Symbol("ELMCheckServerConnection"));
  if (!check) {
    Fail("the plug-in " + plugin.Path() + " has no ELMCheckServerConnection entry");
    return kExitNoPlugin;
  }
  std::string url;
  elmhost::Dispatch dispatch;
  HRESULT rc = check([](const char* found, void* context) { *static_cast<std::string*>(context) = found; }, &url);
  dispatch.RunUntilIdle();
  if (SUCCEEDED(rc)) {
    Print("server answers: " + url + "\n");
    return kExitRan;
  }
  if (url.empty())
    Fail("the server check failed: no server URL is configured");
  else
    Fail("the server check failed: " + url + " gave no valid answer to the test request");
  return kExitServerCheckFailed;
}

int Run(const CommandLine& cmd, const std::vector<std::string>& args) {
  std::string error;
  std::vector<elmhost::ScriptStep> steps;
  if (!cmd.scriptPath.empty() && !elmhost::ReadScriptFile(cmd.scriptPath, steps, error)) {
    Fail(error);
    return kExitBadInput;
  }
  if (!cmd.answersPath.empty()) {
    if (!elmhost::ReadScriptFile(cmd.answersPath, steps, error)) {
      Fail(error);
      return kExitBadInput;
    }
    for (const auto& s : steps)
      if (s.action != elmhost::ScriptStep::Action::Box) {
        Fail(cmd.answersPath + ": at /" + std::to_string(s.index - 1) +
             ": an answers file holds box answers only; use --script for dialog actions");
        return kExitBadInput;
      }
  }
  // Writing an output over the session would lose it: refused before anything runs.
  if (!cmd.eventsPath.empty() && IsSameFile(cmd.eventsPath, cmd.sessionPath)) {
    Fail("--events " + cmd.eventsPath + " is the session file " + cmd.sessionPath +
         " itself; writing events there would lose the session");
    return kExitUsage;
  }
  ElmSession host;
  int status = host.Prepare(cmd.className, cmd.sessionPath, args, error);
  if (status != kExitRan) {
    Fail(error);
    return status;
  }
  EventLog events;
  if (!cmd.eventsPath.empty() && !events.Open(cmd.eventsPath, error)) {
    Fail(error);
    return kExitEventsFile;
  }
  Answers answers(std::move(steps));
  ConsoleUser user(answers, events);
  host.OnSave([&events](const elmhost::SaveRecord& save) {
    Print(SaveText(save));
    Json e;
    e["event"] = "save";
    e["objects"] = save.objectIds;
    e["ok"] = save.ok;
    e["error"] = save.error;
    events.Write(JsonLine(e));
  });
  host.OnTreeChange([&events](const elmhost::TreeChange& change) {
    Print(TreeChangeText(change));
    Json e;
    e["event"] = "tree";
    e["removedBranches"] = change.removedBranches;
    e["removedNodes"] = change.removedNodes;
    events.Write(JsonLine(e));
  });
  // Every exchange with the integration server, for tools that follow a run.
  // Only the events file needs the bodies: without it a large answer is not
  // kept twice.
  host.OnRequest([&events](const elmhost::HttpExchange& x) {
    Print(RequestText(x));
    if (!events.IsOpen()) return;
    Json e;
    e["event"] = "request";
    e["method"] = x.method;
    e["url"] = x.url;
    e["request"] = x.requestBody;
    e["status"] = x.status;
    e["response"] = x.responseBody;
    e["error"] = x.error;
    e["errorText"] = x.errorText;
    events.Write(JsonLine(e));
  }, events.IsOpen());

  HostActivityReport hostActivity(events);

  host.LoadWorkbench();
  if (host.StartCommand(cmd.className, error) != kExitRan) {
    Fail(error);
    return kExitNoPlugin;
  }

  // The command runs until it waits for a person; then the script's next
  // step acts, and so on until the script has run out.
  elmhost::DialogWatcher watcher;
  elmhost::ActionResult result = answers.Player().PlayAll([&] { ReportDialogChanges(watcher, events); },
                                                          [&](const elmhost::ScriptStep& step) {
                                                            Print("[action] step " + std::to_string(step.index) +
                                                                  ": " + elmhost::DescribeStep(step) + "\n");
                                                            events.Write(JsonLine(StepEvent(step)));
                                                          });
  if (!result) {
    Fail((cmd.scriptPath.empty() ? cmd.answersPath : cmd.scriptPath) + ": " + result.error);
    status = kExitScriptStep;
    host.Dispatch().RunUntilIdle();
    ReportDialogChanges(watcher, events);
  }

  for (CATDlgDialog* dialog : elmhost::OpenDialogs()) {
    Print("[dialog] " + dialog->GetName().Str() + " (open)\n  title:  " + dialog->GetTitle().Utf8() + "\n");
    Json e;
    e["event"] = "dialog";
    e["name"] = dialog->GetName().Str();
    e["title"] = dialog->GetTitle().Utf8();
    e["visible"] = dialog->GetVisibility() == CATDlgShow;
    events.Write(JsonLine(e));
  }
  // What a person sees in the navigator once the command has changed it.
  if (host.Session().TreeChanged()) Print("[tree] after the run:\n" + TreeText(host.Session()));
  if (!events.Close(error)) {
    Fail(error);
    return kExitEventsFile;
  }
  return status;
}

}  // namespace

int Main(const std::vector<std::string>& args, const Presenters& presenters) {
  CommandLine cmd;
  std::string error;
  if (!ParseCommandLine(args, cmd, error)) {
    Fail(error);
    std::fputs(UsageText().c_str(), stderr);
    return kExitUsage;
  }
  switch (cmd.mode) {
    case Mode::Help:
      Print(UsageText());
      return kExitRan;
    case Mode::Version:
      Print(std::string("elm ") + ELM_VERSION_TEXT + "\n");
      return kExitRan;
    case Mode::Commands:
      return ListCommands();
    case Mode::CheckServer:
      return CheckServer();
    case Mode::Run:
      return Run(cmd, args);
    case Mode::Gui:
    case Mode::Snapshot: {
      const Presenter& presenter = cmd.mode == Mode::Gui ? presenters.gui : presenters.snapshot;
      if (!presenter) {
        Fail("this elm was built without its graphical presenter (Qt 6 Widgets); \"elm run\" works without it");
        return kExitNoPresenter;
      }
      return presenter(cmd, args);
    }
  }
  return kExitUsage;
}

}  // namespace elmapp
