#pragma once

#include "ELMSendDialogBase.h"

class CATDlgCheckButton;
class CATDlgEditor;
class CATDlgFrame;
class CATDlgRadioButton;

/// Sends a product structure to the PDM: the user chooses how deep the
/// structure goes (all levels, none, or a number of levels, optionally with
/// the substructures at that depth transferred in parallel), the export
/// options, and whether the object is saved first.
class ELMSendToPDMDialog : public ELMSendDialogBase {
public:
  ELMSendToPDMDialog(CATDialog* parent, const CATString& name);

  /// Offers saving the object before it is sent; set before Build.
  void SetSaveBeforeAllowed(bool allowed) { m_bSaveBeforeAllowed = allowed; }
  /// Creates and arranges the widgets and connects them.
  void Build();

  void RadioButtonAll_CheckStateChanged(CATCommand* publisher, CATNotification* notification,
                                        CATCommandClientData data);
  void RadioButtonNone_CheckStateChanged(CATCommand* publisher, CATNotification* notification,
                                         CATCommandClientData data);
  void RadioButtonSelect_CheckStateChanged(CATCommand* publisher, CATNotification* notification,
                                           CATCommandClientData data);
  /// The depth editor and the parallel option are available only together
  /// with an explicit depth.
  void HandleRadioButtonCheckStateChanged();
  /// Saves when asked, sends, tells the outcome and ends the dialog.
  void ELMSendToPDMDialog_OKBtnPushed(CATCommand* publisher, CATNotification* notification,
                                      CATCommandClientData data);

private:
  CATDlgFrame* m_pFrame1 = nullptr;
  CATDlgRadioButton* m_pRadioButtonAll = nullptr;
  CATDlgRadioButton* m_pRadioButtonNone = nullptr;
  CATDlgRadioButton* m_pRadioButtonSelect = nullptr;
  CATDlgEditor* m_pExpandDepth = nullptr;
  CATDlgCheckButton* m_pTransferSubStructures = nullptr;
  CATDlgFrame* m_pFrame2 = nullptr;
  CATDlgCheckButton* m_pCheckButtonRemoveExisting = nullptr;
  CATDlgCheckButton* m_pCheckButtonForce = nullptr;
  CATDlgCheckButton* m_pSaveBeforeCB = nullptr;
  CATDlgCheckButton* m_pIncludeEffectivity = nullptr;
  CATDlgFrame* m_pSelectedComponentFrame = nullptr;
  CATDlgEditor* m_pSelectedComponentDisplay = nullptr;
  bool m_bSaveBeforeAllowed = false;
};
