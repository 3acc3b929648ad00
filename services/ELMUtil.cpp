#include "ELMUtil.h"

#include "ELMTrace.h"

#include "CATApplicationFrame.h"
#include "CATCSO.h"
#include "CATFrmEditor.h"
#include "CATFrmLayout.h"
#include "CATFrmWindow.h"
#include "CATGlobalFunctions.h"
#include "CATIAlias.h"
#include "CATINavigateObject.h"
#include "CATIPLMNavEntity.h"
#include "CATIPLMNavInstance.h"
#include "CATIPLMNavOccurrence.h"
#include "CATIPLMNavReference.h"
#include "CATITypeDictionary.h"
#include "CATListValCATBaseUnknown_var.h"
#include "CATPLMComponentInterfacesServices.h"
#include "CATPLMNavPropertiesAcquisition.h"
#include "CATPathElement.h"

#include <algorithm>
#include <new>
#include <string>

namespace {

CATFrmEditor* CurrentWindowEditor() {
  CATFrmLayout* layout = CATFrmLayout::GetCurrentLayout();
  CATFrmWindow* window = layout ? layout->GetCurrentWindow() : nullptr;
  return window ? window->GetEditor() : nullptr;
}

/// The editor of a fresh navigation properties agent; the agent itself is
/// released at once, the editor outlives it.
CATFrmEditor* NavigatorEditor() {
  CATVar<CATPLMNavPropertiesAcquisition> agent;
  agent.Attach(new (std::nothrow) CATPLMNavPropertiesAcquisition("NavPropertiesAcquisition"));
  return agent ? agent->GetEditor() : nullptr;
}

void AppendIdentificators(CATBaseUnknown* object, CATListValCATUnicodeString& names) {
  CATINavigateObject_var navigation(object);
  if (navigation) navigation->GetIdentificators(names);
}

enum class Picked { None, Several, One };

/// The last object of the first path of the editor's selection set, when
/// the set holds exactly one path.
Picked PickSingle(CATFrmEditor* editor, CATBaseUnknown*& picked) {
  picked = nullptr;
  CATCSO* cso = editor ? editor->GetCSO() : nullptr;
  if (!cso) return Picked::None;
  cso->InitElementList();
  if (cso->GetSize() == 0) return Picked::None;
  if (cso->GetSize() > 1) return Picked::Several;
  CATPathElement* path = cso->NextElement();
  picked = path ? path->FindLastElement() : nullptr;
  return picked ? Picked::One : Picked::None;
}

CATIPLMComponent_var ReferenceOf(const CATIPLMNavOccurrence_var& occurrence) {
  CATIPLMNavReference* reference = nullptr;
  if (FAILED(occurrence->GetRelatedReference(reference)) || !reference) return CATIPLMComponent_var();
  CATIPLMNavReference_var holder;
  holder.Attach(reference);
  return CATIPLMComponent_var(holder);
}

CATIPLMNavInstance_var InstanceOf(const CATIPLMNavOccurrence_var& occurrence) {
  CATIPLMNavInstance* instance = nullptr;
  CATIPLMNavInstance_var holder;
  if (SUCCEEDED(occurrence->GetRelatedInstance(instance))) holder.Attach(instance);
  return holder;
}

}  // namespace

HRESULT ELMUtil::GetSelectedComponent(CATIPLMComponent_var& component, CATIPLMComponent_var* father,
                                      CATUnicodeString* fatherInstanceId, unsigned char useRootIfNoSelection,
                                      CATListValCATUnicodeString* names) {
  ELM_SCOPE("ELMUtil::GetSelectedComponent");

  CATString workbench;
  if (CATApplicationFrame* frame = CATApplicationFrame::GetFrame()) workbench = frame->GetCurrentWorkbench();
  const bool fromSearch = workbench == "CATImmSearch" || workbench == "3DEXPERIENCEPlatform";

  HRESULT rc = fromSearch ? GetSelectionFromSearch(component, names)
                          : GetSelection(component, father, fatherInstanceId, names);
  if (FAILED(rc)) {
    ELM_FAIL_POINT();
    if (useRootIfNoSelection) {
      const unsigned char fromNavigator = fromSearch ? 1 : 0;
      rc = GetRootComponent(component, fromNavigator, names);
      if (FAILED(rc)) ELM_FAIL_POINT();
    }
  }
  return rc;
}

