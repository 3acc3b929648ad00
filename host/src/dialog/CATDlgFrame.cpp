#include "CATDlgFrame.h"

CATImplementInterface(CATDlgFrame)

CATDlgFrame::CATDlgFrame(CATDialog* parent, const CATString& name, CATDlgStyle style) : CATDialog(parent, name, style) {
  ApplyResources();
}

CATDlgFrame::~CATDlgFrame() = default;
