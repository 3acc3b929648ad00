#pragma once

#include "CATListValCATUnicodeString.h"
#include "CATUnicodeString.h"

#include <cstddef>
#include <memory>

/// One element of a named structure as the PDM stores it: the part number
/// of a node's reference and the name of its instance, with the elements
/// below it in their stored order. A parent owns its children.
class ELMNamedStructureObject {
public:
  /// Takes the names over: a stored structure's elements are made from
  /// names just read, one element for every node of the product.
  ELMNamedStructureObject(CATUnicodeString&& partNumber, CATUnicodeString&& instanceName);
  ~ELMNamedStructureObject();
  ELMNamedStructureObject(const ELMNamedStructureObject&) = delete;
  /// Elements come from slabs of the thread that makes them, which must
  /// also be the one that frees them: a stored structure has as many
  /// elements as the product has nodes, made in one pass and freed in one.
  static void* operator new(std::size_t size);
  static void operator delete(void* block, std::size_t size) noexcept;
  ELMNamedStructureObject& operator=(const ELMNamedStructureObject&) = delete;

  /// The child at the 1-based index, or null when there are fewer children.
  /// Children are a chain: the index-th is reached in index steps.
  ELMNamedStructureObject* GetElement(int index);
  /// The first child, in stored order, whose part number and instance name
  /// both equal the given ones (exactly, letter case included); null when
  /// none does.
  ELMNamedStructureObject* GetChildObject(const CATUnicodeString& partNumber, const CATUnicodeString& instanceName);
  /// Appends "partnumber(instancename)" for every element of this subtree,
  /// itself first, that no navigator node was matched to, in pre-order.
  void GetUnhandledObjects(CATListValCATUnicodeString& lines);

  /// Takes child over as the last child.
  void AddChild(ELMNamedStructureObject* child);
  int GetChildCount() const { return m_childCount; }
  const CATUnicodeString& GetPartNumber() const { return m_partNumber; }
  const CATUnicodeString& GetInstanceName() const { return m_instanceName; }
  bool IsHandled() const { return m_handled != 0; }
  void SetHandled() { m_handled = 1; }

private:
  struct ChildIndex;

  CATUnicodeString m_partNumber;
  CATUnicodeString m_instanceName;
  // Children are chained through their next sibling rather than listed in
  // an array of their own: a stored structure is made in one pass with
  // children only ever appended, and an array per element would mean a
  // growing allocation for every element that has children.
  ELMNamedStructureObject* m_firstChild = nullptr;
  ELMNamedStructureObject* m_lastChild = nullptr;
  ELMNamedStructureObject* m_nextSibling = nullptr;
  int m_childCount = 0;
  unsigned char m_handled = 0;
  /// Built on the first look-up among many children, so that matching a
  /// node with tens of thousands of children does not scan them for each.
  std::unique_ptr<ChildIndex> m_index;
};
