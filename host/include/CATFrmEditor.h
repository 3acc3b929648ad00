#pragma once

#include "CATBaseUnknown.h"
#include "CATCSO.h"
#include "CATListValCATBaseUnknown_var.h"

/// The editor of a window: what the window shows (its root components) and
/// what is selected in it.
class ExportedByELMHost CATFrmEditor {
public:
  CATFrmEditor();
  ~CATFrmEditor();
  CATFrmEditor(const CATFrmEditor&) = delete;
  CATFrmEditor& operator=(const CATFrmEditor&) = delete;

  /// The editor of the current window, or null.
  static CATFrmEditor* GetCurrentEditor();

  /// The current selection set, without an added reference.
  CATCSO* GetCSO() const { return m_cso.get(); }

  /// The root objects shown by the editor (host side; the plug-in reads them
  /// through CATPLMComponentInterfacesServices).
  const CATListValCATBaseUnknown_var& GetRoots() const { return m_roots; }
  void AddRoot(CATBaseUnknown* root) { m_roots.Append(CATBaseUnknown_var(root)); }

private:
  CATVar<CATCSO> m_cso;
  CATListValCATBaseUnknown_var m_roots;
};
