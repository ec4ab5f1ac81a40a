#include "PageSite.h"

#include <exdisp.h>
#include <mshtml.h>
#include <servprov.h>
#include <shlguid.h>
#include <urlmon.h>

#include "ComSupport.h"
#include "PageText.h"

namespace {

// Longest URL a browser hands out.
constexpr size_t kMaxPageUrlBytes = 2083;

// The URL a getter gives, converted; the getter's text is freed.
template <typename Getter>
bool TakeUrl(Getter&& get, std::string& url) {
  BSTR text = nullptr;
  const bool taken =
      SUCCEEDED(get(&text)) && PageTextToAnsi(text, kMaxPageUrlBytes, url) == PageTextResult::kOk;
  ::SysFreeString(text);
  return taken;
}

// The document that holds the control, when the host offers one.
CComPtrLite<IHTMLDocument2> HostDocument(IUnknown* site) {
  CComPtrLite<IOleClientSite> client;
  CComPtrLite<IOleContainer> container;
  CComPtrLite<IHTMLDocument2> document;
  if (SUCCEEDED(site->QueryInterface(IID_IOleClientSite, reinterpret_cast<void**>(client.Put()))) && client &&
      SUCCEEDED(client->GetContainer(container.Put())) && container) {
    container->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(document.Put()));
  }
  return document;
}

bool QueryBrowserUrl(IUnknown* site, std::string& url) {
  CComPtrLite<IServiceProvider> services;
  CComPtrLite<IWebBrowser2> browser;
  if (FAILED(site->QueryInterface(IID_IServiceProvider, reinterpret_cast<void**>(services.Put()))) ||
      !services ||
      FAILED(services->QueryService(SID_SWebBrowserApp, IID_IWebBrowser2,
                                    reinterpret_cast<void**>(browser.Put()))) ||
      !browser) {
    return false;
  }
  return TakeUrl([&](BSTR* text) { return browser->get_LocationURL(text); }, url);
}

}  // namespace

bool QueryPageUrl(IUnknown* site, std::string& url) {
  url.clear();
  if (site == nullptr) return false;
  // A host that offers a document decides by it alone: the browser's address is the top frame's,
  // which may hold a foreign frame.
  if (const CComPtrLite<IHTMLDocument2> document = HostDocument(site)) {
    return TakeUrl([&](BSTR* text) { return document->get_URL(text); }, url);
  }
  return QueryBrowserUrl(site, url);
}

bool IsLocalScriptSite(IUnknown* site) {
  CComPtrLite<IOleClientSite> client;
  CComPtrLite<IServiceProvider> services;
  CComPtrLite<IInternetHostSecurityManager> manager;
  if (site == nullptr ||
      SUCCEEDED(site->QueryInterface(IID_IOleClientSite, reinterpret_cast<void**>(client.Put()))) ||
      FAILED(site->QueryInterface(IID_IServiceProvider, reinterpret_cast<void**>(services.Put()))) ||
      !services) {
    return false;
  }
  return FAILED(services->QueryService(SID_SInternetHostSecurityManager, IID_IInternetHostSecurityManager,
                                       reinterpret_cast<void**>(manager.Put()))) ||
         !manager;
}
