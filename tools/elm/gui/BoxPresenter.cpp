#include "BoxPresenter.h"

#include "CATDlgInclude.h"
#include "ELMHostUserInterface.h"

#include <QMessageBox>

namespace elmgui {

std::unique_ptr<QMessageBox> MakeBox(const elmhost::BoxDescription& box, QWidget* parent) {
  auto out = std::make_unique<QMessageBox>(parent);
  out->setObjectName(QString::fromStdString(box.name.Str()));
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  if (box.style & CATDlgNfyError)
    icon = QMessageBox::Critical;
  else if (box.style & CATDlgNfyWarning)
    icon = QMessageBox::Warning;
  else if (box.style & CATDlgNfyInformation)
    icon = QMessageBox::Information;
  out->setIcon(icon);
  out->setWindowTitle(QString::fromStdString(box.title.Utf8()));
  out->setText(QString::fromStdString(box.text.Utf8()));
  out->setTextFormat(Qt::PlainText);
  // OK is the only button this host's styles name; a style without it
  // still gets one, so that the box can be answered.
  out->setStandardButtons(QMessageBox::Ok);
  return out;
}

int BoxAnswer(const QMessageBox& box) {
  return box.clickedButton() == box.button(QMessageBox::Ok) ? elmhost::kBoxAcknowledged : 0;
}

}  // namespace elmgui
