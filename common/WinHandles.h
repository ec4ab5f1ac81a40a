// Owners of operating-system resources. Each closes its resource exactly once, on every path,
// and leaves GetLastError() as it was, so a failing step can still log its error code after the
// cleanup ran.
#pragma once

#include <windows.h>
#include <wincrypt.h>
#include <wininet.h>

template <typename Traits>
class CUniqueResource {
 public:
  using Type = typename Traits::Type;

  CUniqueResource() = default;
  explicit CUniqueResource(Type value) : m_value(value) {}
  ~CUniqueResource() { Reset(); }
  CUniqueResource(const CUniqueResource&) = delete;
  CUniqueResource& operator=(const CUniqueResource&) = delete;
  CUniqueResource(CUniqueResource&& other) noexcept : m_value(other.Release()) {}
  CUniqueResource& operator=(CUniqueResource&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }

  Type Get() const { return m_value; }
  bool IsValid() const { return m_value != Traits::Invalid(); }
  explicit operator bool() const { return IsValid(); }

  // For out-parameters of creating calls: closes the current value first.
  Type* Put() {
    Reset();
    return &m_value;
  }

  void Reset(Type value = Traits::Invalid()) {
    if (IsValid()) {
      const DWORD savedError = ::GetLastError();
      Traits::Close(m_value);
      ::SetLastError(savedError);
    }
    m_value = value;
  }

  [[nodiscard]] Type Release() {
    Type value = m_value;
    m_value = Traits::Invalid();
    return value;
  }

 private:
  Type m_value = Traits::Invalid();
};

struct HandleTraits {  // process, thread, event, token: invalid when NULL
  using Type = HANDLE;
  static Type Invalid() { return nullptr; }
  static void Close(Type value) { ::CloseHandle(value); }
};

struct FileHandleTraits {  // CreateFile: invalid at INVALID_HANDLE_VALUE
  using Type = HANDLE;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Type value) { ::CloseHandle(value); }
};

struct RegKeyTraits {
  using Type = HKEY;
  static Type Invalid() { return nullptr; }
  static void Close(Type value) { ::RegCloseKey(value); }
};

struct GdiObjectTraits {
  using Type = HGDIOBJ;
  static Type Invalid() { return nullptr; }
  static void Close(Type value) { ::DeleteObject(value); }
};

struct ModuleTraits {  // LoadLibrary
  using Type = HMODULE;
  static Type Invalid() { return nullptr; }
  static void Close(Type value) { ::FreeLibrary(value); }
};

struct InternetTraits {  // InternetOpen, InternetOpenUrl and the other WinINet handles
  using Type = HINTERNET;
  static Type Invalid() { return nullptr; }
  static void Close(Type value) { ::InternetCloseHandle(value); }
};

struct MemoryDcTraits {  // CreateCompatibleDC
  using Type = HDC;
  static Type Invalid() { return nullptr; }
  static void Close(Type value) { ::DeleteDC(value); }
};

struct CryptProviderTraits {  // CryptAcquireContext
  using Type = HCRYPTPROV;
  static Type Invalid() { return 0; }
  static void Close(Type value) { ::CryptReleaseContext(value, 0); }
};

struct CryptHashTraits {  // CryptCreateHash
  using Type = HCRYPTHASH;
  static Type Invalid() { return 0; }
  static void Close(Type value) { ::CryptDestroyHash(value); }
};

struct CryptKeyTraits {  // CryptImportKey, CryptImportPublicKeyInfo
  using Type = HCRYPTKEY;
  static Type Invalid() { return 0; }
  static void Close(Type value) { ::CryptDestroyKey(value); }
};

using CScopedHandle = CUniqueResource<HandleTraits>;
using CScopedFile = CUniqueResource<FileHandleTraits>;
using CScopedRegKey = CUniqueResource<RegKeyTraits>;
using CScopedGdiObject = CUniqueResource<GdiObjectTraits>;
using CScopedModule = CUniqueResource<ModuleTraits>;
using CScopedInternet = CUniqueResource<InternetTraits>;
using CScopedMemoryDC = CUniqueResource<MemoryDcTraits>;
using CScopedCryptProvider = CUniqueResource<CryptProviderTraits>;
using CScopedCryptHash = CUniqueResource<CryptHashTraits>;
using CScopedCryptKey = CUniqueResource<CryptKeyTraits>;

// Selects a GDI object into a device context for the life of the scope and puts the previous one
// back, so that the object can be deleted afterwards. A null object selects nothing.
class CSelectObject {
 public:
  CSelectObject(HDC dc, HGDIOBJ object)
      : m_dc(dc), m_previous(object != nullptr ? ::SelectObject(dc, object) : nullptr) {}
  ~CSelectObject() {
    if (m_previous != nullptr && m_previous != HGDI_ERROR) ::SelectObject(m_dc, m_previous);
  }
  CSelectObject(const CSelectObject&) = delete;
  CSelectObject& operator=(const CSelectObject&) = delete;
  bool Selected() const { return m_previous != nullptr && m_previous != HGDI_ERROR; }

 private:
  HDC m_dc;
  HGDIOBJ m_previous;
};

// BeginPaint and EndPaint of one WM_PAINT.
class CPaintScope {
 public:
  explicit CPaintScope(HWND hWnd) : m_hWnd(hWnd), m_dc(::BeginPaint(hWnd, &m_paint)) {}
  ~CPaintScope() { ::EndPaint(m_hWnd, &m_paint); }
  CPaintScope(const CPaintScope&) = delete;
  CPaintScope& operator=(const CPaintScope&) = delete;
  HDC Get() const { return m_dc; }

 private:
  HWND m_hWnd;
  PAINTSTRUCT m_paint = {};
  HDC m_dc;
};

// GetDC and ReleaseDC of a window, or of the screen for a null window.
class CWindowDC {
 public:
  explicit CWindowDC(HWND hWnd) : m_hWnd(hWnd), m_dc(::GetDC(hWnd)) {}
  ~CWindowDC() {
    if (m_dc != nullptr) ::ReleaseDC(m_hWnd, m_dc);
  }
  CWindowDC(const CWindowDC&) = delete;
  CWindowDC& operator=(const CWindowDC&) = delete;
  HDC Get() const { return m_dc; }

 private:
  HWND m_hWnd;
  HDC m_dc;
};

// A function of a module loaded at run time, typed; null when the module lacks it.
template <typename Function>
Function GetProcAddressAs(HMODULE module, const char* name) {
  // Through the generic function pointer type, which converts to any other without a warning.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}
