#include "ELMShowPropertyViewerWindowCmd.h"

#include "ELMPropertyViewerDialog.h"
#include "ELMTrace.h"
#include "ELMUtil.h"

#include "CATAdpOpener.h"
#include "CATCkeObjectAttrReadServices.h"
#include "CATCkePLMNavPublicServices.h"
#include "CATFrmLayout.h"
#include "CATFrmWindow.h"
#include "CATGetEnv.h"
#include "CATIAdpPLMIdentificator.h"
#include "CATOmbLifeCycleRootsBag.h"
#include "CATTime.h"

#include <cstring>

namespace {

const char* const kDateFormat = "%m/%d/%Y %H:%M:%S %Z";

}  // namespace

ELMShowPropertyViewerWindowCmd::ELMShowPropertyViewerWindowCmd()
    : CATCommand(nullptr, "ELMShowPropertyViewerWindowCmd") {
  ELM_SCOPE("ELMShowPropertyViewerWindowCmd::ELMShowPropertyViewerWindowCmd");
  // The command asks for its own activation; the host runs it once the
  // current callback has returned.
  RequestStatusChange(CATCommandMsgRequestExclusiveMode, nullptr);
}

ELMShowPropertyViewerWindowCmd::~ELMShowPropertyViewerWindowCmd() {
  ELM_SCOPE("ELMShowPropertyViewerWindowCmd::~ELMShowPropertyViewerWindowCmd");
}

CATStatusChangeRC ELMShowPropertyViewerWindowCmd::Activate(CATCommand*, CATNotification*) {
  ELM_SCOPE("ELMShowPropertyViewerWindowCmd::Activate");

  const char* printTypes = CATGetEnv("ELM_PRINT_CLASSHIRARCHY");
  if (printTypes && std::strcmp(printTypes, "ON") == 0) ELMUtil::PrintTypeHirarchy();

  CATFrmLayout* layout = CATFrmLayout::GetCurrentLayout();
  CATFrmWindow* window = layout ? layout->GetCurrentWindow() : nullptr;
  if (!window) {
    ELM_FAIL_POINT();
  } else {
    // Everything from the selection to the shown window is traced as one
    // scope, so a trace tells a refused selection from a missing window.
    ELM_SCOPE("ELMShowPropertyViewerWindowCmd::GeneratePLMCompAttrDispStrFromSel");
    CATUnicodeString text;
    CATIPLMComponent_var component;
    ELMUtil::GetSelectedComponent(component, nullptr, nullptr, 0, nullptr);
    if (!component) {
      ELM_FAIL_POINT();
    } else if (FAILED(GeneratePLMCompAttrDispStrFromNavX(component, text))) {
      ELM_FAIL_POINT();
    } else {
      // The document window owns the viewer from here; the viewer ends itself when closed.
      auto* dialog = new ELMPropertyViewerDialog(window, "property viewer");
      dialog->Build();
      dialog->SetText(text);
      dialog->SetVisibility(CATDlgShow);
    }
  }
  RequestDelayedDestruction();
  return CATStatusChangeRCCompleted;
}

CATStatusChangeRC ELMShowPropertyViewerWindowCmd::Desactivate(CATCommand* from, CATNotification* notification) {
  ELM_SCOPE("ELMShowPropertyViewerWindowCmd::Desactivate");
  return Activate(from, notification);
}

CATStatusChangeRC ELMShowPropertyViewerWindowCmd::Cancel(CATCommand*, CATNotification*) {
  RequestDelayedDestruction();
  return CATStatusChangeRCCompleted;
}

HRESULT ELMShowPropertyViewerWindowCmd::GeneratePLMCompAttrDispStrFromNavX(const CATIPLMComponent_var& component,
                                                                          CATUnicodeString& text) {
  ELM_SCOPE("ELMShowPropertyViewerWindowCmd::GeneratePLMCompAttrDispStrFromNavX");
  if (!component) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }
  CATIAdpPLMIdentificator* rawId = nullptr;
  HRESULT rc = component->GetAdpID(rawId);
  CATIAdpPLMIdentificator_var identificator;
  identificator.Attach(rawId);
  if (!identificator) {
    ELM_FAIL_POINT();
    // Whatever the request said stands: a success without an identificator
    // opens the window with nothing in it.
    return rc;
  }

  CATOmbLifeCycleRootsBag bag;
  CATAdpOpener opener(bag);
  CATIPLMComponent* rawObject = nullptr;
  rc = opener.CompleteAndOpen(identificator.get(), CATIPLMComponent::ClassId(), reinterpret_cast<void**>(&rawObject));
  CATIPLMComponent_var object;
  object.Attach(rawObject);
  bool listed = false;
  if (SUCCEEDED(rc) && object) {
    CATICkeObject_var knowledge(object);
    CATListValCATAttributeInfos attributes;
    if (SUCCEEDED(CATCkePLMNavPublicServices::ListAttributesFromObject(knowledge, attributes))) {
      listed = true;
      // A failed read still leaves its line, so its result does not decide whether the text is shown.
      GeneratePLMCompAttributesDisplayString(knowledge, attributes, text);
    } else {
      ELM_FAIL_POINT();
    }
  } else {
    ELM_FAIL_POINT();
  }
  rc = bag.RemoveRoot(object.get());
  // Without a listing there is nothing to show, even though the object could be let go.
  return listed ? rc : E_FAIL;
}

HRESULT ELMShowPropertyViewerWindowCmd::GeneratePLMCompAttributesDisplayString(
    const CATICkeObject_var& object, const CATListValCATAttributeInfos& attributes, CATUnicodeString& text) {
  ELM_SCOPE("ELMShowPropertyViewerWindowCmd::GeneratePLMCompAttributesDisplayString");
  if (attributes.Size() == 0) {
    text.Append("\n");
    return E_FAIL;
  }
  HRESULT rc = S_OK;
  for (int i = 1; i <= attributes.Size(); ++i) {
    const CATAttributeInfos& info = attributes[i];
    CATIType_var type = info.Type();
    const CATUnicodeString typeName = type ? type->Name() : CATUnicodeString();
    const CATUnicodeString typeText = type ? type->UserName() : CATUnicodeString();
    const CATUnicodeString& name = info.Name();

    CATUnicodeString value;
    if (typeName == "Date") {
      CATTime time;
      rc = CATCkeObjectAttrReadServices::GetValueAsTime(object, name, time);
      value = time.ConvertToString(kDateFormat);
    } else {
      rc = CATCkeObjectAttrReadServices::ShowAttributeValue(object, name, value);
    }
    if (FAILED(rc)) {
      ELM_NOTE("Failed to get " + name);
      ELM_FAIL_POINT();
    }
    text.Append("\n' ");
    text.Append(name);
    text.Append("'\t<");
    text.Append(typeText);
    text.Append("> -> \t'");
    text.Append(value);
    text.Append("'");
  }
  text.Append("\n");
  return rc;
}
