// Written in C, so that each stand-in fills only the slots the control calls of the browser's
// large interfaces; the rest stay empty.
#include "StandInSite.h"

#include <exdisp.h>
#include <mshtml.h>
#include <servprov.h>
#include <shlguid.h>
#include <stddef.h>
#include <urlmon.h>

// Every stand-in object shows up to two interfaces ("faces"), each a vtable pointer followed by
// its object.
typedef struct Object Object;
typedef struct Face {
  const void* vtbl;
  Object* owner;
} Face;

struct Object {
  Face faces[2];
  const IID* iids[2];
  LONG refs;
  BSTR url;
  Object* container;  // of a site: its document, or null
  Object* browser;    // of a site: its browser, or null
  Object* manager;    // of a site: its host security manager, or null
};

#define SLOT(Vtbl, slot, function) .slot = (__typeof__(((Vtbl*)0)->slot))(function)
#define UNKNOWN_SLOTS(Vtbl)                                                       \
  SLOT(Vtbl, QueryInterface, FaceQueryInterface), SLOT(Vtbl, AddRef, FaceAddRef), \
      SLOT(Vtbl, Release, FaceRelease)

static HRESULT STDMETHODCALLTYPE FaceQueryInterface(Face* face, REFIID iid, void** object) {
  Object* owner = face->owner;
  *object = NULL;
  for (int i = 0; i < 2; ++i) {
    if (owner->iids[i] != NULL &&
        (IsEqualIID(iid, owner->iids[i]) || (i == 0 && IsEqualIID(iid, &IID_IUnknown)))) {
      *object = &owner->faces[i];
    }
  }
  if (*object == NULL) return E_NOINTERFACE;
  InterlockedIncrement(&owner->refs);
  return S_OK;
}

static ULONG STDMETHODCALLTYPE FaceAddRef(Face* face) {
  return (ULONG)InterlockedIncrement(&face->owner->refs);
}

static ULONG STDMETHODCALLTYPE FaceRelease(Face* face) {
  Object* owner = face->owner;
  const LONG refs = InterlockedDecrement(&owner->refs);
  if (refs == 0) {
    if (owner->container != NULL) FaceRelease(&owner->container->faces[0]);
    if (owner->browser != NULL) FaceRelease(&owner->browser->faces[0]);
    if (owner->manager != NULL) FaceRelease(&owner->manager->faces[0]);
    SysFreeString(owner->url);
    CoTaskMemFree(owner);
  }
  return (ULONG)refs;
}

static HRESULT CopyUrl(Face* face, BSTR* url) {
  *url = SysAllocString(face->owner->url);
  return *url != NULL ? S_OK : E_OUTOFMEMORY;
}

static HRESULT STDMETHODCALLTYPE SiteGetContainer(Face* face, IOleContainer** container) {
  Object* document = face->owner->container;
  *container = NULL;
  if (document == NULL) return E_NOINTERFACE;
  FaceAddRef(&document->faces[0]);
  *container = (IOleContainer*)&document->faces[0];
  return S_OK;
}

static HRESULT STDMETHODCALLTYPE SiteQueryService(Face* face, REFGUID service, REFIID iid, void** object) {
  Object* provided = IsEqualGUID(service, &SID_SWebBrowserApp)                 ? face->owner->browser
                     : IsEqualGUID(service, &SID_SInternetHostSecurityManager) ? face->owner->manager
                                                                               : NULL;
  *object = NULL;
  return provided != NULL ? FaceQueryInterface(&provided->faces[0], iid, object) : E_NOINTERFACE;
}

static HRESULT STDMETHODCALLTYPE DocumentGetUrl(Face* face, BSTR* url) { return CopyUrl(face, url); }
static HRESULT STDMETHODCALLTYPE BrowserGetLocationUrl(Face* face, BSTR* url) { return CopyUrl(face, url); }

static const IOleClientSiteVtbl kClientSite = {UNKNOWN_SLOTS(IOleClientSiteVtbl),
                                               SLOT(IOleClientSiteVtbl, GetContainer, SiteGetContainer)};
static const IServiceProviderVtbl kServices = {UNKNOWN_SLOTS(IServiceProviderVtbl),
                                               SLOT(IServiceProviderVtbl, QueryService, SiteQueryService)};
static const IInternetHostSecurityManagerVtbl kManager = {UNKNOWN_SLOTS(IInternetHostSecurityManagerVtbl)};
static const IOleContainerVtbl kContainer = {UNKNOWN_SLOTS(IOleContainerVtbl)};
static const IHTMLDocument2Vtbl kDocument = {UNKNOWN_SLOTS(IHTMLDocument2Vtbl),
                                             SLOT(IHTMLDocument2Vtbl, get_URL, DocumentGetUrl)};
static const IWebBrowser2Vtbl kBrowser = {UNKNOWN_SLOTS(IWebBrowser2Vtbl),
                                          SLOT(IWebBrowser2Vtbl, get_LocationURL, BrowserGetLocationUrl)};

static Object* NewObject(const void* vtbl0, const IID* iid0, const void* vtbl1, const IID* iid1,
                         const wchar_t* url) {
  Object* object = (Object*)CoTaskMemAlloc(sizeof(Object));
  ZeroMemory(object, sizeof(Object));
  object->faces[0].vtbl = vtbl0;
  object->faces[1].vtbl = vtbl1;
  object->faces[0].owner = object->faces[1].owner = object;
  object->iids[0] = iid0;
  object->iids[1] = iid1;
  object->refs = 1;
  object->url = url != NULL ? SysAllocString(url) : NULL;
  return object;
}

IUnknown* CreateStandInSite(enum StandInKind kind, const wchar_t* documentUrl, const wchar_t* browserUrl,
                            BOOL securityManager) {
  Object* site = kind == kStandInClientSite
                     ? NewObject(&kServices, &IID_IServiceProvider, &kClientSite, &IID_IOleClientSite, NULL)
                     : NewObject(&kServices, &IID_IServiceProvider, NULL, NULL, NULL);
  if (kind == kStandInClientSite && documentUrl != NULL) {
    site->container =
        NewObject(&kContainer, &IID_IOleContainer, &kDocument, &IID_IHTMLDocument2, documentUrl);
  }
  if (browserUrl != NULL) site->browser = NewObject(&kBrowser, &IID_IWebBrowser2, NULL, NULL, browserUrl);
  if (securityManager) {
    site->manager = NewObject(&kManager, &IID_IInternetHostSecurityManager, NULL, NULL, NULL);
  }
  return (IUnknown*)&site->faces[0];
}
