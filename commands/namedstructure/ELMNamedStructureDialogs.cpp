#include "ELMNamedStructureDialogs.h"

#include "ELMGlobal.h"
#include "ELMNamedStructureCmd.h"
#include "ELMTrace.h"

#include "CATDlgCombo.h"
#include "CATDlgEditor.h"

namespace {

// Both dialogs read their widget captions from the module's About
// resources, which the product ships for every module.
CATString ResourceFileName() { return CATString(ELMGlobal::GetELMModulePrefix()) + CATString("AboutDialog"); }

constexpr CATDlgStyle kNamesDialogStyle = 0x400601;
constexpr CATDlgStyle kInfoDialogStyle = 0x10000201;
constexpr CATDlgStyle kNameSelectorStyle = 0x40000;
constexpr CATDlgStyle kMessageListStyle = CATDlgEdtReadOnly | CATDlgEdtMultiline;

}  // namespace

ELMNamesSelectDialog::ELMNamesSelectDialog(CATDialog* parent, const CATString& name)
    : CATDlgDialog(parent, name, kNamesDialogStyle) {
  ELM_SCOPE("ELMNamesSelectDialog::ELMNamesSelectDialog");
  m_resourceFile = ResourceFileName();
}

ELMNamesSelectDialog::~ELMNamesSelectDialog() {
  ELM_SCOPE("ELMNamesSelectDialog::~ELMNamesSelectDialog");
  m_pNameSelector = nullptr;
}

const char* ELMNamesSelectDialog::GetResourceFilename(int level) {
  ELM_SCOPE("ELMNamesSelectDialog::GetResourceFilename");
  if (level <= 0) return m_resourceFile.CastToCharPtr();
  return CATDlgDialog::GetResourceFilename(level - 1);
}

void ELMNamesSelectDialog::Build() {
  ELM_SCOPE("ELMNamesSelectDialog::Build");
  m_pNameSelector = new CATDlgCombo(this, "OakNameSelector", kNameSelectorStyle);
  SetGridRowResizable(0);
  SetGridColumnResizable(0);
  AddAnalyseNotificationCB(this, GetDiaOKNotification(),
                           static_cast<CATCommandMethod>(&ELMNamesSelectDialog::ELMNamesSelectDialog_OKBtnPushed),
                           nullptr);
  ApplyStandardTexts("ELMNamesSelectDialog");
  SetAPPLYSensitivity(CATDlgDisable);
  SetCANCELSensitivity(CATDlgDisable);
  SetCLOSESensitivity(CATDlgDisable);
  SetHELPSensitivity(CATDlgDisable);
  SetPREVIEWSensitivity(CATDlgDisable);
  m_pNameSelector->SetGridConstraints(0, 0, 1, 1, CATGRID_LEFT | CATGRID_RIGHT | CATGRID_TOP);
  AddAnalyseNotificationCB(this, GetWindCloseNotification(),
                           static_cast<CATCommandMethod>(&ELMNamesSelectDialog::ELMNamesSelectDialog_CancelBtnPushed),
                           nullptr);
}

void ELMNamesSelectDialog::SetELMNames(const CATListValCATUnicodeString& names) {
  ELM_SCOPE("ELMNamesSelectDialog::SetELMNames");
  if (!m_pNameSelector) return;
  for (const CATUnicodeString& name : names) m_pNameSelector->SetLine(name, -1, CATDlgDataModify);
  m_pNameSelector->SetVisibleTextWidth(20);
}

void ELMNamesSelectDialog::SetCommandData(ELMNamedStructureCmd* command) {
  ELM_SCOPE("ELMNamesSelectDialog::SetCommandData");
  m_pCommand = command;
}

void ELMNamesSelectDialog::ELMNamesSelectDialog_OKBtnPushed(CATCommand*, CATNotification*, CATCommandClientData) {
  ELM_SCOPE("ELMNamesSelectDialog::ELMNamesSelectDialog_OKBtnPushed");
  SetVisibility(CATDlgHide);
  if (m_pNameSelector) {
    CATUnicodeString name;
    m_pNameSelector->GetLine(name, m_pNameSelector->GetSelect());
    ELM_NOTE("Oak Name: " + name);
    if (m_pCommand) m_pCommand->ExpandAndFilter(name);
  }
  RequestDelayedDestruction();
}

