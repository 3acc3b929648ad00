#include "DialogPresenter.h"

#include "DialogWindow.h"

#include "CATDlgDialog.h"

#include <algorithm>

namespace elmgui {

DialogPresenter::DialogPresenter(QWidget* parent) : m_parent(parent) {}

DialogPresenter::~DialogPresenter() {
  for (const QPointer<DialogWindow>& w : m_windows) {
    if (!w) continue;
    w->Dismiss();
    delete w.data();
  }
}

void DialogPresenter::Act(const elmhost::ScriptStep& step, const Action& action) {
  // A box shown by an earlier action runs its own event loop; what else
  // arrives meanwhile would act on a dialog in the middle of a callback.
  if (m_acting) return;
  m_acting = true;
  elmhost::ActionResult result = action([&] {
    if (m_taken) m_taken(step);
  });
  m_acting = false;
  if (!result && m_refused) m_refused(step, result.error);
  Sync();
}

void DialogPresenter::Sync() {
  for (const elmhost::DialogWatcher::Change& change : m_watcher.Poll()) {
    if (change.opened) {
      auto* window = new DialogWindow(change.dialog, *this, m_parent);
      m_windows.emplace_back(window);
      window->show();
      if (m_opened) m_opened(*window);
      continue;
    }
    for (QPointer<DialogWindow>& w : m_windows) {
      if (!w || w->Serial() != change.serial) continue;
      w->Dismiss();
      // The window may be the one whose button started this: it goes once
      // the button's signal has returned.
      w->deleteLater();
      w.clear();
    }
  }
  m_windows.erase(std::remove_if(m_windows.begin(), m_windows.end(), [](const auto& w) { return w.isNull(); }),
                  m_windows.end());
  for (const QPointer<DialogWindow>& w : m_windows) w->Refresh();
  if (m_synced) m_synced();
}

std::vector<DialogWindow*> DialogPresenter::Windows() const {
  std::vector<DialogWindow*> out;
  for (const QPointer<DialogWindow>& w : m_windows)
    if (w) out.push_back(w.data());
  return out;
}

DialogWindow* DialogPresenter::WindowFor(const CATDlgDialog* dialog) const {
  for (const QPointer<DialogWindow>& w : m_windows)
    if (w && w->Dialog() == dialog) return w.data();
  return nullptr;
}

}  // namespace elmgui
