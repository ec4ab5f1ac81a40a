// The scriptable control VelSetupCtrl: starts the setup manager, reports its status, and
// answers questions about installed objects and file versions.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <wininet.h>

#include <string>

#include "ComSupport.h"
#include "ControlMacros.h"
#include "RunState.h"
#include "VelSetup_h.h"
#include "WinHandles.h"

// Creates a control, aggregated when `outer` is given (then `iid` must be IID_IUnknown).
HRESULT CreateVelSetupCtrl(IUnknown* outer, REFIID iid, void** object);

// Apartment-threaded: every call, and the hidden window, belong to the creating thread. A page's
// browser hands it its site through IObjectWithSite or IOleObject; the rest of IOleObject is
// what an invisible control without persistence answers.
class CVelSetupCtrl final : public IVelSetupCtrl, public IObjectWithSite, public IOleObject {
 public:
  explicit CVelSetupCtrl(IUnknown* outer);
  ~CVelSetupCtrl();
  CVelSetupCtrl(const CVelSetupCtrl&) = delete;
  CVelSetupCtrl& operator=(const CVelSetupCtrl&) = delete;

  // Loads the type information, opens the internet session, computes the folders and creates
  // the hidden window; the object is unusable when this fails.
  HRESULT Initialize();
  IUnknown* InnerUnknown() { return &m_inner; }

  // IUnknown, delegated to the outer object when aggregated.
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    return m_pOuter->QueryInterface(iid, object);
  }
  STDMETHODIMP_(ULONG) AddRef() override { return m_pOuter->AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return m_pOuter->Release(); }

  // IDispatch, answered from the type library.
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** typeInfo) override;
  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* exception, UINT* argumentError) override;

  // IVelSetupCtrl
  STDMETHODIMP put_InstallParam(BSTR newVal) override;
  STDMETHODIMP IsLoaded(short* result) override;
  STDMETHODIMP CheckObjInstall(BSTR objID, short* result) override;
  STDMETHODIMP GetFileVersion(BSTR fileName, BSTR* fileVersion) override;
  STDMETHODIMP CheckUpdate(BSTR fileName, BSTR fileVersion, short* result) override;
  STDMETHODIMP StartUpdate(short* result) override;
  STDMETHODIMP WaitUpdate(short* result) override;
  STDMETHODIMP GetStatus(short* result) override;
  STDMETHODIMP put_TestMode(LONG newVal) override;

  // IObjectWithSite
  STDMETHODIMP SetSite(IUnknown* site) override;
  STDMETHODIMP GetSite(REFIID iid, void** site) override;

  // IOleObject
  STDMETHODIMP SetClientSite(IOleClientSite* site) override;
  STDMETHODIMP GetClientSite(IOleClientSite** site) override;
  STDMETHODIMP SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
  STDMETHODIMP Close(DWORD) override { return S_OK; }
  STDMETHODIMP SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override;
  STDMETHODIMP InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP GetClipboardData(DWORD, IDataObject**) override;
  STDMETHODIMP DoVerb(LONG, LPMSG, IOleClientSite*, LONG, HWND, LPCRECT) override { return S_OK; }
  STDMETHODIMP EnumVerbs(IEnumOLEVERB**) override;
  STDMETHODIMP Update() override { return S_OK; }
  STDMETHODIMP IsUpToDate() override { return S_OK; }
  STDMETHODIMP GetUserClassID(CLSID* clsid) override;
  STDMETHODIMP GetUserType(DWORD, LPOLESTR*) override;
  STDMETHODIMP SetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
  STDMETHODIMP GetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
  STDMETHODIMP Advise(IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
  STDMETHODIMP Unadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  STDMETHODIMP EnumAdvise(IEnumSTATDATA**) override;
  STDMETHODIMP GetMiscStatus(DWORD, DWORD* status) override;
  STDMETHODIMP SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

 private:
  // The non-delegating IUnknown: the object's own identity and reference count.
  class CInnerUnknown final : public IUnknown {
   public:
    explicit CInnerUnknown(CVelSetupCtrl& owner) : m_owner(owner) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

   private:
    CVelSetupCtrl& m_owner;
  };

  void ResetRun();
  // True when the caller may start runs, store a parameter and query files and objects: always
  // for a control that was never given a site (a program: code already on the computer) or whose
  // site is a local script's (the Script Host); for any other site only while it names a page of
  // the trusted host.
  bool IsCallerTrusted() const;
  // The name a file query may open, or false when the text does not fit, uses an unknown
  // folder or reaches the network or a device.
  bool LocalQueryPath(const std::string& name, std::string& path) const;

  CInnerUnknown m_inner{*this};
  IUnknown* m_pOuter;
  LONG m_nRefs = 1;
  CComPtrLite<ITypeInfo> m_typeInfo;

  LONG m_nTestMode = 0;
  std::string m_strInstallParam;  // empty: none stored
  CRunState m_run;
  CScopedInternet m_internet;
  HWND m_hWnd = nullptr;
  CScopedHandle m_process;
  CControlFolders m_folders;
  CComPtrLite<IUnknown> m_site;
  bool m_bSited = false;  // a site was set once: from then on only a trusted page drives the control
};
