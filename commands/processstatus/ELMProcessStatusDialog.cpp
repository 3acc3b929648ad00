#include "ELMProcessStatusDialog.h"

#include "ELMCommandKit.h"
#include "ELMGlobal.h"
#include "ELMRequestXml.h"
#include "ELMTrace.h"
#include "HtmlRequest.h"
#include "ProcessStatusEntry.h"
#include "ProcessStatusList.h"

#include "CATDlgEditor.h"
#include "CATDlgFrame.h"
#include "CATDlgMultiList.h"
#include "CATDlgPushButton.h"
#include "CATIDOMElement.h"

namespace {

const ELMCatalog kCatalog{"ProcessStatusCmd", "ELMProcessStatusCmd"};
constexpr int kErrorColumn = 6;
const char* const kColumns[] = {"Activity", "Status", "Description", "Start", "End", "User", "ErrorMsg"};

}  // namespace

ELMProcessStatusDialog::ELMProcessStatusDialog(CATDialog* parent, const CATString& name)
    : CATDlgDialog(parent, name, CATDlgWndNoButton | CATDlgGridLayout), m_pParent(parent) {
  ELM_SCOPE("ELMProcessStatusDialog::ELMProcessStatusDialog");
  m_resourceFile = CATString(ELMGlobal::GetELMModulePrefix()) + CATString("ProcessStatusDialog");
}

ELMProcessStatusDialog::~ELMProcessStatusDialog() { ELM_SCOPE("ELMProcessStatusDialog::~ELMProcessStatusDialog"); }

const char* ELMProcessStatusDialog::GetResourceFilename(int level) {
  ELM_SCOPE("ELMProcessStatusDialog::GetResourceFilename");
  if (level <= 0) return m_resourceFile.CastToCharPtr();
  return CATDlgDialog::GetResourceFilename(level - 1);
}

void ELMProcessStatusDialog::Build() {
  ELM_SCOPE("ELMProcessStatusDialog::Build");

  m_pList = new CATDlgMultiList(this, "MultiList1", 0x80000);
  m_pFrame = new CATDlgFrame(this, "Frame1", CATDlgFraNoFrame | CATDlgFraNoTitle | CATDlgGridLayout);
  m_pFrame->SetGridRowResizable(0);
  m_pFrame->SetGridColumnResizable(0);
  m_pRefreshButton = new CATDlgPushButton(m_pFrame, "RefreshButton", 0);
  m_pCloseButton = new CATDlgPushButton(m_pFrame, "CloseButton", 0);
  m_pErrorMsgEditor = new CATDlgEditor(m_pFrame, "ErrorMsgEditor", 0xC180000);
  SetGridRowResizable(0);
  SetGridColumnResizable(0);

  ApplyStandardTexts("ELMProcessStatusDialog");

  SetDefaultButton(0);
  SetAPPLYSensitivity(CATDlgDisable);
  SetCANCELSensitivity(CATDlgDisable);
  SetCLOSESensitivity(CATDlgDisable);
  SetHELPSensitivity(CATDlgDisable);
  SetOKSensitivity(CATDlgDisable);
  SetPREVIEWSensitivity(CATDlgDisable);

  m_pList->SetGridConstraints(0, 0, 1, 1, CATGRID_4SIDES);
  m_pFrame->SetGridConstraints(1, 0, 1, 1, CATGRID_4SIDES);
  m_pRefreshButton->SetGridConstraints(0, 1, 1, 1, CATGRID_RIGHT | CATGRID_TOP);
  m_pCloseButton->SetGridConstraints(1, 1, 1, 1, CATGRID_RIGHT | CATGRID_BOTTOM);
  m_pErrorMsgEditor->SetGridConstraints(0, 0, 1, 2, CATGRID_4SIDES);
  AddAnalyseNotificationCB(m_pList, m_pList->GetListSelectNotification(),
                           static_cast<CATCommandMethod>(&ELMProcessStatusDialog::OnListSelect), nullptr);
  AddAnalyseNotificationCB(m_pRefreshButton, m_pRefreshButton->GetPushBActivateNotification(),
                           static_cast<CATCommandMethod>(&ELMProcessStatusDialog::RefreshButton_Pressed), nullptr);
  auto close = static_cast<CATCommandMethod>(&ELMProcessStatusDialog::ELMProcessStatusDialog_CloseBtnPushed);
  AddAnalyseNotificationCB(m_pCloseButton, m_pCloseButton->GetPushBActivateNotification(), close, nullptr);
  m_pErrorMsgEditor->SetVisibleTextHeight(2);
  AddAnalyseNotificationCB(this, GetWindCloseNotification(), close, nullptr);
  m_pErrorMsgEditor->SetText(CATUnicodeString());
}

