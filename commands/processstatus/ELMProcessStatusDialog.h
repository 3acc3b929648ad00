#pragma once

#include "CATDlgDialog.h"
#include "CATString.h"
#include "CATUnicodeString.h"

class CATDlgEditor;
class CATDlgFrame;
class CATDlgMultiList;
class CATDlgPushButton;
class ELMRequestXml;
class ProcessStatusList;

/// The user's processes on the integration server, one line each, with the
/// error message of the selected line below the list. Refresh asks the
/// server again; Close ends the dialog.
class ELMProcessStatusDialog : public CATDlgDialog {
public:
  ELMProcessStatusDialog(CATDialog* parent, const CATString& name);
  ~ELMProcessStatusDialog() override;

  const char* GetResourceFilename(int level = 0) override;
  void Build();

  /// Appends one entry per process ("PD" element) of response, in document
  /// order; an answer without processes is a success with none.
  HRESULT buildProcessStatusList(const ELMRequestXml& response, ProcessStatusList& list);
  /// Replaces the lines of the list by the entries of list.
  void SetProcessStatus(ProcessStatusList* list);
  /// The user whose processes every refresh asks for.
  void SetUserForRequest(const CATString& user);

  void RefreshButton_Pressed(CATCommand* publisher, CATNotification* notification, CATCommandClientData data);
  /// Close button and window close: the dialog hides and ends itself.
  void ELMProcessStatusDialog_CloseBtnPushed(CATCommand* publisher, CATNotification* notification,
                                             CATCommandClientData data);
  /// Shows the error message of the selected line, kept in the list's hidden column.
  void OnListSelect(CATCommand* publisher, CATNotification* notification, CATCommandClientData data);

private:
  CATDlgMultiList* m_pList = nullptr;
  CATDlgFrame* m_pFrame = nullptr;
  CATDlgPushButton* m_pRefreshButton = nullptr;
  CATDlgPushButton* m_pCloseButton = nullptr;
  CATDlgEditor* m_pErrorMsgEditor = nullptr;
  [[maybe_unused]] CATDialog* m_pParent = nullptr;  // the window the dialog was made for
  CATString m_resourceFile;
  CATUnicodeString m_user;
};
