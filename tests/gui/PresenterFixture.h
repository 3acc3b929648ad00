#pragma once

#include "DialogPresenter.h"
#include "DialogWindow.h"
#include "ScriptedUser.h"

#include "CATDlgDialog.h"
#include "ELMHostDispatch.h"

#include <QRect>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace elmtest {

/// A dialog of the test's own: whatever notification it is told to listen
/// to reaches Heard, as "publisher notification", in the order delivered.
class RecordingDialog : public CATDlgDialog {
public:
  RecordingDialog(const char* name, CATDlgStyle style) : CATDlgDialog(nullptr, name, style) {}
  void Listen(CATCommand* publisher, CATNotification* notification);
  void Heard(CATCommand* from, CATNotification* notification, CATCommandClientData);
  std::vector<std::string> heard;
};

/// The presenter over dialogs that a test builds from host widgets, with a
/// dispatch of its own and a user that records boxes.
class PresenterFixture : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  /// A new dialog, released at the end of the test.
  RecordingDialog* MakeDialog(const char* name, CATDlgStyle style = CATDlgGridLayout);
  /// Shows the dialog and gives the window the presenter opened for it,
  /// laid out at its natural size.
  elmgui::DialogWindow* Open(CATDlgDialog* dialog);
  /// The presenter's widget named name in window.
  template <class W = QWidget>
  W* Shown(elmgui::DialogWindow* window, const char* name) const {
    return window->findChild<W*>(name);
  }
  /// A widget's rectangle in its window's coordinates.
  static QRect Place(const QWidget* widget);

  elmhost::Dispatch m_dispatch;
  ScriptedUser m_user;
  std::unique_ptr<elmgui::DialogPresenter> m_presenter;
  std::vector<CATDlgDialog*> m_dialogs;
};

}  // namespace elmtest
