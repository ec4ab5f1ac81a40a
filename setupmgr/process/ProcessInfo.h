// The records of a process list: a loaded module, and a process with its modules.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

class CModuleInfo {
 public:
  CModuleInfo(std::string path, HMODULE module) : m_strPath(std::move(path)), m_hModule(module) {}

  const std::string& GetPath() const { return m_strPath; }
  HMODULE GetHandle() const { return m_hModule; }

  std::string m_strPath;  // empty when not known
  HMODULE m_hModule;      // a module handle; for a tool-help process, the snapshot's module identifier
};

// A process: the inherited fields describe its program file, which is never among its modules.
class CProcessInfo : public CModuleInfo {
 public:
  CProcessInfo(std::string path, HMODULE module, DWORD processId)
      : CModuleInfo(std::move(path), module), m_dwProcessId(processId) {}

  DWORD GetProcessId() const { return m_dwProcessId; }
  size_t GetModuleCount() const { return m_arrModules.size(); }
  const CModuleInfo& GetModule(size_t index) const { return m_arrModules[index]; }

  void AddModule(std::string path, HMODULE module) { m_arrModules.emplace_back(std::move(path), module); }
  void RemoveAllModules() { m_arrModules.clear(); }

  DWORD m_dwProcessId;

 private:
  std::vector<CModuleInfo> m_arrModules;
};
