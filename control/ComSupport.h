// Small COM helpers of the control: an owning interface pointer, and the guard that keeps C++
// exceptions from leaving a COM entry point.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <new>
#include <utility>

template <typename Interface>
class CComPtrLite {
 public:
  CComPtrLite() = default;
  ~CComPtrLite() { Reset(); }
  CComPtrLite(const CComPtrLite&) = delete;
  CComPtrLite& operator=(const CComPtrLite&) = delete;
  CComPtrLite(CComPtrLite&& other) noexcept : m_p(other.m_p) { other.m_p = nullptr; }

  Interface* Get() const { return m_p; }
  Interface* operator->() const { return m_p; }
  explicit operator bool() const { return m_p != nullptr; }
  // For out-parameters of creating calls: releases the current pointer first.
  Interface** Put() {
    Reset();
    return &m_p;
  }
  void Reset() {
    if (m_p != nullptr) m_p->Release();
    m_p = nullptr;
  }

 private:
  Interface* m_p = nullptr;
};

// Runs `body` (returning an HRESULT); an allocation failure becomes E_OUTOFMEMORY and any other
// exception E_UNEXPECTED.
template <typename Body>
HRESULT GuardedCall(Body&& body) noexcept {
  try {
    return std::forward<Body>(body)();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}
