// The platform's PLM services, answered from the current session.

#include "CATAdpMaturityServices.h"
#include "CATAdpOpener.h"
#include "CATAdpPLMQueryServices.h"
#include "CATAdpPublicSecurityServices.h"
#include "CATAdpSaver.h"
#include "CATAdpVersioningServices.h"
#include "CATCkeObjectAttrReadServices.h"
#include "CATCkeObjectAttrWriteServices.h"
#include "CATCkePLMNavPublicServices.h"
#include "CATError.h"
#include "CATFrmEditor.h"
#include "CATGlobalFunctions.h"
#include "CATOmbLifeCycleRootsBag.h"
#include "CATPLMComponentInterfacesServices.h"
#include "ELMHostPLMSession.h"
#include "PLMObjects.h"

CATImplementInterface(CATError)
CATImplementInterface(CATIAdpPLMErrorReviewer)

/// The attribute sets of a query result.
struct CATAdpAttributeSetList {
  std::vector<std::pair<CATIType_var, CATAdpAttributeSet>> sets;
};

namespace {

using elmhost::PLMObject;
using elmhost::PLMSession;

// All platform calls come from the user-interface thread.
CATError_var s_lastError;

bool Fails(const PLMObject* object, const char* service) {
  PLMSession* s = object ? object->session() : PLMSession::Current();
  return s && s->ServiceFails(service);
}

PLMObject* ObjectOf(const CATICkeObject_var& object) { return dynamic_cast<PLMObject*>(object.get()); }

/// The next maturity states of the platform's standard life cycle.
CATListValCATUnicodeString TransitionsFrom(const std::string& state) {
  CATListValCATUnicodeString out;
  if (state == "PRIVATE") out.Append("IN_WORK");
  if (state == "IN_WORK") {
    out.Append("FROZEN");
    out.Append("OBSOLETE");
  }
  if (state == "FROZEN") {
    out.Append("RELEASED");
    out.Append("IN_WORK");
  }
  if (state == "RELEASED") out.Append("OBSOLETE");
  return out;
}

}  // namespace

CATError* CATError::CATGetLastError(HRESULT rc) {
  if (!s_lastError || s_lastError->GetResult() != rc) return nullptr;
  CATError* e = s_lastError.get();
  e->AddRef();
  return e;
}

void CATError::CATCleanLastError(CATError* error) {
  if (!error || error == s_lastError.get()) s_lastError = nullptr;
}

void CATError::CATSetLastError(CATError* error) { s_lastError = error; }

HRESULT CATCkeObjectAttrReadServices::ShowAttributeValue(const CATICkeObject_var& object, const CATUnicodeString& name,
                                                         CATUnicodeString& value) {
  if (!object || Fails(ObjectOf(object), "ShowAttributeValue")) return E_FAIL;
  return object->ShowValue(name, value);
}

HRESULT CATCkeObjectAttrReadServices::GetValueAsTime(const CATICkeObject_var& object, const CATUnicodeString& name,
                                                     CATTime& value) {
  PLMObject* o = ObjectOf(object);
  if (!o || Fails(o, "GetValueAsTime")) return E_FAIL;
  return o->TimeValue(name.Utf8(), value);
}

HRESULT CATCkePLMNavPublicServices::ListAttributesFromObject(const CATICkeObject_var& object,
                                                            CATListValCATAttributeInfos& attributes) {
  PLMObject* o = ObjectOf(object);
  if (!o || Fails(o, "ListAttributesFromObject")) return E_FAIL;
  return o->ListAttributes(attributes);
}

HRESULT CATCkeObjectAttrWriteServices::SetValueWithString(const CATICkeObject_var& object,
                                                          const CATUnicodeString& name,
                                                          const CATUnicodeString& value) {
  if (!object || Fails(ObjectOf(object), "SetValueWithString")) return E_FAIL;
  return object->SetValueFromString(name, value);
}

