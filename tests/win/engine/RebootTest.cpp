#include "Reboot.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Answers.h"
#include "EngineTestSupport.h"
#include "Folders.h"
#include "SetupRun.h"
#include "WinHandles.h"

namespace {

void WriteText(const std::string& path, const std::string& text) {
  ASSERT_TRUE(WriteFileBytes(path, text)) << path;
}

struct ReplaceCase {
  const char* name;
  const char* source;       // the downloaded copy, "new" inside
  const char* destination;  // null: the source is deleted; "old" inside when `destinationPresent`
  bool destinationPresent;
  bool sourceRemovedBeforeRestart;
  const char* destinationAfter;  // content after the restart; null: absent
};

// Restarts the Wine prefix as a system start does: the delayed renames and deletions are performed.
void RestartPrefix() {
  const std::string wineboot = SystemFolders().m_strSystem + "\\wineboot.exe";
  std::string commandLine = "\"" + wineboot + "\" -r";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION created = {};
  ASSERT_TRUE(::CreateProcessA(wineboot.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &created))
      << "wineboot cannot be started, error " << ::GetLastError();
  const CScopedHandle process(created.hProcess);
  const CScopedHandle thread(created.hThread);
  ASSERT_EQ(::WaitForSingleObject(process.Get(), 180000), WAIT_OBJECT_0) << "wineboot -r did not end";
  DWORD exitCode = 1;
  ::GetExitCodeProcess(process.Get(), &exitCode);
  EXPECT_EQ(exitCode, 0u) << "wineboot -r";
}

TEST(RebootTest, ReplacementsAtTheNextStartOfTheNtFamily) {
  InitFolders();
  ASSERT_EQ(SystemFolders().m_dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
  const std::vector<ReplaceCase> cases = {
      {"the copy replaces the file in use", "new copy 1.dll", "in use 1.dll", true, false, "new"},
      {"a deletion", "stale 2.dll", nullptr, false, false, nullptr},
      {"the copy gone before the restart: the old file stays", "new copy 3.dll", "in use 3.dll", true, true,
       "old"},
      {"no file at the destination: the copy moves there", "new copy 4.dll", "absent 4.dll", false, false,
       "new"},
  };
  const CTestFolder folder("velsetup engine reboot");
  for (const ReplaceCase& c : cases) {
    WriteText(folder / c.source, "new");
    if (c.destinationPresent) WriteText(folder / c.destination, "old");
    const std::string destination = c.destination ? folder / c.destination : std::string();
    ReplaceFileOnReboot((folder / c.source).c_str(), c.destination ? destination.c_str() : nullptr);
    if (c.sourceRemovedBeforeRestart) {
      ASSERT_TRUE(::DeleteFileA((folder / c.source).c_str())) << c.name;
    }
  }
  // Nothing happens before the restart.
  for (const ReplaceCase& c : cases) {
    EXPECT_EQ(FileIsPresent(folder / c.source), !c.sourceRemovedBeforeRestart) << c.name;
  }

  RestartPrefix();

  for (const ReplaceCase& c : cases) {
    EXPECT_FALSE(FileIsPresent(folder / c.source)) << c.name;
    if (c.destination == nullptr) continue;
    const std::string destination = folder / c.destination;
    EXPECT_EQ(FileIsPresent(destination), c.destinationAfter != nullptr) << c.name;
    if (c.destinationAfter) {
      EXPECT_EQ(ReadFileBytes(destination), c.destinationAfter) << c.name;
    }
  }
}

std::string ShortPathOf(const std::string& path) {
  char shortPath[MAX_PATH] = {};
  const DWORD length = ::GetShortPathNameA(path.c_str(), shortPath, MAX_PATH);
  EXPECT_GT(length, 0u) << path;
  EXPECT_NE(std::string(shortPath), path) << "the test needs a path whose short form differs";
  return shortPath;
}

// The Windows folder's "Wininit.ini", put back as it was when the test ends.
class CSavedWininit {
 public:
  CSavedWininit() : m_path(SystemFolders().m_strWindows + "\\Wininit.ini") {
    m_existed = FileIsPresent(m_path);
    if (m_existed) m_bytes = ReadFileBytes(m_path);
  }
  ~CSavedWininit() {
    Clear();
    if (m_existed) WriteFileBytes(m_path, m_bytes);
  }
  void Clear() {
    ::WritePrivateProfileStringA(nullptr, nullptr, nullptr, m_path.c_str());  // drops a cached copy
    ::DeleteFileA(m_path.c_str());
  }
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    const std::string bytes = ReadFileBytes(m_path);
    size_t start = 0;
    while (start < bytes.size()) {
      size_t end = bytes.find('\n', start);
      if (end == std::string::npos) end = bytes.size();
      std::string line = bytes.substr(start, end - start);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!line.empty()) lines.push_back(line);
      start = end + 1;
    }
    return lines;
  }

 private:
  std::string m_path;
  bool m_existed = false;
  std::string m_bytes;
};

