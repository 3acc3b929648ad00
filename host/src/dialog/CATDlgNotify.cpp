#include "CATDlgNotify.h"

#include "ELMHostUserInterface.h"

CATImplementInterface(CATDlgNotify)

CATDlgNotify::CATDlgNotify(CATCommand* parent, const CATString& name, CATDlgStyle style)
    : CATDlgWindow(parent, name, style) {
  SetVisibility(CATDlgHide);
}

CATDlgNotify::~CATDlgNotify() = default;

int CATDlgNotify::DisplayBlocked(const CATUnicodeString& text, const CATUnicodeString& title) {
  m_text = text;
  SetTitle(title);
  elmhost::UserInterface* ui = elmhost::GetUserInterface();
  if (!ui) return elmhost::kBoxAcknowledged;
  SetVisibility(CATDlgShow);
  int answer = ui->ShowBox({GetName(), GetStyle(), title, text});
  SetVisibility(CATDlgHide);
  return answer;
}
