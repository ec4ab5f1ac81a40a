// Resource identifiers of the control library.
#pragma once

#define IDS_PROJNAME 100
#define IDI_VELSETUP 202