TEST(RebootTest, WininitLinesOfThe9xFamily) {
  const CFakeWindowsVersion windows98(4, 10, VER_PLATFORM_WIN32_WINDOWS);
  const CTestFolder folder("velsetup engine wininit");
  const std::string copy = folder / "new copy.dll";
  const std::string inUse = folder / "file in use.dll";
  WriteText(copy, "new");
  WriteText(inUse, "old");
  const std::string shortCopy = ShortPathOf(copy);
  const std::string shortInUse = ShortPathOf(inUse);
  const std::string absent = folder / "absent.dll";
  const struct {
    const char* name;
    std::string source;
    const char* destination;
    std::vector<std::string> lines;
  } cases[] = {
      {"a replacement: the deletion, then the rename",
       copy,
       inUse.c_str(),
       {"[Rename]", "NUL=" + shortInUse, shortInUse + "=" + shortCopy}},
      {"a deletion", copy, nullptr, {"[Rename]", "NUL=" + shortCopy}},
      // Without a short form of the destination the deletion line alone would lose the file.
      {"a destination without a short form: nothing", copy, absent.c_str(), {}},
      {"a source without a short form: nothing", folder / "absent copy.dll", inUse.c_str(), {}},
  };
  CSavedWininit wininit;
  for (const auto& c : cases) {
    wininit.Clear();
    ReplaceFileOnReboot(c.source.c_str(), c.destination);
    EXPECT_EQ(wininit.Lines(), c.lines) << c.name;
  }
  EXPECT_EQ(ReadFileBytes(copy), "new");
  EXPECT_EQ(ReadFileBytes(inUse), "old");
}

// The restart calls the seam received, and the shutdown privilege's state at each.
struct RestartCall {
  RestartMethod method;
  std::string message;
  bool privilegeEnabled;
};
std::vector<RestartCall> g_calls;
BOOL g_restartResult = TRUE;

bool ShutdownPrivilegeEnabled() {
  CScopedHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Put())) return false;
  LUID shutdown = {};
  ::LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &shutdown);
  DWORD size = 0;
  ::GetTokenInformation(token.Get(), TokenPrivileges, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  if (!::GetTokenInformation(token.Get(), TokenPrivileges, buffer.data(), size, &size)) return false;
  const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
  for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
    const LUID& luid = privileges->Privileges[i].Luid;
    if (luid.LowPart == shutdown.LowPart && luid.HighPart == shutdown.HighPart) {
      return (privileges->Privileges[i].Attributes & SE_PRIVILEGE_ENABLED) != 0;
    }
  }
  return false;
}

BOOL RecordRestart(RestartMethod method, const char* message) {
  g_calls.push_back({method, message ? message : "", ShutdownPrivilegeEnabled()});
  return g_restartResult;
}

TEST(RebootTest, RestartThroughTheSeam) {
  const std::wstring question = L"새로운 설정 내용을 적용하기 위해 시스템을 다시 시작해야 합니다.";
  enum Action { kReboot, kAsk };
  const struct {
    const char* name;
    Action action;
    DWORD platform;
    std::vector<int> answers;
    BOOL restartResult;
    bool result;  // of the question: Yes
    std::vector<RestartMethod> calls;
    std::vector<std::wstring> boxes;
  } cases[] = {
      {"RebootSystem: the shutdown starts",
       kReboot,
       VER_PLATFORM_WIN32_NT,
       {},
       TRUE,
       false,
       {RestartMethod::kShutdown},
       {}},
      {"RebootSystem: a failing shutdown is shown",
       kReboot,
       VER_PLATFORM_WIN32_NT,
       {IDOK},
       FALSE,
       false,
       {RestartMethod::kShutdown},
       {L"InitiateSystemShutdown failed."}},
      {"the question answered Yes on the NT family",
       kAsk,
       VER_PLATFORM_WIN32_NT,
       {IDYES},
       TRUE,
       true,
       {RestartMethod::kShutdown},
       {question}},
      {"the question answered No", kAsk, VER_PLATFORM_WIN32_NT, {IDNO}, TRUE, false, {}, {question}},
      {"the question answered Yes on the 9x family",
       kAsk,
       VER_PLATFORM_WIN32_WINDOWS,
       {IDYES},
       TRUE,
       true,
       {RestartMethod::kExitWindows},
       {question}},
  };
  SetRestartForTesting(RecordRestart);
  for (const auto& c : cases) {
    const CFakeWindowsVersion windows(c.platform == VER_PLATFORM_WIN32_NT ? 6 : 4, 0, c.platform);
    g_calls.clear();
    g_restartResult = c.restartResult;
    CBoxAnswerer answerer(c.answers);
    bool result = false;
    if (c.action == kReboot) {
      RebootSystem();
    } else {
      result = AskAndRestart(nullptr);
    }
    const std::vector<CBoxAnswerer::Box> boxes = answerer.Stop();

    EXPECT_EQ(result, c.result) << c.name;
    ASSERT_EQ(g_calls.size(), c.calls.size()) << c.name;
    for (size_t i = 0; i < g_calls.size(); ++i) {
      EXPECT_EQ(g_calls[i].method, c.calls[i]) << c.name;
      if (g_calls[i].method == RestartMethod::kShutdown) {
        EXPECT_EQ(g_calls[i].message, "System rebooting.") << c.name;
        EXPECT_TRUE(g_calls[i].privilegeEnabled) << c.name;
      }
    }
    EXPECT_FALSE(ShutdownPrivilegeEnabled()) << c.name;
    ASSERT_EQ(boxes.size(), c.boxes.size()) << c.name;
    for (size_t i = 0; i < boxes.size(); ++i) {
      EXPECT_EQ(boxes[i].title, kAppTitle) << c.name;
      EXPECT_EQ(boxes[i].text, c.boxes[i]) << c.name;
    }
  }
  SetRestartForTesting(nullptr);
}

}  // namespace
