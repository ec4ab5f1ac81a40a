// A snapshot of the running processes and the modules each has loaded.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "ProcessInfo.h"

class CProcessEnumerator;

// Which facility lists the processes. Any takes PSAPI.DLL when it loads, else the tool-help
// functions of KERNEL32.DLL, else none.
enum class EProcessFacility { Any, Psapi, Toolhelp, None };

class CProcessList {
 public:
  explicit CProcessList(EProcessFacility facility = EProcessFacility::Any);
  ~CProcessList();
  CProcessList(const CProcessList&) = delete;
  CProcessList& operator=(const CProcessList&) = delete;

  // Clears the list and fills it; false when there is no facility or it failed.
  bool Enumerate();

  size_t GetCount() const { return m_lstProcesses.size(); }
  CProcessInfo& GetAt(size_t index) const { return *m_lstProcesses[index]; }

  CProcessInfo& Add(std::string path, HMODULE module, DWORD processId);
  void RemoveAll() { m_lstProcesses.clear(); }

 private:
  std::vector<std::unique_ptr<CProcessInfo>> m_lstProcesses;
  std::unique_ptr<CProcessEnumerator> m_pEnumerator;
};
