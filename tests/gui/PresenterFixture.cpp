#include "PresenterFixture.h"

#include <QApplication>
#include <QLayout>

namespace elmtest {

void RecordingDialog::Listen(CATCommand* publisher, CATNotification* notification) {
  AddAnalyseNotificationCB(publisher, notification, static_cast<CATCommandMethod>(&RecordingDialog::Heard), nullptr);
}

void RecordingDialog::Heard(CATCommand* from, CATNotification* notification, CATCommandClientData) {
  heard.push_back(from->GetName().Str() + " " + notification->GetName().Str());
}

void PresenterFixture::SetUp() { m_presenter = std::make_unique<elmgui::DialogPresenter>(); }

void PresenterFixture::TearDown() {
  // Windows first: they point into the dialogs.
  m_presenter.reset();
  for (CATDlgDialog* d : m_dialogs) d->Release();
  m_dispatch.FlushDestructions();
}

RecordingDialog* PresenterFixture::MakeDialog(const char* name, CATDlgStyle style) {
  auto* dialog = new RecordingDialog(name, style);
  m_dialogs.push_back(dialog);
  return dialog;
}

elmgui::DialogWindow* PresenterFixture::Open(CATDlgDialog* dialog) {
  dialog->SetVisibility(CATDlgShow);
  m_presenter->Sync();
  elmgui::DialogWindow* window = m_presenter->WindowFor(dialog);
  if (window) {
    window->layout()->activate();
    QApplication::processEvents();
  }
  return window;
}

QRect PresenterFixture::Place(const QWidget* widget) {
  return QRect(widget->mapTo(widget->window(), QPoint(0, 0)), widget->size());
}

}  // namespace elmtest
