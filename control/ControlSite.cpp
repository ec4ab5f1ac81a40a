// The control's site: IObjectWithSite, IOleObject, and the lock that keeps foreign pages out.
#include "BuildConfig.h"
#include "PageSite.h"
#include "PageUrl.h"
#include "VelSetupCtrl.h"

namespace {

template <typename Interface>
HRESULT NoObject(Interface** object, HRESULT hr) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  return hr;
}

}  // namespace

bool CVelSetupCtrl::IsCallerTrusted() const {
  if (!m_bSited) return true;
  std::string url;
  if (QueryPageUrl(m_site.Get(), url)) return IsTrustedPageUrl(url, VELSETUP_TRUSTED_HOST_SUFFIX);
  // A site without a URL is a foreign page, unless it is a local script's.
  return IsLocalScriptSite(m_site.Get());
}

STDMETHODIMP CVelSetupCtrl::SetSite(IUnknown* site) {
  if (site != nullptr) site->AddRef();
  *m_site.Put() = site;
  m_bSited = true;
  return S_OK;
}

STDMETHODIMP CVelSetupCtrl::GetSite(REFIID iid, void** site) {
  if (site == nullptr) return E_POINTER;
  *site = nullptr;
  return m_site ? m_site->QueryInterface(iid, site) : E_FAIL;
}

STDMETHODIMP CVelSetupCtrl::SetClientSite(IOleClientSite* site) { return SetSite(site); }

STDMETHODIMP CVelSetupCtrl::GetClientSite(IOleClientSite** site) {
  if (site == nullptr) return E_POINTER;
  *site = nullptr;
  if (m_site) m_site->QueryInterface(IID_IOleClientSite, reinterpret_cast<void**>(site));
  return S_OK;
}

STDMETHODIMP CVelSetupCtrl::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
  return NoObject(moniker, E_NOTIMPL);
}

STDMETHODIMP CVelSetupCtrl::GetClipboardData(DWORD, IDataObject** data) { return NoObject(data, E_NOTIMPL); }

STDMETHODIMP CVelSetupCtrl::EnumVerbs(IEnumOLEVERB** verbs) { return NoObject(verbs, OLEOBJ_E_NOVERBS); }

STDMETHODIMP CVelSetupCtrl::GetUserClassID(CLSID* clsid) {
  if (clsid == nullptr) return E_POINTER;
  *clsid = CLSID_VelSetupCtrl;
  return S_OK;
}

STDMETHODIMP CVelSetupCtrl::GetUserType(DWORD, LPOLESTR* name) {
  if (name == nullptr) return E_POINTER;
  *name = nullptr;
  return OLE_S_USEREG;
}

STDMETHODIMP CVelSetupCtrl::EnumAdvise(IEnumSTATDATA** advises) {
  return NoObject(advises, OLE_E_ADVISENOTSUPPORTED);
}

STDMETHODIMP CVelSetupCtrl::GetMiscStatus(DWORD, DWORD* status) {
  if (status == nullptr) return E_POINTER;
  // Nothing to show; the site comes before anything else.
  *status = OLEMISC_INVISIBLEATRUNTIME | OLEMISC_SETCLIENTSITEFIRST;
  return S_OK;
}
