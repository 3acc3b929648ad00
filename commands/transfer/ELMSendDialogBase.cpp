#include "ELMSendDialogBase.h"

#include "ELMGlobal.h"
#include "ELMTrace.h"
#include "ELMTransferStructureCmd.h"

#include "CATDlgCheckButton.h"
#include "CATDlgEditor.h"

namespace {

// OK and Cancel are all the dialog offers; its style shows Apply as well.
constexpr CATDlgStyle kDialogStyle = 0xE01;
constexpr CATDlgStyle kErrorStyle = CATDlgNfyError | CATDlgNfyOK;
constexpr CATDlgStyle kInformationStyle = CATDlgNfyInformation | CATDlgNfyOK;

}  // namespace

ELMSendDialogBase::ELMSendDialogBase(CATDialog* parent, const CATString& name, const ELMSendDialogKind& kind)
    : CATDlgDialog(parent, name, kDialogStyle), m_kind(kind) {
  ELM_SCOPE(kind.scopeConstructor);
  m_resourceFile = CATString(ELMGlobal::GetELMModulePrefix()) + CATString(kind.resourceName);
}

ELMSendDialogBase::~ELMSendDialogBase() { ELM_SCOPE(m_kind.scopeDestructor); }

const char* ELMSendDialogBase::GetResourceFilename(int level) {
  ELM_SCOPE(m_kind.scopeGetResourceFilename);
  if (level <= 0) return m_resourceFile.CastToCharPtr();
  return CATDlgDialog::GetResourceFilename(level - 1);
}

void ELMSendDialogBase::SetIdentToTransfer(const CATUnicodeString& name, const CATUnicodeString& revision,
                                           const CATUnicodeString& type, const CATIPLMComponent_var& component,
                                           const CATListValCATUnicodeString& selectionTexts) {
  ELM_SCOPE(m_kind.scopeSetIdentToTransfer);
  m_name = name;
  m_revision = revision;
  m_type = type;
  m_spComponent = component;
  m_lSelectionTexts = selectionTexts;
}

void ELMSendDialogBase::CancelBtnPushed(CATCommand*, CATNotification*, CATCommandClientData) {
  ELM_SCOPE(m_kind.scopeCancelBtnPushed);
  SetVisibility(CATDlgHide);
  RequestDelayedDestruction();
}

void ELMSendDialogBase::ConnectStandardButtons(CATCommandMethod ok) {
  AddAnalyseNotificationCB(this, GetDiaCANCELNotification(),
                           static_cast<CATCommandMethod>(&ELMSendDialogBase::CancelBtnPushed), nullptr);
  AddAnalyseNotificationCB(this, GetDiaOKNotification(), ok, nullptr);
  SetAPPLYSensitivity(CATDlgDisable);
  SetCLOSESensitivity(CATDlgDisable);
  SetHELPSensitivity(CATDlgDisable);
  SetPREVIEWSensitivity(CATDlgDisable);
}

void ELMSendDialogBase::ConnectWindowClose() {
  AddAnalyseNotificationCB(this, GetWindCloseNotification(),
                           static_cast<CATCommandMethod>(&ELMSendDialogBase::CancelBtnPushed), nullptr);
}

void ELMSendDialogBase::PlaceSelection(CATDialog* frame, CATDlgEditor* display, CATDlgJustification justification) {
  frame->SetGridConstraints(0, 0, 1, 1, 0x1E);
  display->SetSensitivity(CATDlgDisable);
  display->SetGridConstraints(0, 0, 1, 1, justification);
  display->SetVisibleTextWidth(40);
  CATUnicodeString shown;
  for (int i = 1; i <= m_lSelectionTexts.Size(); ++i) {
    if (i > 1) shown += " ";
    shown += m_lSelectionTexts[i];
  }
  display->SetText(shown);
}

void ELMSendDialogBase::HideEffectivityUnlessShown(CATDlgCheckButton* effectivity) {
  if (m_bShowSendConfiguration) return;
  effectivity->SetVisibility(CATDlgHide);
  effectivity->SetGridConstraints(0, 0, 1, 1, 0x0A);
}

void ELMSendDialogBase::SendAndReport(int expandLevel, bool parallel, bool force, bool removeExisting,
                                      bool sendConfiguration, bool folderOnly) {
  CATUnicodeString resultText;
  HRESULT rc = ELMTransferStructureCmd::SendELMRequest(m_name, m_revision, m_type, expandLevel, parallel, force,
                                                       removeExisting, sendConfiguration, folderOnly,
                                                       m_kind.transferType, resultText);
  const CATUnicodeString title = m_kind.catalog.Message("MsgTitle");
  const CATUnicodeString parameters[3] = {m_name, m_revision, m_type};
  CATDlgStyle style = kInformationStyle;
  // An empty text means nothing was sent: the object had no name or no type.
  if (FAILED(rc)) {
    if (resultText.IsNull()) resultText = m_kind.catalog.Message("MsgSendFailed", parameters, 3);
    style = kErrorStyle;
  } else if (resultText.IsNull()) {
    resultText = m_kind.catalog.Message("MsgSendSuccess", parameters, 3);
  }
  // Success and failure share the box name; only the style tells them apart.
  ELMShowBox("ELMError", style, resultText, title);
  RequestDelayedDestruction();
}

bool ELMSendDialogBase::IsChecked(const CATDlgCheckButton* button) {
  return button && button->GetState() == CATDlgCheck;
}
