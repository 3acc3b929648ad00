#include "ELMTransferStructureCmd.h"

#include "ELMCommandKit.h"
#include "ELMRequestXml.h"
#include "ELMSendBookmarkToPDMDialog.h"
#include "ELMSendFolderToPDMDialog.h"
#include "ELMSendToPDMDialog.h"
#include "ELMTrace.h"
#include "ELMUtil.h"
#include "HtmlRequest.h"

#include "CATAdpPLMQueryServices.h"
#include "CATAdpPublicSecurityServices.h"
#include "CATApplicationFrame.h"
#include "CATDlgWindow.h"
#include "CATFrmEditor.h"
#include "CATIAdpPLMIdentificator.h"
#include "CATIDOMElement.h"
#include "CATIDOMNode.h"

namespace {

const ELMCatalog kCatalog{"TransferStructureCmd", "ELMTransferStructureCmd"};
const ELMCatalog kGlobal{"Global", "ELMGlobal"};
constexpr CATDlgStyle kWarningStyle = CATDlgNfyWarning | CATDlgNfyOK;

/// What the database tells of the selected object. The product and folder
/// dialogs send the external name and the major revision, the bookmark
/// dialog the plain name and revision.
struct Identity {
  CATUnicodeString type;
  CATUnicodeString externalName;
  CATUnicodeString majorRevision;
  CATUnicodeString plainName;
  CATUnicodeString plainRevision;
};

/// Reads the identity from the first attribute set of the object's key.
/// Failures are points of the caller's scope; what cannot be read stays empty.
void ReadIdentity(ELMDebug& elmScope, CATIAdpPLMIdentificator* identificator, Identity& identity) {
  CATIAdpPLMUniqueKey* rawKey = nullptr;
  if (FAILED(CATAdpPLMQueryServices::GetUniqueKey(identificator, rawKey, nullptr, nullptr)) || !rawKey) {
    ELM_FAIL_POINT();
    return;
  }
  CATIAdpPLMUniqueKey_var key;
  key.Attach(rawKey);

  // Without the key's information the identity stays empty, and the type
  // tests refuse the object by its empty type name.
  CATAdpQueryResult info;
  if (FAILED(CATAdpPLMQueryServices::MoreInformation(key.get(), info))) return;
  CATAdpAttributeSetIterator sets = info.GetIterator();
  CATIType_var type;
  CATAdpAttributeSet set;
  if (FAILED(sets.NextAttributeSet(type, set)) || !type) return;
  const std::pair<const char*, CATUnicodeString*> reads[] = {
      {"majorrevision", &identity.majorRevision},
      {"PLM_ExternalID", &identity.externalName},
      {"name", &identity.plainName},
      {"revision", &identity.plainRevision},
  };
  for (const auto& [attribute, value] : reads) {
    if (FAILED(set.GetStringAttributeValue(attribute, *value))) {
      ELM_FAIL_POINT();
      *value = CATUnicodeString();
    }
  }
  identity.type = type->Name();
}

/// A switch of the server's settings is on only when its element occurs
/// exactly once and says "true" in its "value".
bool SettingIsOn(const ELMRequestXml& response, const char* xpath) {
  CATIDOMNodeList_var nodes;
  if (FAILED(response.GetNodesForXPath(xpath, nodes)) || !nodes || nodes->GetLength() != 1) return false;
  CATIDOMNode_var node;
  if (FAILED(nodes->Item(0, node)) || !node) return false;
  CATIDOMElement_var element(node);
  if (!element || !element->HasAttribute("value")) return false;
  CATUnicodeString value;
  if (FAILED(element->GetAttribute("value", value))) return false;
  return value.Compare("true") != 0;
}

/// The object is of the base type or of a type derived from it; a type the
/// dictionary does not know is neither.
bool IsOfType(const char* baseType, const CATUnicodeString& type) {
  unsigned char result = 0;
  return SUCCEEDED(ELMUtil::IsSubType(baseType, type, result)) && result;
}

CATUnicodeString Flag(bool on) { return on ? "true" : "false"; }

CATUnicodeString Number(int value) {
  CATUnicodeString s;
  s.BuildFromNum(value, "%d");
  return s;
}

}  // namespace

ELMTransferStructureCmd::ELMTransferStructureCmd()
    : CATCommand("ELMTransferStructureCmd", CATCommandModeExclusive), m_pEditor(CATFrmEditor::GetCurrentEditor()) {
  ELM_SCOPE("ELMTransferStructureCmd::ELMTransferStructureCmd");
}

ELMTransferStructureCmd::~ELMTransferStructureCmd() {
  ELM_SCOPE("ELMTransferStructureCmd::~ELMTransferStructureCmd");
  m_pEditor = nullptr;
}

