// Download URLs of a manifest as the setup manager treats them: the trusted-location test, and
// where a URL under the published base URL lies in the folder that is published there.
#pragma once

#include <string>

// The setup manager's test of a download URL with the given host suffix and its path prefix. A
// refusal may leave a failure line (ToolServices.h).
bool IsTrustedDownloadUrl(const std::string& url, const char* hostSuffix);

// The path below `folder` of the file that `url` names under `baseUrl`: the rest of the URL
// after the base, without query and fragment, escapes decoded, joined with "/". False for a URL
// outside the base and for a rest that names a folder or climbs out of it.
bool LocalPathUnder(const std::string& url, const std::string& baseUrl, const std::string& folder,
                    std::string& path);

// `text` with every byte but letters, digits and "-._~/" written as %XX, for a URL path.
std::string EscapeUrlPath(const std::string& text);
