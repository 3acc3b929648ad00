#pragma once

#include "ELMHostExport.h"

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>

using HRESULT = std::int32_t;
using ULONG = std::uint32_t;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);

#ifndef SUCCEEDED
#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#endif
#ifndef FAILED
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)
#endif

class CATBaseUnknown;

/// Identifies an interface for QueryInterface: a name for diagnostics and the
/// cast that tells whether an object implements it.
struct CATIID {
  const char* name;
  void* (*cast)(CATBaseUnknown*);
};

/// Root of every reference-counted host object. Interfaces derive from it
/// virtually, so an object implementing several of them has one count.
class ExportedByELMHost CATBaseUnknown {
public:
  CATBaseUnknown() = default;
  CATBaseUnknown(const CATBaseUnknown&) : m_cRef(1) {}
  CATBaseUnknown& operator=(const CATBaseUnknown&) { return *this; }
  virtual ~CATBaseUnknown();

  virtual ULONG AddRef();
  virtual ULONG Release();
  /// Gives *ppv an added reference to the interface iid, or fails with
  /// E_NOINTERFACE and sets *ppv to null.
  virtual HRESULT QueryInterface(const CATIID& iid, void** ppv);

  static const CATIID& ClassId();

  /// Current reference count; for diagnostics and tests.
  ULONG GetRefCount() const { return m_cRef; }

  /// Objects that must never be destroyed through Release (shared null
  /// objects) call this once after construction.
  void MakeImmortal() { m_cRef = 1u << 30; }

protected:
  /// Called by Release when the count falls to zero; deletes the object.
  /// An object kept for reuse instead is brought back with AddRef.
  virtual void OnLastRelease();

private:
  ULONG m_cRef = 1;
};

#define CATDeclareInterface(Iface) \
public:                            \
  static const CATIID& ClassId();

/// Defines Iface::ClassId(); use once, in a source file of the library that owns Iface.
#define CATImplementInterface(Iface)                                                  \
  const CATIID& Iface::ClassId() {                                                    \
    static const CATIID id{#Iface, [](CATBaseUnknown* p) -> void* {                   \
                             return p ? static_cast<void*>(dynamic_cast<Iface*>(p))   \
                                      : nullptr;                                      \
                           }};                                                        \
    return id;                                                                        \
  }

/// Smart handle of a reference-counted interface: copies add a reference,
/// destruction releases, conversion between interfaces goes through
/// QueryInterface. A call through a null handle reaches a shared inert object
/// whose operations fail, so it is never a crash.
template <class T>
class CATVar {
public:
  using element_type = T;

  CATVar() noexcept = default;
  CATVar(std::nullptr_t) noexcept {}
  /// Takes a new reference on p.
  CATVar(T* p) noexcept : m_p(p) {
    if (m_p) m_p->AddRef();
  }
  /// Queries p for T.
  template <class U, std::enable_if_t<!std::is_convertible_v<U*, T*>, int> = 0>
  explicit CATVar(U* p) noexcept {
    Query(p);
  }
  CATVar(const CATVar& o) noexcept : CATVar(o.m_p) {}
  CATVar(CATVar&& o) noexcept : m_p(std::exchange(o.m_p, nullptr)) {}
  template <class U, std::enable_if_t<std::is_convertible_v<U*, T*>, int> = 0>
  CATVar(const CATVar<U>& o) noexcept : CATVar(static_cast<T*>(o.get())) {}
  template <class U, std::enable_if_t<!std::is_convertible_v<U*, T*>, int> = 0>
  CATVar(const CATVar<U>& o) noexcept {
    Query(o.get());
  }
  ~CATVar() { Reset(); }

  CATVar& operator=(const CATVar& o) noexcept {
    CATVar(o).Swap(*this);
    return *this;
  }
  CATVar& operator=(CATVar&& o) noexcept {
    CATVar(std::move(o)).Swap(*this);
    return *this;
  }
  CATVar& operator=(T* p) noexcept {
    CATVar(p).Swap(*this);
    return *this;
  }
  CATVar& operator=(std::nullptr_t) noexcept {
    Reset();
    return *this;
  }
  template <class U>
  CATVar& operator=(const CATVar<U>& o) noexcept {
    CATVar(o).Swap(*this);
    return *this;
  }

  T* operator->() const noexcept { return m_p ? m_p : Inert(); }
  T& operator*() const noexcept { return *operator->(); }
  T* get() const noexcept { return m_p; }
  explicit operator bool() const noexcept { return m_p != nullptr; }
  bool operator!() const noexcept { return m_p == nullptr; }
  friend bool operator==(const CATVar& a, std::nullptr_t) noexcept { return a.m_p == nullptr; }
  template <class U>
  friend bool operator==(const CATVar& a, const CATVar<U>& b) noexcept {
    return static_cast<const void*>(a.m_p) == static_cast<const void*>(b.get());
  }

  void Reset() noexcept {
    if (T* p = std::exchange(m_p, nullptr)) p->Release();
  }
  /// Adopts p without adding a reference (for objects fresh from new).
  void Attach(T* p) noexcept {
    Reset();
    m_p = p;
  }
  /// Gives up the reference without releasing it.
  T* Detach() noexcept { return std::exchange(m_p, nullptr); }
  void Swap(CATVar& o) noexcept { std::swap(m_p, o.m_p); }

private:
  template <class U>
  void Query(U* p) noexcept {
    if (!p) return;
    void* out = nullptr;
    if (SUCCEEDED(p->QueryInterface(T::ClassId(), &out))) m_p = static_cast<T*>(out);
  }
  static T* Inert() noexcept {
    if constexpr (std::is_abstract_v<T> || !std::is_default_constructible_v<T>) {
      return nullptr;
    } else {
      static T* inert = [] {
        T* t = new T();
        t->MakeImmortal();
        return t;
      }();
      return inert;
    }
  }

  T* m_p = nullptr;
};

/// Creates a T with `new` and hands its first reference to a handle.
template <class T, class... Args>
CATVar<T> CATMakeVar(Args&&... args) {
  CATVar<T> v;
  v.Attach(new T(std::forward<Args>(args)...));
  return v;
}

using CATBaseUnknown_var = CATVar<CATBaseUnknown>;
