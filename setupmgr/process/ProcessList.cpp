#include "ProcessList.h"

#include "PsapiEnumerator.h"
#include "ToolhelpEnumerator.h"
#include "WinHandles.h"

namespace {

EProcessFacility AvailableFacility() {
  if (CScopedModule(::LoadLibraryA("PSAPI.DLL"))) return EProcessFacility::Psapi;
  if (::GetProcAddress(::GetModuleHandleA("KERNEL32.DLL"), "CreateToolhelp32Snapshot") != nullptr) {
    return EProcessFacility::Toolhelp;
  }
  return EProcessFacility::None;
}

}  // namespace

CProcessList::CProcessList(EProcessFacility facility) {
  if (facility == EProcessFacility::Any) facility = AvailableFacility();
  if (facility == EProcessFacility::Psapi) {
    m_pEnumerator = std::make_unique<CPsapiEnumerator>(*this);
  } else if (facility == EProcessFacility::Toolhelp) {
    m_pEnumerator = std::make_unique<CToolhelpEnumerator>(*this);
  }
}

CProcessList::~CProcessList() = default;

bool CProcessList::Enumerate() {
  RemoveAll();
  if (m_pEnumerator != nullptr && m_pEnumerator->EnumProcesses()) return true;
  RemoveAll();
  return false;
}

CProcessInfo& CProcessList::Add(std::string path, HMODULE module, DWORD processId) {
  m_lstProcesses.push_back(std::make_unique<CProcessInfo>(std::move(path), module, processId));
  return *m_lstProcesses.back();
}
