#include "PLMObjects.h"

#include "ELMHostPLMSession.h"
#include "PLMValues.h"
#include "UnicodeText.h"

CATImplementInterface(CATIPLMComponent)
CATImplementInterface(CATIAdpPLMIdentificator)
CATImplementInterface(CATIPLMNavEntity)
CATImplementInterface(CATIPLMNavReference)
CATImplementInterface(CATIPLMNavInstance)
CATImplementInterface(CATIPLMNavOccurrence)
CATImplementInterface(CATICkeObject)
CATImplementInterface(CATIType)
CATImplementInterface(CATITypeDictionary)
CATImplementInterface(CATINavigateObject)
CATImplementInterface(CATIAlias)
CATImplementInterface(CATIAdpPLMUniqueKey)
CATImplementInterface(CATIBuildPath)

// What a call through a null handle, or on an object that lacks the
// behaviour, answers: a failure and nothing else.

HRESULT CATIPLMComponent::GetAdpID(CATIAdpPLMIdentificator*& identificator) {
  identificator = nullptr;
  return E_FAIL;
}
HRESULT CATIPLMComponent::GetPLMTypeName(CATUnicodeString&) const { return E_FAIL; }
HRESULT CATIPLMComponent::GetPLMType(CATIType_var&) const { return E_FAIL; }
HRESULT CATIAdpPLMIdentificator::IsSaved(bool&) const { return E_FAIL; }
CATUnicodeString CATIAdpPLMIdentificator::GetIdentifierText() const { return CATUnicodeString(); }
HRESULT CATIPLMNavEntity::GetAttributeValue(const CATUnicodeString&, CATListValCATUnicodeString&) const {
  return E_FAIL;
}
HRESULT CATIPLMNavEntity::IsRepReference(int&) const { return E_FAIL; }
HRESULT CATIPLMNavEntity::GetAttributeValues(const CATListValCATUnicodeString&, CATListValCATUnicodeString&) const {
  return E_FAIL;
}
HRESULT CATIBuildPath::ExtractPathElement(CATPathElement*, CATPathElement*& path) {
  path = nullptr;
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
HRESULT CATIPLMNavOccurrence::ListChildren(CATListPtrCATIPLMNavOccurrence&) const { return E_FAIL; }
HRESULT CATICkeObject::ShowValue(const CATUnicodeString&, CATUnicodeString&) const { return E_FAIL; }
HRESULT CATICkeObject::SetValueFromString(const CATUnicodeString&, const CATUnicodeString&) { return E_FAIL; }
CATUnicodeString CATIType::Name() const { return CATUnicodeString(); }
CATUnicodeString CATIType::UserName() const { return CATUnicodeString(); }
CATIType_var CATIType::Supertype() const { return CATIType_var(); }
HRESULT CATIType::ListSubTypes(CATListValCATBaseUnknown_var&) const { return E_FAIL; }
bool CATIType::IsaKindOf(const CATIType_var&) const { return false; }
bool CATIType::IsShownThroughParent() const { return false; }
HRESULT CATINavigateObject::GetIdentificators(CATListValCATUnicodeString&) const { return E_FAIL; }
HRESULT CATINavigateObject::GetChildren(CATListValCATBaseUnknown_var&) const { return E_FAIL; }
CATUnicodeString CATIAlias::GetAlias() const { return CATUnicodeString(); }
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

bool PLMType::Derives(const std::string& name) const {
  for (const PLMType* t = this; t; t = t->m_super)
    if (t->m_name == name) return true;
  return false;
}

// Representations are shown in the tree under the product that aggregates
// them; picking one means its product.
bool PLMType::IsShownThroughParent() const { return Derives("PLMCoreRepReference"); }

void PLMType::SetSupertype(PLMType* super) {
  m_super = super;
  m_repReference = m_name == "PLMCoreRepReference" || (super && super->m_repReference);
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
      {"ENOFLD_FolderRootReference", "PLMCoreReference", "Folder"},
      {"Workspace", "PLMCoreReference", "Bookmark"},
  };
  for (const Builtin& b : builtins) Add(b.name, b.super, b.userName);
  // The knowledge types of attribute values: a name, and the text users see.
  static const Builtin valueTypes[] = {
      {"String", "", "Character string"}, {"Integer", "", "Integer number"}, {"Real", "", "Real number"},
      {"Boolean", "", "True or false"},   {"Date", "", "Date and time"},
  };
  for (const Builtin& b : valueTypes) m_valueTypes.emplace(b.name, CATMakeVar<PLMType>(b.name, b.userName));
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
  return t && (t->Derives("PLMCoreInstance") || t->Derives("PLMCoreRepInstance"));
}

PLMType* PLMTypeDictionary::FindValueType(const std::string& name) const {
  auto it = m_valueTypes.find(name);
  return it == m_valueTypes.end() ? nullptr : it->second.get();
}

