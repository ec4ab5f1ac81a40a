// Text forms of the paths the process locator compares, in the ANSI code page. Double-byte
// characters are stepped over whole, so a trail byte that equals a separator is never taken for
// one.
#pragma once

#include <string>

// The path with every run of separators ("\" or "/") turned into one "\". A leading pair stays a
// pair, so network names ("\\server\share") and device names ("\\?\...") keep their meaning.
std::string CollapseSeparators(const std::string& path);

// The part after the last separator; the whole text when it has none.
std::string FileNamePart(const std::string& path);
