// The scriptable control VelSetupCtrl: starts the setup manager, reports its status, and
// answers questions about installed objects and file versions.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <string>

#include "ComSupport.h"
#include "ControlMacros.h"
#include "RunState.h"
#include "VelSetup_h.h"
#include "WinHandles.h"

// Creates a control, aggregated when `outer` is given (then `iid` must be IID_IUnknown).
HRESULT CreateVelSetupCtrl(IUnknown* outer, REFIID iid, void** object);

// Apartment-threaded: every call, and the hidden window, belong to the creating thread.
class CVelSetupCtrl final : public IVelSetupCtrl {
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
};
