#pragma once

#include "CATDialog.h"

/// A caption (its title) or a picture (its icon).
class ExportedByELMHost CATDlgLabel : public CATDialog {
  CATDeclareInterface(CATDlgLabel)
public:
  CATDlgLabel(CATDialog* parent, const CATString& name, CATDlgStyle style = 0);
  ~CATDlgLabel() override;
  const char* GetWidgetClass() const override { return "CATDlgLabel"; }
};
