#include "CATDlgSeparator.h"

CATImplementInterface(CATDlgSeparator)

CATDlgSeparator::CATDlgSeparator(CATDialog* parent, const CATString& name, CATDlgStyle style) : CATDialog(parent, name, style) {
  ApplyResources();
}

CATDlgSeparator::~CATDlgSeparator() = default;
