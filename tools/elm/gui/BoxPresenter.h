#pragma once

#include <memory>

class QMessageBox;
class QWidget;

namespace elmhost {
struct BoxDescription;
}

namespace elmgui {

/// A message box of the host as a Qt message box: the icon of its kind
/// (error, warning, information, none), the buttons of its style, its title
/// and text; named after the box.
std::unique_ptr<QMessageBox> MakeBox(const elmhost::BoxDescription& box, QWidget* parent);
/// The host's answer for how the box was left: 1 (OK) for its OK button,
/// 0 (Close) when it was closed without one.
int BoxAnswer(const QMessageBox& box);

}  // namespace elmgui
