#include "CATDlgDialog.h"

#include "CATMsgCatalog.h"
#include "CATRscCatalog.h"
#include "OpenDialogs.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <typeinfo>

CATImplementInterface(CATDlgDialog)

namespace {
unsigned long s_nextSerial = 1;
}

CATDlgDialog::CATDlgDialog(CATCommand* parent, const CATString& name, CATDlgStyle style)
    : CATDlgWindow(parent, name, style), m_serial(s_nextSerial++) {
  SetVisibility(CATDlgHide);
  elmhost::OpenDialogRegistry().push_back(this);
}

CATDlgDialog::~CATDlgDialog() {
  auto& dialogs = elmhost::OpenDialogRegistry();
  dialogs.erase(std::remove(dialogs.begin(), dialogs.end(), this), dialogs.end());
}

void CATDlgDialog::SetButtonSensitivity(CATULong button, CATULong state) {
  for (auto& [b, s] : m_buttonSensitivity) {
    if (b == button) {
      s = state;
      return;
    }
  }
  m_buttonSensitivity.emplace_back(button, state);
}

CATULong CATDlgDialog::GetButtonSensitivity(CATULong button) const {
  for (const auto& [b, s] : m_buttonSensitivity)
    if (b == button) return s;
  return CATDlgEnable;
}

std::vector<CATULong> CATDlgDialog::GetStandardButtons() const {
  std::vector<CATULong> out;
  const CATDlgStyle style = GetStyle();
  if (style & CATDlgWndNoButton) return out;
  const std::pair<CATDlgStyle, CATULong> order[] = {
      {CATDlgWndBtnOK, CATDlgWndOK},         {CATDlgWndBtnApply, CATDlgWndAPPLY},
      {CATDlgWndBtnPreview, CATDlgWndPREVIEW}, {CATDlgWndBtnCancel, CATDlgWndCANCEL},
      {CATDlgWndBtnClose, CATDlgWndCLOSE},   {CATDlgWndBtnHelp, CATDlgWndHELP},
  };
  for (const auto& [bit, button] : order)
    if (style & bit) out.push_back(button);
  return out;
}

const char* CATDlgDialog::GetResourceFilename(int level) {
  if (level > 0) return nullptr;
  if (m_className.IsNull()) {
    const char* mangled = typeid(*this).name();
    int status = 0;
    char* plain = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
    std::string name = status == 0 && plain ? plain : mangled;
    std::free(plain);
    // The platform knows a class by its own name, without the scopes around it.
    if (auto colon = name.rfind("::"); colon != std::string::npos) name = name.substr(colon + 2);
    m_className = name.c_str();
  }
  return m_className.CastToCharPtr();
}

void CATDlgDialog::ApplyStandardTexts(const CATString& catalog) {
  using Setter = void (CATDlgDialog::*)(const CATUnicodeString&);
  struct Entry {
    const char* key;
    Setter set;
  };
  static const Entry entries[] = {
      {"Title", &CATDlgDialog::SetTitle},
      {"CancelBtnTitle", &CATDlgDialog::SetCANCELTitle},
      {"OKBtnTitle", &CATDlgDialog::SetOKTitle},
      {"PreviewBtnTitle", &CATDlgDialog::SetPREVIEWTitle},
      {"ApplyBtnTitle", &CATDlgDialog::SetAPPLYTitle},
      {"FinishBtnTitle", &CATDlgDialog::SetFINISHTitle},
      {"Help", &CATDlgDialog::SetHelp},
      {"ShortHelp", &CATDlgDialog::SetShortHelp},
      {"LongHelp", &CATDlgDialog::SetLongHelp},
      {"Accelerator", &CATDlgDialog::SetAcceleratorString},
  };
  for (const Entry& e : entries) {
    CATUnicodeString text = CATMsgCatalog::BuildMessage(catalog, e.key, nullptr, 0, CATUnicodeString());
    if (!text.IsNull()) (this->*e.set)(text);
  }
  CATString icon, selected, focused;
  CATRscCatalog::BuildResource(catalog, "Icon", icon);
  CATRscCatalog::BuildResource(catalog, "IconSel", selected);
  CATRscCatalog::BuildResource(catalog, "IconFocus", focused);
  SetIconName(icon, selected, focused, "", 0);
}