CATStatusChangeRC ELMTransferStructureCmd::Desactivate(CATCommand* from, CATNotification* notification) {
  ELM_SCOPE("ELMTransferStructureCmd::Desactivate");
  return Activate(from, notification);
}

CATStatusChangeRC ELMTransferStructureCmd::Cancel(CATCommand*, CATNotification*) {
  ELM_SCOPE("ELMTransferStructureCmd::Cancel");
  RequestDelayedDestruction();
  return CATStatusChangeRCCompleted;
}

CATStatusChangeRC ELMTransferStructureCmd::Activate(CATCommand*, CATNotification*) {
  ELM_SCOPE("ELMTransferStructureCmd::Activate");
  const CATUnicodeString title = kCatalog.Message("MsgTitle");
  // Boxes hang under the main application.
  auto warn = [&](const CATUnicodeString& text) { ELMShowBox("ELMWarning", kWarningStyle, text, title); };

  // Every way out ends the command; a dialog opened here lives on by itself.
  [&] {
    CATIPLMComponent_var component;
    CATIPLMComponent_var father;
    CATUnicodeString fatherInstanceId;
    CATListValCATUnicodeString names;
    HRESULT selected = ELMUtil::GetSelectedComponent(component, &father, &fatherInstanceId, 1, &names);
    if (!component) {
      CATUnicodeString text = kCatalog.Message("MsgWarnSelection");
      warn(text);
      ELM_NOTE(text);
      return;
    }

    CATIAdpPLMIdentificator* identificator = nullptr;
    component->GetAdpID(identificator);
    if (!identificator) {
      ELM_FAIL_POINT();
      return;
    }
    bool saved = false;
    if (FAILED(identificator->IsSaved(saved))) saved = false;
    if (FAILED(selected) || !saved) {
      identificator->Release();
      CATUnicodeString text = kCatalog.Message("MsgWarnSelectedNeverSaved");
      warn(text);
      ELM_NOTE(text);
      return;
    }

    Identity identity;
    ReadIdentity(elmScope, identificator, identity);
    identificator->Release();
    if (!identity.type.IsNull()) ELM_NOTE("type    : " + identity.type);
    if (!identity.externalName.IsNull()) ELM_NOTE("name    : " + identity.externalName);
    if (!identity.majorRevision.IsNull()) ELM_NOTE("revision: " + identity.majorRevision);

    const bool explorerActive = ELMUtil::IsExplorerWindowActive() != 0;

    ELMRequestXml request("GetSettingsInfo");
    ELMRequestXml response;
    if (FAILED(HtmlRequest::DoRequest(request, response))) {
      warn(kGlobal.Message("ServerRequestFailed"));
      ELM_FAIL_POINT();
      return;
    }
    bool showSendConfiguration = false;
    bool useBookmark = false;
    {
      unsigned char hasErrors = 0;
      CATRawCollint codes;
      CATListValCATUnicodeString texts;
      if (SUCCEEDED(response.GetErrorsNLS(hasErrors, codes, texts)) && !hasErrors) {
        showSendConfiguration = SettingIsOn(response, "//Show3DXSendConfigurationEnabled");
        useBookmark = SettingIsOn(response, "//UseBookmark");
      }
    }

    CATApplicationFrame* frame = CATApplicationFrame::GetFrame();
    if (!frame) {
      ELM_NOTE("NULL == pAppFrame");
      ELM_FAIL_POINT();
      return;
    }
    CATDlgWindow* document = frame->GetApplicationDocument();
    if (!document) {
      ELM_NOTE("NULL == pMainWindow");
      ELM_FAIL_POINT();
      return;
    }

    // The three tests are independent: each dialog whose condition holds opens.
    const bool isFolder = IsOfType("ENOFLD_FolderRootReference", identity.type);
    const bool isBookmark = IsOfType("Workspace", identity.type);
    if (isFolder && !useBookmark) {
      auto* dialog = new ELMSendFolderToPDMDialog(document, "oak_send_folder_to_pdm_dialog");
      dialog->SetShowSendConfiguration(showSendConfiguration);
      dialog->SetIdentToTransfer(identity.externalName, identity.majorRevision, identity.type, component, names);
      dialog->Build();
      dialog->SetVisibility(CATDlgShow);
    }
    if (isBookmark && useBookmark) {
      auto* dialog = new ELMSendBookmarkToPDMDialog(document, "oak_send_bookmark_to_pdm_dialog");
      dialog->SetShowSendConfiguration(showSendConfiguration);
      dialog->SetIdentToTransfer(identity.plainName, identity.plainRevision, identity.type, component, names);
      dialog->Build();
      dialog->SetVisibility(CATDlgShow);
    }
    const bool isVPMReference = IsOfType("VPMReference", identity.type);
    if (isVPMReference) {
      auto* dialog = new ELMSendToPDMDialog(document, "oak_send_to_pdm_dialog");
      dialog->SetShowSendConfiguration(showSendConfiguration);
      dialog->SetSaveBeforeAllowed(!explorerActive);
      dialog->SetIdentToTransfer(identity.externalName, identity.majorRevision, identity.type, component, names);
      dialog->Build();
      dialog->SetVisibility(CATDlgShow);
    }
    if (!(isBookmark && useBookmark) && !(isFolder && !useBookmark) && !isVPMReference) {
      ELM_NOTE("(!(bIsBookmark && bUseBookmark) && !(bIsFolder && !bUseBookmark) && !bIsVPMReference)");
      CATUnicodeString text = kCatalog.Message("MsgWarnSelectedElementCannotTansfered", &identity.type, 1);
      warn(text);
      ELM_NOTE(text);
      ELM_FAIL_POINT();
    }
  }();

  // Nothing of this object may be touched after this call: without a host
  // dispatch the command is released at once.
  RequestDelayedDestruction();
  return CATStatusChangeRCCompleted;
}

