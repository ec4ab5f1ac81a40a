// A stand-in for the site a browser gives the control, reporting chosen page URLs.
#pragma once

#include <windows.h>
#include <ole2.h>

#ifdef __cplusplus
extern "C" {
#endif

enum StandInKind {
  kStandInClientSite,  // a container's client site, with a service provider
  kStandInScriptSite,  // a script engine's site for the objects its script creates: services only
};

// A site whose container is a document at `documentUrl` (none when null, or for a script site)
// and whose service provider hands out a browser at `browserUrl` (none when null) and, when
// `securityManager` is set, a host security manager. One reference for the caller.
IUnknown* CreateStandInSite(enum StandInKind kind, const wchar_t* documentUrl, const wchar_t* browserUrl,
                            BOOL securityManager);

#ifdef __cplusplus
}
#endif
