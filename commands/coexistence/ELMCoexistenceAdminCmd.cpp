#include "ELMCoexistenceAdminCmd.h"

#include "ELMBatchEventWatcher.h"
#include "ELMCommandKit.h"
#include "ELMGlobal.h"

#include "CATApplicationFrame.h"
#include "CATCSO.h"
#include "CATDlgCheckButton.h"
#include "CATDlgCombo.h"
#include "CATDlgFrame.h"
#include "CATDlgLabel.h"
#include "CATDlgRadioButton.h"
#include "CATDlgSeparator.h"
#include "CATDlgWindow.h"
#include "CATFileServices.h"
#include "CATFrmEditor.h"
#include "CATFrmLayout.h"
#include "CATFrmWindow.h"
#include "CATIAdpPLMIdentificator.h"
#include "CATIDOMDocument.h"
#include "CATIPLMComponent.h"
#include "CATIPLMNavOccurrence.h"
#include "CATIPLMNavReference.h"
#include "CATIXMLDOMDocumentBuilder.h"
#include "CATIXMLXPathFactory.h"
#include "CATPLMBatch.h"
#include "CATPLMNavPropertiesAcquisition.h"
#include "CATPathElement.h"
#include "CATSysSettingRepository.h"
#include "WinShell.h"

#include <algorithm>
#include <cstdio>
#include <new>

namespace {

constexpr CATDlgStyle kDialogStyle = 0x40000 | CATDlgWndBtnOK | CATDlgGridLayout;
constexpr CATDlgStyle kFrameStyle = CATDlgFraNoFrame | CATDlgFraNoTitle | CATDlgGridLayout;
constexpr CATDlgJustification kFill = CATGRID_4SIDES;
constexpr CATDlgJustification kLeftTop = CATGRID_LEFT | CATGRID_TOP;
constexpr CATDlgJustification kAcross = CATGRID_LEFT | CATGRID_RIGHT | CATGRID_TOP;
const char* const kBatchName = "CoexistenceAdministration";

CATDlgWindow* MainWindow() {
  CATApplicationFrame* frame = CATApplicationFrame::GetFrame();
  return frame ? frame->GetMainWindow() : nullptr;
}

bool IsChecked(const CATDlgCheckButton* button) { return button && button->GetState() == CATDlgCheck; }
bool IsChecked(const CATDlgRadioButton* button) { return button && button->GetState() == CATDlgCheck; }

/// Appends the identificator of component to objects, holding it.
void AppendIdentificator(const CATIPLMComponent_var& component, CATListPtrCATIAdpPLMIdentificator& objects) {
  if (!component) return;
  CATIAdpPLMIdentificator* identificator = nullptr;
  if (SUCCEEDED(component->GetAdpID(identificator)) && identificator) objects.Append(identificator);
}

/// The list of one text.
CATListValCATUnicodeString Values(std::initializer_list<const char*> texts) {
  CATListValCATUnicodeString values;
  for (const char* t : texts) values.Append(t);
  return values;
}

}  // namespace

ELMCoexistenceAdminCmd::ELMCoexistenceAdminCmd()
    : CATDlgDialog(MainWindow(), "ELMCoexistenceAdminCmd", kDialogStyle) {
  RequestStatusChange(CATCommandMsgRequestExclusiveMode, this);
  m_firstActivation = true;
  m_resourceFile = CATString(ELMGlobal::GetELMModulePrefix()) + CATString("CoexistenceAdminCmd");
}

