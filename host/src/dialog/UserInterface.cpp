#include "ELMHostUserInterface.h"

#include "CATDlgDialog.h"
#include "OpenDialogs.h"

#include <algorithm>
#include <utility>

namespace elmhost {

namespace {
UserInterface* s_ui = nullptr;
}

UserInterface::~UserInterface() = default;

UserInterface* SetUserInterface(UserInterface* ui) { return std::exchange(s_ui, ui); }

UserInterface* GetUserInterface() { return s_ui; }

std::vector<CATDlgDialog*>& OpenDialogRegistry() {
  static std::vector<CATDlgDialog*> dialogs;
  return dialogs;
}

std::vector<CATDlgDialog*> OpenDialogs() { return OpenDialogRegistry(); }

CATDlgDialog* FindDialog(const CATString& name) {
  const auto& dialogs = OpenDialogRegistry();
  auto it = std::find_if(dialogs.rbegin(), dialogs.rend(), [&](CATDlgDialog* d) { return d->GetName() == name; });
  return it == dialogs.rend() ? nullptr : *it;
}

CATDialog* FindWidget(const CATDialog* root, const CATString& name) {
  if (!root) return nullptr;
  for (CATCommand* child : root->GetChildren()) {
    auto* widget = dynamic_cast<CATDialog*>(child);
    if (!widget) continue;
    if (widget->GetName() == name) return widget;
    if (CATDialog* found = FindWidget(widget, name)) return found;
  }
  return nullptr;
}

}  // namespace elmhost