HRESULT ELMTransferStructureCmd::SendELMRequest(const CATUnicodeString& name, const CATUnicodeString& revision,
                                                const CATUnicodeString& type, int expandLevel,
                                                bool transferSubstructuresParallel, bool force, bool removeExisting,
                                                bool sendConfiguration, bool folderOnly,
                                                const CATUnicodeString& transferType, CATUnicodeString& resultText) {
  ELM_SCOPE("ELMTransferStructureCmd::SendELMRequest");
  CATUnicodeString login, role, organization, project;
  if (FAILED(CATAdpPublicSecurityServices::GetSecurityParameters("", login, role, organization, project))) {
    // The server still takes the transfer; it records it without a user.
    ELM_FAIL_POINT();
    login = CATUnicodeString();
  }
  if (type.IsNull() || name.IsNull()) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }

  ELM_NOTE("Starting ELM request...");
  ELMRequestXml request("SendEnoviaObjectToTC");
  const std::pair<const char*, CATUnicodeString> attributes[] = {
      {"3DEXP", "true"},
      {"user", login},
      {"type", type},
      {"name", name},
      {"revision", revision},
      {"transfer_type", transferType},
      {"expand_level", Number(expandLevel)},
      {"force", Flag(force)},
      {"remove_existing", Flag(removeExisting)},
      {"send_configuration", Flag(sendConfiguration)},
      {"folder_only", Flag(folderOnly)},
      {"TRANSFER_SUBSTRUCTURES_PARALLEL", Flag(transferSubstructuresParallel)},
  };
  for (const auto& [attribute, value] : attributes) request.AddRequestAttribute(attribute, value);

  ELMRequestXml response;
  if (FAILED(HtmlRequest::DoRequest(request, response))) {
    resultText = kGlobal.Message("ServerRequestFailed");
    ELM_FAIL_POINT();
    return E_FAIL;
  }

  // Only the flag decides: an answer without "Response" and without errors
  // is an accepted transfer.
  unsigned char hasErrors = 0;
  CATRawCollint codes;
  CATListValCATUnicodeString texts;
  response.GetErrors(hasErrors, &codes, &texts);
  ELM_NOTE(CATUnicodeString("bHasErrors [") + (hasErrors ? "TRUE" : "FALSE") + "]");
  CATListValCATUnicodeString errorTexts;
  for (int i = 1; i <= codes.Size() && i <= texts.Size(); ++i) {
    errorTexts.Append(texts[i]);
    ELM_NOTE("error [" + Number(codes[i]) + "]: " + texts[i]);
  }

  CATRawCollint messageCodes;
  CATListValCATUnicodeString messageTexts;
  response.GetMessages(messageCodes, messageTexts);
  for (int i = 1; i <= messageCodes.Size() && i <= messageTexts.Size(); ++i)
    ELM_NOTE("message [" + Number(messageCodes[i]) + "]: " + messageTexts[i]);

  const CATUnicodeString parameters[3] = {name, revision, type};
  resultText = hasErrors ? kCatalog.Message("MsgSendFailed", parameters, 3)
                         : kCatalog.Message("MsgSendSuccess", parameters, 3);
  resultText += "\n\n";
  for (int i = 1; i <= errorTexts.Size(); ++i) resultText += errorTexts[i] + "\n";
  if (hasErrors) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }
  return S_OK;
}
