#include "ELMPropertyViewerDialog.h"

#include "ELMTrace.h"

#include "CATDlgEditor.h"

namespace {

// The platform's values, passed as they are: a grid dialog with a Close
// button, and a read-only multi-line editor.
constexpr CATDlgStyle kDialogStyle = 0x10020001;
constexpr CATDlgStyle kEditorStyle = 0x4180000;
constexpr CATDlgJustification kAllSides = 30;
const char* const kResourceFile = "ELMPropertyViewerDialog";

}  // namespace

ELMPropertyViewerDialog::ELMPropertyViewerDialog(CATDialog* parent, const CATString& name)
    : CATDlgDialog(parent, name, kDialogStyle) {
  ELM_SCOPE("ELMPropertyViewerDialog::ELMPropertyViewerDialog");
}

ELMPropertyViewerDialog::~ELMPropertyViewerDialog() {
  ELM_SCOPE("ELMPropertyViewerDialog::~ELMPropertyViewerDialog");
}

const char* ELMPropertyViewerDialog::GetResourceFilename(int level) {
  ELM_SCOPE("ELMPropertyViewerDialog::GetResourceFilename");
  if (level <= 0) return kResourceFile;
  return CATDlgDialog::GetResourceFilename(level - 1);
}

void ELMPropertyViewerDialog::Build() {
  ELM_SCOPE("ELMPropertyViewerDialog::Build");

  // The editor keeps its old spelling: resource files address the widget by it.
  m_pEditor = new CATDlgEditor(this, "properiesEditor", kEditorStyle);
  m_pEditor->SetGridConstraints(0, 0, 1, 1, kAllSides);
  m_pEditor->SetVisibleTextHeight(50);
  m_pEditor->SetVisibleTextWidth(30);
  SetGridRowResizable(0);
  SetGridColumnResizable(0);

  ApplyStandardTexts("ELMPropertyViewerDialog");

  auto close = static_cast<CATCommandMethod>(&ELMPropertyViewerDialog::CloseBtnPushed);
  AddAnalyseNotificationCB(this, GetWindCloseNotification(), close, nullptr);
  AddAnalyseNotificationCB(this, GetDiaCANCELNotification(), close, nullptr);
  AddAnalyseNotificationCB(this, GetDiaCLOSENotification(), close, nullptr);
  AddAnalyseNotificationCB(this, GetDiaOKNotification(), close, nullptr);
}

void ELMPropertyViewerDialog::SetText(const CATUnicodeString& text) {
  ELM_SCOPE("ELMPropertyViewerDialog::SetText");
  if (m_pEditor) m_pEditor->SetText(text);
}

void ELMPropertyViewerDialog::CloseBtnPushed(CATCommand*, CATNotification*, CATCommandClientData) {
  ELM_SCOPE("ELMPropertyViewerDialog::CloseBtnPushed");
  SetVisibility(CATDlgHide);
  RequestDelayedDestruction();
}
