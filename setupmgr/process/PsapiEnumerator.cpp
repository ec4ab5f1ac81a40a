#include "PsapiEnumerator.h"

#include <vector>

#include "ForeignText.h"
#include "PathMacros.h"
#include "ProcessList.h"

namespace {

constexpr DWORD kListingRights = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ;

}  // namespace

bool CPsapiEnumerator::Load() {
  if (!m_hPsapi) {
    m_hPsapi.Reset(::LoadLibraryA("PSAPI.DLL"));
    if (!m_hPsapi) return false;
    m_pfnEnumProcesses = GetProcAddressAs<EnumProcessesFn>(m_hPsapi.Get(), "EnumProcesses");
    m_pfnEnumProcessModules = GetProcAddressAs<EnumProcessModulesFn>(m_hPsapi.Get(), "EnumProcessModules");
    m_pfnGetModuleFileNameEx =
        GetProcAddressAs<GetModuleFileNameExFn>(m_hPsapi.Get(), "GetModuleFileNameExA");
  }
  return m_pfnEnumProcesses != nullptr && m_pfnEnumProcessModules != nullptr &&
         m_pfnGetModuleFileNameEx != nullptr;
}

bool CPsapiEnumerator::ReadModules(HANDLE process, HMODULE* modules, size_t& count) const {
  DWORD needed = 0;
  if (!m_pfnEnumProcessModules(process, modules, static_cast<DWORD>(kMaxListedModules * sizeof(HMODULE)),
                               &needed)) {
    return false;
  }
  // The system reports how many it has, which may be more than the buffer took.
  count = needed / sizeof(HMODULE);
  if (count > kMaxListedModules) count = kMaxListedModules;
  return true;
}

std::string CPsapiEnumerator::ModulePath(HANDLE process, HMODULE module) const {
  // One byte more than a path buffer holds, so that a path too long for one is seen as such.
  char path[kMaxPathLength + 2];
  const DWORD length = m_pfnGetModuleFileNameEx(process, module, path, sizeof path);
  if (length == 0 || length > kMaxPathLength) return std::string();
  return BoundedText(path, length, sizeof path);
}

bool CPsapiEnumerator::EnumModules(CProcessInfo& process) {
  process.RemoveAllModules();
  if (!Load()) return false;
  CScopedHandle handle(::OpenProcess(kListingRights, FALSE, process.GetProcessId()));
  if (!handle) return false;
  std::vector<HMODULE> modules(kMaxListedModules);
  size_t count = 0;
  if (!ReadModules(handle.Get(), modules.data(), count)) return false;
  // The first module is the program file.
  for (size_t i = 1; i < count; ++i) process.AddModule(ModulePath(handle.Get(), modules[i]), modules[i]);
  return true;
}

bool CPsapiEnumerator::EnumProcesses() {
  if (!Load()) return false;
  std::vector<DWORD> ids(kMaxListedProcesses);
  DWORD needed = 0;
  if (!m_pfnEnumProcesses(ids.data(), static_cast<DWORD>(ids.size() * sizeof(DWORD)), &needed)) return false;
  size_t idCount = needed / sizeof(DWORD);
  if (idCount > ids.size()) idCount = ids.size();

  std::vector<HMODULE> modules(kMaxListedModules);
  for (size_t i = 0; i < idCount; ++i) {
    CScopedHandle handle(::OpenProcess(kListingRights, FALSE, ids[i]));
    if (!handle) continue;
    size_t count = 0;
    if (!ReadModules(handle.Get(), modules.data(), count) || count == 0) continue;
    CProcessInfo& process = m_list.Add(ModulePath(handle.Get(), modules[0]), modules[0], ids[i]);
    EnumModules(process);
  }
  return true;
}