ELMCoexistenceAdminCmd::~ELMCoexistenceAdminCmd() {
  m_resourceFile = CATString();
  // The widgets belong to the dialog, which releases them.
  m_pContextFrame = nullptr;
  m_pContextCombo = nullptr;
  m_pContextLabel = nullptr;
  m_pShowResultCB = nullptr;
  m_pPreviewCB = nullptr;
  m_pMappingFrame = nullptr;
  m_pDeleteMappingRB = nullptr;
  m_pTransferMasterRB = nullptr;
  m_pDeleteAllCB = nullptr;
  m_pDirectionFrame = nullptr;
  m_pV5V6MasterRB = nullptr;
  m_pV6V5MasterRB = nullptr;
  m_pSeparator1 = nullptr;
  m_pSeparator3 = nullptr;
  m_pSeparator2 = nullptr;
  m_pSeparator4 = nullptr;
  ReleaseSelectedObjects();
}

const char* ELMCoexistenceAdminCmd::GetResourceFilename(int level) {
  if (level <= 0) return m_resourceFile.CastToCharPtr();
  return CATDlgDialog::GetResourceFilename(level - 1);
}

CATStatusChangeRC ELMCoexistenceAdminCmd::Activate(CATCommand*, CATNotification*) {
  if (m_firstActivation) {
    Build();
    m_firstActivation = false;
  }
  CollectSelectedObjects();
  if (m_selectedObjects.Size() == 0) {
    // Without objects only deleting every mapping of the context makes sense.
    m_pDeleteMappingRB->SetState(CATDlgCheck, 1);
    m_pTransferMasterRB->SetSensitivity(CATDlgDisable);
  } else {
    m_pTransferMasterRB->SetSensitivity(CATDlgEnable);
  }
  SetVisibility(CATDlgShow);
  return CATStatusChangeRCCompleted;
}

CATStatusChangeRC ELMCoexistenceAdminCmd::Desactivate(CATCommand*, CATNotification*) {
  SetVisibility(CATDlgHide);
  return CATStatusChangeRCCompleted;
}

CATStatusChangeRC ELMCoexistenceAdminCmd::Cancel(CATCommand*, CATNotification*) {
  SetVisibility(CATDlgHide);
  RequestDelayedDestruction();
  return CATStatusChangeRCCompleted;
}

