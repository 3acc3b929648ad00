#include "ElmRunner.h"

#include "ElmCommandLine.h"
#include "ElmEvents.h"

#include "WinHttp.h"
#include "ElmPlugin.h"

#include "CATApplication.h"
#include "CATBaseUnknown.h"
#include "CATCommand.h"
#include "CATDlgDialog.h"
#include "CATGetEnv.h"
#include "ELMHostClassDictionary.h"
#include "ELMHostDispatch.h"
#include "ELMHostPLMSession.h"
#include "ELMHostUserInterface.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <deque>
#include <fstream>
#include <sstream>

namespace elmapp {

namespace {

using Json = nlohmann::ordered_json;

// Everything elm prints goes through stdio, as the plug-in's trace does, so
// the two interleave in the order they happen.
void Print(const std::string& text) {
  std::fputs(text.c_str(), stdout);
  std::fflush(stdout);
}

void Fail(const std::string& text) {
  std::fflush(stdout);
  std::fprintf(stderr, "elm: %s\n", text.c_str());
}

/// The style of a box in words, such as "warning, OK".
std::string StyleWords(CATDlgStyle style) {
  std::string kind = "plain";
  if (style & CATDlgNfyError)
    kind = "error";
  else if (style & CATDlgNfyWarning)
    kind = "warning";
  else if (style & CATDlgNfyInformation)
    kind = "information";
  std::string words = kind;
  if (style & CATDlgNfyOK) words += ", OK";
  CATDlgStyle rest = style & ~(CATDlgNfyError | CATDlgNfyWarning | CATDlgNfyInformation | CATDlgNfyOK);
  if (rest) {
    char hex[32];
    std::snprintf(hex, sizeof hex, ", 0x%lx", rest);
    words += hex;
  }
  return words;
}

std::string AnswerWord(int answer) {
  switch (answer) {
    case 1: return "OK";
    case 2: return "Cancel";
    case 0: return "Close";
    default: return std::to_string(answer);
  }
}

/// Continuation lines of a multi-line text line up under its first line.
std::string Indented(const std::string& text, const std::string& indent) {
  std::string out;
  for (char c : text) {
    out += c;
    if (c == '\n') out += indent;
  }
  return out;
}

bool ReadAnswers(const std::string& path, std::deque<int>& answers, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = path + ": cannot be read";
    return false;
  }
  std::stringstream text;
  text << in.rdbuf();
  Json doc;
  try {
    doc = Json::parse(text.str());
  } catch (const Json::parse_error& e) {
    std::string what = e.what();
    if (auto p = what.find("] "); p != std::string::npos) what = what.substr(p + 2);
    error = path + ": not a JSON answers file: " + what;
    return false;
  }
  if (!doc.is_array()) {
    error = path + ": expected an array of answers (\"OK\", \"Cancel\", \"Close\" or a number)";
    return false;
  }
  for (std::size_t i = 0; i < doc.size(); ++i) {
    const Json& a = doc[i];
    if (a.is_number_integer()) {
      answers.push_back(a.get<int>());
    } else if (a == "OK") {
      answers.push_back(1);
    } else if (a == "Cancel") {
      answers.push_back(2);
    } else if (a == "Close") {
      answers.push_back(0);
    } else {
      error = path + ": at /" + std::to_string(i) + ": expected \"OK\", \"Cancel\", \"Close\" or a number, found " +
              a.dump();
      return false;
    }
  }
  return true;
}

/// elm's user: prints every box, answers it from the answers file, then OK.
class ConsoleUser : public elmhost::UserInterface {
public:
  ConsoleUser(std::deque<int> answers, EventLog& events) : m_answers(std::move(answers)), m_events(events) {
    m_previous = elmhost::SetUserInterface(this);
  }
  ~ConsoleUser() override { elmhost::SetUserInterface(m_previous); }
  ConsoleUser(const ConsoleUser&) = delete;
  ConsoleUser& operator=(const ConsoleUser&) = delete;

  int ShowBox(const elmhost::BoxDescription& box) override {
    int answer = elmhost::kBoxAcknowledged;
    if (!m_answers.empty()) {
      answer = m_answers.front();
      m_answers.pop_front();
    }
    std::string style = StyleWords(box.style);
    Print("[box] " + box.name.Str() + " (" + style + ")\n" +
          "  title:  " + Indented(box.title.Utf8(), "          ") + "\n" +
          "  text:   " + Indented(box.text.Utf8(), "          ") + "\n" +
          "  answer: " + AnswerWord(answer) + "\n");
    Json e;
    e["event"] = "box";
    e["name"] = box.name.Str();
    e["style"] = style;
    e["styleValue"] = box.style;
    e["title"] = box.title.Utf8();
    e["text"] = box.text.Utf8();
    e["answer"] = AnswerWord(answer);
    m_events.Write(e.dump());
    return answer;
  }

private:
  std::deque<int> m_answers;
  EventLog& m_events;
  elmhost::UserInterface* m_previous = nullptr;
};

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
  // HtmlRequest is an exported class of the plug-in, not a registered
  // command: reach its static operation by its (Itanium ABI) symbol.
  using CheckFn = HRESULT (*)();
  auto check = reinterpret_cast<CheckFn>(plugin.Symbol("_ZN11HtmlRequest21CheckServerConnectionEv"));
  if (!check) {
    Fail("the plug-in " + plugin.Path() + " has no HtmlRequest::CheckServerConnection");
    return kExitNoPlugin;
  }
  const char* url = CATGetEnv("ELM_SERVER_URL");
  if (!url || !*url) url = CATGetEnv("ELM_SERVERURL");
  std::string where = url && *url ? url : "the server of the ELMOptions settings";
  elmhost::Dispatch dispatch;
  HRESULT rc = check();
  dispatch.RunUntilIdle();
  if (SUCCEEDED(rc)) {
    Print("server answers: " + where + "\n");
    return kExitRan;
  }
  Fail("the server check failed: " + where + " gave no valid answer to the test request");
  return kExitServerCheckFailed;
}

