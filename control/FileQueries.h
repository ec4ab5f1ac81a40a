// The file system questions of the control's file queries.
#pragma once

#include <string>

#include "VersionText.h"

// The version in the fixed part of the file's version resource; false when the file is missing,
// has none, or has one whose fixed part is incomplete or unsigned.
bool ReadFileVersion(const std::string& path, CFileVersion& version);

// True when a search for the name finds a file or folder.
bool AnyFileMatches(const std::string& path);