HRESULT ELMUtil::GetSelection(CATIPLMComponent_var& component, CATIPLMComponent_var* father,
                              CATUnicodeString* fatherInstanceId, CATListValCATUnicodeString* names) {
  ELM_SCOPE("ELMUtil::GetSelection");

  CATBaseUnknown* picked = nullptr;
  switch (PickSingle(CurrentWindowEditor(), picked)) {
    case Picked::None: ELM_FAIL_POINT(); return E_FAIL;
    case Picked::Several: return 1;
    case Picked::One: break;
  }

  const bool wantFather = father && fatherInstanceId;
  CATIPLMNavOccurrence_var occurrence(picked);
  CATIPLMNavInstance_var instance;
  CATIPLMComponent_var found;
  if (occurrence) {
    if (names) AppendIdentificators(picked, *names);
    CATIPLMNavReference* reference = nullptr;
    if (FAILED(occurrence->GetRelatedReference(reference)) || !reference) {
      ELM_FAIL_POINT();
      return E_FAIL;
    }
    CATIPLMNavReference_var referenceHolder;
    referenceHolder.Attach(reference);
    if (wantFather) instance = InstanceOf(occurrence);
    found = CATIPLMComponent_var(referenceHolder);
  } else {
    found = CATIPLMComponent_var(picked);
  }
  if (!found) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }
  component = found;

  // A node of a kind that the tree shows through its parent stands for the
  // parent: the caller works on the object that aggregates it.
  CATIType_var type;
  if (SUCCEEDED(component->GetPLMType(type)) && type && type->IsShownThroughParent() && occurrence && instance) {
    CATIPLMNavOccurrence* parent = nullptr;
    if (FAILED(occurrence->GetFather(parent)) || !parent) {
      ELM_FAIL_POINT();
      return E_FAIL;
    }
    CATIPLMNavOccurrence_var parentHolder;
    parentHolder.Attach(parent);
    CATIPLMComponent_var parentComponent = ReferenceOf(parentHolder);
    if (!parentComponent) {
      ELM_FAIL_POINT();
      return E_FAIL;
    }
    component = parentComponent;
    if (wantFather) instance = InstanceOf(parentHolder);
  }

  if (instance) {
    CATIPLMNavEntity_var entity(instance);
    CATListValCATUnicodeString values;
    if (FAILED(entity->GetAttributeValue("PLM_ExternalID", values))) {
      ELM_FAIL_POINT();
    } else if (values.Size() > 0) {
      *fatherInstanceId = values[1];
    }
    CATIPLMComponent* owner = nullptr;
    if (FAILED(instance->GetFatherComponent(owner)) || !owner) {
      ELM_FAIL_POINT();
    } else {
      father->Attach(owner);
    }
  }
  return S_OK;
}

HRESULT ELMUtil::GetSelectionFromSearch(CATIPLMComponent_var& component, CATListValCATUnicodeString* names) {
  ELM_SCOPE("ELMUtil::GetSelectionFromSearch");

  CATBaseUnknown* picked = nullptr;
  switch (PickSingle(NavigatorEditor(), picked)) {
    case Picked::None: ELM_FAIL_POINT(); return E_FAIL;
    case Picked::Several: return 1;
    case Picked::One: break;
  }
  CATIPLMComponent_var found(picked);
  if (!found) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }
  if (names && CATIPLMNavOccurrence_var(picked)) AppendIdentificators(picked, *names);
  component = found;
  return S_OK;
}

