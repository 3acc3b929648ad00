#include "SetPartNumberFromExtPdmCmd.h"

#include "ELMCommandKit.h"
#include "ELMRequestXml.h"
#include "ELMTrace.h"
#include "HtmlRequest.h"

#include "CATAdpMaturityServices.h"
#include "CATAdpOpener.h"
#include "CATAdpSaver.h"
#include "CATAdpVersioningServices.h"
#include "CATApplication.h"
#include "CATApplicationFrame.h"
#include "CATCSO.h"
#include "CATCkeObjectAttrReadServices.h"
#include "CATCkeObjectAttrWriteServices.h"
#include "CATDlgNotify.h"
#include "CATError.h"
#include "CATFrmEditor.h"
#include "CATFrmLayout.h"
#include "CATFrmWindow.h"
#include "CATGetEnv.h"
#include "CATIAdpPLMIdentificator.h"
#include "CATICkeObject.h"
#include "CATIPLMNavOccurrence.h"
#include "CATIPLMNavReference.h"
#include "CATListValCATBaseUnknown_var.h"
#include "CATOmbLifeCycleRootsBag.h"
#include "CATPLMNavPropertiesAcquisition.h"
#include "CATPathElement.h"

#include <new>

namespace {

const ELMCatalog kCatalog{"SetPartNumberFromExtPdmCmd", "ELMSetPartNumberFromExtPdmCmd"};
const char* const kExternalId = "PLM_ExternalID";
const char* const kBoxWarning = "ELMWarning";
const char* const kBoxSuccess = "ELMSuccess";
constexpr CATDlgStyle kWarningStyle = CATDlgNfyWarning | CATDlgNfyOK;
constexpr CATDlgStyle kErrorStyle = CATDlgNfyError | CATDlgNfyOK;
constexpr CATDlgStyle kPlainStyle = CATDlgNfyOK;

/// Every box of the command carries the command's title, read after its text.
void ShowBox(const char* name, CATDlgStyle style, const CATUnicodeString& text) {
  ELMShowBox(name, style, text, kCatalog.Message("MsgTitle"));
}

CATUnicodeString Number(int value) {
  CATUnicodeString s;
  s.BuildFromNum(value);
  return s;
}

}  // namespace

SetPartNumberFromExtPdmCmd::SetPartNumberFromExtPdmCmd()
    : CATCommand("SetPartNumberFromExtPdmCmd", CATCommandModeExclusive) {
  ELM_SCOPE("SetPartNumberFromExtPdmCmd::SetPartNumberFromExtPdmCmd");
}

SetPartNumberFromExtPdmCmd::~SetPartNumberFromExtPdmCmd() {
  ELM_SCOPE("SetPartNumberFromExtPdmCmd::~SetPartNumberFromExtPdmCmd");
}

CATStatusChangeRC SetPartNumberFromExtPdmCmd::Desactivate(CATCommand* from, CATNotification* notification) {
  return Activate(from, notification);
}

CATStatusChangeRC SetPartNumberFromExtPdmCmd::Cancel(CATCommand*, CATNotification*) {
  RequestDelayedDestruction();
  return CATStatusChangeRCCompleted;
}

CATStatusChangeRC SetPartNumberFromExtPdmCmd::Activate(CATCommand*, CATNotification*) {
  ELM_SCOPE("SetPartNumberFromExtPdmCmd::Activate");

  CATString workbench;
  if (CATApplicationFrame* frame = CATApplicationFrame::GetFrame()) workbench = frame->GetCurrentWorkbench();

  CATOmbLifeCycleRootsBag bag;
  CATAdpOpener opener(bag);

  // The work proper; false sends the user the failure report. Checks that
  // refuse the object, and answers without a number, end quietly with true.
  auto work = [&]() -> bool {
    CATIPLMComponent_var selected;
    HRESULT rc = (workbench == "CATImmNav" || workbench == "LifeCycleWorkbench") ? GetSelection(selected)
                                                                                : GetSelectionFromSearch(selected);
    if (FAILED(rc) || !selected) {
      ELM_FAIL_POINT();
      return false;
    }

    CATIAdpPLMIdentificator* identificator = nullptr;
    rc = selected->GetAdpID(identificator);
    if (SUCCEEDED(rc) && !identificator) return true;
    if (FAILED(rc)) {
      ELM_FAIL_POINT();
      if (identificator) identificator->Release();
      return false;
    }
    CATIPLMComponent* opened = nullptr;
    rc = opener.CompleteAndOpen(identificator, CATIPLMComponent::ClassId(), reinterpret_cast<void**>(&opened));
    identificator->Release();
    CATIPLMComponent_var object;
    object.Attach(opened);
    if (FAILED(rc) || !object) {
      ELM_FAIL_POINT();
      return false;
    }

    CATUnicodeString currentId;
    rc = CATCkeObjectAttrReadServices::ShowAttributeValue(CATICkeObject_var(object), kExternalId, currentId);
    if (FAILED(rc)) {
      ELM_FAIL_POINT();
      return false;
    }

    bool ok = false;
    rc = Validate(object, currentId, ok);
    if (FAILED(rc)) {
      ELM_FAIL_POINT();
      return false;
    }
    if (!ok) return true;

    CATUnicodeString newPartNumber;
    rc = GetNewPartnumber(currentId, newPartNumber);
    if (FAILED(rc)) {
      ELM_FAIL_POINT();
      return false;
    }
    if (newPartNumber.IsNull()) return true;

    rc = SetPartNumber(object, newPartNumber);
    if (FAILED(rc)) {
      ELM_FAIL_POINT();
      return false;
    }

    CATUnicodeString parameters[2] = {currentId, newPartNumber};
    ShowBox(kBoxSuccess, kPlainStyle, kCatalog.Message("MsgFinishedOK", parameters, 2));
    return true;
  };

  if (!work())
    ShowBox(kBoxWarning, kErrorStyle,
            ELMFailureReport(m_lErrorCodes, m_lErrorTexts, m_lMessageCodes, m_lMessageTexts,
                             kCatalog.Message("MsgFailed")));

  bag.RemoveAll();
  // Nothing of this object may be touched after this call: without a host
  // dispatch the command is released at once.
  RequestDelayedDestruction();
  return CATStatusChangeRCCompleted;
}

