#include "ELMSendContainerToPDMDialog.h"

#include "ELMTrace.h"

#include "CATDlgCheckButton.h"
#include "CATDlgEditor.h"
#include "CATDlgFrame.h"

namespace {

constexpr CATDlgJustification kOption = 0x0A;

}  // namespace

ELMSendContainerToPDMDialog::ELMSendContainerToPDMDialog(CATDialog* parent, const CATString& name,
                                                         const ELMSendDialogKind& kind, const char* standardTexts,
                                                         const char* onlyButton)
    : ELMSendDialogBase(parent, name, kind), m_standardTexts(standardTexts), m_onlyButton(onlyButton) {}

void ELMSendContainerToPDMDialog::Build() {
  ELM_SCOPE(m_kind.scopeBuild);

  m_pFrame2 = new CATDlgFrame(this, "Frame2", CATDlgGridLayout);
  m_pCheckButtonForce = new CATDlgCheckButton(m_pFrame2, "CheckButtonForce", 0);
  m_pOnlyCheckButton = new CATDlgCheckButton(m_pFrame2, m_onlyButton, 0);
  m_pCheckButtonRemoveExisting = new CATDlgCheckButton(m_pFrame2, "CheckButtonRemoveExisting", 0);
  m_pIncludeEffectivity = new CATDlgCheckButton(m_pFrame2, "IncludeEffectivity", 0);
  m_pSelectedComponentFrame = new CATDlgFrame(this, "SelectedComponentFrame", CATDlgGridLayout);
  m_pSelectedComponentEditor = new CATDlgEditor(m_pSelectedComponentFrame, "SelectedComponentEditor", 0);

  SetGridColumnResizable(0);
  ConnectStandardButtons(static_cast<CATCommandMethod>(&ELMSendContainerToPDMDialog::OKBtnPushed));
  ApplyStandardTexts(m_standardTexts);

  m_pFrame2->SetGridConstraints(1, 0, 1, 1, 0x1E);
  m_pCheckButtonForce->SetGridConstraints(0, 0, 1, 1, kOption);
  m_pCheckButtonRemoveExisting->SetGridConstraints(1, 0, 1, 1, kOption);
  m_pCheckButtonRemoveExisting->SetState(CATDlgCheck);
  m_pIncludeEffectivity->SetGridConstraints(2, 0, 1, 1, kOption);
  m_pOnlyCheckButton->SetGridConstraints(3, 0, 1, 1, kOption);
  PlaceSelection(m_pSelectedComponentFrame, m_pSelectedComponentEditor, 0x0E);

  ConnectWindowClose();
  HideEffectivityUnlessShown(m_pIncludeEffectivity);
}

void ELMSendContainerToPDMDialog::OKBtnPushed(CATCommand*, CATNotification*, CATCommandClientData) {
  ELM_SCOPE(m_kind.scopeOKBtnPushed);
  SetVisibility(CATDlgHide);
  const bool removeExisting =
      IsChecked(m_pCheckButtonRemoveExisting) && m_pCheckButtonRemoveExisting->GetSensitivity() == CATDlgEnable;
  // Folders and bookmarks go with everything below them: no depth, no parallel substructures.
  SendAndReport(-1, false, IsChecked(m_pCheckButtonForce), removeExisting, IsChecked(m_pIncludeEffectivity),
                IsChecked(m_pOnlyCheckButton));
}
