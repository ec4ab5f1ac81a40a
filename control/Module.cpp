#include "Module.h"

#include <ole2.h>

#include "ClassFactory.h"
#include "VelSetup_h.h"

namespace {

HINSTANCE g_hInstance = nullptr;
LONG g_nLocks = 0;

}  // namespace

HINSTANCE ModuleInstance() { return g_hInstance; }

std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(g_hInstance, &path[0], static_cast<DWORD>(path.size()));
    if (length == 0) return std::wstring();
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

void LockModule() { ::InterlockedIncrement(&g_nLocks); }
void UnlockModule() { ::InterlockedDecrement(&g_nLocks); }

// The library holds a lock on itself while loaded, so it stays loaded for the life of the
// process: the hidden window class it registers must outlive every window of that class.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_hInstance = instance;
    ::DisableThreadLibraryCalls(instance);
    LockModule();
  } else if (reason == DLL_PROCESS_DETACH) {
    UnlockModule();
  }
  return TRUE;
}

STDAPI DllCanUnloadNow() { return g_nLocks == 0 ? S_OK : S_FALSE; }

// For the tests, which cannot see the count through DllCanUnloadNow: the locks of live objects
// and of the class factory, the library's own lock left out.
extern "C" LONG WINAPI VelSetupObjectLocksForTesting() { return g_nLocks - 1; }

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (!::IsEqualCLSID(clsid, CLSID_VelSetupCtrl)) return CLASS_E_CLASSNOTAVAILABLE;
  return VelSetupCtrlFactory()->QueryInterface(iid, object);
}