HRESULT SetPartNumberFromExtPdmCmd::GetSelection(CATIPLMComponent_var& component) {
  ELM_SCOPE("SetPartNumberFromExtPdmCmd::GetSelection");

  CATFrmLayout* layout = CATFrmLayout::GetCurrentLayout();
  CATFrmWindow* window = layout ? layout->GetCurrentWindow() : nullptr;
  CATFrmEditor* editor = window ? window->GetEditor() : nullptr;
  CATCSO* cso = editor ? editor->GetCSO() : nullptr;
  if (!cso) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }

  cso->InitElementList();
  if (cso->GetSize() != 1) {
    CATUnicodeString text = kCatalog.Message("MsgWarnSelection");
    ShowBox(kBoxWarning, kWarningStyle, text);
    ELM_NOTE(text);
    ELM_FAIL_POINT();
    return E_FAIL;
  }

  CATPathElement* path = cso->NextElement();
  CATBaseUnknown* picked = path ? path->FindLastElement() : nullptr;
  if (!picked) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }

  CATIPLMNavOccurrence* occurrence = nullptr;
  if (FAILED(picked->QueryInterface(CATIPLMNavOccurrence::ClassId(), reinterpret_cast<void**>(&occurrence))) ||
      !occurrence) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }
  CATIPLMNavReference* reference = nullptr;
  HRESULT rc = occurrence->GetRelatedReference(reference);
  occurrence->Release();
  if (FAILED(rc) || !reference) {
    ELM_FAIL_POINT();
    if (reference) reference->Release();
    return E_FAIL;
  }
  CATIPLMComponent* found = nullptr;
  rc = reference->QueryInterface(CATIPLMComponent::ClassId(), reinterpret_cast<void**>(&found));
  reference->Release();
  if (FAILED(rc) || !found) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }
  component.Attach(found);
  return S_OK;
}

HRESULT SetPartNumberFromExtPdmCmd::GetSelectionFromSearch(CATIPLMComponent_var& component) {
  ELM_SCOPE("SetPartNumberFromExtPdmCmd::GetSelectionFromSearch");

  CATVar<CATPLMNavPropertiesAcquisition> agent;
  agent.Attach(new (std::nothrow) CATPLMNavPropertiesAcquisition("NavPropertiesAcquisition"));
  CATFrmEditor* editor = agent ? agent->GetEditor() : nullptr;
  CATCSO* cso = editor ? editor->GetCSO() : nullptr;
  if (!cso) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }

  cso->InitElementList();
  if (cso->GetSize() != 1) {
    agent = nullptr;
    CATUnicodeString text = kCatalog.Message("MsgWarnSelection");
    ShowBox(kBoxWarning, kWarningStyle, text);
    ELM_NOTE("Qurey Result: " + text);
    ELM_FAIL_POINT();
    return E_FAIL;
  }

  CATPathElement* path = cso->NextElement();
  CATBaseUnknown* picked = path ? path->FindLastElement() : nullptr;
  CATIPLMComponent_var found(picked);
  if (!found) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }
  component = found;
  return S_OK;
}

