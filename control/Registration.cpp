// Self-registration: the registry script under HKEY_CLASSES_ROOT, the type library from the
// library's own resource, and the two safety categories through the standard component
// categories manager. Each walk stops at the first failing step and returns its code.
#include <windows.h>
#include <comcat.h>
#include <objsafe.h>
#include <ole2.h>
#include <olectl.h>
#include <shlwapi.h>

#include <string>

#include "ComSupport.h"
#include "Module.h"
#include "VelSetup_h.h"
#include "WinHandles.h"

namespace {

enum : unsigned {
  kReplaceWhole = 1,  // deleted with everything below it before it is written
  kRemove = 2,        // deleted with everything below it on unregistration
};

// One key, and one string value of it when `value` is given (`name` null: the default value).
// "%CLSID%", "%LIBID%" and "%MODULE%" stand for the class and library identifiers in braces and
// the library file's full path.
struct ScriptRow {
  const wchar_t* key;
  const wchar_t* name;
  const wchar_t* value;
  unsigned flags;
};

const ScriptRow kRegistryScript[] = {
    {L"VelSetup.VelSetupCtrl.1", nullptr, L"VelSetupCtrl1010 Class", kRemove},
    {L"VelSetup.VelSetupCtrl.1\\CLSID", nullptr, L"%CLSID%", 0},
    {L"VelSetup.VelSetupCtrl", nullptr, L"VelSetupCtrl1010 Class", kRemove},
    {L"VelSetup.VelSetupCtrl\\CLSID", nullptr, L"%CLSID%", 0},
    {L"VelSetup.VelSetupCtrl\\CurVer", nullptr, L"VelSetup.VelSetupCtrl.1", 0},
    {L"CLSID\\%CLSID%", nullptr, L"VelSetupCtrl1010 Class", kReplaceWhole | kRemove},
    {L"CLSID\\%CLSID%\\ProgID", nullptr, L"VelSetup.VelSetupCtrl.1", 0},
    {L"CLSID\\%CLSID%\\VersionIndependentProgID", nullptr, L"VelSetup.VelSetupCtrl", 0},
    {L"CLSID\\%CLSID%\\Programmable", nullptr, nullptr, kReplaceWhole},
    {L"CLSID\\%CLSID%\\ToolboxBitmap32", nullptr, L"%MODULE%, 202", kReplaceWhole},
    {L"CLSID\\%CLSID%\\InprocServer32", nullptr, L"%MODULE%", 0},
    {L"CLSID\\%CLSID%\\InprocServer32", L"ThreadingModel", L"Apartment", 0},
    {L"CLSID\\%CLSID%\\TypeLib", nullptr, L"%LIBID%", 0},
};

struct Category {
  const CATID* id;
  const wchar_t* description;
};

const Category kCategories[] = {
    {&CATID_SafeForInitializing, L"Controls safely initializable from persistent data!"},
    {&CATID_SafeForScripting, L"Controls safely scriptable!"},
};

constexpr LCID kEnglish = 0x0409;

std::wstring GuidText(const GUID& guid) {
  wchar_t text[40] = {};
  ::StringFromGUID2(guid, text, 40);
  return text;
}

std::wstring Expand(const wchar_t* pattern, const std::wstring& modulePath) {
  std::wstring text = pattern;
  const std::pair<const wchar_t*, std::wstring> fields[] = {{L"%CLSID%", GuidText(CLSID_VelSetupCtrl)},
                                                            {L"%LIBID%", GuidText(LIBID_VELSETUPLib)},
                                                            {L"%MODULE%", modulePath}};
  for (const auto& field : fields) {
    const std::wstring name = field.first;
    for (size_t at = text.find(name); at != std::wstring::npos;
         at = text.find(name, at + field.second.size())) {
      text.replace(at, name.size(), field.second);
    }
  }
  return text;
}

HRESULT DeleteTree(const std::wstring& key) {
  const DWORD result = ::SHDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
  return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(result);
}

HRESULT WriteRow(const ScriptRow& row, const std::wstring& modulePath) {
  const std::wstring key = Expand(row.key, modulePath);
  if (row.flags & kReplaceWhole) {
    const HRESULT hr = DeleteTree(key);
    if (FAILED(hr)) return hr;
  }
  CScopedRegKey opened;
  LONG result = ::RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                                  opened.Put(), nullptr);
  if (result != ERROR_SUCCESS) return HRESULT_FROM_WIN32(result);
  if (row.value != nullptr) {
    const std::wstring value = Expand(row.value, modulePath);
    result = ::RegSetValueExW(opened.Get(), row.name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                              static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    if (result != ERROR_SUCCESS) return HRESULT_FROM_WIN32(result);
  }
  return S_OK;
}

HRESULT LoadOwnTypeLibrary(const std::wstring& modulePath, CComPtrLite<ITypeLib>& library) {
  return ::LoadTypeLibEx(modulePath.c_str(), REGKIND_NONE, library.Put());
}

HRESULT RegisterScriptAndTypeLibrary(const std::wstring& modulePath) {
  for (const ScriptRow& row : kRegistryScript) {
    const HRESULT hr = WriteRow(row, modulePath);
    if (FAILED(hr)) return hr;
  }
  CComPtrLite<ITypeLib> library;
  HRESULT hr = LoadOwnTypeLibrary(modulePath, library);
  if (SUCCEEDED(hr)) hr = ::RegisterTypeLib(library.Get(), const_cast<wchar_t*>(modulePath.c_str()), nullptr);
  return hr;
}

HRESULT UnregisterScriptAndTypeLibrary(const std::wstring& modulePath) {
  for (size_t i = sizeof kRegistryScript / sizeof kRegistryScript[0]; i-- > 0;) {
    if ((kRegistryScript[i].flags & kRemove) == 0) continue;
    const HRESULT hr = DeleteTree(Expand(kRegistryScript[i].key, modulePath));
    if (FAILED(hr)) return hr;
  }
  CComPtrLite<ITypeLib> library;
  HRESULT hr = LoadOwnTypeLibrary(modulePath, library);
  if (FAILED(hr)) return hr;
  TLIBATTR* attributes = nullptr;
  hr = library->GetLibAttr(&attributes);
  if (FAILED(hr)) return hr;
  hr = ::UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum,
                           attributes->lcid, attributes->syskind);
  library->ReleaseTLibAttr(attributes);
  return hr;
}

