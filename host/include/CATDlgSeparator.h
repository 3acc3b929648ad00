#pragma once

#include "CATDialog.h"

/// A horizontal line, or a vertical one with CATDlgSepVertical.
class ExportedByELMHost CATDlgSeparator : public CATDialog {
  CATDeclareInterface(CATDlgSeparator)
public:
  CATDlgSeparator(CATDialog* parent, const CATString& name, CATDlgStyle style = 0);
  ~CATDlgSeparator() override;
  const char* GetWidgetClass() const override { return "CATDlgSeparator"; }
};
