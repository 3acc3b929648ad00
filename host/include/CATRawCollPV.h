#pragma once

#include "CATListVal.h"

#include <cstdlib>

class CATRawCollPV : public elmhost::ListVal<void*> {
public:
  using ListVal::ListVal;
  using Comparator = int (*)(void*, void*);

  /// Sorts with a comparator returning negative when the first goes first.
  void QuickSort(Comparator cmp) {
    std::stable_sort(m_v.begin(), m_v.end(), [cmp](void* a, void* b) { return cmp(a, b) < 0; });
  }
};