HRESULT ELMProcessStatusDialog::buildProcessStatusList(const ELMRequestXml& response, ProcessStatusList& list) {
  ELM_SCOPE("ELMProcessStatusDialog::buildProcessStatusList");
  CATIDOMNodeList_var nodes;
  HRESULT rc = response.GetNodesForXPath("/*/Response/*/PD", nodes);
  if (FAILED(rc)) return rc;
  // An evaluation without a node list leaves nodes null: no processes.
  const unsigned int count = nodes ? nodes->GetLength() : 0;
  for (unsigned int i = 0; i < count; ++i) {
    CATIDOMNode_var node;
    rc = nodes->Item(i, node);
    if (FAILED(rc) || !node) continue;
    CATIDOMElement_var element(node);
    if (!element) continue;
    CATUnicodeString values[7];
    for (int a = 0; a < 7; ++a) element->GetAttribute(kColumns[a], values[a]);
    list.AppendEntry(new ProcessStatusEntry(values[0], values[1], values[2], values[3], values[4], values[5],
                                            values[6]));
  }
  return rc;
}

void ELMProcessStatusDialog::SetProcessStatus(ProcessStatusList* list) {
  ELM_SCOPE("ELMProcessStatusDialog::SetProcessStatus");
  if (!m_pList || !list) return;
  m_pList->ClearLine();
  m_pList->SetVisibleTextWidth(70);
  CATUnicodeString titles[7];
  for (int c = 0; c < 7; ++c) titles[c] = kColumns[c];
  m_pList->SetColumnTitles(7, titles);
  m_pList->SetColumnVisibility(kErrorColumn, CATDlgHide);
  for (int i = 1; i <= list->GetNumberOfEntries(); ++i) {
    const ProcessStatusEntry* entry = list->GetEntry(i);
    m_pList->SetColumnItem(0, entry->GetActivity(), -1, CATDlgDataModify);
    const int line = m_pList->GetLineCount() - 1;
    m_pList->SetColumnItem(1, entry->GetStatus(), line, CATDlgDataModify);
    m_pList->SetColumnItem(2, entry->GetDescription(), line, CATDlgDataModify);
    m_pList->SetColumnItem(3, entry->GetStart(), line, CATDlgDataModify);
    m_pList->SetColumnItem(4, entry->GetEnd(), line, CATDlgDataModify);
    m_pList->SetColumnItem(5, entry->GetUser(), line, CATDlgDataModify);
    m_pList->SetColumnItem(kErrorColumn, entry->GetErrorMsg(), line, CATDlgDataModify);
  }
}

void ELMProcessStatusDialog::SetUserForRequest(const CATString& user) {
  ELM_SCOPE("ELMProcessStatusDialog::SetUserForRequest");
  m_user = CATUnicodeString(user);
}

void ELMProcessStatusDialog::RefreshButton_Pressed(CATCommand*, CATNotification*, CATCommandClientData) {
  ELM_SCOPE("ELMProcessStatusDialog::RefreshButton_Pressed");
  const CATUnicodeString title = kCatalog.Message("MsgTitle");
  ELMRequestXml request("GetProcessInfoForUser");
  request.AddRequestAttribute("USER", m_user);
  ELMRequestXml response;
  if (FAILED(HtmlRequest::DoRequest(request, response))) {
    ELM_FAIL_POINT();
    CATUnicodeString text = kCatalog.Message("MsgCommunicationFailed");
    ELMShowBox("ELMError", CATDlgNfyError | CATDlgNfyOK, text, title);
    ELM_NOTE(text);
    return;
  }
  if (m_pErrorMsgEditor) m_pErrorMsgEditor->SetText(CATUnicodeString());
  // Errors in the answer are not told here: whatever processes it holds
  // (usually none) replace the lines.
  ProcessStatusList list;
  buildProcessStatusList(response, list);
  SetProcessStatus(&list);
}

void ELMProcessStatusDialog::ELMProcessStatusDialog_CloseBtnPushed(CATCommand*, CATNotification*,
                                                                   CATCommandClientData) {
  ELM_SCOPE("ELMProcessStatusDialog::ELMProcessStatusDialog_CloseBtnPushed");
  SetVisibility(CATDlgHide);
  RequestDelayedDestruction();
}

void ELMProcessStatusDialog::OnListSelect(CATCommand*, CATNotification*, CATCommandClientData) {
  if (!m_pList || !m_pErrorMsgEditor) return;
  if (m_pList->GetSelectCount() == 0) {
    m_pErrorMsgEditor->SetText(CATUnicodeString());
    return;
  }
  int line = -1;
  m_pList->GetSelect(&line, 1);
  CATUnicodeString message;
  m_pList->GetColumnItem(kErrorColumn, message, line);
  m_pErrorMsgEditor->SetText(message);
}
