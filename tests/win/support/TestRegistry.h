// Registry state the setup manager reads, set up and removed by tests (first and last).
#pragma once

#include <windows.h>

void SetLogLevelValue(DWORD level);
void DeleteLogLevelValue();
void DeleteUninstallRecords();

// Removes the settings a test may have changed, when constructed and when destroyed.
class CCleanSetupRegistry {
 public:
  CCleanSetupRegistry() { Clean(); }
  ~CCleanSetupRegistry() { Clean(); }

 private:
  static void Clean() {
    DeleteLogLevelValue();
    DeleteUninstallRecords();
  }
};
