#pragma once

#include "CATDlgDialog.h"
#include "CATString.h"

class CATDlgLabel;
class CATDlgPushButton;
class CATDlgSeparator;

/// The plug-in's version, the platform level it was built for, a legal
/// notice and the integration server in use, with a button that checks the
/// connection to that server.
class ELMAboutDialog : public CATDlgDialog {
public:
  ELMAboutDialog(CATDialog* parent, const CATString& name);
  ~ELMAboutDialog() override;

  const char* GetResourceFilename(int level = 0) override;
  void Build();

  /// CANCEL, CLOSE, MDI close and window close: the dialog hides and ends itself.
  void CloseBtnPushed(CATCommand* publisher, CATNotification* notification, CATCommandClientData data);
  void ELMCheckServerButton_Pressed(CATCommand* publisher, CATNotification* notification, CATCommandClientData data);

private:
  CATDlgLabel* m_pVersion = nullptr;
  CATDlgLabel* m_p3DXLevel = nullptr;
  CATDlgLabel* m_pIcon = nullptr;
  CATDlgLabel* m_pName = nullptr;
  CATDlgLabel* m_pCRString = nullptr;
  CATDlgLabel* m_pVersionString = nullptr;
  CATDlgLabel* m_p3DXLevelString = nullptr;
  CATDlgPushButton* m_pCheckServerButton = nullptr;
  CATDlgLabel* m_pServerUrl = nullptr;
  CATDlgLabel* m_pServerUrlLabel = nullptr;
  CATDlgSeparator* m_pSeparator1 = nullptr;
  CATString m_resourceFile;
};
