#include "ELMSendToPDMDialog.h"

#include "ELMTrace.h"

#include "CATAdpSaver.h"
#include "CATDlgCheckButton.h"
#include "CATDlgEditor.h"
#include "CATDlgFrame.h"
#include "CATDlgRadioButton.h"
#include "CATError.h"
#include "CATListValCATBaseUnknown_var.h"

namespace {

const ELMCatalog kCatalog{"SendToPDMDialog", "ELMSendToPDMDialog"};
const ELMSendDialogKind kKind{kCatalog, "SendToPDMDialog", "VPMReference", ELM_SEND_DIALOG_SCOPES(ELMSendToPDMDialog)};

constexpr CATDlgStyle kErrorStyle = CATDlgNfyError | CATDlgNfyOK;
constexpr CATDlgJustification kFrame = 0x1E;
constexpr CATDlgJustification kOption = 0x0A;

void SetHelpTexts(CATDialog* widget, const char* help, const char* shortHelp, const char* longHelp) {
  widget->SetHelp(help);
  widget->SetShortHelp(shortHelp);
  widget->SetLongHelp(longHelp);
}

}  // namespace

ELMSendToPDMDialog::ELMSendToPDMDialog(CATDialog* parent, const CATString& name)
    : ELMSendDialogBase(parent, name, kKind) {}

void ELMSendToPDMDialog::Build() {
  ELM_SCOPE("ELMSendToPDMDialog::Build");

  m_pFrame1 = new CATDlgFrame(this, "Frame1", CATDlgGridLayout);
  m_pRadioButtonAll = new CATDlgRadioButton(m_pFrame1, "RadioButtonAll", 0);
  m_pRadioButtonNone = new CATDlgRadioButton(m_pFrame1, "RadioButtonNone", 0);
  m_pRadioButtonSelect = new CATDlgRadioButton(m_pFrame1, "RadioButtonSelect", 0);
  m_pExpandDepth = new CATDlgEditor(m_pFrame1, "expandDepth", CATDlgEdtInteger);
  m_pTransferSubStructures = new CATDlgCheckButton(m_pFrame1, "transferSubStructures", 0);
  m_pFrame2 = new CATDlgFrame(this, "Frame2", CATDlgGridLayout);
  m_pCheckButtonRemoveExisting = new CATDlgCheckButton(m_pFrame2, "CheckButtonRemoveExisting", 0);
  m_pCheckButtonForce = new CATDlgCheckButton(m_pFrame2, "CheckButtonForce", 0);
  m_pSaveBeforeCB = new CATDlgCheckButton(m_pFrame2, "SaveBeforeCB", 0);
  m_pIncludeEffectivity = new CATDlgCheckButton(m_pFrame2, "IncludeEffectivity", 0);
  m_pSelectedComponentFrame = new CATDlgFrame(this, "SelectedComponentFrame", CATDlgGridLayout);
  m_pSelectedComponentDisplay = new CATDlgEditor(m_pSelectedComponentFrame, "SelectedComponentDisplay", 0);

  SetTitle("Send to PDM");
  SetGridColumnResizable(0);
  ConnectStandardButtons(static_cast<CATCommandMethod>(&ELMSendToPDMDialog::ELMSendToPDMDialog_OKBtnPushed));

  m_pFrame1->SetTitle("Expand Depth");
  m_pFrame1->SetGridConstraints(1, 0, 1, 1, kFrame);
  m_pRadioButtonAll->SetTitle("All");
  m_pRadioButtonAll->SetGridConstraints(0, 0, 1, 1, kOption);
  AddAnalyseNotificationCB(m_pRadioButtonAll, m_pRadioButtonAll->GetRadBModifyNotification(),
                           static_cast<CATCommandMethod>(&ELMSendToPDMDialog::RadioButtonAll_CheckStateChanged),
                           nullptr);
  m_pRadioButtonAll->SetState(CATDlgCheck);
  m_pRadioButtonNone->SetTitle("None");
  m_pRadioButtonNone->SetGridConstraints(1, 0, 1, 1, kOption);
  AddAnalyseNotificationCB(m_pRadioButtonNone, m_pRadioButtonNone->GetRadBModifyNotification(),
                           static_cast<CATCommandMethod>(&ELMSendToPDMDialog::RadioButtonNone_CheckStateChanged),
                           nullptr);
  m_pRadioButtonSelect->SetTitle("Select depth:");
  m_pRadioButtonSelect->SetGridConstraints(2, 0, 1, 1, kOption);
  AddAnalyseNotificationCB(m_pRadioButtonSelect, m_pRadioButtonSelect->GetRadBModifyNotification(),
                           static_cast<CATCommandMethod>(&ELMSendToPDMDialog::RadioButtonSelect_CheckStateChanged),
                           nullptr);
  m_pExpandDepth->SetSensitivity(CATDlgDisable);
  m_pExpandDepth->SetGridConstraints(2, 1, 1, 1, 0x0E);
  m_pExpandDepth->SetText("2");
  m_pExpandDepth->SetIntegerValue(2);
  m_pTransferSubStructures->SetTitle("Transfer substructures at expand depth in parallel");
  m_pTransferSubStructures->SetSensitivity(CATDlgDisable);
  m_pTransferSubStructures->SetGridConstraints(3, 0, 2, 1, kOption);

  m_pFrame2->SetTitle("Export Options");
  m_pFrame2->SetGridConstraints(2, 0, 1, 1, kFrame);
  m_pCheckButtonRemoveExisting->SetTitle("Remove non-existing children in PDM");
  SetHelpTexts(m_pCheckButtonRemoveExisting, "Remove non-existing children in PDM",
               "Remove-non existing children in PDM", "Remove-non existing children in PDM");
  m_pCheckButtonRemoveExisting->SetGridConstraints(1, 0, 1, 1, kOption);
  m_pCheckButtonRemoveExisting->SetState(CATDlgCheck);
  m_pCheckButtonForce->SetTitle("Force");
  SetHelpTexts(m_pCheckButtonForce, "Force", "Force", "Force");
  m_pCheckButtonForce->SetGridConstraints(0, 0, 1, 1, kOption);
  m_pSaveBeforeCB->SetTitle("Save before component to PDM");
  SetHelpTexts(m_pSaveBeforeCB, "Save selected component before Send to PDM",
               "Save selected component before send to PDM",
               "Save selected component and all children before send to PDM");
  m_pSaveBeforeCB->SetGridConstraints(2, 0, 1, 1, kOption);
  m_pSaveBeforeCB->SetState(CATDlgCheck);
  m_pIncludeEffectivity->SetTitle("Include Effectivity");
  SetHelpTexts(m_pIncludeEffectivity, "Include effectivity information", "Include effectivity information",
               "Include effectivity information");
  m_pIncludeEffectivity->SetGridConstraints(3, 0, 1, 1, kOption);

  m_pSelectedComponentFrame->SetTitle("Selected Component");
  PlaceSelection(m_pSelectedComponentFrame, m_pSelectedComponentDisplay, 0x7E);

  // In an explorer window the object is not saved from here.
  if (!m_bSaveBeforeAllowed) {
    m_pSaveBeforeCB->SetState(CATDlgUncheck);
    m_pSaveBeforeCB->SetSensitivity(CATDlgDisable);
  }
  m_pCheckButtonRemoveExisting->SetState(CATDlgCheck);
  ConnectWindowClose();
  HideEffectivityUnlessShown(m_pIncludeEffectivity);
}

