// The folders behind the control's path macros, read from the system.
#pragma once

#include "ControlMacros.h"

// A folder whose registry value cannot be read stays empty; names using its macro are refused.
CControlFolders ComputeControlFolders();
