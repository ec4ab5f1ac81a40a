// Processes and modules through the process-status functions of PSAPI.DLL, loaded on first use.
#pragma once

#include <string>

#include "ProcessEnumerator.h"
#include "WinHandles.h"

class CPsapiEnumerator : public CProcessEnumerator {
 public:
  using CProcessEnumerator::CProcessEnumerator;

  bool EnumModules(CProcessInfo& process) override;
  bool EnumProcesses() override;

 private:
  using EnumProcessesFn = BOOL(WINAPI*)(DWORD*, DWORD, DWORD*);
  using EnumProcessModulesFn = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, DWORD*);
  using GetModuleFileNameExFn = DWORD(WINAPI*)(HANDLE, HMODULE, LPSTR, DWORD);

  bool Load();
  // The process's module handles, at most kMaxListedModules; false when they cannot be read.
  bool ReadModules(HANDLE process, HMODULE* modules, size_t& count) const;
  // The module's file path; empty when it cannot be read or does not fit a path buffer.
  std::string ModulePath(HANDLE process, HMODULE module) const;

  CScopedModule m_hPsapi;
  EnumProcessesFn m_pfnEnumProcesses = nullptr;
  EnumProcessModulesFn m_pfnEnumProcessModules = nullptr;
  GetModuleFileNameExFn m_pfnGetModuleFileNameEx = nullptr;
};
