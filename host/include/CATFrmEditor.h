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

  /// The path of the object that is active in the editor (by default the
  /// top node of its tree); an empty path when there is none.
  CATPathElement& GetUIActiveObject() const { return *m_active; }
  /// Host side: makes path (null: none) the active object's path.
  void SetUIActiveObject(CATPathElement* path) {
    m_active = path ? CATVar<CATPathElement>(path) : CATMakeVar<CATPathElement>();
  }

  /// The root objects shown by the editor (host side; the plug-in reads them
  /// through CATPLMComponentInterfacesServices).
  const CATListValCATBaseUnknown_var& GetRoots() const { return m_roots; }
  void AddRoot(CATBaseUnknown* root) { m_roots.Append(CATBaseUnknown_var(root)); }
  /// Host side: the editor no longer shows root.
  void RemoveRoot(CATBaseUnknown* root) {
    if (int pos = m_roots.Locate(CATBaseUnknown_var(root))) m_roots.RemovePosition(pos);
  }

private:
  CATVar<CATCSO> m_cso;
  CATVar<CATPathElement> m_active;
  CATListValCATBaseUnknown_var m_roots;
};
