#pragma once

#include "ELMHostExport.h"
#include "CATString.h"

class CATFrmEditor;

/// A document window of the frame, showing what its editor holds.
class ExportedByELMHost CATFrmWindow {
public:
  CATFrmWindow(const CATString& name, CATFrmEditor* editor) : m_name(name), m_editor(editor) {}
  CATFrmWindow(const CATFrmWindow&) = delete;
  CATFrmWindow& operator=(const CATFrmWindow&) = delete;

  CATFrmEditor* GetEditor() const { return m_editor; }
  const CATString& GetBaseName() const { return m_name; }

private:
  CATString m_name;
  CATFrmEditor* m_editor;
};
