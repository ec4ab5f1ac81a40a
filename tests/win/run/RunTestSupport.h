// Shared by the whole-run tests: folder removal and registry values put back after a scenario.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Removes a folder and everything in it.
void RemoveTree(const std::string& path);

// One registry value a scenario changes; what was there before is put back when it ends.
class CSavedRegistryValue {
 public:
  CSavedRegistryValue(HKEY root, const char* key, const char* name);
  ~CSavedRegistryValue();
  CSavedRegistryValue(const CSavedRegistryValue&) = delete;
  CSavedRegistryValue& operator=(const CSavedRegistryValue&) = delete;

  void SetText(const std::string& text);

 private:
  HKEY m_root;
  std::string m_key;
  std::string m_name;
  bool m_keyExisted = false;
  bool m_valueExisted = false;
  DWORD m_type = REG_NONE;
  std::vector<BYTE> m_data;
};
