// The URL of the page that hosts the control, as the control's site tells it.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <string>

// The URL of the document that holds the control (its own frame), or, from a host that offers
// no document, the browser's address, in the ANSI code page. False when the site gives neither,
// or a URL that is empty or does not fit the code page.
bool QueryPageUrl(IUnknown* site, std::string& url);

// True for the site that a script engine gives the objects its script creates, when the engine's
// host applies no web safety rules (the Script Host, a program's own script): no container's
// client site, and no security manager behind its services. Every browser offers one to its
// pages' scripts, since the engine asks it whether an object may be created at all.
bool IsLocalScriptSite(IUnknown* site);
