#include "ToolhelpEnumerator.h"

#include <cstring>

#include "AnsiText.h"
#include "ForeignText.h"
#include "PathForm.h"
#include "ProcessList.h"
#include "WinHandles.h"

namespace {

// A text of a fixed-size entry field; empty when the field holds no terminated text.
template <size_t Size>
std::string FieldText(const char (&field)[Size]) {
  if (std::memchr(field, '\0', Size) == nullptr) return std::string();
  return BoundedText(field, Size, Size);
}

}  // namespace

bool CToolhelpEnumerator::Load() {
  if (m_pfnCreateToolhelp32Snapshot != nullptr && m_pfnProcess32First != nullptr &&
      m_pfnProcess32Next != nullptr && m_pfnModule32First != nullptr && m_pfnModule32Next != nullptr) {
    return true;
  }
  const HMODULE kernel = ::GetModuleHandleA("KERNEL32.DLL");
  if (kernel == nullptr) return false;
  m_pfnCreateToolhelp32Snapshot = GetProcAddressAs<CreateSnapshotFn>(kernel, "CreateToolhelp32Snapshot");
  m_pfnProcess32First = GetProcAddressAs<ProcessWalkFn>(kernel, "Process32First");
  m_pfnProcess32Next = GetProcAddressAs<ProcessWalkFn>(kernel, "Process32Next");
  m_pfnModule32First = GetProcAddressAs<ModuleWalkFn>(kernel, "Module32First");
  m_pfnModule32Next = GetProcAddressAs<ModuleWalkFn>(kernel, "Module32Next");
  return m_pfnCreateToolhelp32Snapshot != nullptr && m_pfnProcess32First != nullptr &&
         m_pfnProcess32Next != nullptr && m_pfnModule32First != nullptr && m_pfnModule32Next != nullptr;
}

bool CToolhelpEnumerator::EnumModules(CProcessInfo& process) {
  process.RemoveAllModules();
  if (!Load()) return false;
  CScopedFile snapshot(m_pfnCreateToolhelp32Snapshot(TH32CS_SNAPMODULE, process.GetProcessId()));
  if (!snapshot) return false;
  const std::string programName = FileNamePart(process.GetPath());
  MODULEENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  size_t taken = 0;
  for (BOOL more = m_pfnModule32First(snapshot.Get(), &entry); more && taken < kMaxListedModules;
       more = m_pfnModule32Next(snapshot.Get(), &entry), ++taken) {
    const std::string name = FieldText(entry.szModule);
    std::string path = FieldText(entry.szExePath);
    if (EqualNoCase(name.c_str(), programName.c_str())) {
      // Systems that give a process entry only its file name give its module entry the full path.
      if (process.GetPath() == programName && !path.empty()) process.m_strPath = path;
      continue;
    }
    process.AddModule(std::move(path), entry.hModule);
  }
  return true;
}

bool CToolhelpEnumerator::EnumProcesses() {
  if (!Load()) return false;
  CScopedFile snapshot(m_pfnCreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return false;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  size_t taken = 0;
  for (BOOL more = m_pfnProcess32First(snapshot.Get(), &entry); more && taken < kMaxListedProcesses;
       more = m_pfnProcess32Next(snapshot.Get(), &entry), ++taken) {
    CProcessInfo& process = m_list.Add(FieldText(entry.szExeFile),
                                       reinterpret_cast<HMODULE>(static_cast<ULONG_PTR>(entry.th32ModuleID)),
                                       entry.th32ProcessID);
    EnumModules(process);
  }
  return true;
}
