#include "CATDlgLabel.h"

CATImplementInterface(CATDlgLabel)

CATDlgLabel::CATDlgLabel(CATDialog* parent, const CATString& name, CATDlgStyle style) : CATDialog(parent, name, style) {
  ApplyResources();
}

CATDlgLabel::~CATDlgLabel() = default;
