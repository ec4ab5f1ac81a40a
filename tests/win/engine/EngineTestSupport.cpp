#include "EngineTestSupport.h"

#include <gtest/gtest.h>
#include <shellapi.h>

#include <sstream>

#include "Folders.h"
#include "LogCapture.h"
#include "SetupRun.h"
#include "UiRobot.h"
#include "WinHandles.h"

namespace {

DWORD g_fakeMajor, g_fakePlatform;
BOOL WINAPI FakeVersion(OSVERSIONINFOA* info) {
  info->dwMajorVersion = g_fakeMajor;
  info->dwMinorVersion = 0;
  info->dwPlatformId = g_fakePlatform;
  return TRUE;
}

}  // namespace

std::string ZipBytes(const std::vector<CZipPackEntry>& entries, bool stored) {
  const CTestFolder folder("velsetup-zip");
  std::string error;
  EXPECT_TRUE(PackEntries(folder / "a.zip", entries, {2007, 7, 18, 10, 20, 30}, stored, error)) << error;
  return ReadFileBytes(folder / "a.zip");
}

CToolMissing::CToolMissing()
    : m_tool(SystemFolders().m_strSystem + "\\regsvr32.exe"), m_aside(m_tool + ".velsetup-test") {
  if (!FileIsPresent(m_tool)) ::MoveFileExA(m_aside.c_str(), m_tool.c_str(), 0);
  m_moved = ::MoveFileExA(m_tool.c_str(), m_aside.c_str(), 0) != FALSE;
}

CToolMissing::~CToolMissing() {
  if (m_moved) ::MoveFileExA(m_aside.c_str(), m_tool.c_str(), 0);
}

CTestFolder::CTestFolder(const std::string& name) {
  char temp[MAX_PATH] = {};
  ::GetTempPathA(MAX_PATH, temp);
  m_path = std::string(temp) + name;
  RemoveTree(m_path);
  ::CreateDirectoryA(m_path.c_str(), nullptr);
}

CTestFolder::~CTestFolder() { RemoveTree(m_path); }

std::string FixturePath(const std::string& name) { return TestBinaryFolder() + "\\fixtures\\" + name; }

bool FileIsPresent(const std::string& path) {
  return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<RecordedRun> ReadRecords(const std::string& recordFile, size_t count, DWORD timeoutMs) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    std::vector<RecordedRun> runs;
    std::istringstream lines(ReadFileBytes(recordFile));
    for (std::string line; std::getline(lines, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const size_t blank = line.find(' ');
      if (blank != std::string::npos)
        runs.push_back({std::stoul(line.substr(0, blank)), line.substr(blank + 1)});
    }
    if (runs.size() >= count || ::GetTickCount() - start > timeoutMs) return runs;
    ::Sleep(20);
  }
}

bool ProcessRuns(DWORD pid) {
  const CScopedHandle process(::OpenProcess(SYNCHRONIZE, FALSE, pid));
  return process && ::WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT;
}

void EndProcess(DWORD pid, DWORD timeoutMs) {
  const CScopedHandle process(::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid));
  if (process && ::WaitForSingleObject(process.Get(), timeoutMs) != WAIT_OBJECT_0) {
    ::TerminateProcess(process.Get(), 1);
    ::WaitForSingleObject(process.Get(), 10000);
  }
}

CScopedEnvironment::CScopedEnvironment(const char* name, const std::string& value) : m_name(name) {
  ::SetEnvironmentVariableA(name, value.c_str());
}

CScopedEnvironment::~CScopedEnvironment() { ::SetEnvironmentVariableA(m_name.c_str(), nullptr); }

std::vector<std::string> LogMessages() {
  std::vector<std::string> lines;
  for (const std::string& line : CapturedLogLines()) lines.push_back(line.substr(line.find(']') + 1));
  return lines;
}

void ExpectLogLines(const std::vector<std::string>& expected, const std::string& caseName,
                    const Marks& marks) {
  const std::vector<std::string> lines = LogMessages();
  ASSERT_EQ(lines.size(), expected.size()) << caseName << "\nfirst line: " << (lines.empty() ? "" : lines[0]);
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string want = expected[i];
    for (const auto& [mark, text] : marks) {
      for (size_t at = want.find(mark); at != std::string::npos; at = want.find(mark, at + text.size())) {
        want.replace(at, mark.size(), text);
      }
    }
    const bool prefix = !want.empty() && want.back() == '*';
    if (prefix) want.pop_back();
    EXPECT_EQ(prefix ? lines[i].substr(0, want.size()) : lines[i], want) << caseName;
  }
}

CFakeWindowsVersion::CFakeWindowsVersion(DWORD major, DWORD platform) {
  g_fakeMajor = major;
  g_fakePlatform = platform;
  SetVersionSourceForTesting(FakeVersion);
  InitFolders();
}

CFakeWindowsVersion::~CFakeWindowsVersion() {
  SetVersionSourceForTesting(nullptr);
  InitFolders();
}

bool KeyExists(HKEY root, const std::string& key) {
  CScopedRegKey opened;
  return ::RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, opened.Put()) == ERROR_SUCCESS;
}

bool ReadValue(HKEY root, const std::string& key, const char* name, DWORD& type, std::string& bytes) {
  CScopedRegKey opened;
  char data[2048];
  DWORD size = sizeof data;
  if (::RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE, opened.Put()) != ERROR_SUCCESS ||
      ::RegQueryValueExA(opened.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) !=
          ERROR_SUCCESS) {
    return false;
  }
  bytes.assign(data, size);
  return true;
}

std::string TextValue(const std::string& text) { return text + '\0'; }

std::string DwordValue(DWORD value) {
  return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

bool RestartPrefix() {
  char system[MAX_PATH] = {};
  ::GetSystemDirectoryA(system, MAX_PATH);
  const std::string wineboot = std::string(system) + "\\wineboot.exe";
  const CScopedHandle process = StartProcess("\"" + wineboot + "\" -r", wineboot.c_str());
  DWORD exitCode = 1;
  return process && ::WaitForSingleObject(process.Get(), 180000) == WAIT_OBJECT_0 &&
         ::GetExitCodeProcess(process.Get(), &exitCode) && exitCode == 0;
}
