#include "CATDlgWindow.h"

CATImplementInterface(CATDlgWindow)

CATDlgWindow::CATDlgWindow(CATCommand* parent, const CATString& name, CATDlgStyle style)
    : CATDialog(parent, name, style) {}

CATDlgWindow::~CATDlgWindow() = default;
