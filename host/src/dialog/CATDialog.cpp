#include "CATDialog.h"

CATImplementInterface(CATDialog)

CATDialog::CATDialog(CATCommand* parent, const CATString& name, CATDlgStyle style)
    : CATCommand(parent, name), m_style(style) {}

CATDialog::~CATDialog() {
  // A dialog owns its widgets. Those already handed to delayed destruction
  // belong to the dispatch; releasing them here would free them twice.
  std::vector<CATCommand*> children = GetChildren();
  for (CATCommand* child : children) {
    auto* widget = dynamic_cast<CATDialog*>(child);
    if (widget && !widget->IsDestructionRequested()) widget->Release();
  }
}

CATDialog* CATDialog::GetParentDialog() const { return dynamic_cast<CATDialog*>(GetFather()); }
