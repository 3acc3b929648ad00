#include "CATApplicationFrame.h"
#include "CATCSO.h"
#include "CATFrmEditor.h"
#include "CATFrmLayout.h"
#include "CATFrmWindow.h"
#include "CATPLMNavPropertiesAcquisition.h"
#include "ELMHostPLMSession.h"

CATImplementInterface(CATPathElement)
CATImplementInterface(CATCSO)
CATImplementInterface(CATPLMNavPropertiesAcquisition)
CATImplementInterface(CATFrmWindow)

using elmhost::PLMSession;

CATApplicationFrame::CATApplicationFrame()
    : m_mainWindow(CATMakeVar<CATDlgWindow>(nullptr, "MainWindow")),
      m_documentWindow(CATMakeVar<CATDlgWindow>(m_mainWindow.get(), "ApplicationDocument")) {
  // The main window keeps the document window as a child widget; the frame's
  // handle is a reference of its own.
  m_documentWindow->AddRef();
}

CATApplicationFrame::~CATApplicationFrame() {
  // Dialogs still open under the windows go with them.
  m_documentWindow = nullptr;
  m_mainWindow = nullptr;
}

void CATApplicationFrame::CloseApplicationDocument() {
  if (!m_documentWindow) return;
  CATDlgWindow* document = m_documentWindow.Detach();
  // Its two references: the frame's and the main window's (as a child).
  document->Release();
  document->Release();
}

CATFrmWindow::CATFrmWindow(const CATString& name, CATFrmEditor* editor) : CATDlgWindow(nullptr, name), m_editor(editor) {}

CATFrmWindow::~CATFrmWindow() = default;

CATApplicationFrame* CATApplicationFrame::GetFrame() {
  PLMSession* s = PLMSession::Current();
  return s ? &s->Frame() : nullptr;
}

CATFrmLayout* CATFrmLayout::GetCurrentLayout() {
  PLMSession* s = PLMSession::Current();
  return s ? &s->Layout() : nullptr;
}

CATFrmEditor::CATFrmEditor() : m_cso(CATMakeVar<CATCSO>()), m_active(CATMakeVar<CATPathElement>()) {}
CATFrmEditor::~CATFrmEditor() = default;

CATFrmEditor* CATFrmEditor::GetCurrentEditor() {
  PLMSession* s = PLMSession::Current();
  return s ? s->WindowEditor() : nullptr;
}

CATPathElement::CATPathElement(CATPathElement* prefix)
    : m_prefix(prefix), m_prefixSize(prefix ? prefix->GetSize() : 0) {}

CATPathElement::CATPathElement(const CATPathElement& other)
    : CATBaseUnknown(other), m_prefix(other.m_prefix), m_prefixSize(other.m_prefixSize), m_objects(other.m_objects) {}

CATPathElement::~CATPathElement() {
  // A chain of prefixes is as long as the tree is deep; releasing it one
  // destructor inside the other would run out of stack.
  CATPathElement* p = m_prefix.Detach();
  while (p && p->GetRefCount() == 1) {
    CATPathElement* next = p->m_prefix.Detach();
    p->Release();
    p = next;
  }
  if (p) p->Release();
}

CATBaseUnknown* CATPathElement::operator[](int pos) const {
  if (pos < 1 || pos > GetSize()) return nullptr;
  const CATPathElement* p = this;
  while (pos <= p->m_prefixSize) p = p->m_prefix.get();
  return p->m_objects[pos - p->m_prefixSize].get();
}

CATBaseUnknown* CATPathElement::FindLastElement() const { return (*this)[GetSize()]; }

CATPathElement* CATCSO::NextElement() {
  if (m_next >= m_paths.size()) return nullptr;
  return m_paths[m_next++].get();
}

void CATCSO::Empty(int) {
  m_paths.clear();
  m_next = 0;
}

void CATCSO::AddElement(CATPathElement* path, int) {
  if (path) m_paths.emplace_back(path);
}

CATPLMNavPropertiesAcquisition::CATPLMNavPropertiesAcquisition(const CATString& name) : m_name(name) {}

CATFrmEditor* CATPLMNavPropertiesAcquisition::GetEditor() const {
  PLMSession* s = PLMSession::Current();
  if (!s || !(m_name == "NavPropertiesAcquisition")) return nullptr;
  return s->SearchEditor();
}