void ELMCoexistenceAdminCmd::Build() {
  m_pContextFrame = new CATDlgFrame(this, "ContextFrame", kFrameStyle);
  m_pContextCombo = new CATDlgCombo(m_pContextFrame, "ContextCombo", 0x40000);
  m_pContextLabel = new CATDlgLabel(m_pContextFrame, "ContextLabel", 0x40000);
  m_pShowResultCB = new CATDlgCheckButton(this, "ShowResultCB", 0);
  m_pPreviewCB = new CATDlgCheckButton(this, "PreviewCB", 0);
  m_pMappingFrame = new CATDlgFrame(this, "MappingFrame", kFrameStyle);
  m_pDeleteMappingRB = new CATDlgRadioButton(m_pMappingFrame, "DeleteMappingRB", 0);
  m_pTransferMasterRB = new CATDlgRadioButton(m_pMappingFrame, "TransferMasterRB", 0);
  m_pDeleteAllCB = new CATDlgCheckButton(m_pMappingFrame, "DeleteAllCB", 0);
  m_pDirectionFrame = new CATDlgFrame(m_pMappingFrame, "DirectionFrame", kFrameStyle);
  m_pV5V6MasterRB = new CATDlgRadioButton(m_pDirectionFrame, "V5V6MasterRB", 0);
  m_pV6V5MasterRB = new CATDlgRadioButton(m_pDirectionFrame, "V6V5MasterRB", 0);
  m_pSeparator1 = new CATDlgSeparator(m_pMappingFrame, "Separator1", 0);
  m_pSeparator3 = new CATDlgSeparator(m_pMappingFrame, "Separator3", CATDlgSepVertical);
  m_pSeparator2 = new CATDlgSeparator(this, "Separator2", 0);
  m_pSeparator4 = new CATDlgSeparator(this, "Separator4", 0);

  auto close = static_cast<CATCommandMethod>(&ELMCoexistenceAdminCmd::ELMCoexistenceAdminCmd_CloseBtnPushed);
  AddAnalyseNotificationCB(this, GetDiaCANCELNotification(), close, nullptr);
  AddAnalyseNotificationCB(this, GetDiaCLOSENotification(), close, nullptr);
  AddAnalyseNotificationCB(this, GetMDICloseNotification(), close, nullptr);
  AddAnalyseNotificationCB(this, GetDiaOKNotification(),
                           static_cast<CATCommandMethod>(&ELMCoexistenceAdminCmd::ELMCoexistenceAdminCmd_OKBtnPushed),
                           nullptr);

  ApplyStandardTexts("ELMCoexistenceAdminCmd");

  m_pContextFrame->SetGridConstraints(0, 0, 1, 1, kFill);
  m_pContextCombo->SetGridConstraints(0, 3, 1, 1, kFill);
  m_pContextLabel->SetGridConstraints(0, 0, 3, 1, kFill);
  m_pShowResultCB->SetGridConstraints(6, 0, 1, 1, kFill);
  m_pPreviewCB->SetGridConstraints(5, 0, 1, 1, kFill);
  m_pMappingFrame->SetGridConstraints(2, 0, 1, 1, kFill);
  m_pDeleteMappingRB->SetGridConstraints(1, 0, 1, 1, kLeftTop);
  m_pTransferMasterRB->SetGridConstraints(1, 2, 1, 1, kLeftTop);
  m_pDeleteAllCB->SetGridConstraints(3, 0, 1, 1, kLeftTop);
  m_pDirectionFrame->SetGridConstraints(3, 2, 1, 1, kFill);
  m_pV5V6MasterRB->SetGridConstraints(0, 0, 1, 1, kLeftTop);
  m_pV6V5MasterRB->SetGridConstraints(1, 0, 1, 1, kLeftTop);
  m_pSeparator1->SetGridConstraints(2, 0, 3, 1, kAcross);
  m_pSeparator3->SetGridConstraints(3, 1, 1, 1, CATGRID_LEFT | CATGRID_TOP | CATGRID_BOTTOM);
  m_pSeparator2->SetGridConstraints(1, 0, 1, 1, kAcross);
  m_pSeparator4->SetGridConstraints(3, 0, 1, 1, kAcross);
  m_pShowResultCB->SetState(CATDlgCheck, 0);
  AddAnalyseNotificationCB(m_pDeleteMappingRB, m_pDeleteMappingRB->GetRadBModifyNotification(),
                           static_cast<CATCommandMethod>(&ELMCoexistenceAdminCmd::DeleteMappingRB_Modified), nullptr);
  AddAnalyseNotificationCB(m_pTransferMasterRB, m_pTransferMasterRB->GetRadBModifyNotification(),
                           static_cast<CATCommandMethod>(&ELMCoexistenceAdminCmd::TransferMasterRB_Modified),
                           nullptr);
  m_pTransferMasterRB->SetState(CATDlgCheck, 1);
  m_pDeleteAllCB->SetSensitivity(CATDlgDisable);
  m_pV5V6MasterRB->SetState(CATDlgCheck, 1);

  ELMGlobal::SetDialogStandardMessages(this, "CoexistenceAdminCmd");

  AddAnalyseNotificationCB(this, GetWindCloseNotification(), close, nullptr);

  FillContexts();
}

