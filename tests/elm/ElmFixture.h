#pragma once

#include "ChildProcess.h"
#include "LoopbackServer.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace elmtest {

/// A folder of its own per test, with a copy of the test session, and elm
/// run with a clean environment: the plug-in of this build, no catalogs (so
/// every text is the command's default), no settings.
class ElmFixture : public ::testing::Test {
protected:
  void SetUp() override;

  ProcessResult Elm(const std::vector<std::string>& args, std::map<std::string, std::string> env = {}) const;
  /// `elm run className --session <working session> extra...`.
  ProcessResult RunCommand(const std::string& className, const std::vector<std::string>& extra = {},
                           std::map<std::string, std::string> env = {}) const;
  /// A file of the repository's examples folder.
  static std::string Example(const std::string& rest) { return std::string(ELM_SOURCE_DIR) + "/examples/" + rest; }
  /// Makes the working session a copy of this file.
  void UseSession(const std::string& path) const;
  /// A message box as elm prints it.
  static std::string Box(const std::string& name, const std::string& style, const std::string& title,
                         const std::string& text, const std::string& answer = "OK");
  /// Writes text as a file of the test folder and gives its path.
  std::string WriteFile(const std::string& name, const std::string& text) const { return m_scratch.Write(name, text); }
  static std::string ReadFile(const std::string& path) { return elmtest::ReadFile(path); }
  /// Sets one top-level field of the working session file.
  void EditSession(const std::string& field, const nlohmann::ordered_json& value) const;
  /// Starts elm-server on a free loopback port with a database of the test
  /// folder, seeded first from these files; the URL it listens on, empty
  /// when it did not start.
  std::string StartServer(const std::vector<std::string>& seeds = {});
  /// The file a run given `--events EventsFile()` writes its events to, and
  /// those events, one JSON object a line.
  std::string EventsFile() const { return (m_dir / "events.jsonl").string(); }
  std::vector<nlohmann::json> EventLines() const;
  /// The value of an attribute of an object in the session file on disk.
  std::string SessionAttribute(const std::string& objectId, const std::string& attribute) const;

  ScratchDir m_scratch;
  std::filesystem::path m_dir{m_scratch.Path()};
  std::string m_session;  ///< path of the working session file
  std::unique_ptr<ServerProcess> m_server;
};

}  // namespace elmtest
