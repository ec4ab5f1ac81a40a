// Processes and modules through the tool-help snapshot functions of KERNEL32.DLL.
#pragma once

#include <windows.h>
#include <tlhelp32.h>

#include "ProcessEnumerator.h"

class CToolhelpEnumerator : public CProcessEnumerator {
 public:
  using CProcessEnumerator::CProcessEnumerator;

  bool EnumModules(CProcessInfo& process) override;
  bool EnumProcesses() override;

 private:
  using CreateSnapshotFn = HANDLE(WINAPI*)(DWORD, DWORD);
  using ProcessWalkFn = BOOL(WINAPI*)(HANDLE, PROCESSENTRY32*);
  using ModuleWalkFn = BOOL(WINAPI*)(HANDLE, MODULEENTRY32*);

  bool Load();

  CreateSnapshotFn m_pfnCreateToolhelp32Snapshot = nullptr;
  ProcessWalkFn m_pfnProcess32First = nullptr;
  ProcessWalkFn m_pfnProcess32Next = nullptr;
  ModuleWalkFn m_pfnModule32First = nullptr;
  ModuleWalkFn m_pfnModule32Next = nullptr;
};
