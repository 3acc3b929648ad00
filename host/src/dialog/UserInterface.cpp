#include "ELMHostUserInterface.h"

#include "CATDlgDialog.h"
#include "OpenDialogs.h"

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

}  // namespace elmhost
