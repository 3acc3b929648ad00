#include "ELMNamedStructureObject.h"

#include "ELMScopeStack.h"
#include "ELMTrace.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define ELM_BLOCK_FREED(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define ELM_BLOCK_TAKEN(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#else
#define ELM_BLOCK_FREED(p, n) ((void)(p), (void)(n))
#define ELM_BLOCK_TAKEN(p, n) ((void)(p), (void)(n))
#endif

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

/// Fewer children than this are simply scanned.
constexpr int kIndexFrom = 16;

/// Folds a text into h a word at a time: names are a dozen bytes or so,
/// for which the library's general byte hash costs several times more.
std::uint64_t Fold(const std::string& text, std::uint64_t h) {
  const char* p = text.data();
  const std::size_t n = text.size();
  auto mix = [&h](std::uint64_t w) {
    h = (h ^ w) * 0xff51afd7ed558ccdull;
    h ^= h >> 32;
  };
  h = (h ^ n) * 0x9e3779b97f4a7c15ull;
  if (n >= 8) {
    // Whole words, then the last word, which may overlap the one before.
    std::uint64_t w;
    for (std::size_t i = 0; i + 8 < n; i += 8) {
      std::memcpy(&w, p + i, 8);
      mix(w);
    }
    std::memcpy(&w, p + n - 8, 8);
    mix(w);
  } else if (n >= 4) {
    std::uint32_t a, b;
    std::memcpy(&a, p, 4);
    std::memcpy(&b, p + n - 4, 4);
    mix((static_cast<std::uint64_t>(a) << 32) | b);
  } else {
    std::uint64_t w = 0;
    for (std::size_t i = 0; i < n; ++i) w = (w << 8) | static_cast<unsigned char>(p[i]);
    mix(w);
  }
  return h;
}

/// Both names in one hash, mixed so that its low bits (the slot) and its
/// high bits (the tag) both depend on every byte.
std::size_t HashOf(const CATUnicodeString& partNumber, const CATUnicodeString& instanceName) {
  std::uint64_t h = Fold(instanceName.Utf8(), Fold(partNumber.Utf8(), 0x243f6a8885a308d3ull));
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdull;
  h ^= h >> 33;
  h *= 0xc4ceb9fe1a85ec53ull;
  h ^= h >> 33;
  return static_cast<std::size_t>(h);
}

/// Byte equality of two texts, without a library call for the few bytes
/// of a part number or an instance name: a look-up among siblings compares
/// names that mostly differ only in their last digits.
[[gnu::always_inline]] inline bool Same(const CATUnicodeString& a, const CATUnicodeString& b) {
  const std::string& x = a.Utf8();
  const std::string& y = b.Utf8();
  std::size_t n = x.size();
  if (n != y.size()) return false;
  const char* p = x.data();
  const char* q = y.data();
  auto word = [](const char* at) {
    std::uint64_t w;
    std::memcpy(&w, at, sizeof w);
    return w;
  };
  if (n >= 8) {
    // The last word first, where numbered names differ, then the whole
    // words before it; the last may overlap the one before.
    if (word(p + n - 8) != word(q + n - 8)) return false;
    for (std::size_t i = 0; i + 8 < n; i += 8)
      if (word(p + i) != word(q + i)) return false;
    return true;
  }
  for (std::size_t i = 0; i < n; ++i)
    if (p[i] != q[i]) return false;
  return true;
}

/// Whether the element carries both names.
[[gnu::always_inline]] inline bool Carries(const ELMNamedStructureObject* element, const CATUnicodeString& partNumber,
                                           const CATUnicodeString& instanceName) {
  return Same(element->GetPartNumber(), partNumber) && Same(element->GetInstanceName(), instanceName);
}

/// One thread's elements, carved out of slabs. A freed element's block is
/// reused by the next; when the last element of the thread is freed, as
/// when a command's structure goes, the slabs go back but the first.
/// Under AddressSanitizer a free block is out of bounds, as a freed heap
/// block would be, so that a use after free is still caught.
class ElementSlabs {
public:
  ~ElementSlabs() {
    for (void* slab : m_slabs) Drop(slab);
    if (m_kept) Drop(m_kept);
  }

