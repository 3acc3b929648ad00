#include "CATMetaClass.h"

#include <map>
#include <memory>

namespace {

// Entries are never removed: a library that registered a class may hand out
// objects that outlive it, and their names must stay readable. Reachable
// until the process ends, so never torn down before a late caller.
std::map<std::string, std::unique_ptr<CATMetaClass>>& registry() {
  static auto* r = new std::map<std::string, std::unique_ptr<CATMetaClass>>();
  return *r;
}

const CATMetaClass* root() {
  // The root of every class is known before anybody asks.
  static const CATMetaClass* meta = CATMetaClass::Register("CATBaseUnknown", CATImplementationClass, "", "CATnull",
                                                           "External");
  return meta;
}

}  // namespace

const CATMetaClass* CATMetaClass::Register(const char* className, int classType, const char* baseName,
                                           const char* lateType, const char* linkage) {
  if (!className || !*className) return nullptr;
  auto& r = registry();
  if (auto it = r.find(className); it != r.end()) return it->second.get();
  std::unique_ptr<CATMetaClass> meta(new CATMetaClass(className, classType, baseName ? baseName : "",
                                                      lateType ? lateType : "", linkage ? linkage : ""));
  return r.emplace(className, std::move(meta)).first->second.get();
}

const CATMetaClass* CATMetaClass::Find(const char* name) {
  root();
  if (!name) return nullptr;
  auto it = registry().find(name);
  return it == registry().end() ? nullptr : it->second.get();
}

const CATMetaClass* CATMetaClass::GetBase() const { return m_base.empty() ? nullptr : Find(m_base.c_str()); }

int CATMetaClass::IsAKindOf(const char* name) const {
  if (!name) return 0;
  // The chain of bases is short; the bound guards against a registration cycle.
  const CATMetaClass* meta = this;
  for (int depth = 0; meta && depth < 64; ++depth) {
    if (meta->m_name == name) return 1;
    // A base that never registered is still known by its name.
    if (!meta->m_base.empty() && !meta->GetBase()) return meta->m_base == name ? 1 : 0;
    meta = meta->GetBase();
  }
  return 0;
}
