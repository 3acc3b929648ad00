#pragma once

#include "ChildProcess.h"
#include "LoopbackServer.h"

#include "ElmSession.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace elmgui {
class DialogWindow;
}

namespace elmtest {

/// The plug-in as elm runs it, in this process: a copy of the sample
/// bicycle session, and elm-server with the demonstration data for the
/// whole suite, so that every command gets as far as its dialogs.
class ServedSession : public ::testing::Test {
protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void SetUp() override;

  /// Loads the plug-in and the session copy; className is checked when given.
  void Prepare(const std::string& className = "");
  /// Once prepared: loads the workbench and starts the command; its first
  /// dialogs are in the model, for a presenter made before to show.
  void Start(const std::string& className);

  static std::unique_ptr<ScratchDir> s_serverDir;
  static std::unique_ptr<ServerProcess> s_server;
  ScratchDir m_dir;
  std::string m_session;
  elmapp::ElmSession m_host;
};

/// Checks that the window shows its dialog as the model holds it: a widget
/// for every model widget, visible exactly when the model shows it, inside
/// the window, enabled exactly when a person could act on it, with the
/// model's caption; the standard buttons of the style; the title.
void ExpectShowsModel(elmgui::DialogWindow& window);

}  // namespace elmtest
