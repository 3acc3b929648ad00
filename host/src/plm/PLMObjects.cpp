#include "PLMObjects.h"

#include "ELMHostPLMSession.h"

CATImplementInterface(CATIPLMComponent)
CATImplementInterface(CATIAdpPLMIdentificator)
CATImplementInterface(CATIPLMNavEntity)
CATImplementInterface(CATIPLMNavReference)
CATImplementInterface(CATIPLMNavInstance)
CATImplementInterface(CATIPLMNavOccurrence)
CATImplementInterface(CATICkeObject)
CATImplementInterface(CATIType)
CATImplementInterface(CATITypeDictionary)

// What a call through a null handle, or on an object that lacks the
// behaviour, answers: a failure and nothing else.

HRESULT CATIPLMComponent::GetAdpID(CATIAdpPLMIdentificator*& identificator) {
  identificator = nullptr;
  return E_FAIL;
}
HRESULT CATIPLMComponent::GetPLMTypeName(CATUnicodeString&) const { return E_FAIL; }
HRESULT CATIAdpPLMIdentificator::IsSaved(bool&) const { return E_FAIL; }
CATUnicodeString CATIAdpPLMIdentificator::GetIdentifierText() const { return CATUnicodeString(); }
HRESULT CATIPLMNavEntity::GetAttributeValue(const CATUnicodeString&, CATListValCATUnicodeString&) const {
  return E_FAIL;
}
HRESULT CATIPLMNavInstance::GetFatherComponent(CATIPLMComponent*& father) const {
  father = nullptr;
  return E_FAIL;
}
HRESULT CATIPLMNavOccurrence::GetRelatedReference(CATIPLMNavReference*& reference) const {
  reference = nullptr;
  return E_FAIL;
}
HRESULT CATIPLMNavOccurrence::GetRelatedInstance(CATIPLMNavInstance*& instance) const {
  instance = nullptr;
  return E_FAIL;
}
HRESULT CATIPLMNavOccurrence::GetFather(CATIPLMNavOccurrence*& father) const {
  father = nullptr;
  return E_FAIL;
}
HRESULT CATIPLMNavOccurrence::ListChildren(CATListValCATBaseUnknown_var&) const { return E_FAIL; }
HRESULT CATICkeObject::ShowValue(const CATUnicodeString&, CATUnicodeString&) const { return E_FAIL; }
HRESULT CATICkeObject::SetValueFromString(const CATUnicodeString&, const CATUnicodeString&) { return E_FAIL; }
CATUnicodeString CATIType::Name() const { return CATUnicodeString(); }
CATUnicodeString CATIType::UserName() const { return CATUnicodeString(); }
CATIType_var CATIType::Supertype() const { return CATIType_var(); }
HRESULT CATIType::ListSubTypes(CATListValCATBaseUnknown_var&) const { return E_FAIL; }
bool CATIType::IsaKindOf(const CATIType_var&) const { return false; }
HRESULT CATITypeDictionary::FindType(const CATUnicodeString&, CATIType_var&) const { return E_FAIL; }

