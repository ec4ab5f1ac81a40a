#include "VelSetupCtrl.h"

#include "ControlFolders.h"
#include "FileQueries.h"
#include "LaunchCommandLine.h"
#include "Module.h"
#include "ObjectQuery.h"
#include "PageText.h"
#include "SetupLauncher.h"
#include "StatusWindow.h"
#include "VersionText.h"

namespace {

// Longest class identifier without braces, in bytes after conversion.
constexpr size_t kMaxObjectIdBytes = 36;
// How long WaitUpdate blocks the page for the setup manager; tests shorten it.
constexpr DWORD kWaitUpdateMs = 180000;
DWORD g_waitUpdateMs = kWaitUpdateMs;

}  // namespace

HRESULT CreateVelSetupCtrl(IUnknown* outer, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (outer != nullptr && !::IsEqualIID(iid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
  auto* control = new (std::nothrow) CVelSetupCtrl(outer);
  if (control == nullptr) return E_OUTOFMEMORY;
  IUnknown* inner = control->InnerUnknown();
  HRESULT hr = GuardedCall([&] { return control->Initialize(); });
  if (SUCCEEDED(hr)) hr = inner->QueryInterface(iid, object);
  inner->Release();
  return hr;
}

CVelSetupCtrl::CVelSetupCtrl(IUnknown* outer) : m_pOuter(outer != nullptr ? outer : &m_inner) {
  LockModule();
}

CVelSetupCtrl::~CVelSetupCtrl() {
  // A setup manager still running is left alone; what it posts later goes nowhere.
  DestroyStatusWindow(m_hWnd);
  ResetRun();
  UnlockModule();
}

HRESULT CVelSetupCtrl::Initialize() {
  CComPtrLite<ITypeLib> library;
  HRESULT hr = ::LoadTypeLibEx(ModulePath().c_str(), REGKIND_NONE, library.Put());
  if (SUCCEEDED(hr)) hr = library->GetTypeInfoOfGuid(IID_IVelSetupCtrl, m_typeInfo.Put());
  if (FAILED(hr)) return hr;
  // No request is ever made through the session; it is held for the life of the control.
  m_internet.Reset(::InternetOpenA("VelSetup", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  m_folders = ComputeControlFolders();
  m_hWnd = CreateStatusWindow(ModuleInstance(), &m_run);
  return S_OK;
}

STDMETHODIMP CVelSetupCtrl::CInnerUnknown::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (::IsEqualIID(iid, IID_IUnknown)) {
    *object = static_cast<IUnknown*>(this);
  } else if (::IsEqualIID(iid, IID_IDispatch) || ::IsEqualIID(iid, IID_IVelSetupCtrl)) {
    *object = static_cast<IVelSetupCtrl*>(&m_owner);
  } else if (::IsEqualIID(iid, IID_IObjectWithSite)) {
    *object = static_cast<IObjectWithSite*>(&m_owner);
  } else if (::IsEqualIID(iid, IID_IOleObject)) {
    *object = static_cast<IOleObject*>(&m_owner);
  } else {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  static_cast<IUnknown*>(*object)->AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) CVelSetupCtrl::CInnerUnknown::AddRef() {
  return static_cast<ULONG>(::InterlockedIncrement(&m_owner.m_nRefs));
}

STDMETHODIMP_(ULONG) CVelSetupCtrl::CInnerUnknown::Release() {
  const LONG refs = ::InterlockedDecrement(&m_owner.m_nRefs);
  if (refs == 0) delete &m_owner;
  return static_cast<ULONG>(refs);
}

STDMETHODIMP CVelSetupCtrl::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 1;
  return S_OK;
}

STDMETHODIMP CVelSetupCtrl::GetTypeInfo(UINT index, LCID, ITypeInfo** typeInfo) {
  if (typeInfo == nullptr) return E_POINTER;
  *typeInfo = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  m_typeInfo->AddRef();
  *typeInfo = m_typeInfo.Get();
  return S_OK;
}

STDMETHODIMP CVelSetupCtrl::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (!::IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  return m_typeInfo->GetIDsOfNames(names, count, ids);
}

STDMETHODIMP CVelSetupCtrl::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* argumentError) {
  if (!::IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  return m_typeInfo->Invoke(static_cast<IVelSetupCtrl*>(this), id, flags, params, result, exception,
                            argumentError);
}

STDMETHODIMP CVelSetupCtrl::put_InstallParam(BSTR newVal) {
  if (!IsCallerTrusted()) return E_ACCESSDENIED;
  return GuardedCall([&] {
    m_strInstallParam.clear();
    std::string param;
    if (PageTextToAnsi(newVal, kMaxInstallParamBytes, param) != PageTextResult::kOk) return E_INVALIDARG;
    m_strInstallParam = std::move(param);
    return S_OK;
  });
}

STDMETHODIMP CVelSetupCtrl::IsLoaded(short* result) {
  if (result == nullptr) return E_POINTER;
  *result = 1;
  return S_OK;
}

STDMETHODIMP CVelSetupCtrl::CheckObjInstall(BSTR objID, short* result) {
  if (result == nullptr) return E_POINTER;
  if (!IsCallerTrusted()) return E_ACCESSDENIED;
  return GuardedCall([&] {
    std::string id;
    if (PageTextToAnsi(objID, kMaxObjectIdBytes, id) != PageTextResult::kOk) return E_INVALIDARG;
    *result = static_cast<short>(QueryObjectInstalled(id));
    return S_OK;
  });
}

bool CVelSetupCtrl::LocalQueryPath(const std::string& name, std::string& path) const {
  return ExpandControlMacros(m_folders, name, path) && IsLocalFileName(path);
}

STDMETHODIMP CVelSetupCtrl::GetFileVersion(BSTR fileName, BSTR* fileVersion) {
  if (fileVersion == nullptr) return E_POINTER;
  *fileVersion = nullptr;
  if (!IsCallerTrusted()) return E_ACCESSDENIED;
  return GuardedCall([&] {
    std::string name, path;
    const PageTextResult text = PageTextToAnsi(fileName, kMaxQueryTextBytes, name);
    if (text == PageTextResult::kEmpty) return E_INVALIDARG;
    CFileVersion version;
    if (text == PageTextResult::kOk && LocalQueryPath(name, path)) ReadFileVersion(path, version);
    const std::string formatted = FormatVersion(version);
    const std::wstring wide(formatted.begin(), formatted.end());
    *fileVersion = ::SysAllocString(wide.c_str());
    return *fileVersion != nullptr ? S_OK : E_OUTOFMEMORY;
  });
}

STDMETHODIMP CVelSetupCtrl::CheckUpdate(BSTR fileName, BSTR fileVersion, short* result) {
  if (result == nullptr) return E_POINTER;
  if (!IsCallerTrusted()) return E_ACCESSDENIED;
  return GuardedCall([&] {
    std::string name, versionText, path;
    const PageTextResult nameText = PageTextToAnsi(fileName, kMaxQueryTextBytes, name);
    const PageTextResult versionResult = PageTextToAnsi(fileVersion, kMaxQueryTextBytes, versionText);
    if (nameText == PageTextResult::kEmpty || versionResult == PageTextResult::kEmpty) return E_INVALIDARG;
    *result = 1;
    if (nameText != PageTextResult::kOk || versionResult != PageTextResult::kOk) return S_OK;
    if (!LocalQueryPath(name, path) || !AnyFileMatches(path)) return S_OK;
    const CFileVersion wanted = ParseVersionText(versionText);
    CFileVersion installed;
    if (!ReadFileVersion(path, installed)) return S_OK;
    *result = IsOlderVersion(installed, wanted) ? 1 : 0;
    return S_OK;
  });
}

void CVelSetupCtrl::ResetRun() {
  m_run.Reset();
  m_process.Reset();
}

STDMETHODIMP CVelSetupCtrl::StartUpdate(short* result) {
  if (result == nullptr) return E_POINTER;
  if (!IsCallerTrusted()) return E_ACCESSDENIED;
  return GuardedCall([&] {
    // A run started earlier may still be going and post its statuses later: this run gets a
    // window of its own, so that nothing the old one reports can overwrite its status.
    if (m_process) {
      DestroyStatusWindow(m_hWnd);
      m_hWnd = CreateStatusWindow(ModuleInstance(), &m_run);
    }
    ResetRun();
    m_process = LaunchSetupManager(m_folders.m_strSystem, m_strInstallParam, m_hWnd);
    if (!m_process) {
      *result = SETUP_STATUS_START_FAILED;
      return S_OK;
    }
    m_run.Started();
    *result = 0;
    return S_OK;
  });
}

STDMETHODIMP CVelSetupCtrl::WaitUpdate(short* result) {
  if (result == nullptr) return E_POINTER;
  const HRESULT hr = StartUpdate(result);
  if (FAILED(hr) || *result != 0) return hr;
  // Blocks the page's thread without handling messages; the statuses posted meanwhile wait in
  // the hidden window's queue and are collected afterwards.
  ::WaitForSingleObject(m_process.Get(), g_waitUpdateMs);
  CollectQueuedStatus(m_hWnd, m_run, true);
  *result = m_run.StoredStatus();
  return S_OK;
}

STDMETHODIMP CVelSetupCtrl::GetStatus(short* result) {
  if (result == nullptr) return E_POINTER;
  // A host without a message loop (a script host) would never hand the posted statuses to the
  // window; applying the queued ones first gives the answers a browser page gets.
  CollectQueuedStatus(m_hWnd, m_run, false);
  DWORD exitCode = 0;
  const bool ended = m_run.IsRunning() && m_process && ::GetExitCodeProcess(m_process.Get(), &exitCode) &&
                     exitCode != STILL_ACTIVE;
  *result = m_run.Report(ended);
  return S_OK;
}

STDMETHODIMP CVelSetupCtrl::put_TestMode(LONG newVal) {
  m_nTestMode = newVal;
  return S_OK;
}

// Exported for the tests only (not part of any interface a page reaches): the wait of WaitUpdate
// in milliseconds; 0 restores 180,000.
extern "C" void WINAPI VelSetupSetWaitLimitForTesting(DWORD milliseconds) {
  g_waitUpdateMs = milliseconds != 0 ? milliseconds : kWaitUpdateMs;
}
