#include "ELMAboutDialog.h"

#include "ELMCommandKit.h"
#include "ELMGlobal.h"
#include "ELMTrace.h"
#include "HtmlRequest.h"

#include "CATDlgLabel.h"
#include "CATDlgPushButton.h"
#include "CATDlgSeparator.h"
#include "CATGetEnv.h"
#include "CATSysSettingRepository.h"

namespace {

const char* const kVersion = "3.11.0.0";
const char* const kPlatformLevel = "V6R2021x";
const char* const kLegalNotice = "Copyright (c) 2026 ELM Commands. All rights reserved.";

}  // namespace

ELMAboutDialog::ELMAboutDialog(CATDialog* parent, const CATString& name)
    : CATDlgDialog(parent, name, CATDlgGridLayout | CATDlgWndBtnClose) {
  ELM_SCOPE("ELMAboutDialog::ELMAboutDialog");
  m_resourceFile = CATString(ELMGlobal::GetELMModulePrefix()) + CATString("AboutDialog");
}

ELMAboutDialog::~ELMAboutDialog() { ELM_SCOPE("ELMAboutDialog::~ELMAboutDialog"); }

const char* ELMAboutDialog::GetResourceFilename(int level) {
  ELM_SCOPE("ELMAboutDialog::GetResourceFilename");
  if (level <= 0) return m_resourceFile.CastToCharPtr();
  return CATDlgDialog::GetResourceFilename(level - 1);
}

void ELMAboutDialog::Build() {
  ELM_SCOPE("ELMAboutDialog::Build");

  m_pVersion = new CATDlgLabel(this, "ELMVersion", 0);
  m_p3DXLevel = new CATDlgLabel(this, "ELM3DXLevel", 0);
  m_pIcon = new CATDlgLabel(this, "ELMIcon", 0);
  m_pName = new CATDlgLabel(this, "ELM_Name", 0);
  m_pCRString = new CATDlgLabel(this, "ELMCRString", 0);
  m_pVersionString = new CATDlgLabel(this, "ELMVersionString", 0);
  m_p3DXLevelString = new CATDlgLabel(this, "ELM3DXLevelString", 0);
  m_pCheckServerButton = new CATDlgPushButton(this, "ELMCheckServerButton", 0);
  m_pServerUrl = new CATDlgLabel(this, "ELMServerUrl", 0);
  m_pServerUrlLabel = new CATDlgLabel(this, "ELMServerUrlLabel", 0);
  m_pSeparator1 = new CATDlgSeparator(this, "Separator1", 0);
  SetGridColumnResizable(3);

  auto close = static_cast<CATCommandMethod>(&ELMAboutDialog::CloseBtnPushed);
  AddAnalyseNotificationCB(this, GetDiaCANCELNotification(), close, nullptr);
  AddAnalyseNotificationCB(this, GetDiaCLOSENotification(), close, nullptr);
  AddAnalyseNotificationCB(this, GetMDICloseNotification(), close, nullptr);

  ApplyStandardTexts("ELMAboutDialog");

  SetDefaultButton(CATDlgWndCLOSE);
  SetAPPLYSensitivity(CATDlgDisable);
  SetCANCELSensitivity(CATDlgDisable);
  SetHELPSensitivity(CATDlgDisable);
  SetOKSensitivity(CATDlgDisable);
  SetPREVIEWSensitivity(CATDlgDisable);

  const CATDlgJustification leftTop = CATGRID_LEFT | CATGRID_TOP;
  m_pVersion->SetGridConstraints(1, 1, 1, 1, leftTop);
  m_p3DXLevel->SetGridConstraints(2, 1, 1, 1, leftTop);
  m_pIcon->SetGridConstraints(0, 0, 1, 4, leftTop);
  m_pName->SetGridConstraints(0, 1, 1, 1, leftTop);
  m_pCRString->SetGridConstraints(3, 1, 2, 1, leftTop);
  m_pVersionString->SetGridConstraints(1, 2, 1, 1, leftTop);
  m_p3DXLevelString->SetGridConstraints(2, 2, 1, 1, leftTop);
  m_pCheckServerButton->SetGridConstraints(7, 1, 1, 1, leftTop);
  m_pServerUrl->SetGridConstraints(6, 0, 3, 1, leftTop);
  m_pServerUrlLabel->SetGridConstraints(5, 0, 1, 1, leftTop);
  m_pSeparator1->SetGridConstraints(4, 0, 3, 1, CATGRID_LEFT | CATGRID_RIGHT | CATGRID_TOP);
  AddAnalyseNotificationCB(m_pCheckServerButton, m_pCheckServerButton->GetPushBActivateNotification(),
                           static_cast<CATCommandMethod>(&ELMAboutDialog::ELMCheckServerButton_Pressed), nullptr);
  AddAnalyseNotificationCB(this, GetWindCloseNotification(), close, nullptr);

  m_pVersionString->SetTitle(kVersion);
  m_p3DXLevelString->SetTitle(kPlatformLevel);
  m_pCRString->SetTitle(kLegalNotice);

  CATUnicodeString url;
  for (const char* variable : {"ELM_SERVER_URL", "ELM_SERVERURL"}) {
    const char* value = CATGetEnv(variable);
    if (value && *value) {
      url = value;
      ELM_NOTE("using server url from environment" + url);
      break;
    }
  }
  if (url.IsNull()) {
    if (CATSysSettingRepository* repository = CATSysSettingRepository::GetRepository("ELMOptions")) {
      CATUnicodeString setting;
      if (SUCCEEDED(repository->ReadAttr("ServerUrl", setting)) && !setting.IsNull()) {
        url = setting;
        ELM_NOTE("using server url from Settings " + url);
      }
      repository->Release();
    }
  }
  if (!url.IsNull()) {
    m_pServerUrl->SetTitle(url);
    m_pCheckServerButton->SetSensitivity(CATDlgEnable);
  } else {
    m_pServerUrl->SetTitle(CATUnicodeString());
    ELM_NOTE("server url not set");
    m_pCheckServerButton->SetSensitivity(CATDlgDisable);
  }
}

void ELMAboutDialog::CloseBtnPushed(CATCommand*, CATNotification*, CATCommandClientData) {
  ELM_SCOPE("ELMAboutDialog::CloseBtnPushed");
  SetVisibility(CATDlgHide);
  RequestDelayedDestruction();
}

void ELMAboutDialog::ELMCheckServerButton_Pressed(CATCommand*, CATNotification*, CATCommandClientData) {
  ELM_SCOPE("ELMAboutDialog::ELMCheckServerButton_Pressed");
  HRESULT rc = HtmlRequest::CheckServerConnection();
  CATUnicodeString text;
  CATDlgStyle style = 0;
  if (SUCCEEDED(rc)) {
    text = ELMGlobal::BuildMessage("ElementPropertyPageDlg", "CheckServerOK", nullptr, 0, CATUnicodeString());
    style = CATDlgNfyInformation | CATDlgNfyOK | 0x200;
  } else {
    text = ELMGlobal::BuildMessage("ElementPropertyPageDlg", "CheckServerKO", nullptr, 0, CATUnicodeString());
    style = CATDlgNfyError | CATDlgNfyOK | 0x200;
  }
  CATUnicodeString title = ELMGlobal::BuildMessage("ElementPropertyPageDlg", "MsgTitle", nullptr, 0, CATUnicodeString());
  ELMShowBox("ELMWarning", style, text, title);
}