namespace elmhost {

HRESULT PLMType::ListSubTypes(CATListValCATBaseUnknown_var& subtypes) const {
  for (PLMType* t : m_subtypes) subtypes.Append(CATBaseUnknown_var(t));
  return S_OK;
}

bool PLMType::IsaKindOf(const CATIType_var& type) const {
  if (!type) return false;
  for (const PLMType* t = this; t; t = t->m_super)
    if (static_cast<const CATIType*>(t) == type.get()) return true;
  return false;
}

void PLMType::SetSupertype(PLMType* super) {
  m_super = super;
  if (super) super->m_subtypes.push_back(this);
}

PLMTypeDictionary::PLMTypeDictionary() {
  // The part of the platform's type tree that sessions use; a session file
  // adds its own types below these.
  struct Builtin {
    const char* name;
    const char* super;
    const char* userName;
  };
  static const Builtin builtins[] = {
      {"PLMEntity", "", "PLM Entity"},
      {"PLMCoreReference", "PLMEntity", "Core Reference"},
      {"PLMCoreInstance", "PLMEntity", "Core Instance"},
      {"PLMCoreRepReference", "PLMEntity", "Core Representation Reference"},
      {"PLMCoreRepInstance", "PLMEntity", "Core Representation Instance"},
      {"VPMReference", "PLMCoreReference", "Physical Product"},
      {"VPMInstance", "PLMCoreInstance", "Physical Product Instance"},
      {"VPMRepReference", "PLMCoreRepReference", "3D Representation"},
      {"VPMRepInstance", "PLMCoreRepInstance", "3D Representation Instance"},
      {"3DShape", "VPMRepReference", "3D Shape"},
      {"Drawing", "VPMRepReference", "Drawing"},
      {"Workspace", "PLMCoreReference", "Folder"},
      {"Bookmark", "PLMCoreReference", "Bookmark"},
  };
  for (const Builtin& b : builtins) Add(b.name, b.super, b.userName);
}

PLMTypeDictionary::~PLMTypeDictionary() = default;

HRESULT PLMTypeDictionary::FindType(const CATUnicodeString& name, CATIType_var& type) const {
  PLMType* t = Find(name.Utf8());
  if (!t) return E_FAIL;
  type = CATIType_var(t);
  return S_OK;
}

PLMType* PLMTypeDictionary::Find(const std::string& name) const {
  auto it = m_types.find(name);
  return it == m_types.end() ? nullptr : it->second.get();
}

bool PLMTypeDictionary::Add(const std::string& name, const std::string& super, const std::string& userName) {
  if (name.empty() || m_types.count(name)) return false;
  PLMType* parent = nullptr;
  if (!super.empty() && !(parent = Find(super))) return false;
  CATVar<PLMType> t = CATMakeVar<PLMType>(name, userName.empty() ? name : userName);
  t->SetSupertype(parent);
  m_types.emplace(name, t);
  return true;
}

bool PLMTypeDictionary::IsInstanceKind(const std::string& name) const {
  const PLMType* t = Find(name);
  for (; t; t = static_cast<const PLMType*>(t->Supertype().get()))
    if (t->name() == "PLMCoreInstance" || t->name() == "PLMCoreRepInstance") return true;
  return false;
}

HRESULT PLMObject::GetAdpID(CATIAdpPLMIdentificator*& identificator) {
  identificator = nullptr;
  if (!m_data.hasIdentificator) return S_OK;
  identificator = new PLMIdentificator(this);
  return S_OK;
}

HRESULT PLMObject::GetPLMTypeName(CATUnicodeString& typeName) const {
  typeName = m_data.type.c_str();
  return S_OK;
}

const std::string* PLMObject::Attribute(const std::string& name) const {
  for (const auto& [n, v] : m_data.attributes)
    if (n == name) return &v;
  return nullptr;
}

HRESULT PLMObject::ShowValue(const CATUnicodeString& name, CATUnicodeString& value) const {
  const std::string* v = Attribute(name.Utf8());
  if (!v) return E_FAIL;
  value = v->c_str();
  return S_OK;
}

HRESULT PLMObject::SetValueFromString(const CATUnicodeString& name, const CATUnicodeString& value) {
  for (auto& [n, v] : m_data.attributes) {
    if (n == name.Utf8()) {
      v = value.Utf8();
      return S_OK;
    }
  }
  return E_FAIL;
}

HRESULT PLMObject::AttributeValues(const CATUnicodeString& name, CATListValCATUnicodeString& values) const {
  const std::string* v = Attribute(name.Utf8());
  if (!v) return E_FAIL;
  values.Append(CATUnicodeString(v->c_str()));
  return S_OK;
}

HRESULT PLMInstanceObject::GetFatherComponent(CATIPLMComponent*& father) const {
  father = m_father.get();
  if (!father) return E_FAIL;
  father->AddRef();
  return S_OK;
}

HRESULT PLMIdentificator::IsSaved(bool& saved) const {
  PLMSession* s = m_object->session();
  if (s && s->ServiceFails("IsSaved")) return E_FAIL;
  saved = m_object->data().saved;
  return S_OK;
}

HRESULT PLMOccurrence::GetRelatedReference(CATIPLMNavReference*& reference) const {
  reference = m_reference.get();
  if (!reference) return E_FAIL;
  reference->AddRef();
  return S_OK;
}

HRESULT PLMOccurrence::GetRelatedInstance(CATIPLMNavInstance*& instance) const {
  instance = m_instance.get();
  if (!instance) return E_FAIL;
  instance->AddRef();
  return S_OK;
}

HRESULT PLMOccurrence::GetFather(CATIPLMNavOccurrence*& father) const {
  father = m_father;
  if (!father) return E_FAIL;
  father->AddRef();
  return S_OK;
}

HRESULT PLMOccurrence::ListChildren(CATListValCATBaseUnknown_var& children) const {
  for (PLMOccurrence* c : m_children) children.Append(CATBaseUnknown_var(c));
  return S_OK;
}

PLMObject* ObjectOf(CATIAdpPLMIdentificator* identificator) {
  auto* id = dynamic_cast<PLMIdentificator*>(identificator);
  return id ? id->object() : nullptr;
}

}  // namespace elmhost
