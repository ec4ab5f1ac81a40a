#include "ProcessLocator.h"

#include <cstdio>
#include <string>

#include "AnsiText.h"
#include "FileDescription.h"
#include "ForeignText.h"
#include "MessageBox.h"
#include "PathForm.h"
#include "PathMacros.h"
#include "SetupLog.h"
#include "WinHandles.h"
#include "resource.h"

namespace {

ProcessOpenFunction g_openProcess = ::OpenProcess;

// One form for every spelling of a path: full, single separators, long names. A step that fails
// or whose result would not fit a path buffer leaves the form of the step before.
std::string ComparablePath(const std::string& path) {
  std::string form = CollapseSeparators(path);
  char buffer[kMaxPathLength + 2];
  DWORD length = ::GetFullPathNameA(form.c_str(), sizeof buffer, buffer, nullptr);
  if (length > 0 && length <= kMaxPathLength)
    form = CollapseSeparators(BoundedText(buffer, length, sizeof buffer));
  length = ::GetLongPathNameA(form.c_str(), buffer, sizeof buffer);
  if (length > 0 && length <= kMaxPathLength) form = BoundedText(buffer, length, sizeof buffer);
  return form;
}

std::string FillQuestion(UINT questionId, const std::string& description, const std::string& programPath) {
  const std::string format = LoadResourceString(questionId);
  const int size = std::snprintf(nullptr, 0, format.c_str(), description.c_str(), programPath.c_str());
  if (size <= 0) return format;
  std::string text(static_cast<size_t>(size) + 1, '\0');
  std::snprintf(&text[0], text.size(), format.c_str(), description.c_str(), programPath.c_str());
  text.resize(static_cast<size_t>(size));
  return text;
}

bool AskToEnd(UINT questionId, const CProcessInfo& process) {
  const std::string question =
      FillQuestion(questionId, GetFileDescription(process.GetPath().c_str()), process.GetPath());
  const std::string title = LoadResourceString(IDS_APP_TITLE);
  return ShowMessage(nullptr, question.c_str(), title.c_str(), MB_YESNO | MB_ICONINFORMATION) == IDYES;
}

bool HoldsFile(const CProcessInfo& process, const std::string& file) {
  for (size_t i = 0; i < process.GetModuleCount(); ++i) {
    const std::string& path = process.GetModule(i).GetPath();
    if (!path.empty() && EqualNoCase(ComparablePath(path).c_str(), file.c_str())) return true;
  }
  return false;
}

// Whether the process behind `process` (opened before the question) still runs the program the
// user was asked about and holds the file. Its identifier cannot name another process while that
// handle is open, so a fresh list tells about the same process.
bool StillHoldsFile(HANDLE process, const CProcessInfo& asked, const std::string& file,
                    EProcessFacility facility) {
  if (::WaitForSingleObject(process, 0) != WAIT_TIMEOUT) return false;
  CProcessList list(facility);
  list.Enumerate();
  for (size_t i = 0; i < list.GetCount(); ++i) {
    const CProcessInfo& now = list.GetAt(i);
    if (now.GetProcessId() == asked.GetProcessId())
      return EqualNoCase(now.GetPath().c_str(), asked.GetPath().c_str()) && HoldsFile(now, file);
  }
  return false;
}

}  // namespace

void SetProcessOpenForTesting(ProcessOpenFunction function) {
  g_openProcess = function != nullptr ? function : ::OpenProcess;
}

bool TerminateProcessesUsingFile(const char* filePath, UINT questionId, EProcessFacility facility) {
  CProcessList list(facility);
  list.Enumerate();
  if (list.GetCount() == 0) return true;
  const std::string file = ComparablePath(filePath);
  const DWORD self = ::GetCurrentProcessId();

  for (size_t i = 0; i < list.GetCount(); ++i) {
    const CProcessInfo& process = list.GetAt(i);
    if (process.GetProcessId() == self || !HoldsFile(process, file)) continue;
    LogWrite(2, "[TerminateProcessesUsingFile] %s is used by %s (PID = %lu)", filePath,
             process.GetPath().c_str(), process.GetProcessId());
    // Opened before the question, so that the answer ends the program it was about and no other
    // that has taken its identifier since.
    const CScopedHandle handle(g_openProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, process.GetProcessId()));
    if (!handle) {
      LogWrite(1, "[TerminateProcessesUsingFile] OpenProcess(%lu) Failed, Error Code = %d",
               process.GetProcessId(), static_cast<int>(::GetLastError()));
      continue;
    }
    if (!AskToEnd(questionId, process)) {
      LogWrite(2, "[TerminateProcessesUsingFile] Terminate Process Canceled (%s)", process.GetPath().c_str());
      return false;
    }
    if (!StillHoldsFile(handle.Get(), process, file, facility)) {
      LogWrite(2, "[TerminateProcessesUsingFile] No longer used by %s (PID = %lu)", process.GetPath().c_str(),
               process.GetProcessId());
      continue;
    }
    if (!::TerminateProcess(handle.Get(), 0)) {
      LogWrite(1, "[TerminateProcessesUsingFile] TerminateProcess(%s) Failed, Error Code = %d",
               process.GetPath().c_str(), static_cast<int>(::GetLastError()));
      return false;
    }
    LogWrite(2, "[TerminateProcessesUsingFile] Terminate Process (%s)", process.GetPath().c_str());
  }
  return true;
}
