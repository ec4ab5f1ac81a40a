// Whether the page that hosts the control may drive it, decided on the page's URL alone.
#pragma once

#include <string_view>

// True for an http or https URL whose host lies in `hostSuffix` by the host test of download
// URLs. Every other URL is a foreign page: another scheme (file:, about:, javascript:), another
// or a look-alike host, user information, an escape in the authority, a malformed port.
bool IsTrustedPageUrl(std::string_view url, const char* hostSuffix);