HRESULT ELMUtil::GetRootComponent(CATIPLMComponent_var& component, const unsigned char& fromNavigator,
                                  CATListValCATUnicodeString* names) {
  ELM_SCOPE("ELMUtil::GetRootComponent");

  CATFrmEditor* editor = fromNavigator ? NavigatorEditor() : CurrentWindowEditor();
  if (!editor) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }
  CATListValCATBaseUnknown_var roots;
  if (FAILED(CATPLMComponentInterfacesServices::GetEditedRootPLMComponents(editor, roots))) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }

  CATIPLMComponent_var root;
  if (roots.Size() == 1) {
    root = CATIPLMComponent_var(roots[1].get());
    if (!root) ELM_FAIL_POINT();
  } else {
    ELM_FAIL_POINT();
    ELM_NOTE(("Current Window uses " + std::to_string(roots.Size()) + " root components").c_str());
  }

  if (names && root) {
    CATListValCATUnicodeString identificators;
    AppendIdentificators(root.get(), identificators);
    if (identificators.Size() > 0) {
      names->Append(identificators);
    } else if (CATIAlias_var alias(root.get()); alias) {
      CATUnicodeString text = alias->GetAlias();
      if (!text.IsNull()) names->Append(text);
    }
  }

  roots.RemoveAll();
  if (!root) return E_FAIL;
  component = root;
  return S_OK;
}

unsigned char ELMUtil::IsExplorerWindowActive() {
  ELM_SCOPE("ELMUtil::IsExplorerWindowActive");

  CATFrmEditor* editor = CurrentWindowEditor();
  if (!editor) {
    ELM_FAIL_POINT();
    return 0;
  }
  CATListValCATBaseUnknown_var roots;
  if (FAILED(CATPLMComponentInterfacesServices::GetEditedRootPLMComponents(editor, roots))) {
    ELM_FAIL_POINT();
    return 0;
  }
  if (roots.Size() == 0) return 0;
  const unsigned char explorer = CATINavigateObject_var(roots[1].get()) ? 1 : 0;
  roots.RemoveAll();
  return explorer;
}

HRESULT ELMUtil::IsSubType(const CATUnicodeString& baseType, const CATUnicodeString& type, unsigned char& result) {
  ELM_SCOPE("ELMUtil::IsSubType");

  CATITypeDictionary_var dictionary = CATGlobalFunctions::GetTypeDictionary();
  if (!dictionary) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }
  CATIType_var base, derived;
  if (FAILED(dictionary->FindType(baseType, base)) || !base) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }
  if (FAILED(dictionary->FindType(type, derived)) || !derived) {
    ELM_FAIL_POINT();
    return E_FAIL;
  }
  result = derived->IsaKindOf(base) ? 1 : 0;
  return S_OK;
}

void ELMUtil::PrintTypeHirarchy() {
  ELM_SCOPE("ELMUtil::PrintTypeHirarchy");

  CATITypeDictionary_var dictionary = CATGlobalFunctions::GetTypeDictionary();
  CATIType_var type;
  if (!dictionary || FAILED(dictionary->FindType("PLMCoreRepReference", type)) || !type) {
    ELM_FAIL_POINT();
    return;
  }
  for (CATIType_var up = type->Supertype(); up; up = up->Supertype()) type = up;
  PrintTypeHirarchyRec(type, 1);
}

void ELMUtil::PrintTypeHirarchyRec(const CATIType_var& type, int depth) {
  ELM_SCOPE("ELMUtil::PrintTypeHirarchyRec");

  CATListValCATBaseUnknown_var subtypes;
  type->ListSubTypes(subtypes);
  const std::string tail = "<" + type->Name().Utf8() + ">  (" + type->UserName().Utf8() + ")";
  auto line = [&](const char* mark) {
    std::string label = "(" + std::to_string(depth) + ")" + mark;
    label.resize(std::max(label.size(), static_cast<std::size_t>(2 * depth + 3)), ' ');
    ELMDebug::WriteLine((label + tail).c_str());
  };
  if (subtypes.Size() == 0) {
    line("");
    return;
  }
  line("+");
  for (const CATBaseUnknown_var& subtype : subtypes) PrintTypeHirarchyRec(CATIType_var(subtype), depth + 1);
  line("-");
}
