#include "ELMNamedStructureObject.h"

#include "ELMScopeStack.h"
#include "ELMTrace.h"

#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

namespace {

/// Fewer children than this are simply scanned.
constexpr int kIndexFrom = 16;

std::size_t HashOf(const CATUnicodeString& partNumber, const CATUnicodeString& instanceName) {
  std::size_t h = std::hash<std::string_view>()(partNumber.Utf8());
  return h ^ (std::hash<std::string_view>()(instanceName.Utf8()) + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2));
}

ELMNamedStructureObject* At(const CATRawCollPV& list, int pos) { return static_cast<ELMNamedStructureObject*>(list[pos]); }

}  // namespace

/// The children by the hash of their two names, in one sorted array: no
/// allocation per child, however many there are. Children of equal hash
/// keep their stored order, so the first of them whose names are equal is
/// the first match a scan from the first child would find.
struct ELMNamedStructureObject::ChildIndex {
  struct Entry {
    std::size_t hash;
    int position;
    bool operator<(const Entry& o) const { return hash < o.hash || (hash == o.hash && position < o.position); }
  };
  std::vector<Entry> entries;
};

ELMNamedStructureObject::ELMNamedStructureObject(CATUnicodeString partNumber, CATUnicodeString instanceName)
    : m_partNumber(std::move(partNumber)), m_instanceName(std::move(instanceName)) {
  ELM_SCOPE("ELMNamedStructureObject::ELMNamedStructureObject");
}

ELMNamedStructureObject::~ELMNamedStructureObject() {
  ELM_SCOPE("ELMNamedStructureObject::~ELMNamedStructureObject");
  // A stored structure may be far deeper than the stack: the subtree is
  // taken apart level by level, each child handing its own children over
  // before it goes, so no destructor ever reaches below itself.
  m_index.reset();
  std::vector<ELMNamedStructureObject*> doomed;
  for (void* child : m_children) doomed.push_back(static_cast<ELMNamedStructureObject*>(child));
  m_children.RemoveAll();
  while (!doomed.empty()) {
    ELMNamedStructureObject* node = doomed.back();
    doomed.pop_back();
    node->m_index.reset();
    for (void* child : node->m_children) doomed.push_back(static_cast<ELMNamedStructureObject*>(child));
    node->m_children.RemoveAll();
    delete node;
  }
}

ELMNamedStructureObject* ELMNamedStructureObject::GetElement(int index) {
  ELM_SCOPE("ELMNamedStructureObject::GetElement");
  if (index < 1 || index > m_children.Size()) return nullptr;
  return At(m_children, index);
}

ELMNamedStructureObject* ELMNamedStructureObject::GetChildObject(const CATUnicodeString& partNumber,
                                                                 const CATUnicodeString& instanceName) {
  ELM_SCOPE("ELMNamedStructureObject::GetChildObject");
  ELMNamedStructureObject* found = nullptr;
  if (m_children.Size() < kIndexFrom) {
    for (int i = 1; i <= m_children.Size() && !found; ++i) {
      ELMNamedStructureObject* child = At(m_children, i);
      if (child->m_partNumber == partNumber && child->m_instanceName == instanceName) found = child;
    }
  } else {
    if (!m_index) {
      m_index = std::make_unique<ChildIndex>();
      m_index->entries.reserve(static_cast<std::size_t>(m_children.Size()));
      for (int i = 1; i <= m_children.Size(); ++i) {
        ELMNamedStructureObject* child = At(m_children, i);
        m_index->entries.push_back({HashOf(child->m_partNumber, child->m_instanceName), i});
      }
      std::sort(m_index->entries.begin(), m_index->entries.end());
    }
    const std::size_t hash = HashOf(partNumber, instanceName);
    auto it = std::lower_bound(m_index->entries.begin(), m_index->entries.end(), ChildIndex::Entry{hash, 0});
    for (; it != m_index->entries.end() && it->hash == hash && !found; ++it) {
      ELMNamedStructureObject* child = At(m_children, it->position);
      if (child->m_partNumber == partNumber && child->m_instanceName == instanceName) found = child;
    }
  }
  if (!found) ELM_FAIL_POINT();
  return found;
}

void ELMNamedStructureObject::GetUnhandledObjects(CATListValCATUnicodeString& lines) {
  ELM_SCOPE("ELMNamedStructureObject::GetUnhandledObjects");
  // Pre-order without recursion; every element visited opens the scope its
  // own call would.
  struct Frame {
    ELMNamedStructureObject* node;
    int next;
  };
  ELMScopeStack scopes(elmScope);
  std::vector<Frame> stack;
  auto visit = [&](ELMNamedStructureObject* node) {
    if (!node->m_handled) lines.Append(node->m_partNumber + "(" + node->m_instanceName + ")");
    stack.push_back({node, 1});
  };
  visit(this);
  while (!stack.empty()) {
    Frame& f = stack.back();
    if (f.next > f.node->m_children.Size()) {
      stack.pop_back();
      if (!stack.empty()) scopes.Close();
      continue;
    }
    ELMNamedStructureObject* child = At(f.node->m_children, f.next++);
    scopes.Open();
    visit(child);
  }
}

void ELMNamedStructureObject::AddChild(ELMNamedStructureObject* child) {
  if (!child) return;
  m_children.Append(child);
  // Children come before the first look-up; one added later makes the
  // index be built again on the next.
  m_index.reset();
}
