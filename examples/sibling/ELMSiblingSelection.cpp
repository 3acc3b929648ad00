#include "ELMSiblingSelection.h"

#include "ELMDebug.h"
#include "ELMUtil.h"

CATUnicodeString ELMSiblingSelection::SelectedTypeName(HRESULT& rc) {
  ELMDebug scope("ELMSiblingSelection::SelectedTypeName", __LINE__);
  CATIPLMComponent_var component;
  rc = ELMUtil::GetSelectedComponent(component, nullptr, nullptr, 1, nullptr);
  CATUnicodeString name;
  if (!component || FAILED(component->GetPLMTypeName(name))) scope.SetFailed();
  return name;
}

int ELMSiblingSelection::IsProductReference(const CATUnicodeString& typeName) {
  ELMDebug scope("ELMSiblingSelection::IsProductReference", __LINE__);
  unsigned char result = 0;
  if (FAILED(ELMUtil::IsSubType("VPMReference", typeName, result))) {
    scope.SetFailed();
    return -1;
  }
  return result;
}