HRESULT CATAdpVersioningServices::GetAllVersions(CATIAdpPLMIdentificator* object,
                                                 CATListValCATBaseUnknown_var& versions) {
  PLMObject* o = elmhost::ObjectOf(object);
  if (!o || !o->session() || Fails(o, "GetAllVersions")) return E_FAIL;
  for (PLMObject* v : o->session()->VersionsOf(*o)) {
    CATIAdpPLMIdentificator* id = nullptr;
    v->GetAdpID(id);
    CATBaseUnknown_var holder;
    holder.Attach(id);
    if (holder) versions.Append(holder);
  }
  return S_OK;
}

HRESULT CATAdpMaturityServices::GetStateAndPossibleTransitions(CATIAdpPLMIdentificator* object,
                                                               CATUnicodeString& state,
                                                               CATListValCATUnicodeString& transitions) {
  PLMObject* o = elmhost::ObjectOf(object);
  if (o && o->session()) o->session()->CountMaturityQuery();
  if (!o || Fails(o, "GetStateAndPossibleTransitions")) return E_FAIL;
  state = o->data().maturity.c_str();
  transitions.Append(TransitionsFrom(o->data().maturity));
  return S_OK;
}

void CATOmbLifeCycleRootsBag::AddRoot(CATBaseUnknown* root) {
  if (root && !m_roots.Locate(CATBaseUnknown_var(root))) m_roots.Append(CATBaseUnknown_var(root));
}

HRESULT CATOmbLifeCycleRootsBag::RemoveRoot(CATBaseUnknown* root) {
  int pos = m_roots.Locate(CATBaseUnknown_var(root));
  if (!pos) return E_FAIL;
  m_roots.RemovePosition(pos);
  return S_OK;
}

HRESULT CATAdpOpener::CompleteAndOpen(CATIAdpPLMIdentificator* identificator, const CATIID& iid, void** object) {
  if (!object) return E_INVALIDARG;
  *object = nullptr;
  PLMObject* o = elmhost::ObjectOf(identificator);
  if (!o || !o->session() || Fails(o, "CompleteAndOpen")) return E_FAIL;
  HRESULT rc = static_cast<CATIPLMComponent*>(o)->QueryInterface(iid, object);
  if (FAILED(rc)) return rc;
  m_bag.AddRoot(static_cast<CATIPLMComponent*>(o));
  return S_OK;
}

HRESULT CATAdpSaver::Save(const CATListValCATBaseUnknown_var& objects) {
  std::vector<PLMObject*> targets;
  PLMSession* session = nullptr;
  for (const CATBaseUnknown_var& item : objects) {
    auto* o = dynamic_cast<PLMObject*>(item.get());
    if (!o || !o->session()) {
      CATError::CATSetLastError(CATMakeVar<CATError>("The object to save does not belong to the session.").get());
      return E_FAIL;
    }
    session = o->session();
    targets.push_back(o);
  }
  if (!session) return S_OK;
  std::string error;
  if (session->SaveObjects(targets, error)) return S_OK;
  // A failure without a text leaves no error behind, as the platform does
  // when it has nothing to tell.
  if (!error.empty())
    CATError::CATSetLastError(CATMakeVar<CATError>(CATUnicodeString(error.c_str())).get());
  else
    CATError::CATCleanLastError();
  return E_FAIL;
}

HRESULT CATAdpPublicSecurityServices::GetSecurityParameters(const CATUnicodeString&, CATUnicodeString& login,
                                                            CATUnicodeString& role, CATUnicodeString& organization,
                                                            CATUnicodeString& project) {
  PLMSession* s = PLMSession::Current();
  if (!s || s->ServiceFails("GetSecurityParameters") || s->ConnectedUser().login.empty()) return E_FAIL;
  const PLMSession::User& u = s->ConnectedUser();
  login = u.login.c_str();
  role = u.role.c_str();
  organization = u.organization.c_str();
  project = u.project.c_str();
  return S_OK;
}