void ELMNamesSelectDialog::ELMNamesSelectDialog_CancelBtnPushed(CATCommand*, CATNotification*,
                                                                CATCommandClientData) {
  ELM_SCOPE("ELMNamesSelectDialog::ELMNamesSelectDialog_CancelBtnPushed");
  CloseDialog();
}

void ELMNamesSelectDialog::CloseDialog() {
  ELM_SCOPE("ELMNamesSelectDialog::CloseDialog");
  SetVisibility(CATDlgHide);
  RequestDelayedDestruction();
  if (m_pCommand) m_pCommand->CancelCommand();
}

ELMNamedStructureInfoDialog::ELMNamedStructureInfoDialog(CATDialog* parent, const CATString& name)
    : CATDlgDialog(parent, name, kInfoDialogStyle) {
  ELM_SCOPE("ELMNamedStructureInfoDialog::ELMNamedStructureInfoDialog");
  m_resourceFile = ResourceFileName();
}

ELMNamedStructureInfoDialog::~ELMNamedStructureInfoDialog() {
  ELM_SCOPE("ELMNamedStructureInfoDialog::~ELMNamedStructureInfoDialog");
  m_pMessageList = nullptr;
}

const char* ELMNamedStructureInfoDialog::GetResourceFilename(int level) {
  ELM_SCOPE("ELMNamedStructureInfoDialog::GetResourceFilename");
  if (level <= 0) return m_resourceFile.CastToCharPtr();
  return CATDlgDialog::GetResourceFilename(level - 1);
}

void ELMNamedStructureInfoDialog::Build() {
  ELM_SCOPE("ELMNamedStructureInfoDialog::Build");
  m_pMessageList = new CATDlgEditor(this, "MessageList", kMessageListStyle);
  m_pMessageList->SetGridConstraints(0, 0, 1, 1, CATGRID_4SIDES);
  for (int row : {0, 1, 2}) SetGridRowResizable(row);
  for (int column : {0, 1}) SetGridColumnResizable(column);
  auto close =
      static_cast<CATCommandMethod>(&ELMNamedStructureInfoDialog::ELMNamedStructureInfoDialog_CloseBtnPushed);
  AddAnalyseNotificationCB(this, GetDiaCLOSENotification(), close, nullptr);
  ApplyStandardTexts("ELMNamedStructureInfoDialog");
  SetDefaultButton(CATDlgWndCLOSE);
  SetAPPLYSensitivity(CATDlgDisable);
  SetCANCELSensitivity(CATDlgDisable);
  SetHELPSensitivity(CATDlgDisable);
  SetOKSensitivity(CATDlgDisable);
  SetPREVIEWSensitivity(CATDlgDisable);
  AddAnalyseNotificationCB(this, GetWindCloseNotification(), close, nullptr);
  m_pMessageList->SetColor(255, 255, 255);
}

void ELMNamedStructureInfoDialog::AddMessages(CATListValCATUnicodeString& lines) {
  ELM_SCOPE("ELMNamedStructureInfoDialog::AddMessages");
  if (!m_pMessageList) return;
  for (const CATUnicodeString& line : lines) m_pMessageList->SetLine(line, -1);
  m_pMessageList->SetVisibleTextWidth(50);
}

void ELMNamedStructureInfoDialog::ELMNamedStructureInfoDialog_CloseBtnPushed(CATCommand*, CATNotification*,
                                                                            CATCommandClientData) {
  ELM_SCOPE("ELMNamedStructureInfoDialog::ELMNamedStructureInfoDialog_CloseBtnPushed");
  CloseDialog();
}

void ELMNamedStructureInfoDialog::CloseDialog() {
  ELM_SCOPE("ELMNamedStructureInfoDialog::CloseDialog");
  SetVisibility(CATDlgHide);
  RequestDelayedDestruction();
}
