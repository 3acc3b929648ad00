#include "ELMProcessStatusCmd.h"

#include "ELMCommandKit.h"
#include "ELMProcessStatusDialog.h"
#include "ELMRequestXml.h"
#include "ELMTrace.h"
#include "HtmlRequest.h"
#include "ProcessStatusList.h"

#include "CATAdpPublicSecurityServices.h"
#include "CATApplicationFrame.h"
#include "CATDlgWindow.h"

namespace {

const ELMCatalog kCatalog{"ProcessStatusCmd", "ELMProcessStatusCmd"};
constexpr CATDlgStyle kErrorStyle = CATDlgNfyError | CATDlgNfyOK;
constexpr CATDlgStyle kWarningStyle = CATDlgNfyWarning | CATDlgNfyOK;

}  // namespace

ELMProcessStatusCmd::ELMProcessStatusCmd() : CATCommand("ELMProcessStatusCmd", CATCommandModeExclusive) {
  ELM_SCOPE("ELMProcessStatusCmd::ELMProcessStatusCmd");
}

ELMProcessStatusCmd::~ELMProcessStatusCmd() { ELM_SCOPE("ELMProcessStatusCmd::~ELMProcessStatusCmd"); }

CATStatusChangeRC ELMProcessStatusCmd::Activate(CATCommand*, CATNotification*) {
  ELM_SCOPE("ELMProcessStatusCmd::Activate");
  const CATUnicodeString title = kCatalog.Message("MsgTitle");
  CATUnicodeString text;
  const char* box = nullptr;
  CATDlgStyle style = 0;

  CATApplicationFrame* frame = CATApplicationFrame::GetFrame();
  CATDlgWindow* document = frame ? frame->GetApplicationDocument() : nullptr;
  if (document) {
    CATUnicodeString login, role, organization, project;
    if (FAILED(CATAdpPublicSecurityServices::GetSecurityParameters("", login, role, organization, project))) {
      ELM_FAIL_POINT();
      login = CATUnicodeString();
    }

    ELMRequestXml request("GetProcessInfoForUser");
    request.AddRequestAttribute("USER", login);
    ELMRequestXml response;
    unsigned char hasErrors = 0;
    CATRawCollint codes;
    CATListValCATUnicodeString texts;
    if (FAILED(HtmlRequest::DoRequest(request, response))) {
      ELM_FAIL_POINT();
      text = kCatalog.Message("MsgCommunicationFailed");
      box = "ELMError";
      style = kErrorStyle;
    } else if (FAILED(response.GetErrorsNLS(hasErrors, codes, texts))) {
      ELM_FAIL_POINT();
      text = kCatalog.Message("MsgFailed");
      box = "ELMError";
      style = kErrorStyle;
    } else if (hasErrors) {
      CATListValCATUnicodeString lines = ELMErrorLines(codes, texts);
      for (int i = 1; i <= lines.Size(); ++i) {
        if (i > 1) text += "\n";
        text += lines[i];
      }
      box = "ELMWarning";
      style = kWarningStyle;
    } else {
      ProcessStatusList list;
      // The document window owns the dialog from here; the dialog ends itself when closed.
      auto* dialog = new ELMProcessStatusDialog(document, "process_status");
      if (SUCCEEDED(dialog->buildProcessStatusList(response, list))) {
        dialog->Build();
        dialog->SetUserForRequest(CATString(login.ConvertToChar()));
        dialog->SetProcessStatus(&list);
        dialog->SetVisibility(CATDlgShow);
      } else {
        ELM_FAIL_POINT();
        text = kCatalog.Message("MsgFailed");
        box = "ELMError";
        style = kErrorStyle;
        // Never shown, so nobody could close it: it goes at once.
        dialog->RequestDelayedDestruction();
      }
    }
    if (box) {
      ELMShowBox(box, style, text, title);
      ELM_NOTE(text);
    }
  }
  RequestDelayedDestruction();
  return CATStatusChangeRCCompleted;
}

CATStatusChangeRC ELMProcessStatusCmd::Desactivate(CATCommand* from, CATNotification* notification) {
  ELM_SCOPE("ELMProcessStatusCmd::Desactivate");
  return Activate(from, notification);
}

CATStatusChangeRC ELMProcessStatusCmd::Cancel(CATCommand*, CATNotification*) {
  ELM_SCOPE("ELMProcessStatusCmd::Cancel");
  RequestDelayedDestruction();
  return CATStatusChangeRCCompleted;
}
