// Which archive entry names may be extracted below a folder. Stands alone: no other part of the
// program is needed.
#pragma once

#include <string>

// True for a relative name whose every component (separated by "/" or "\") is a plain file
// name: not empty, not "." or "..", no drive or stream colon, no character that file names
// cannot hold, not a reserved device name (CON, NUL, COM1, ...), not ending in a dot or a
// blank. A folder entry ends with one separator ("dir/"). Bytes of 0x80 and above (code page
// 949 names) are allowed.
bool IsSafeZipEntryName(const std::string& name);