void ELMSendToPDMDialog::RadioButtonAll_CheckStateChanged(CATCommand*, CATNotification*, CATCommandClientData) {
  ELM_SCOPE("ELMSendToPDMDialog::RadioButtonAll_CheckStateChanged");
  HandleRadioButtonCheckStateChanged();
}

void ELMSendToPDMDialog::RadioButtonNone_CheckStateChanged(CATCommand*, CATNotification*, CATCommandClientData) {
  ELM_SCOPE("ELMSendToPDMDialog::RadioButtonNone_CheckStateChanged");
  HandleRadioButtonCheckStateChanged();
}

void ELMSendToPDMDialog::RadioButtonSelect_CheckStateChanged(CATCommand*, CATNotification*, CATCommandClientData) {
  ELM_SCOPE("ELMSendToPDMDialog::RadioButtonSelect_CheckStateChanged");
  HandleRadioButtonCheckStateChanged();
}

void ELMSendToPDMDialog::HandleRadioButtonCheckStateChanged() {
  ELM_SCOPE("ELMSendToPDMDialog::HandleRadioButtonCheckStateChanged");
  if (m_pRadioButtonSelect && m_pExpandDepth && m_pRadioButtonSelect->GetState() == CATDlgCheck) {
    m_pExpandDepth->SetSensitivity(CATDlgEnable);
    m_pTransferSubStructures->SetSensitivity(CATDlgEnable);
    return;
  }
  if (m_pExpandDepth) m_pExpandDepth->SetSensitivity(CATDlgDisable);
  if (m_pTransferSubStructures) {
    m_pTransferSubStructures->SetSensitivity(CATDlgDisable);
    m_pTransferSubStructures->SetState(CATDlgUncheck, 0);
  }
}

void ELMSendToPDMDialog::ELMSendToPDMDialog_OKBtnPushed(CATCommand*, CATNotification*, CATCommandClientData) {
  ELM_SCOPE("ELMSendToPDMDialog::ELMSendToPDMDialog_OKBtnPushed");
  SetVisibility(CATDlgHide);

  int expandLevel = -1;
  if (m_pRadioButtonSelect->GetState() == CATDlgCheck)
    expandLevel = m_pExpandDepth->GetIntegerValue();
  else if (m_pRadioButtonNone->GetState() == CATDlgCheck)
    expandLevel = 0;
  const bool parallel = IsChecked(m_pTransferSubStructures);
  const bool force = IsChecked(m_pCheckButtonForce);
  const bool removeExisting =
      IsChecked(m_pCheckButtonRemoveExisting) && m_pCheckButtonRemoveExisting->GetSensitivity() == CATDlgEnable;
  const bool sendConfiguration = IsChecked(m_pIncludeEffectivity);
  const bool saveBefore = IsChecked(m_pSaveBeforeCB);

  // A component that cannot be saved this way is sent as it is.
  CATIPLMComponent_var component(m_spComponent);
  if (saveBefore && component) {
    CATListValCATBaseUnknown_var toSave;
    toSave.Append(CATBaseUnknown_var(component));
    CATAdpSaver saver;
    HRESULT rc = saver.Save(toSave);
    component = nullptr;
    toSave.RemoveAll();
    if (FAILED(rc)) {
      // The box names the object; the platform's reason is not kept for a later save.
      CATError::CATCleanLastError();
      const CATUnicodeString parameters[3] = {m_name, m_revision, m_type};
      ELMShowBox("ELMError", kErrorStyle, kCatalog.Message("MsgSaveFailed", parameters, 3), kCatalog.Message("MsgTitle"));
      RequestDelayedDestruction();
      return;
    }
  }

  SendAndReport(expandLevel, parallel, force, removeExisting, sendConfiguration, false);
}