// COM for the calls of the components categories manager, when the caller has not set it up.
class CComScope {
 public:
  CComScope() : m_hr(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~CComScope() {
    if (SUCCEEDED(m_hr)) ::CoUninitialize();
  }
  CComScope(const CComScope&) = delete;
  CComScope& operator=(const CComScope&) = delete;

 private:
  HRESULT m_hr;
};

HRESULT CategoriesManager(CComPtrLite<ICatRegister>& manager) {
  return ::CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER, IID_ICatRegister,
                            reinterpret_cast<void**>(manager.Put()));
}

HRESULT RegisterCategories() {
  CComPtrLite<ICatRegister> manager;
  HRESULT hr = CategoriesManager(manager);
  for (const Category& category : kCategories) {
    if (FAILED(hr)) break;
    CATEGORYINFO info = {};
    info.catid = *category.id;
    info.lcid = kEnglish;
    ::lstrcpynW(info.szDescription, category.description, 128);  // cut to 127 characters
    hr = manager->RegisterCategories(1, &info);
    if (SUCCEEDED(hr))
      hr = manager->RegisterClassImplCategories(CLSID_VelSetupCtrl, 1, const_cast<CATID*>(category.id));
  }
  return hr;
}

HRESULT UnregisterCategories() {
  CComPtrLite<ICatRegister> manager;
  HRESULT hr = CategoriesManager(manager);
  for (const Category& category : kCategories) {
    if (FAILED(hr)) break;
    hr = manager->UnRegisterClassImplCategories(CLSID_VelSetupCtrl, 1, const_cast<CATID*>(category.id));
  }
  return hr;
}

}  // namespace

STDAPI DllRegisterServer() {
  return GuardedCall([] {
    const CComScope com;
    const std::wstring modulePath = ModulePath();
    HRESULT hr = RegisterScriptAndTypeLibrary(modulePath);
    if (SUCCEEDED(hr)) hr = RegisterCategories();
    return hr;
  });
}

STDAPI DllUnregisterServer() {
  return GuardedCall([] {
    const CComScope com;
    HRESULT hr = UnregisterCategories();
    if (SUCCEEDED(hr)) hr = UnregisterScriptAndTypeLibrary(ModulePath());
    return hr;
  });
}
