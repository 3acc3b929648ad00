#include "ElmSession.h"

#include <algorithm>
#include <ctime>
#include <unistd.h>

#include "ElmCommandLine.h"

#include "CATApplication.h"
#include "CATCommand.h"
#include "ELMHostClassDictionary.h"
#include "ELMHostDispatch.h"
#include "ELMHostPLMSession.h"
#include "ELMHostScript.h"
#include "ELMHostUserInterface.h"

#include <cstdio>

namespace elmapp {

namespace {

/// Continuation lines of a multi-line text line up under its first line.
std::string Indented(const std::string& text, const std::string& indent) {
  std::string out;
  for (char c : text) {
    out += c;
    if (c == '\n') out += indent;
  }
  return out;
}

}  // namespace

void Print(const std::string& text) {
  std::fputs(text.c_str(), stdout);
  std::fflush(stdout);
}

void Fail(const std::string& text) {
  std::fflush(stdout);
  std::fprintf(stderr, "elm: %s\n", text.c_str());
}

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

std::string BoxText(const elmhost::BoxDescription& box, int answer) {
  return "[box] " + box.name.Str() + " (" + StyleWords(box.style) + ")\n" +
         "  title:  " + Indented(box.title.Utf8(), "          ") + "\n" +
         "  text:   " + Indented(box.text.Utf8(), "          ") + "\n" +
         "  answer: " + elmhost::AnswerWord(answer) + "\n";
}

std::string SaveText(const elmhost::SaveRecord& save) {
  std::string ids;
  for (const std::string& id : save.objectIds) ids += (ids.empty() ? "" : ", ") + id;
  return "[save] " + ids + ": " + (save.ok ? std::string("saved") : "failed: " + save.error) + "\n";
}

std::string RequestText(const elmhost::HttpExchange& x) {
  return "[request] " + x.method + " " + x.url + ": " +
         (x.status ? "status " + std::to_string(x.status) : "no answer (" + x.errorText + ")") + "\n";
}

std::string TreeChangeText(const elmhost::TreeChange& change) {
  std::string ids;
  for (const std::string& id : change.removedBranches) ids += (ids.empty() ? "" : ", ") + id;
  return "[tree] " + std::to_string(change.removedBranches.size()) + " branch" +
         (change.removedBranches.size() == 1 ? "" : "es") + " removed (" + std::to_string(change.removedNodes) +
         " node" + (change.removedNodes == 1 ? "" : "s") + "): " + ids + "\n";
}

std::string TreeText(const elmhost::PLMSession& session) {
  // Beyond this depth an indentation no longer helps the eye, and would make
  // the text grow with the square of a deep tree's depth.
  static constexpr std::size_t kMaxIndent = 24;
  std::string text;
  session.VisitTree([&text](const elmhost::PLMSession::TreeLine& node) {
    text.append(2 * (std::min(node.depth, kMaxIndent) + 1), ' ');
    if (node.depth > kMaxIndent) text += "[level " + std::to_string(node.depth) + "] ";
    text += node.label;
    if (!node.instance.empty()) text += " (" + node.instance + ")";
    text += " [" + node.id + "]\n";
  });
  return text;
}

namespace {

std::string UtcNow() {
  std::time_t now = std::time(nullptr);
  std::tm utc {};
  gmtime_r(&now, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

}  // namespace

ElmSession::ElmSession() = default;

ElmSession::~ElmSession() {
  if (m_observing) elmhost::SetHttpObserver(std::move(m_previousObserver));
}

int ElmSession::LoadPlugin(std::string& error) {
  if (!m_plugin.Load(error)) return kExitNoPlugin;
  m_showToolbar = reinterpret_cast<ShowToolbarFn>(m_plugin.Symbol("ELMWorkbenchShowToolbar"));
  if (!m_showToolbar) {
    error = "the plug-in " + m_plugin.Path() + " has no workbench entry ELMWorkbenchShowToolbar";
    return kExitNoPlugin;
  }
  return kExitRan;
}

int ElmSession::CheckClass(const std::string& className, std::string& error) {
  if (elmhost::ClassDictionary::Find(className)) return kExitRan;
  std::string known;
  for (const std::string& n : elmhost::ClassDictionary::Names()) known += (known.empty() ? "" : ", ") + n;
  error = "unknown command class \"" + className + "\"; the plug-in registers: " +
          (known.empty() ? std::string("nothing") : known);
  return kExitUnknownClass;
}

int ElmSession::Open(const std::string& sessionPath, const std::vector<std::string>& args, std::string& error) {
  m_dispatch = std::make_unique<elmhost::Dispatch>();
  // elm stands in for the 3DEXPERIENCE client: the application's first
  // argument names that client, so the plug-in accepts elm as it accepts the
  // client; elm's own arguments follow.
  m_args = args;
  m_argv = {"3DEXPERIENCE"};
  for (const std::string& a : m_args) m_argv.push_back(a.c_str());
  m_application = std::make_unique<CATApplication>("elm", static_cast<int>(m_argv.size()), m_argv.data());
  std::string holder = "elm (process " + std::to_string(getpid()) + ", " +
                       (args.size() > 1 ? args[0] + " " + args[1] : std::string("elm")) + ") since " + UtcNow();
  if (!m_lock.Acquire(sessionPath, SessionLock::WaitMs(), holder, error)) return kExitSessionInUse;
  m_session = elmhost::PLMSession::Load(sessionPath, error);
  return m_session ? kExitRan : kExitBadInput;
}

int ElmSession::Prepare(const std::string& className, const std::string& sessionPath,
                        const std::vector<std::string>& args, std::string& error) {
  int status = LoadPlugin(error);
  if (status == kExitRan && !className.empty()) status = CheckClass(className, error);
  if (status == kExitRan) status = Open(sessionPath, args, error);
  return status;
}

void ElmSession::OnTreeChange(std::function<void(const elmhost::TreeChange&)> observer) {
  m_session->SetTreeObserver(std::move(observer));
}

void ElmSession::OnSave(std::function<void(const elmhost::SaveRecord&)> observer) {
  m_session->SetSaveObserver(std::move(observer));
}

void ElmSession::OnRequest(elmhost::HttpObserver observer, bool withBodies) {
  elmhost::HttpObserver previous = elmhost::SetHttpObserver(std::move(observer), withBodies);
  if (!m_observing) m_previousObserver = std::move(previous);
  m_observing = true;
}

bool ElmSession::LoadWorkbench() {
  bool show = m_showToolbar() != 0;
  m_dispatch->RunUntilIdle();
  return show;
}

int ElmSession::StartCommand(const std::string& className, std::string& error) {
  void* made = elmhost::ClassDictionary::Create(className);
  if (!made) {
    error = "the factory of \"" + className + "\" made no object";
    return kExitNoPlugin;
  }
  // The factory hands over its object as a CATBaseUnknown with one reference,
  // which the host keeps until the command asks for its destruction.
  auto* object = static_cast<CATBaseUnknown*>(made);
  CATCommand* command = nullptr;
  if (FAILED(object->QueryInterface(CATCommand::ClassId(), reinterpret_cast<void**>(&command))) || !command) {
    error = "\"" + className + "\" is not a command";
    object->Release();
    return kExitNoPlugin;
  }
  command->Release();  // the query's reference; the factory's stays with the host
  m_dispatch->StartCommand(command);
  return kExitRan;
}

}  // namespace elmapp