  void* Take() {
    if (m_free) {
      Free* block = m_free;
      ELM_BLOCK_TAKEN(block, kBlock);
      m_free = block->next;
      ++m_live;
      return block;
    }
    if (m_slabs.empty() || m_used == kPerSlab) {
      m_slabs.reserve(m_slabs.size() + 1);
      void* slab = m_kept ? std::exchange(m_kept, nullptr) : ::operator new(kPerSlab* kBlock);
      ELM_BLOCK_FREED(slab, kPerSlab * kBlock);
      m_slabs.push_back(slab);
      m_used = 0;
    }
    void* block = static_cast<char*>(m_slabs.back()) + kBlock * m_used++;
    ELM_BLOCK_TAKEN(block, kBlock);
    ++m_live;
    return block;
  }

  void Give(void* block) {
    auto* free = static_cast<Free*>(block);
    free->next = m_free;
    m_free = free;
    ELM_BLOCK_FREED(block, kBlock);
    if (--m_live == 0) Reset();
  }

  static constexpr std::size_t kBlock = sizeof(ELMNamedStructureObject);

private:
  static constexpr std::size_t kPerSlab = 1024;
  struct Free {
    Free* next;
  };

  void Reset() {
    m_free = nullptr;
    m_used = 0;
    for (void* slab : m_slabs) {
      if (!m_kept)
        m_kept = slab;
      else
        Drop(slab);
    }
    m_slabs.clear();
  }

  static void Drop(void* slab) {
    ELM_BLOCK_TAKEN(slab, kPerSlab * kBlock);
    ::operator delete(slab);
  }

  std::vector<void*> m_slabs;
  void* m_kept = nullptr;
  std::size_t m_used = 0;
  std::size_t m_live = 0;
  Free* m_free = nullptr;
};

ElementSlabs& Slabs() {
  thread_local ElementSlabs slabs;
  return slabs;
}

}  // namespace

/// The children by their two names, in an open-addressing table of
/// positions: one slot array, no allocation per child. Children are entered
/// in stored order and a later child with the same names as an earlier one
/// is left out, so the slot of a pair of names holds the first match a scan
/// from the first child would find.
///
/// A navigator usually lists the children in the order they were stored,
/// so a look-up first tries the child after the one found last: when its
/// names are the ones asked for and no earlier sibling carries them, it is
/// the answer without touching the table, whose slots lie scattered in
/// memory.
struct ELMNamedStructureObject::ChildIndex {
  struct Slot {
    std::uint32_t tag;  // upper bits of the hash: most mismatches end here
    int position;       // 1-based; 0 for a free slot
  };
  std::vector<Slot> slots;
  std::size_t mask = 0;
  /// The children by position (1-based; the first entry is unused).
  std::vector<ELMNamedStructureObject*> children;
  /// Whether the child at a position is the first with its names.
  std::vector<bool> first;
  std::size_t next = 1;

  ChildIndex(ELMNamedStructureObject* firstChild, int count) {
    const std::size_t n = static_cast<std::size_t>(count);
    std::size_t size = 64;
    while (size < 2 * n) size <<= 1;
    slots.assign(size, Slot{0, 0});
    mask = size - 1;
    first.assign(n + 1, false);
    children.reserve(n + 1);
    children.push_back(nullptr);
    for (ELMNamedStructureObject* c = firstChild; c; c = c->m_nextSibling) children.push_back(c);
    std::vector<std::size_t> hashes(n + 1);
    for (std::size_t i = 1; i <= n; ++i) hashes[i] = HashOf(children[i]->m_partNumber, children[i]->m_instanceName);
    constexpr std::size_t kAhead = 16;
    for (std::size_t i = 1; i <= n; ++i) {
      if (i + kAhead <= n) __builtin_prefetch(&slots[hashes[i + kAhead] & mask], 1);
      ELMNamedStructureObject* child = children[i];
      Slot* slot = Find(hashes[i], child->m_partNumber, child->m_instanceName);
      if (slot->position != 0) continue;
      *slot = Slot{Tag(hashes[i]), static_cast<int>(i)};
      first[i] = true;
    }
  }

  static std::uint32_t Tag(std::size_t hash) { return static_cast<std::uint32_t>(hash >> 32); }

