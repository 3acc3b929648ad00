#pragma once

#include "ELMHostDriver.h"
#include "ELMHostScript.h"

#include <QPointer>

#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace elmgui {

class DialogWindow;

/// Shows the host's open dialogs as windows and keeps them in line with the
/// model. A person's action in a window comes here and goes to the host's
/// driver, the same calls that play a script, so the plug-in cannot tell a
/// click from a script step; afterwards every window is brought in line.
class DialogPresenter {
public:
  /// The driver call of an action, given the callback to run once the
  /// action has passed the driver's checks.
  using Action = std::function<elmhost::ActionResult(const elmhost::ActionTaken&)>;

  /// Dialog windows are made as children of parent (may be null).
  explicit DialogPresenter(QWidget* parent = nullptr);
  ~DialogPresenter();
  DialogPresenter(const DialogPresenter&) = delete;
  DialogPresenter& operator=(const DialogPresenter&) = delete;

  /// Takes a person's action: step says what it is in a script's words,
  /// action makes the driver call. Actions that come while one is under way
  /// (from a window behind a message box) are dropped.
  void Act(const elmhost::ScriptStep& step, const Action& action);
  /// Opens a window for each dialog that opened, closes the windows of the
  /// dialogs that closed, and refreshes the others.
  void Sync();

  /// The windows shown, oldest first.
  std::vector<DialogWindow*> Windows() const;
  DialogWindow* WindowFor(const CATDlgDialog* dialog) const;

  /// Called when a window has opened and is shown.
  void OnOpened(std::function<void(DialogWindow&)> callback) { m_opened = std::move(callback); }
  /// Called when an action has passed the driver's checks, before it runs.
  void OnTaken(std::function<void(const elmhost::ScriptStep&)> callback) { m_taken = std::move(callback); }
  /// Called when the driver refused an action, with its reason.
  void OnRefused(std::function<void(const elmhost::ScriptStep&, const std::string&)> callback) {
    m_refused = std::move(callback);
  }

  /// Called at the end of every Sync, when the windows are in line again.
  void OnSynced(std::function<void()> callback) { m_synced = std::move(callback); }

private:
  QWidget* m_parent;
  elmhost::DialogWatcher m_watcher;
  std::vector<QPointer<DialogWindow>> m_windows;
  bool m_acting = false;
  std::function<void(DialogWindow&)> m_opened;
  std::function<void(const elmhost::ScriptStep&)> m_taken;
  std::function<void(const elmhost::ScriptStep&, const std::string&)> m_refused;
  std::function<void()> m_synced;
};

}  // namespace elmgui