void ELMCoexistenceAdminCmd::FillContexts() {
  CATSettingRepository* repository = CATSettingRepository::GetRepository("CoexSettingsRep");
  if (!repository) return;
  CATUnicodeString file;
  if (FAILED(repository->ReadSetting("COEX_Ctx_XmlFile", file))) file = CATUnicodeString();
  repository->Release();

  if (!file.IsNull() && CATFileAccess(file.ConvertToChar(), 4) == 0) {
    CATIXMLDOMDocumentBuilder_var builder;
    CATIDOMDocument_var document;
    CATListValCATUnicodeString names, values;
    names.Append("CATDoValidation");
    values.Append("false");
    if (SUCCEEDED(CreateCATIXMLDOMDocumentBuilder(builder)) &&
        SUCCEEDED(builder->Parse(file, document, names, values, nullptr, nullptr)) && document) {
      CATIXMLXPathFactory_var xpath(document);
      CATIXMLXPathResult_var result;
      CATIDOMNodeList_var contexts;
      if (xpath && SUCCEEDED(xpath->Evaluate("//Context", nullptr, result)) &&
          SUCCEEDED(result->GetNodeList(contexts))) {
        const unsigned int count = contexts ? contexts->GetLength() : 0;
        for (unsigned int i = 0; i < count; ++i) {
          CATIDOMNode_var node;
          contexts->Item(i, node);
          CATIDOMElement_var context(node);
          if (!context) continue;
          CATUnicodeString name;
          context->GetAttribute("Name", name);
          m_pContextCombo->SetLine(name);
        }
      }
    }
  }
  if (m_pContextCombo->GetLineCount() == 0) m_pContextCombo->SetLine("COEXISTENCE");
  m_pContextCombo->SetSelect(0, 0);
  m_pContextCombo->SetVisibleTextHeight(std::min(m_pContextCombo->GetLineCount() + 2, 7));
}

void ELMCoexistenceAdminCmd::ReleaseSelectedObjects() {
  for (CATIAdpPLMIdentificator* identificator : m_selectedObjects)
    if (identificator) identificator->Release();
  m_selectedObjects.RemoveAll();
}

HRESULT ELMCoexistenceAdminCmd::CollectSelectedObjects() {
  ReleaseSelectedObjects();
  CATApplicationFrame* frame = CATApplicationFrame::GetFrame();
  const CATString workbench = frame ? frame->GetCurrentWorkbench() : CATString();

  if (workbench == "CATImmSearch" || workbench == "3DEXPERIENCEPlatform") {
    CATFrmEditor* editor = nullptr;
    {
      CATVar<CATPLMNavPropertiesAcquisition> agent;
      agent.Attach(new (std::nothrow) CATPLMNavPropertiesAcquisition("NavPropertiesAcquisition"));
      editor = agent ? agent->GetEditor() : nullptr;
    }
    CATCSO* cso = editor ? editor->GetCSO() : nullptr;
    if (!cso) return S_OK;
    cso->InitElementList();
    while (CATPathElement* path = cso->NextElement()) {
      CATIPLMComponent_var component(path->FindLastElement());
      AppendIdentificator(component, m_selectedObjects);
    }
    return S_OK;
  }

  CATFrmLayout* layout = CATFrmLayout::GetCurrentLayout();
  CATFrmWindow* window = layout ? layout->GetCurrentWindow() : nullptr;
  CATFrmEditor* editor = window ? window->GetEditor() : nullptr;
  CATCSO* cso = editor ? editor->GetCSO() : nullptr;
  if (!cso) return S_OK;
  cso->InitElementList();
  // The batch works on what the selected nodes show: their references.
  while (CATPathElement* path = cso->NextElement()) {
    CATIPLMNavOccurrence_var occurrence(path->FindLastElement());
    if (!occurrence) continue;
    CATIPLMNavReference* rawReference = nullptr;
    if (FAILED(occurrence->GetRelatedReference(rawReference)) || !rawReference) continue;
    CATIPLMNavReference_var reference;
    reference.Attach(rawReference);
    AppendIdentificator(CATIPLMComponent_var(reference), m_selectedObjects);
  }
  return S_OK;
}

void ELMCoexistenceAdminCmd::DeleteMappingRB_Modified(CATCommand*, CATNotification*, CATCommandClientData) {
  if (m_selectedObjects.Size() == 0) {
    m_pDeleteAllCB->SetState(CATDlgCheck, 1);
    m_pDeleteAllCB->SetSensitivity(CATDlgDisable);
  } else {
    m_pDeleteAllCB->SetSensitivity(CATDlgEnable);
  }
  m_pDirectionFrame->SetSensitivity(CATDlgDisable);
}