  /// The slot holding the pair of names, or the free slot where it would go.
  Slot* Find(std::size_t hash, const CATUnicodeString& partNumber, const CATUnicodeString& instanceName) {
    const std::uint32_t tag = Tag(hash);
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
      Slot& slot = slots[i];
      if (slot.position == 0) return &slot;
      if (slot.tag != tag) continue;
      if (Carries(children[static_cast<std::size_t>(slot.position)], partNumber, instanceName)) return &slot;
    }
  }

  /// The first child with the names, or null.
  ELMNamedStructureObject* Lookup(const CATUnicodeString& partNumber, const CATUnicodeString& instanceName) {
    std::size_t position = 0;
    if (next < children.size() && first[next] && Carries(children[next], partNumber, instanceName)) position = next;
    if (position == 0)
      position = static_cast<std::size_t>(Find(HashOf(partNumber, instanceName), partNumber, instanceName)->position);
    if (position == 0) return nullptr;
    next = position + 1;
    return children[position];
  }
};

void* ELMNamedStructureObject::operator new(std::size_t size) {
  if (size != ElementSlabs::kBlock) return ::operator new(size);
  return Slabs().Take();
}

void ELMNamedStructureObject::operator delete(void* block, std::size_t size) noexcept {
  if (!block) return;
  if (size != ElementSlabs::kBlock) {
    ::operator delete(block);
    return;
  }
  Slabs().Give(block);
}

ELMNamedStructureObject::ELMNamedStructureObject(CATUnicodeString&& partNumber, CATUnicodeString&& instanceName)
    : m_partNumber(std::move(partNumber)), m_instanceName(std::move(instanceName)) {
  ELM_SCOPE("ELMNamedStructureObject::ELMNamedStructureObject");
}

ELMNamedStructureObject::~ELMNamedStructureObject() {
  ELM_SCOPE("ELMNamedStructureObject::~ELMNamedStructureObject");
  // A stored structure may be far deeper than the stack: the subtree is
  // taken apart through one chain of elements still to go, each handing
  // its own children over to the chain before it goes, so no destructor
  // ever reaches below itself, and nothing is allocated on the way.
  m_index.reset();
  ELMNamedStructureObject* doomed = m_firstChild;
  m_firstChild = m_lastChild = nullptr;
  m_childCount = 0;
  while (doomed) {
    ELMNamedStructureObject* node = doomed;
    doomed = node->m_nextSibling;
    if (node->m_firstChild) {
      node->m_lastChild->m_nextSibling = doomed;
      doomed = node->m_firstChild;
    }
    node->m_firstChild = node->m_lastChild = node->m_nextSibling = nullptr;
    node->m_childCount = 0;
    node->m_index.reset();
    delete node;
  }
}

ELMNamedStructureObject* ELMNamedStructureObject::GetElement(int index) {
  ELM_SCOPE("ELMNamedStructureObject::GetElement");
  if (index < 1 || index > m_childCount) return nullptr;
  ELMNamedStructureObject* child = m_firstChild;
  while (--index > 0) child = child->m_nextSibling;
  return child;
}

ELMNamedStructureObject* ELMNamedStructureObject::GetChildObject(const CATUnicodeString& partNumber,
                                                                 const CATUnicodeString& instanceName) {
  ELM_SCOPE("ELMNamedStructureObject::GetChildObject");
  ELMNamedStructureObject* found = nullptr;
  if (m_childCount < kIndexFrom) {
    for (ELMNamedStructureObject* c = m_firstChild; c && !found; c = c->m_nextSibling)
      if (Carries(c, partNumber, instanceName)) found = c;
  } else {
    if (!m_index) m_index = std::make_unique<ChildIndex>(m_firstChild, m_childCount);
    found = m_index->Lookup(partNumber, instanceName);
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
    ELMNamedStructureObject* next;
  };
  ELMScopeStack scopes(elmScope);
  std::vector<Frame> stack;
  auto visit = [&](ELMNamedStructureObject* node) {
    if (!node->m_handled) lines.Append(node->m_partNumber + "(" + node->m_instanceName + ")");
    stack.push_back({node, node->m_firstChild});
  };
  visit(this);
  while (!stack.empty()) {
    Frame& f = stack.back();
    if (!f.next) {
      stack.pop_back();
      if (!stack.empty()) scopes.Close();
      continue;
    }
    ELMNamedStructureObject* child = f.next;
    f.next = child->m_nextSibling;
    scopes.Open();
    visit(child);
  }
}

void ELMNamedStructureObject::AddChild(ELMNamedStructureObject* child) {
  if (!child) return;
  if (m_lastChild)
    m_lastChild->m_nextSibling = child;
  else
    m_firstChild = child;
  m_lastChild = child;
  ++m_childCount;
  // Children come before the first look-up; one added later makes the
  // index be built again on the next.
  m_index.reset();
}