std::string PLMTypeDictionary::ValueTypeNames() const {
  std::string out;
  for (const auto& [name, type] : m_valueTypes) out += (out.empty() ? "" : ", ") + name;
  return out;
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

HRESULT PLMObject::GetPLMType(CATIType_var& type) const {
  type = CATIType_var(m_type);
  return m_type ? S_OK : E_FAIL;
}

const PLMAttribute* PLMObject::Attribute(const std::string& name) const {
  for (const PLMAttribute& a : m_data.attributes)
    if (a.name == name) return &a;
  return nullptr;
}

HRESULT PLMObject::ShowValue(const CATUnicodeString& name, CATUnicodeString& value) const {
  const PLMAttribute* a = Attribute(name.Utf8());
  if (!a) return E_FAIL;
  value = UnicodeText::FromChecked(a->value);
  return S_OK;
}

HRESULT PLMObject::SetValueFromString(const CATUnicodeString& name, const CATUnicodeString& value) {
  for (PLMAttribute& a : m_data.attributes) {
    if (a.name != name.Utf8()) continue;
    std::string why;
    if (!CheckValue(a.type->name(), value.Utf8(), why)) return E_FAIL;
    a.value = value.Utf8();
    return S_OK;
  }
  return E_FAIL;
}

CATUnicodeString PLMObject::GetAlias() const {
  if (m_data.hasAlias) return m_data.alias.c_str();
  const PLMAttribute* id = Attribute("PLM_ExternalID");
  return id ? UnicodeText::FromChecked(id->value) : CATUnicodeString();
}

HRESULT PLMObject::ListAttributes(CATListValCATAttributeInfos& attributes) const {
  for (const PLMAttribute& a : m_data.attributes)
    attributes.Append(CATAttributeInfos(CATUnicodeString(a.name.c_str(), a.name.size()), CATIType_var(a.type)));
  return S_OK;
}

HRESULT PLMObject::TimeValue(const std::string& name, CATTime& time) const {
  const PLMAttribute* a = Attribute(name);
  if (!a || a->type->name() != "Date") return E_FAIL;
  std::string why;
  return ParseTime(a->value, a->zone, time, why) ? S_OK : E_FAIL;
}

HRESULT PLMObject::AttributeValues(const CATUnicodeString& name, CATListValCATUnicodeString& values) const {
  const PLMAttribute* a = Attribute(name.Utf8());
  if (!a) return E_FAIL;
  values.Append(UnicodeText::FromChecked(a->value));
  return S_OK;
}

HRESULT PLMObject::AttributeValueList(const CATListValCATUnicodeString& names,
                                      CATListValCATUnicodeString& values) const {
  // All or nothing: what was given before a name is missed is taken back.
  const int before = values.Size();
  for (const CATUnicodeString& name : names) {
    const PLMAttribute* a = Attribute(name.Utf8());
    if (!a) {
      while (values.Size() > before) values.RemovePosition(values.Size());
      return E_FAIL;
    }
    values.Append(UnicodeText::FromChecked(a->value));
  }
  return S_OK;
}

namespace {

// The navigator asks every node's reference and instance for these views
// several times in a walk; a direct answer spares the general cross-cast.
template <class Iface, class Object>
bool FastView(Object* object, const CATIID& iid, void** ppv) {
  if (!ppv || &iid != &Iface::ClassId()) return false;
  *ppv = static_cast<Iface*>(object);
  object->AddRef();
  return true;
}

}  // namespace

HRESULT PLMInstanceObject::QueryInterface(const CATIID& iid, void** ppv) {
  if (FastView<CATIPLMNavEntity>(this, iid, ppv)) return S_OK;
  return PLMObject::QueryInterface(iid, ppv);
}

HRESULT PLMOccurrence::QueryInterface(const CATIID& iid, void** ppv) {
  if (FastView<CATIPLMNavOccurrence>(this, iid, ppv) || FastView<CATIBuildPath>(this, iid, ppv)) return S_OK;
  return CATIPLMNavOccurrence::QueryInterface(iid, ppv);
}

HRESULT PLMReferenceObject::QueryInterface(const CATIID& iid, void** ppv) {
  if (FastView<CATIPLMNavEntity>(this, iid, ppv)) return S_OK;
  if (ppv && &iid == &CATINavigateObject::ClassId()) {
    PLMSession* s = session();
    PLMOccurrence* node = s ? s->ExplorerNodeOf(this) : nullptr;
    if (!node) {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    return node->QueryInterface(iid, ppv);
  }
  // The product an editor shows is its tree's root: viewed as a navigator
  // node, the root reference is that root node.
  if (ppv && &iid == &CATIPLMNavOccurrence::ClassId()) {
    PLMSession* s = session();
    if (PLMOccurrence* node = s ? s->RootNodeOf(this) : nullptr) return node->QueryInterface(iid, ppv);
  }
  return PLMObject::QueryInterface(iid, ppv);
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
  for (PLMOccurrence* c : m_children) children.Append(CATBaseUnknown_var(static_cast<CATIPLMNavOccurrence*>(c)));
  return S_OK;
}

HRESULT PLMOccurrence::ListChildren(CATListPtrCATIPLMNavOccurrence& children) const {
  for (PLMOccurrence* c : m_children) {
    c->AddRef();
    children.Append(c);
  }
  return S_OK;
}

HRESULT PLMOccurrence::ExtractPathElement(CATPathElement* context, CATPathElement*& path) {
  path = nullptr;
  PLMSession* s = m_reference ? m_reference->session() : nullptr;
  return s ? s->PathOf(this, context, path) : E_FAIL;
}

void PLMOccurrence::DropRemovedChildren() {
  std::erase_if(m_children, [](const PLMOccurrence* c) { return c->IsRemoved(); });
}

HRESULT PLMOccurrence::GetIdentificators(CATListValCATUnicodeString& identificators) const {
  if (!m_hasIdentifiers) {
    CATUnicodeString alias = m_reference->GetAlias();
    if (!alias.IsNull()) identificators.Append(alias);
    return S_OK;
  }
  for (const std::string& id : m_identifiers) identificators.Append(CATUnicodeString(id.c_str(), id.size()));
  return S_OK;
}

PLMObject* ObjectOf(CATIAdpPLMIdentificator* identificator) {
  auto* id = dynamic_cast<PLMIdentificator*>(identificator);
  return id ? id->object() : nullptr;
}

}  // namespace elmhost
