#pragma once

// True on the 95 family, and on the NT family when the process token lists the local
// Administrators or Power Users group.
bool IsAdminOrPowerUser();
