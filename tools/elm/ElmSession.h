#pragma once

#include "ElmPlugin.h"
#include "ElmSessionLock.h"

#include "CATDlgInclude.h"
#include "WinHttp.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CATApplication;

namespace elmhost {
class Dispatch;
class PLMSession;
struct BoxDescription;
struct SaveRecord;
struct TreeChange;
}  // namespace elmhost

namespace elmapp {

// What elm run, elm gui and elm snapshot do alike: set the host up as the
// client is set up, start commands by class name, and print what happens in
// one format, so that a run reads the same on the console and in gui's pane.

/// Writes to the standard output, which the plug-in's trace shares, so the
/// two interleave in the order they happen.
void Print(const std::string& text);
/// "elm: text" on the standard error.
void Fail(const std::string& text);

/// The style of a box in words, such as "warning, OK".
std::string StyleWords(CATDlgStyle style);
/// A box as elm prints it: name, style, title, text and the answer given.
std::string BoxText(const elmhost::BoxDescription& box, int answer);
std::string SaveText(const elmhost::SaveRecord& save);
std::string RequestText(const elmhost::HttpExchange& exchange);
/// The branches a host command took out of the tree, as one line.
std::string TreeChangeText(const elmhost::TreeChange& change);
/// The session's tree window, one node a line, indented by its depth (the
/// indentation stops growing at a depth that still reads, and deeper lines
/// name their level).
std::string TreeText(const elmhost::PLMSession& session);

/// The host as the client sets it up for the plug-in: the plug-in loaded,
/// the dispatch, the application (whose first argument names the client),
/// the PLM session, and the observers of saves and server exchanges.
class ElmSession {
public:
  ElmSession();
  ~ElmSession();
  ElmSession(const ElmSession&) = delete;
  ElmSession& operator=(const ElmSession&) = delete;

  /// Loads the plug-in and finds its workbench entry: kExitRan, else
  /// kExitNoPlugin with error.
  int LoadPlugin(std::string& error);
  /// kExitRan when the plug-in registers className, else kExitUnknownClass
  /// and error names the registered classes.
  static int CheckClass(const std::string& className, std::string& error);
  /// Makes the dispatch and the application (elm's own arguments follow the
  /// client's name), takes the session file's lock for the whole run
  /// (kExitSessionInUse when another run keeps it) and reads the session
  /// file (kExitBadInput when it cannot be used): kExitRan, else the status
  /// and error.
  int Open(const std::string& sessionPath, const std::vector<std::string>& args, std::string& error);

  /// The three above in turn, the class check only when className is not
  /// empty: kExitRan, else the first failure's status and error.
  int Prepare(const std::string& className, const std::string& sessionPath, const std::vector<std::string>& args,
              std::string& error);

  /// Called after every save of the session's objects.
  void OnSave(std::function<void(const elmhost::SaveRecord&)> observer);
  /// Called after every removal of branches from the session's tree.
  void OnTreeChange(std::function<void(const elmhost::TreeChange&)> observer);
  /// Called after every exchange with the integration server, until the
  /// session goes; the exchanges carry the answers' bodies only withBodies.
  void OnRequest(elmhost::HttpObserver observer, bool withBodies = true);

  /// The client loads the plug-in's workbench before a person can pick a
  /// command: asks its entry whether to show the toolbar (which settles the
  /// product module, and may warn in a box) and runs the dispatch.
  bool LoadWorkbench();
  /// Creates className through the class dictionary and starts it as the
  /// client does when a person picks it; the dispatch runs it later.
  /// kExitRan, else kExitNoPlugin with error.
  int StartCommand(const std::string& className, std::string& error);

  elmhost::Dispatch& Dispatch() { return *m_dispatch; }
  elmhost::PLMSession& Session() { return *m_session; }
  const Plugin& LoadedPlugin() const { return m_plugin; }

private:
  using ShowToolbarFn = unsigned char (*)();
  Plugin m_plugin;
  SessionLock m_lock;
  ShowToolbarFn m_showToolbar = nullptr;
  std::vector<std::string> m_args;
  std::vector<const char*> m_argv;
  std::unique_ptr<elmhost::Dispatch> m_dispatch;
  std::unique_ptr<CATApplication> m_application;
  std::unique_ptr<elmhost::PLMSession> m_session;
  bool m_observing = false;
  elmhost::HttpObserver m_previousObserver;
};

}  // namespace elmapp
