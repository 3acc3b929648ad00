#include "CATApplicationFrame.h"
#include "CATCSO.h"
#include "CATFrmEditor.h"
#include "CATFrmLayout.h"
#include "CATPLMNavPropertiesAcquisition.h"
#include "ELMHostPLMSession.h"

CATImplementInterface(CATPathElement)
CATImplementInterface(CATCSO)
CATImplementInterface(CATPLMNavPropertiesAcquisition)

using elmhost::PLMSession;

CATApplicationFrame* CATApplicationFrame::GetFrame() {
  PLMSession* s = PLMSession::Current();
  return s ? &s->Frame() : nullptr;
}

CATFrmLayout* CATFrmLayout::GetCurrentLayout() {
  PLMSession* s = PLMSession::Current();
  return s ? &s->Layout() : nullptr;
}

CATFrmEditor::CATFrmEditor() : m_cso(CATMakeVar<CATCSO>()) {}
CATFrmEditor::~CATFrmEditor() = default;

CATFrmEditor* CATFrmEditor::GetCurrentEditor() {
  PLMSession* s = PLMSession::Current();
  return s ? s->WindowEditor() : nullptr;
}

CATPathElement* CATCSO::NextElement() {
  if (m_next >= m_paths.size()) return nullptr;
  return m_paths[m_next++].get();
}

void CATCSO::Empty(int) {
  m_paths.clear();
  m_next = 0;
}

void CATCSO::AddElement(CATPathElement* path) {
  if (path) m_paths.emplace_back(path);
}

CATPLMNavPropertiesAcquisition::CATPLMNavPropertiesAcquisition(const CATString& name) : m_name(name) {}

CATFrmEditor* CATPLMNavPropertiesAcquisition::GetEditor() const {
  PLMSession* s = PLMSession::Current();
  if (!s || !(m_name == "NavPropertiesAcquisition")) return nullptr;
  return s->SearchEditor();
}
