// The one class factory of the library: it makes VelSetupCtrl objects, aggregated or not.
#pragma once

#include <windows.h>
#include <unknwn.h>

// The factory lives as long as the library; its references and locks count as module locks.
IClassFactory* VelSetupCtrlFactory();