int Run(const CommandLine& cmd, const std::vector<std::string>& args) {
  std::string error;
  std::deque<int> answers;
  if (!cmd.answersPath.empty() && !ReadAnswers(cmd.answersPath, answers, error)) {
    Fail(error);
    return kExitBadInput;
  }
  Plugin plugin;
  if (!plugin.Load(error)) {
    Fail(error);
    return kExitNoPlugin;
  }
  if (!elmhost::ClassDictionary::Find(cmd.className)) {
    std::string known;
    for (const std::string& n : elmhost::ClassDictionary::Names()) known += (known.empty() ? "" : ", ") + n;
    Fail("unknown command class \"" + cmd.className + "\"; the plug-in registers: " +
         (known.empty() ? std::string("nothing") : known));
    return kExitUnknownClass;
  }

  elmhost::Dispatch dispatch;
  std::vector<const char*> argv{"elm"};
  for (const std::string& a : args) argv.push_back(a.c_str());
  CATApplication application("elm", static_cast<int>(argv.size()), argv.data());

  std::unique_ptr<elmhost::PLMSession> session = elmhost::PLMSession::Load(cmd.sessionPath, error);
  if (!session) {
    Fail(error);
    return kExitBadInput;
  }
  EventLog events;
  if (!cmd.eventsPath.empty() && !events.Open(cmd.eventsPath, error)) {
    Fail(error);
    return kExitEventsFile;
  }
  ConsoleUser user(std::move(answers), events);
  session->SetSaveObserver([&events](const elmhost::SaveRecord& save) {
    std::string ids;
    for (const std::string& id : save.objectIds) ids += (ids.empty() ? "" : ", ") + id;
    Print("[save] " + ids + ": " + (save.ok ? std::string("saved") : "failed: " + save.error) + "\n");
    Json e;
    e["event"] = "save";
    e["objects"] = save.objectIds;
    e["ok"] = save.ok;
    e["error"] = save.error;
    events.Write(e.dump());
  });

  // Every exchange with the integration server, for tools that follow a run.
  struct ObserverGuard {
    elmhost::HttpObserver previous;
    ~ObserverGuard() { elmhost::SetHttpObserver(std::move(previous)); }
  } observerGuard{elmhost::SetHttpObserver([&events](const elmhost::HttpExchange& x) {
    Print("[request] " + x.method + " " + x.url + ": " +
          (x.status ? "status " + std::to_string(x.status) : "no answer (" + x.errorText + ")") + "\n");
    Json e;
    e["event"] = "request";
    e["method"] = x.method;
    e["url"] = x.url;
    e["request"] = x.requestBody;
    e["status"] = x.status;
    e["response"] = x.responseBody;
    e["error"] = x.error;
    e["errorText"] = x.errorText;
    events.Write(e.dump(-1, ' ', false, Json::error_handler_t::replace));
  })};

  void* made = elmhost::ClassDictionary::Create(cmd.className);
  if (!made) {
    Fail("the factory of \"" + cmd.className + "\" made no object");
    return kExitNoPlugin;
  }
  // The factory hands over its object as a CATBaseUnknown with one reference,
  // which the host keeps until the command asks for its destruction.
  auto* object = static_cast<CATBaseUnknown*>(made);
  CATCommand* command = nullptr;
  if (FAILED(object->QueryInterface(CATCommand::ClassId(), reinterpret_cast<void**>(&command))) || !command) {
    Fail("\"" + cmd.className + "\" is not a command");
    object->Release();
    return kExitNoPlugin;
  }
  command->Release();  // the query's reference; the factory's stays with the host

  // Requests the command made while being built are answered by starting it.
  for (const auto& r : dispatch.TakeStatusRequests())
    if (r.command != command) dispatch.RecordStatusRequest(r.command, r.message, r.requestor);
  command->Activate(nullptr, nullptr);

  // Commands and dialogs may ask to be activated; keep dispatching until
  // nothing is left to do.
  for (;;) {
    dispatch.RunUntilIdle(true);
    std::vector<elmhost::Dispatch::StatusRequest> requests = dispatch.TakeStatusRequests();
    if (requests.empty()) break;
    for (const auto& r : requests)
      if (r.message == CATCommandMsgRequestExclusiveMode && r.command) r.command->Activate(r.requestor, nullptr);
  }

  for (CATDlgDialog* dialog : elmhost::OpenDialogs()) {
    Print("[dialog] " + std::string(dialog->GetName().CastToCharPtr()) + " (open)\n  title:  " +
          dialog->GetTitle().Utf8() + "\n");
    Json e;
    e["event"] = "dialog";
    e["name"] = dialog->GetName().Str();
    e["title"] = dialog->GetTitle().Utf8();
    e["visible"] = dialog->GetVisibility() == CATDlgShow;
    events.Write(e.dump());
  }
  return kExitRan;
}

}  // namespace

int Main(const std::vector<std::string>& args) {
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
  }
  return kExitUsage;
}

}  // namespace elmapp
