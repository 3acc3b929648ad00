#pragma once

#include "CATDlgDialog.h"
#include "CATListPtrCATIAdpPLMIdentificator.h"
#include "CATString.h"

class CATDlgCheckButton;
class CATDlgCombo;
class CATDlgFrame;
class CATDlgLabel;
class CATDlgRadioButton;
class CATDlgSeparator;

/// Runs the platform's coexistence administration batch on the objects
/// selected in the navigator or a search result: the command is its own
/// dialog, offering the batch's options; OK writes the batch input file,
/// runs the batch through the client batch monitor, waits for its end and
/// opens its report.
class ELMCoexistenceAdminCmd : public CATDlgDialog {
public:
  ELMCoexistenceAdminCmd();
  ~ELMCoexistenceAdminCmd() override;

  const char* GetResourceFilename(int level = 0) override;

  /// Builds the dialog on the first activation, collects the selection and shows the dialog.
  CATStatusChangeRC Activate(CATCommand* from, CATNotification* notification) override;
  /// Hides the dialog.
  CATStatusChangeRC Desactivate(CATCommand* from, CATNotification* notification) override;
  /// Hides the dialog and ends the command.
  CATStatusChangeRC Cancel(CATCommand* from, CATNotification* notification) override;

  void Build();
  /// The identificators of the selected objects' references (navigator) or
  /// components (search result).
  HRESULT CollectSelectedObjects();

  void ELMCoexistenceAdminCmd_OKBtnPushed(CATCommand* publisher, CATNotification* notification,
                                          CATCommandClientData data);
  /// CANCEL, CLOSE, MDI close and window close: the dialog hides and the command ends.
  void ELMCoexistenceAdminCmd_CloseBtnPushed(CATCommand* publisher, CATNotification* notification,
                                             CATCommandClientData data);
  void DeleteMappingRB_Modified(CATCommand* publisher, CATNotification* notification, CATCommandClientData data);
  void TransferMasterRB_Modified(CATCommand* publisher, CATNotification* notification, CATCommandClientData data);

private:
  /// Releases the held identificators and empties the list.
  void ReleaseSelectedObjects();
  /// Fills the context combo from the context file that CoexSettingsRep names.
  void FillContexts();

  CATDlgFrame* m_pContextFrame = nullptr;
  CATDlgCombo* m_pContextCombo = nullptr;
  CATDlgLabel* m_pContextLabel = nullptr;
  CATDlgCheckButton* m_pShowResultCB = nullptr;
  CATDlgCheckButton* m_pPreviewCB = nullptr;
  CATDlgFrame* m_pMappingFrame = nullptr;
  CATDlgRadioButton* m_pDeleteMappingRB = nullptr;
  CATDlgRadioButton* m_pTransferMasterRB = nullptr;
  CATDlgCheckButton* m_pDeleteAllCB = nullptr;
  CATDlgFrame* m_pDirectionFrame = nullptr;
  CATDlgRadioButton* m_pV5V6MasterRB = nullptr;
  CATDlgRadioButton* m_pV6V5MasterRB = nullptr;
  CATDlgSeparator* m_pSeparator1 = nullptr;
  CATDlgSeparator* m_pSeparator3 = nullptr;
  CATDlgSeparator* m_pSeparator2 = nullptr;
  CATDlgSeparator* m_pSeparator4 = nullptr;

  CATListPtrCATIAdpPLMIdentificator m_selectedObjects;
  CATString m_resourceFile;
  bool m_firstActivation = true;
};
