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

TEST(RebootTest, ReplacementsAtTheNextStartOfTheNtFamily) {
  InitFolders();
  ASSERT_EQ(SystemFolders().m_dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
  const struct {
    const char* name;
    const char* source;       // the downloaded copy, "new" inside
    const char* destination;  // null: the source is deleted
    bool destinationPresent;  // "old" inside
    bool sourceRemoved;       // before the restart
    const char* destinationAfter;
  } cases[] = {
      {"the copy replaces the file in use", "new 1.dll", "in use 1.dll", true, false, "new"},
      {"a deletion", "stale 2.dll", nullptr, false, false, nullptr},
      {"the copy gone at the restart: the old file stays", "new 3.dll", "in use 3.dll", true, true, "old"},
      {"no file at the destination: the copy moves there", "new 4.dll", "absent 4.dll", false, false, "new"}};
  const CTestFolder folder("velsetup engine reboot");
  for (const auto& c : cases) {
    EXPECT_TRUE(WriteFileBytes(folder / c.source, "new")) << c.name;
    if (c.destinationPresent) {
      EXPECT_TRUE(WriteFileBytes(folder / c.destination, "old")) << c.name;
    }
    const std::string destination = c.destination ? folder / c.destination : "";
    ReplaceFileOnReboot((folder / c.source).c_str(), c.destination ? destination.c_str() : nullptr);
    EXPECT_TRUE(FileIsPresent(folder / c.source)) << c.name << ": before the restart";
    if (c.sourceRemoved) {
      EXPECT_TRUE(::DeleteFileA((folder / c.source).c_str())) << c.name;
    }
  }

  ASSERT_TRUE(RestartPrefix()) << "wineboot -r";

  for (const auto& c : cases) {
    EXPECT_FALSE(FileIsPresent(folder / c.source)) << c.name;
    if (c.destination == nullptr) continue;
    EXPECT_EQ(FileIsPresent(folder / c.destination), c.destinationAfter != nullptr) << c.name;
    if (c.destinationAfter) {
      EXPECT_EQ(ReadFileBytes(folder / c.destination), c.destinationAfter) << c.name;
    }
  }
}

std::string ShortPathOf(const std::string& path) {
  char shortPath[MAX_PATH] = {};
  EXPECT_GT(::GetShortPathNameA(path.c_str(), shortPath, MAX_PATH), 0u) << path;
  EXPECT_NE(shortPath, path) << "the test needs a path whose short form differs";
  return shortPath;
}

TEST(RebootTest, WininitLinesOfThe9xFamily) {
  const CFakeWindowsVersion windows98(4, VER_PLATFORM_WIN32_WINDOWS);
  const std::string wininit = SystemFolders().m_strWindows + "\\Wininit.ini";
  // The system performs these lines at its next start: a copy of the prefix's own file is put back.
  const bool existed = FileIsPresent(wininit);
  const std::string saved = ReadFileBytes(wininit);
  const CTestFolder folder("velsetup engine wininit");
  const std::string copy = folder / "new copy.dll", inUse = folder / "file in use.dll",
                    absent = folder / "none.dll";
  ASSERT_TRUE(WriteFileBytes(copy, "new") && WriteFileBytes(inUse, "old"));
  const std::string shortCopy = ShortPathOf(copy), shortInUse = ShortPathOf(inUse);
  const struct {
    const char* name;
    std::string source;
    const char* destination;
    std::string lines;
  } cases[] = {{"a replacement: the deletion, then the rename", copy, inUse.c_str(),
                "[Rename]\r\nNUL=" + shortInUse + "\r\n" + shortInUse + "=" + shortCopy + "\r\n"},
               {"a deletion", copy, nullptr, "[Rename]\r\nNUL=" + shortCopy + "\r\n"},
               // The deletion line alone would lose the file.
               {"a destination without a short form: nothing", copy, absent.c_str(), ""},
               {"a source without a short form: nothing", absent, inUse.c_str(), ""}};
  for (const auto& c : cases) {
    ::WritePrivateProfileStringA(nullptr, nullptr, nullptr, wininit.c_str());  // no cached copy
    ::DeleteFileA(wininit.c_str());
    ReplaceFileOnReboot(c.source.c_str(), c.destination);
    EXPECT_EQ(ReadFileBytes(wininit), c.lines) << c.name;
  }
  ::DeleteFileA(wininit.c_str());
  if (existed) WriteFileBytes(wininit, saved);
  EXPECT_EQ(ReadFileBytes(copy) + ReadFileBytes(inUse), "newold");
}

// What the restart seam received, and whether the shutdown privilege was enabled then.
struct RestartCall {
  RestartMethod method;
  std::string message;
  bool privilegeEnabled;
};
std::vector<RestartCall> g_calls;
BOOL g_restartResult = TRUE;

bool ShutdownPrivilegeEnabled() {
  CScopedHandle token;
  LUID shutdown = {};
  std::vector<BYTE> buffer(4096);
  DWORD size = 0;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Put()) ||
      !::LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &shutdown) ||
      !::GetTokenInformation(token.Get(), TokenPrivileges, buffer.data(), 4096, &size)) {
    return false;
  }
  const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
  for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
    const LUID_AND_ATTRIBUTES& p = privileges->Privileges[i];
    if (p.Luid.LowPart == shutdown.LowPart && p.Luid.HighPart == shutdown.HighPart) {
      return (p.Attributes & SE_PRIVILEGE_ENABLED) != 0;
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
  const auto shutdown = RestartMethod::kShutdown;
  const DWORD nt = VER_PLATFORM_WIN32_NT, win9x = VER_PLATFORM_WIN32_WINDOWS;
  // clang-format off
  const struct {
    const char* name;
    bool ask;  // AskAndRestart, else RebootSystem
    DWORD platform;
    int answer;
    BOOL restartResult;
    bool result;  // of the question
    std::vector<RestartMethod> calls;
    std::vector<std::wstring> boxes;
  } cases[] = {
      {"RebootSystem: the shutdown starts", false, nt, 0, TRUE, false, {shutdown}, {}},
      {"RebootSystem: a failing shutdown is shown", false, nt, IDOK, FALSE, false, {shutdown},
       {L"InitiateSystemShutdown failed."}},
      {"the question answered Yes on the NT family", true, nt, IDYES, TRUE, true, {shutdown}, {question}},
      {"the question answered No", true, nt, IDNO, TRUE, false, {}, {question}},
      {"the question answered Yes on the 9x family", true, win9x, IDYES, TRUE, true, {RestartMethod::kExitWindows},
       {question}}};
  // clang-format on
  const CScopedSeam<RestartFunction> recorded(SetRestartForTesting, RecordRestart);
  for (const auto& c : cases) {
    const CFakeWindowsVersion windows(c.platform == nt ? 6 : 4, c.platform);
    g_calls.clear();
    g_restartResult = c.restartResult;
    CBoxAnswerer answerer({c.answer});
    const bool result = c.ask ? AskAndRestart(nullptr) : (RebootSystem(), false);
    const std::vector<CBoxAnswerer::Box> boxes = answerer.Stop();

    EXPECT_EQ(result, c.result) << c.name;
    std::vector<RestartMethod> methods;
    for (const RestartCall& call : g_calls) {
      methods.push_back(call.method);
      if (call.method != shutdown) continue;
      EXPECT_EQ(call.message, "System rebooting.") << c.name;
      EXPECT_TRUE(call.privilegeEnabled) << c.name;
    }
    EXPECT_EQ(methods, c.calls) << c.name;
    EXPECT_FALSE(ShutdownPrivilegeEnabled()) << c.name << ": disabled again";
    std::vector<std::wstring> texts;
    for (const CBoxAnswerer::Box& box : boxes) {
      EXPECT_EQ(box.title, kAppTitle) << c.name;
      texts.push_back(box.text);
    }
    EXPECT_EQ(texts, c.boxes) << c.name;
  }
}

}  // namespace