HRESULT CATPLMComponentInterfacesServices::GetEditedRootPLMComponents(CATFrmEditor* editor,
                                                                      CATListValCATBaseUnknown_var& roots) {
  if (!editor || Fails(nullptr, "GetEditedRootPLMComponents")) return E_FAIL;
  roots.Append(editor->GetRoots());
  return S_OK;
}

CATITypeDictionary_var CATGlobalFunctions::GetTypeDictionary() {
  PLMSession* s = PLMSession::Current();
  return s ? CATITypeDictionary_var(s->TypeDictionary()) : CATITypeDictionary_var();
}

void CATIAdpPLMErrorReviewer::ReviewError(const CATUnicodeString&) {}

HRESULT CATAdpAttributeSet::GetStringAttributeValue(const CATUnicodeString& name, CATUnicodeString& value) const {
  for (const Value& v : m_values) {
    if (v.name != name.Utf8()) continue;
    if (!v.isString) return E_FAIL;
    value = CATUnicodeString(v.value.c_str(), v.value.size());
    return S_OK;
  }
  return E_FAIL;
}

void CATAdpAttributeSet::AddAttribute(const std::string& name, const std::string& value, bool isString) {
  m_values.push_back({name, value, isString});
}

HRESULT CATAdpAttributeSetIterator::NextAttributeSet(CATIType_var& type, CATAdpAttributeSet& set) {
  if (!m_sets || m_next >= m_sets->sets.size()) {
    type = nullptr;
    set = CATAdpAttributeSet();
    return S_FALSE;
  }
  const auto& [t, s] = m_sets->sets[m_next++];
  type = t;
  set = s;
  return S_OK;
}

CATAdpQueryResult::CATAdpQueryResult() : m_sets(std::make_shared<CATAdpAttributeSetList>()) {}

void CATAdpQueryResult::Clear() {
  // Iterators handed out earlier keep the sets they walk.
  m_sets = std::make_shared<CATAdpAttributeSetList>();
}

void CATAdpQueryResult::AddAttributeSet(const CATIType_var& type, const CATAdpAttributeSet& set) {
  if (m_sets.use_count() > 1) m_sets = std::make_shared<CATAdpAttributeSetList>(*m_sets);
  m_sets->sets.emplace_back(type, set);
}

HRESULT CATAdpPLMQueryServices::GetUniqueKey(CATIAdpPLMIdentificator* identificator, CATIAdpPLMUniqueKey*& key,
                                             CATIAdpPLMErrorReviewer* reviewer, CATUnicodeString* errorText) {
  key = nullptr;
  PLMObject* o = elmhost::ObjectOf(identificator);
  const char* problem = nullptr;
  if (!o || !o->session())
    problem = "The object is not in the session.";
  else if (Fails(o, "GetUniqueKey"))
    problem = "The database does not answer.";
  else if (!o->data().saved)
    problem = "The object has never been saved: the database has no key for it.";
  if (problem) {
    if (reviewer) reviewer->ReviewError(problem);
    if (errorText) *errorText = problem;
    return E_FAIL;
  }
  key = new elmhost::PLMUniqueKey(o);
  return S_OK;
}

HRESULT CATAdpPLMQueryServices::MoreInformation(CATIAdpPLMUniqueKey* key, CATAdpQueryResult& info) {
  info.Clear();
  auto* k = dynamic_cast<elmhost::PLMUniqueKey*>(key);
  PLMObject* o = k ? k->object() : nullptr;
  if (!o || !o->session() || Fails(o, "MoreInformation")) return E_FAIL;
  CATAdpAttributeSet set;
  for (const elmhost::PLMAttribute& a : o->data().attributes) set.AddAttribute(a.name, a.value, a.type->name() == "String");
  info.AddAttributeSet(CATIType_var(o->type()), set);
  return S_OK;
}
