#pragma once

#include "ELMSendDialogBase.h"

class CATDlgCheckButton;
class CATDlgEditor;
class CATDlgFrame;

/// Sends a folder or a bookmark to the PDM with the export options, one of
/// which sends the container alone, without what it holds. The dialog's
/// texts come from the catalogs: its title and help from the standard texts
/// of its class, its widgets' captions from its resource file.
class ELMSendContainerToPDMDialog : public ELMSendDialogBase {
public:
  /// Creates and arranges the widgets and connects them.
  void Build();
  /// Sends, tells the outcome and ends the dialog.
  void OKBtnPushed(CATCommand* publisher, CATNotification* notification, CATCommandClientData data);

protected:
  /// standardTexts: the catalog of the dialog's title and help (its class
  /// name); onlyButton: the name of the check button that sends the
  /// container alone.
  ELMSendContainerToPDMDialog(CATDialog* parent, const CATString& name, const ELMSendDialogKind& kind,
                              const char* standardTexts, const char* onlyButton);

private:
  const char* m_standardTexts;
  const char* m_onlyButton;
  CATDlgFrame* m_pFrame2 = nullptr;
  CATDlgCheckButton* m_pCheckButtonForce = nullptr;
  CATDlgCheckButton* m_pOnlyCheckButton = nullptr;
  CATDlgCheckButton* m_pCheckButtonRemoveExisting = nullptr;
  CATDlgCheckButton* m_pIncludeEffectivity = nullptr;
  CATDlgFrame* m_pSelectedComponentFrame = nullptr;
  CATDlgEditor* m_pSelectedComponentEditor = nullptr;
};
