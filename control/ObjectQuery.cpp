#include "ObjectQuery.h"

#include <windows.h>
#include <ole2.h>

#include "WinHandles.h"

namespace {

constexpr DWORD kKillBit = 0x400;

bool IsDisabledInBrowser(const CLSID& clsid) {
  wchar_t braced[40] = {};
  if (::StringFromGUID2(clsid, braced, 40) == 0) return false;
  const std::wstring keyPath =
      std::wstring(L"SOFTWARE\\Microsoft\\Internet Explorer\\ActiveX Compatibility\\") + braced;
  CScopedRegKey key;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ, key.Put()) != ERROR_SUCCESS)
    return false;
  DWORD flags = 0;
  DWORD size = sizeof flags;
  // Read as four bytes whatever type the value was written with.
  return ::RegQueryValueExW(key.Get(), L"Compatibility Flags", nullptr, nullptr,
                            reinterpret_cast<BYTE*>(&flags), &size) == ERROR_SUCCESS &&
         size == sizeof flags && (flags & kKillBit) != 0;
}

}  // namespace

int QueryObjectInstalled(const std::string& objectId) {
  const std::string braced = "{" + objectId + "}";
  const int length = ::MultiByteToWideChar(CP_ACP, 0, braced.c_str(), -1, nullptr, 0);
  if (length <= 0) return 2;
  std::wstring wide(static_cast<size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, braced.c_str(), -1, &wide[0], length);
  CLSID clsid;
  if (FAILED(::CLSIDFromString(&wide[0], &clsid))) return 2;
  if (IsDisabledInBrowser(clsid)) return 0;
  IUnknown* object = nullptr;
  if (FAILED(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER, IID_IUnknown,
                                reinterpret_cast<void**>(&object))) ||
      object == nullptr) {
    return 0;
  }
  object->Release();
  return 1;
}
