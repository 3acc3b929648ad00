#pragma once

#include "CATDlgDialog.h"
#include "CATListValCATUnicodeString.h"
#include "CATString.h"

class CATDlgCombo;
class CATDlgEditor;
class ELMNamedStructureCmd;

/// Offers the structure names the server keeps for the product and hands
/// the chosen one back to the command; closing it by its frame ends the
/// command without a report.
class ELMNamesSelectDialog : public CATDlgDialog {
public:
  ELMNamesSelectDialog(CATDialog* parent, const CATString& name);
  ~ELMNamesSelectDialog() override;

  const char* GetResourceFilename(int level = 0) override;
  void Build();
  /// Appends the names as lines of the drop-down list, in the given order.
  void SetELMNames(const CATListValCATUnicodeString& names);
  void SetCommandData(ELMNamedStructureCmd* command);

  void ELMNamesSelectDialog_OKBtnPushed(CATCommand* publisher, CATNotification* notification,
                                        CATCommandClientData data);
  void ELMNamesSelectDialog_CancelBtnPushed(CATCommand* publisher, CATNotification* notification,
                                            CATCommandClientData data);
  void CloseDialog();

private:
  CATDlgCombo* m_pNameSelector = nullptr;
  ELMNamedStructureCmd* m_pCommand = nullptr;
  CATString m_resourceFile;
};

/// The command's report: a read-only list of lines with a Close button.
class ELMNamedStructureInfoDialog : public CATDlgDialog {
public:
  ELMNamedStructureInfoDialog(CATDialog* parent, const CATString& name);
  ~ELMNamedStructureInfoDialog() override;

  const char* GetResourceFilename(int level = 0) override;
  void Build();
  /// Appends the lines in order.
  void AddMessages(CATListValCATUnicodeString& lines);

  void ELMNamedStructureInfoDialog_CloseBtnPushed(CATCommand* publisher, CATNotification* notification,
                                                  CATCommandClientData data);
  void CloseDialog();

private:
  CATDlgEditor* m_pMessageList = nullptr;
  CATString m_resourceFile;
};
