// The manifest's registry edits (CUpdateSet::AddRegistry, CUpdateSet::DeleteRegistry) and the
// deletion of a key with everything below it.
#pragma once

#include <windows.h>

// Deletes `subKey` below `root` with all its subkeys; returns the system error code of the
// deletion of the key itself, 0 on success. Ends when no subkey is left or a nested deletion
// fails. A path that names the root itself (absent, empty, only backslashes) is refused with a
// level-1 line and ERROR_BADKEY, and nothing is deleted.
LONG RegDeleteAllKey(HKEY root, const char* subKey);