void ELMCoexistenceAdminCmd::TransferMasterRB_Modified(CATCommand*, CATNotification*, CATCommandClientData) {
  m_pDeleteAllCB->SetSensitivity(CATDlgDisable);
  m_pDirectionFrame->SetSensitivity(CATDlgEnable);
}

void ELMCoexistenceAdminCmd::ELMCoexistenceAdminCmd_CloseBtnPushed(CATCommand*, CATNotification*,
                                                                   CATCommandClientData) {
  SetVisibility(CATDlgHide);
  RequestDelayedDestruction();
}

void ELMCoexistenceAdminCmd::ELMCoexistenceAdminCmd_OKBtnPushed(CATCommand*, CATNotification*,
                                                                CATCommandClientData) {
  CATUnicodeString context;
  m_pContextCombo->GetLine(context, m_pContextCombo->GetSelect());
  const bool deleteMapping = IsChecked(m_pDeleteMappingRB);
  const bool deleteAll = deleteMapping && IsChecked(m_pDeleteAllCB);
  const char* direction = IsChecked(m_pV6V5MasterRB) ? "V6V5Master" : "V5V6Master";
  const char* mode = IsChecked(m_pPreviewCB) ? "Preview" : "Run";

  if (!deleteAll && m_selectedObjects.Size() == 0) {
    SetVisibility(CATDlgHide);
    ELMShowBox("MsgBox", 0, "No selection", kBatchName, this);
    RequestDelayedDestruction();
    return;
  }

  CATPLMBatch batch(kBatchName);
  CATListValCATUnicodeString contextValue;
  contextValue.Append(context);
  const std::pair<const char*, CATListValCATUnicodeString> parameters[] = {
      {"CoexAdmin_Context", contextValue},
      {"CoexAdmin_Mapping", deleteMapping ? Values({"Delete"}) : Values({"Ownership", direction, "AllowRep"})},
      {"CoexAdmin_Propagate", Values({"All"})},
      {"CoexAdmin_ApplyTo", Values({deleteAll ? "All" : "Selection"})},
      {"CoexAdmin_Mode", Values({mode})},
      {"CoexAdmin_Workspace", Values({})},
  };
  for (const auto& [name, values] : parameters) {
    if (batch.SetApplicativeParameters(name, values) == E_FAIL) {
      std::printf("Failed while setting applicative parameter %s\n", name);
      std::fflush(stdout);
      RequestDelayedDestruction();
      return;
    }
  }
  if (FAILED(batch.SetSelectedObjects(m_selectedObjects))) {
    RequestDelayedDestruction();
    return;
  }

  const char* temporary = CATGetTempDirectory();
  char longTemporary[1024] = {};
  const DWORD length = GetLongPathNameA(temporary, longTemporary, sizeof longTemporary);
  // The long form when there is one that fits; the directory as given otherwise.
  const char* directory = length > 0 && length < sizeof longTemporary ? longTemporary : temporary;
  batch.SetReportParameters("PLMBATCH_Report_Directory", directory);

  char inputFile[1024] = {};
  CATMakePath(directory, "BIRCoexAdmin.xml", inputFile, sizeof inputFile);
  const CATUnicodeString report = batch.GetReportName() + ".htm";

  if (FAILED(batch.FillXmlFile(CATUnicodeString(), inputFile))) {
    std::printf("Cannot create batch input Xml File %s\n", inputFile);
    std::fflush(stdout);
    RequestDelayedDestruction();
    return;
  }

  if (FAILED(ELMSubmitBatchAndWait(inputFile))) {
    RequestDelayedDestruction();
    return;
  }
  ReleaseSelectedObjects();
  if (IsChecked(m_pShowResultCB)) ShellExecuteA(nullptr, "open", report.ConvertToChar(), nullptr, nullptr, SW_SHOWNORMAL);
  RequestDelayedDestruction();
}
