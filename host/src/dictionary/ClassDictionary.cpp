#include "CATFillDictionary.h"
#include "ELMHostClassDictionary.h"

#include <algorithm>

namespace {

struct Entry {
  std::string name;
  CATCreateFunction factory;
  const CATFillDictionary* owner;
};

// Filled by static initialisation of the libraries as they load; a function
// static so that it exists before the first library registers.
std::vector<Entry>& entries() {
  static std::vector<Entry> e;
  return e;
}

}  // namespace

CATFillDictionary::CATFillDictionary(const char* className, CATCreateFunction factory)
    : m_className(className), m_factory(factory) {
  if (!className || !*className || !factory) return;
  // The first library to register a name keeps it.
  if (elmhost::ClassDictionary::Find(className)) return;
  entries().push_back({className, factory, this});
}

CATFillDictionary::~CATFillDictionary() {
  auto& e = entries();
  e.erase(std::remove_if(e.begin(), e.end(), [this](const Entry& x) { return x.owner == this; }), e.end());
}

namespace elmhost {

std::vector<std::string> ClassDictionary::Names() {
  std::vector<std::string> out;
  for (const Entry& e : entries()) out.push_back(e.name);
  return out;
}

CATCreateFunction ClassDictionary::Find(const std::string& name) {
  for (const Entry& e : entries())
    if (e.name == name) return e.factory;
  return nullptr;
}

void* ClassDictionary::Create(const std::string& name) {
  CATCreateFunction f = Find(name);
  return f ? f() : nullptr;
}

}  // namespace elmhost
