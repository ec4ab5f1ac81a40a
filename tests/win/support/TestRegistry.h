// Registry state the setup manager reads, set up and removed by tests (first and last).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

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

// One registry value a test changes. What was there before (the value, its absence, the key's
// absence) is put back, byte for byte, when the test ends.
class CSavedRegistryValue {
 public:
  CSavedRegistryValue(HKEY root, const char* key, const char* name);
  ~CSavedRegistryValue();
  CSavedRegistryValue(const CSavedRegistryValue&) = delete;
  CSavedRegistryValue& operator=(const CSavedRegistryValue&) = delete;

  // Written as the bytes are given: no terminating zero is added.
  void Set(DWORD type, const std::string& bytes);
  void SetText(const std::string& text) { Set(REG_SZ, text + '\0'); }
  void Delete();

 private:
  HKEY m_root;
  std::string m_key;
  std::string m_name;
  bool m_keyExisted = false;
  bool m_valueExisted = false;
  DWORD m_type = REG_NONE;
  std::vector<BYTE> m_data;
};
