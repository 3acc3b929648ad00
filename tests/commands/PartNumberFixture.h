#pragma once

#include "LoopbackServer.h"
#include "ScriptedUser.h"

#include "CATApplication.h"
#include "CATCommand.h"
#include "ELMHostDispatch.h"
#include "ELMHostPLMSession.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace elmtest {

/// A request as the server received it: the function's name and its attributes.
struct ReceivedRequest {
  std::string name;
  std::vector<std::pair<std::string, std::string>> attributes;
};
ReceivedRequest ParseRequest(const std::string& body);

/// One box as "name|style|text", so a whole sequence compares in one assertion.
std::string Describe(const elmhost::BoxDescription& box);

/// A fresh host, session and loopback server per test: the session comes from
/// tests/data/sessions/partnumber.json, changed by the test before Run().
/// Catalogs come from a folder of the test's own, holding only the texts with
/// parameters, so every other text is the command's default.
class PartNumberFixture : public ::testing::Test {
protected:
  void SetUp() override;

  nlohmann::ordered_json& Session() { return m_json; }
  /// Changes the selection of the tree window to these node or object ids.
  void Select(std::vector<std::string> ids) { m_json["selection"] = ids; }
  /// The body the server answers every request with.
  void SetAnswer(std::string answer) { m_answer = std::move(answer); }

  /// Writes the session file, loads it, starts the server, creates the
  /// command through the class dictionary and activates it; the host's
  /// dispatch then runs until idle.
  void Run();
  /// Loads the session and creates the command into m_command without
  /// activating it (for lifecycle tests).
  void Prepare();
  /// Ends the host, session and server of the last run, keeping the files;
  /// the fixture's members end the same way after each test.
  void ResetHost();
  /// Creates "SetPartNumberFromExtPdmCmd" through the dictionary.
  CATCommand* CreateCommand();

  std::vector<std::string> BoxList() const;
  std::vector<ReceivedRequest> Requests() const;
  /// The attribute's value as the session file on disk holds it now.
  std::string SavedAttribute(const std::string& objectId, const std::string& attribute) const;

  ScratchDir m_scratch;
  std::filesystem::path m_dir{m_scratch.Path()};
  std::filesystem::path m_sessionPath;
  nlohmann::ordered_json m_json;
  std::string m_answer;

  EnvChanges m_env;
  // Declared in the order ResetHost() ends them in reverse.
  std::unique_ptr<elmhost::Dispatch> m_dispatch;
  std::unique_ptr<CATApplication> m_application;
  std::unique_ptr<ScriptedUser> m_user;
  std::unique_ptr<LoopbackServer> m_server;
  std::unique_ptr<elmhost::PLMSession> m_plm;
  CATCommand* m_command = nullptr;  ///< owned by the host's dispatch
};

/// An answer carrying one "PartNumber" response attribute.
std::string PartNumberAnswer(const std::string& number);

/// Expected box descriptions, in the form of Describe.
std::string WarningBox(const std::string& text);
std::string ErrorBox(const std::string& text);
std::string PlainBox(const std::string& text);

}  // namespace elmtest
