#pragma once

#include "LoopbackServer.h"
#include "ScriptedUser.h"

#include "CATApplication.h"
#include "CATCommand.h"
#include "CATDlgCombo.h"
#include "ELMHostDispatch.h"
#include "ELMHostDriver.h"
#include "ELMHostPLMSession.h"
#include "ELMHostScript.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CATDlgDialog;

namespace elmtest {

/// A request as the server received it: the function's name and its attributes.
struct ReceivedRequest {
  std::string name;
  std::vector<std::pair<std::string, std::string>> attributes;
  bool operator==(const ReceivedRequest& o) const { return name == o.name && attributes == o.attributes; }
};
using ReceivedRequests = std::vector<ReceivedRequest>;
ReceivedRequest ParseRequest(const std::string& body);
void PrintTo(const ReceivedRequest& request, std::ostream* os);

/// One box as "name|style|text", so a whole sequence compares in one assertion.
std::string Describe(const elmhost::BoxDescription& box);

/// What every command test needs, as the host gives it to a command: a
/// fresh host (dispatch, application, user), a PLM session from a file of
/// tests/data/sessions changed by the test, a loopback server that answers
/// and records every request, the plug-in loaded with dlopen and the command
/// created by class name through the class dictionary, and a script played
/// as a person would while the command waits. Catalogs come from a folder of
/// the test's own, empty unless the test writes texts into it, so every
/// text is the command's default.
class CommandFixture : public ::testing::Test {
protected:
  void SetUp() override;

  /// Starts from another session file of tests/data/sessions.
  void UseSession(const std::string& file);
  nlohmann::ordered_json& Session() { return m_json; }
  /// The session file's text, written instead of Session() (for sessions
  /// nested deeper than a JSON writer can recurse).
  void SetSessionText(std::string text) { m_sessionText = std::move(text); }
  /// Changes the selection of the tree window to these node or object ids.
  void Select(std::vector<std::string> ids) { m_json["selection"] = ids; }
  /// Writes a catalog file (name with its extension) into the test's catalog folder.
  void WriteCatalog(const std::string& file, const std::string& text);
  /// The body the server answers every request with.
  void SetAnswer(std::string answer) { m_answer = std::move(answer); }
  /// Answers each request with handler(request body) instead.
  void SetAnswerer(std::function<std::string(const std::string&)> answerer) { m_answerer = std::move(answerer); }
  /// What the user does while the command waits: script steps as elm reads
  /// them (a JSON array text); boxes without a step get OK.
  void SetScript(const std::string& json);

  /// Writes and loads the session, starts the host and the server, and
  /// creates the command (m_command) without starting it.
  void Prepare(const std::string& className);
  /// Prepare, then starts the command as the host does and plays the script
  /// until it has run out; the run's outcome is in m_played. A script that
  /// cannot be played to its end fails the test unless scriptMayFail.
  void Run(const std::string& className, bool scriptMayFail = false);
  /// Ends the host, session and server of the last run, keeping the files;
  /// the fixture's members end the same way after each test.
  void ResetHost();
  /// For one row of a table: ResetHost, then the session as it stood at the
  /// test's first Restart, changed.
  void Restart(const std::function<void(nlohmann::ordered_json&)>& change);
  /// From a fresh host each time, runs the command with each script step as
  /// its only one: every way out ends the command and leaves no dialog.
  void ExpectEveryWayOutEnds(const std::string& className, const std::vector<std::string>& steps);
  /// Creates a command through the dictionary; the host keeps its reference.
  static CATCommand* CreateCommand(const std::string& className);

  /// Starts the prepared command as the host does and lets it run until idle.
  void StartCommand();
  /// The command has ended: no dialog lives on and no destruction is pending.
  void ExpectEnded() const;

  std::vector<std::string> BoxList() const;
  /// The titles of the boxes, in the order they were shown.
  std::vector<std::string> BoxTitles() const;
  ReceivedRequests Requests() const;
  /// Names of the dialogs that opened during the run, in order.
  const std::vector<std::string>& OpenedDialogs() const { return m_opened; }
  /// The attribute's value as the session file on disk holds it now.
  std::string SavedAttribute(const std::string& objectId, const std::string& attribute) const;

  ScratchDir m_scratch;
  std::filesystem::path m_dir{m_scratch.Path()};
  std::filesystem::path m_sessionPath;
  nlohmann::ordered_json m_json;
  std::optional<nlohmann::ordered_json> m_original;
  std::string m_sessionText;
  std::string m_answer;
  std::function<std::string(const std::string&)> m_answerer;
  std::vector<elmhost::ScriptStep> m_steps;
  elmhost::ActionResult m_played;
  std::vector<std::string> m_opened;

  EnvChanges m_env;
  // Declared in the order ResetHost() ends them in reverse.
  std::unique_ptr<elmhost::Dispatch> m_dispatch;
  std::unique_ptr<CATApplication> m_application;
  std::unique_ptr<elmhost::ScriptPlayer> m_player;
  std::unique_ptr<ScriptedUser> m_user;
  std::unique_ptr<LoopbackServer> m_server;
  std::unique_ptr<elmhost::PLMSession> m_plm;
  CATCommand* m_command = nullptr;  ///< owned by the host
};

/// A server answer whose response element, named after the function,
/// holds content.
std::string ResponseAnswer(const std::string& function, const std::string& content);
/// An answer carrying one "PartNumber" response attribute.
std::string PartNumberAnswer(const std::string& number);

/// One script step as elm reads it: {"dialog": dialog, action: target}.
std::string Step(const std::string& dialog, const std::string& action, const std::string& target);
/// A script of these steps, in order.
std::string Script(const std::vector<std::string>& steps);

/// Expected box descriptions, in the form of Describe.
std::string WarningBox(const std::string& text);
std::string ErrorBox(const std::string& text);
std::string PlainBox(const std::string& text);

/// The lines of a combo, in order.
std::vector<std::string> ComboLines(CATDlgCombo& combo);

/// One widget of a dialog's table: where the dialog puts it and how; the
/// title, check state and sensitivity are compared only where a row gives them.
struct WidgetRow {
  const char* name;
  const char* kind;
  const char* parent;
  CATDlgStyle style;
  int row, column, width, height;
  CATDlgJustification justification;
  const char* title = nullptr;
  std::optional<bool> checked{};
  std::optional<bool> sensitive{};
};
/// Every widget below the dialog, depth first in creation order.
std::vector<CATDialog*> WidgetTree(CATDialog* dialog);
/// The dialog holds exactly the table's widgets, created in the table's
/// order, each as its row says.
void ExpectWidgets(CATDialog* dialog, const std::vector<WidgetRow>& rows);
/// Whether a check or radio button is checked; a failure for any other widget.
bool IsChecked(CATDialog* widget);

}  // namespace elmtest
