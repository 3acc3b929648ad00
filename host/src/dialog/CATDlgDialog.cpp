#include "CATDlgDialog.h"

#include "CATMsgCatalog.h"
#include "CATRscCatalog.h"
#include "OpenDialogs.h"

#include <algorithm>

CATImplementInterface(CATDlgDialog)

CATDlgDialog::CATDlgDialog(CATCommand* parent, const CATString& name, CATDlgStyle style)
    : CATDialog(parent, name, style) {
  SetVisibility(CATDlgHide);
  elmhost::OpenDialogRegistry().push_back(this);
}

CATDlgDialog::~CATDlgDialog() {
  auto& dialogs = elmhost::OpenDialogRegistry();
  dialogs.erase(std::remove(dialogs.begin(), dialogs.end(), this), dialogs.end());
}

void CATDlgDialog::SetIconName(const CATString& normal, const CATString& selected, const CATString& focused,
                               const CATString& pressed, int type) {
  m_icons[0] = normal;
  m_icons[1] = selected;
  m_icons[2] = focused;
  m_icons[3] = pressed;
  m_iconType = type;
}

const CATString& CATDlgDialog::GetIconName(int which) const {
  static const CATString none;
  return which >= 0 && which < 4 ? m_icons[which] : none;
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
