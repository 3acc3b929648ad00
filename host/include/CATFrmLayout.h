#pragma once

#include "ELMHostExport.h"

class CATFrmWindow;

/// The arrangement of the frame's windows; one of them is current.
class ExportedByELMHost CATFrmLayout {
public:
  CATFrmLayout() = default;
  CATFrmLayout(const CATFrmLayout&) = delete;
  CATFrmLayout& operator=(const CATFrmLayout&) = delete;

  /// The layout of the running application, or null.
  static CATFrmLayout* GetCurrentLayout();

  CATFrmWindow* GetCurrentWindow() const { return m_current; }
  void SetCurrentWindow(CATFrmWindow* window) { m_current = window; }

private:
  CATFrmWindow* m_current = nullptr;
};
