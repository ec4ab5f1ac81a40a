// Names of the files the run keeps in the temporary folder: the manifest copy, the temporary copy
// of an update file, and the copy a download arrives as. Every path fits the program's
// 260-byte path buffers or is refused, never cut.
#pragma once

#include <string>

// `folder` + "\" + `name`, without doubling a backslash that ends the folder. False when the
// result is longer than kMaxPathLength.
bool JoinFolderPath(const std::string& folder, const std::string& name, std::string& path);

// The extension of the URL's last path segment, from its last dot, dot included; empty when
// that segment has no dot. Query and fragment are not part of the path.
std::string UrlExtension(const std::string& url);

// The downloaded copy: `name` without its extension, followed by the URL's extension, in
// `folder`. False for an extension that a file name cannot hold and for a path that does not fit.
bool DownloadedCopyPath(const std::string& folder, const std::string& name, const std::string& url,
                        std::string& path);

// True when the file arrives inside a ZIP archive: the URL's extension is ".zip" and differs
// from the name's, letter case aside.
bool NeedsExtraction(const std::string& name, const std::string& url);
