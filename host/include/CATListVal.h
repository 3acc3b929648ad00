#pragma once

#include <algorithm>
#include <initializer_list>
#include <utility>
#include <vector>

namespace elmhost {

/// The platform's value lists: positions run from 1 to Size().
template <class T>
class ListVal {
public:
  ListVal() = default;
  ListVal(std::initializer_list<T> items) : m_v(items) {}

  void Append(const T& v) { m_v.push_back(v); }
  void Append(T&& v) { m_v.push_back(std::move(v)); }
  void Append(const ListVal& other) { m_v.insert(m_v.end(), other.m_v.begin(), other.m_v.end()); }
  /// Inserts before position pos (1-based); pos Size()+1 appends.
  void InsertAt(int pos, const T& v) { m_v.insert(m_v.begin() + (pos - 1), v); }
  int Size() const { return static_cast<int>(m_v.size()); }
  T& operator[](int pos) { return m_v[static_cast<std::size_t>(pos - 1)]; }
  const T& operator[](int pos) const { return m_v[static_cast<std::size_t>(pos - 1)]; }
  void RemoveAll() { m_v.clear(); }
  void RemovePosition(int pos) { m_v.erase(m_v.begin() + (pos - 1)); }
  /// 1-based position of the first item equal to v, or 0.
  int Locate(const T& v) const {
    auto it = std::find(m_v.begin(), m_v.end(), v);
    return it == m_v.end() ? 0 : static_cast<int>(it - m_v.begin()) + 1;
  }
  void Swap(int a, int b) { std::swap((*this)[a], (*this)[b]); }

  auto begin() { return m_v.begin(); }
  auto end() { return m_v.end(); }
  auto begin() const { return m_v.begin(); }
  auto end() const { return m_v.end(); }

  friend bool operator==(const ListVal& a, const ListVal& b) { return a.m_v == b.m_v; }

protected:
  std::vector<T> m_v;
};

}  // namespace elmhost
