// The base of the facilities that list processes and their modules into a process list.
#pragma once

#include <windows.h>

#include <cstddef>

class CProcessInfo;
class CProcessList;

// Most processes and most modules per process that a listing takes in.
constexpr size_t kMaxListedProcesses = 1024;
constexpr size_t kMaxListedModules = 1024;

class CProcessEnumerator {
 public:
  explicit CProcessEnumerator(CProcessList& list) : m_list(list) {}
  virtual ~CProcessEnumerator() = default;
  CProcessEnumerator(const CProcessEnumerator&) = delete;
  CProcessEnumerator& operator=(const CProcessEnumerator&) = delete;

  // Replaces the process's module list with the modules it has loaded now.
  virtual bool EnumModules(CProcessInfo& process) = 0;
  // Adds every process that can be listed, each with its modules; false when the facility fails.
  virtual bool EnumProcesses() = 0;

 protected:
  CProcessList& m_list;
};