HRESULT SetPartNumberFromExtPdmCmd::Validate(const CATIPLMComponent_var& component, const CATUnicodeString& currentId,
                                             bool& ok) {
  ELM_SCOPE("SetPartNumberFromExtPdmCmd::Validate");
  ok = false;
  if (!component || currentId.IsNull()) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }

  CATUnicodeString prefix(CATGetEnv("ELM_SETPN_PNPREFIX"));
  if (!prefix.IsNull() && currentId.SearchSubString(prefix) != 0) {
    ELM_NOTE(currentId + " does not begin with configured prefix: " + prefix);
    CATUnicodeString parameters[2] = {currentId, prefix};
    ShowBox(kBoxWarning, kWarningStyle,
            kCatalog.Message("MsgWronPNPrefix", parameters, 2, "ELMSetPartNumberFromExtPdmCmd MsgWronPNPrefix 2 params"));
    return S_OK;
  }

  CATIAdpPLMIdentificator* rawId = nullptr;
  component->GetAdpID(rawId);
  CATIAdpPLMIdentificator_var identificator;
  identificator.Attach(rawId);
  if (!identificator) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }
  bool saved = false;
  if (FAILED(identificator->IsSaved(saved))) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }
  if (!saved) {
    ELM_NOTE("The selected Object is not yet saved in 3DEXPERIENCE.");
    ShowBox(kBoxWarning, kWarningStyle, kCatalog.Message("MsgSelectedUnsaved"));
    return S_OK;
  }

  int versionCount = 0;
  {
    CATListValCATBaseUnknown_var versions;
    if (FAILED(CATAdpVersioningServices::GetAllVersions(identificator.get(), versions))) {
      ELM_FAIL_POINT();
      return E_FAIL;
    }
    versionCount = versions.Size();
  }
  if (versionCount >= 2) {
    ELM_NOTE("Detected " + Number(versionCount) + " Versions of " + currentId + " detected");
    ShowBox(kBoxWarning, kWarningStyle, kCatalog.Message("MsgMultipleVersions"));
    return S_OK;
  }

  CATUnicodeString maturity(CATGetEnv("ELM_SETPN_MATURITY"));
  if (maturity.IsNull()) {
    ok = true;
    return S_OK;
  }
  CATUnicodeString state;
  CATListValCATUnicodeString transitions;
  if (FAILED(CATAdpMaturityServices::GetStateAndPossibleTransitions(identificator.get(), state, transitions))) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }
  if (state == maturity) {
    ok = true;
    return S_OK;
  }
  ELM_NOTE("Maturity of " + currentId + ": " + state);
  CATUnicodeString parameters[2] = {state, maturity};
  ShowBox(kBoxWarning, kWarningStyle,
          kCatalog.Message("MsgWrongMaturity", parameters, 2, "ELMSetPartNumberFromExtPdmCmd MsgWrongMaturity 2 params"));
  // A refusal, yet not an error of the command: a success code that is not S_OK.
  return S_FALSE;
}

HRESULT SetPartNumberFromExtPdmCmd::GetNewPartnumber(const CATUnicodeString& currentId,
                                                     CATUnicodeString& newPartNumber) {
  ELM_SCOPE("SetPartNumberFromExtPdmCmd::GetNewPartnumber");

  ELMRequestXml request("GetPartnumber");
  if (FAILED(request.AddRequestAttribute("PartNumber", currentId))) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }

  ELMRequestXml response;
  HRESULT rc = HtmlRequest::DoRequest(request, response);
  if (SUCCEEDED(rc)) {
    unsigned char hasErrors = 0;
    response.GetErrorsNLS(hasErrors, m_lErrorCodes, m_lErrorTexts);
    if (hasErrors) {
      // The failure report of Activate lists the server's errors.
      ELM_FAIL_POINT();
      return E_FAIL;
    }
    response.GetMessagesNLS(m_lMessageCodes, m_lMessageTexts);
    rc = response.GetResponseAttribute("PartNumber", newPartNumber);
    if (SUCCEEDED(rc)) return rc;
  }

  ELM_FAIL_POINT();
  ELM_NOTE("Cannot get Partnumber from Teamcenter");
  ShowBox(kBoxWarning, kWarningStyle, kCatalog.Message("MsgConnectFailed"));
  return rc;
}

HRESULT SetPartNumberFromExtPdmCmd::SetPartNumber(const CATIPLMComponent_var& component,
                                                  const CATUnicodeString& newPartNumber) {
  ELM_SCOPE("SetPartNumberFromExtPdmCmd::SetPartNumber");
  if (!component || newPartNumber.IsNull()) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }

  HRESULT rc = CATCkeObjectAttrWriteServices::SetValueWithString(CATICkeObject_var(component), kExternalId,
                                                                  newPartNumber);
  if (FAILED(rc)) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }

  CATListValCATBaseUnknown_var toSave;
  toSave.Append(CATBaseUnknown_var(component));
  CATAdpSaver saver;
  rc = saver.Save(toSave);
  if (FAILED(rc)) {
    ELM_FAIL_POINT();
    CATUnicodeString text;
    if (CATError* error = CATError::CATGetLastError(rc)) {
      text = error->GetNLSMessage();
      error->Release();
    }
    ELM_NOTE("Failed to save: " + text);
    if (!text.IsNull()) ShowBox(kBoxWarning, kWarningStyle, text);
    CATError::CATCleanLastError();
  }
  return rc;
}
