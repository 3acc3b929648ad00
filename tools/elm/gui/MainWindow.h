#pragma once

#include "ELMHostUserInterface.h"

#include <QMainWindow>

#include <memory>
#include <string>

class QAction;
class QMenu;
class QPlainTextEdit;
class QToolBar;

namespace elmapp {
class ElmSession;
}

namespace elmgui {

class DialogPresenter;
class NavigatorTree;

/// The window of elm gui, standing in for the client: the session's tree,
/// a toolbar and a menu with the plug-in's registered commands, and a pane
/// with what each run printed (requests, saves, boxes, actions, trace).
/// Dialogs open as windows of their own; message boxes are modal and are
/// answered here, so the window is also the host's user-interface sink.
class MainWindow : public QMainWindow, public elmhost::UserInterface {
public:
  MainWindow(elmapp::ElmSession& host, const std::string& sessionPath);
  ~MainWindow() override;

  /// The plug-in's workbench entry decides whether its toolbar shows; the
  /// Commands menu is there in any case.
  void ShowToolbar(bool show);
  /// Starts a registered command as the client does when a person picks it
  /// and runs it until it waits for a person.
  void StartCommand(const std::string& className);
  /// Appends text to the pane.
  void AppendOutput(const QString& text);

  int ShowBox(const elmhost::BoxDescription& box) override;

  DialogPresenter& Presenter() { return *m_presenter; }
  NavigatorTree& Tree() { return *m_tree; }
  QPlainTextEdit& Output() { return *m_output; }
  QToolBar& Toolbar() { return *m_toolbar; }
  QMenu& CommandsMenu() { return *m_commands; }
  /// The action that starts className; null when none.
  QAction* CommandAction(const std::string& className) const;

private:
  elmapp::ElmSession& m_host;
  NavigatorTree* m_tree = nullptr;
  QPlainTextEdit* m_output = nullptr;
  QToolBar* m_toolbar = nullptr;
  QMenu* m_commands = nullptr;
  std::unique_ptr<DialogPresenter> m_presenter;
  elmhost::UserInterface* m_previousSink = nullptr;
};

}  // namespace elmgui
