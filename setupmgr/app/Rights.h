#pragma once

#include <windows.h>

#include <vector>

// True on the 95 family, and on the NT family when the process token lists the local
// Administrators or Power Users group (attributes such as deny-only are not looked at).
bool IsAdminOrPowerUser();

// True when `groups` lists the local Administrators or Power Users group.
bool ListsAdminOrPowerUser(const TOKEN_GROUPS& groups);

// Reads a token's group list (TOKEN_GROUPS) into `buffer`, first trying `initialSize` bytes and
// growing to the size the system asks for.
bool ReadTokenGroups(HANDLE token, std::vector<BYTE>& buffer, DWORD initialSize = 1024);
