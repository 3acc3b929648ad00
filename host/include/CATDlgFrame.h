#pragma once

#include "CATDialog.h"

/// A group of widgets with an optional title and border, laid out on a grid
/// of its own.
class ExportedByELMHost CATDlgFrame : public CATDialog {
  CATDeclareInterface(CATDlgFrame)
public:
  CATDlgFrame(CATDialog* parent, const CATString& name, CATDlgStyle style = 0);
  ~CATDlgFrame() override;
  const char* GetWidgetClass() const override { return "CATDlgFrame"; }
};
