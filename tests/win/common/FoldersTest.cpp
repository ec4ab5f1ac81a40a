#include "Folders.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "LogCapture.h"
#include "PathMacros.h"
#include "SetupLog.h"
#include "TestRegistry.h"
#include "Util.h"
#include "WinHandles.h"

namespace {

constexpr char kTestKey[] = "Software\\VelSetupTest\\Folders";
constexpr char kHomeKey[] = "SOFTWARE\\Orbina.Com\\KOREAN";
constexpr char kVersionVectorKey[] = "SOFTWARE\\Microsoft\\Internet Explorer\\Version Vector";
constexpr char kCurrentVersionKey[] = "Software\\Microsoft\\Windows\\CurrentVersion";
constexpr char kShellFoldersKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

template <DWORD Major, DWORD Minor, DWORD Platform>
BOOL WINAPI FakeVersion(OSVERSIONINFOA* info) {
  info->dwMajorVersion = Major;
  info->dwMinorVersion = Minor;
  info->dwBuildNumber = 1234;
  info->dwPlatformId = Platform;
  return TRUE;
}

// A registry value as a row gives it: absent, or a type and its bytes.
struct RegValue {
  bool present;
  DWORD type;
  std::string bytes;
};
const RegValue kAbsent{false, REG_NONE, {}};
RegValue Stored(DWORD type, const std::string& bytes) { return {true, type, bytes}; }
RegValue Text(const std::string& text) { return Stored(REG_SZ, text + '\0'); }
RegValue Dword(DWORD value) {
  return Stored(REG_DWORD, std::string(reinterpret_cast<const char*>(&value), 4));
}

void Apply(CSavedRegistryValue& value, const RegValue& row) {
  if (row.present) {
    value.Set(row.type, row.bytes);
  } else {
    value.Delete();
  }
}

// The shell's answers differ from the registry's and the system's, so that a row shows its branch.
std::string FakeShellFolder(int csidl) { return "S:\\Shell " + std::to_string(csidl); }

std::string RegistryText(HKEY root, const char* key, const char* name) {
  char text[1024] = {};
  DWORD size = sizeof text - 1;
  EXPECT_EQ(::SHGetValueA(root, key, name, nullptr, text, &size), static_cast<DWORD>(ERROR_SUCCESS)) << name;
  return text;
}

// What a GetTempPathA-style call reports in a path buffer.
template <typename Call>
std::string SystemPath(Call call) {
  char path[MAX_PATH] = {};
  EXPECT_GT(call(path), 0u);
  return path;
}
std::string TempPath() {
  return SystemPath([](char* path) { return ::GetTempPathA(MAX_PATH, path); });
}
std::string WindowsDirectory() {
  return SystemPath([](char* path) { return ::GetWindowsDirectoryA(path, MAX_PATH); });
}

// The InitFolders lines captured since LogInit; all of them are failures.
std::vector<std::string> FolderFailures() {
  std::vector<std::string> lines;
  for (const std::string& line : CapturedLogLines()) {
    if (line.find("[InitFolders]") != std::string::npos) lines.push_back(line);
  }
  return lines;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

class FoldersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LogInit(0, 2);
    ::SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\VelSetupTest");
  }
  void TearDown() override {
    SetVersionSourceForTesting(nullptr);
    SetShellFolderSourceForTesting(nullptr);
    InitFolders();
    ::SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\VelSetupTest");
  }
};

// The values match what the prefix reports, each system taking its own branches: registry and
// system directories up to 4.x, shell folders from 5.0; "Home" (set here) only on NT 6 and later.
TEST_F(FoldersTest, EverySystemTakesItsOwnBranches) {
  struct Row {
    const char* name;
    VersionSource version;  // nullptr: this system
    bool registryFolders;
    bool homeRule;
  };
  const Row rows[] = {
      {"this system (NT 6 or later)", nullptr, false, true},
      {"NT 4.0", FakeVersion<4, 0, 2>, true, false},
      {"98", FakeVersion<4, 10, 1>, true, false},
      {"XP", FakeVersion<5, 1, 2>, false, false},
      {"9x-style 6.0", FakeVersion<6, 0, 1>, false, false},
      {"Vista", FakeVersion<6, 0, 2>, false, true},
      {"10", FakeVersion<10, 0, 2>, false, true},
  };
  CSavedRegistryValue home(HKEY_CURRENT_USER, kHomeKey, "Home");
  home.Set(REG_SZ, std::string("D:\\Games") + '\0');
  InitFolders();
  EXPECT_EQ(SystemFolders().m_strSystem,
            SystemPath([](char* path) { return ::GetSystemDirectoryA(path, MAX_PATH); }))
      << "the shell's own answer";
  SetShellFolderSourceForTesting(FakeShellFolder);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    LogInit(0, 2);
    SetVersionSourceForTesting(row.version);
    InitFolders();
    const CSystemFolders& folders = SystemFolders();

    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    EXPECT_TRUE((row.version ? row.version : ::GetVersionExA)(&version));
    EXPECT_EQ(folders.m_dwMajorVersion, version.dwMajorVersion);
    EXPECT_EQ(folders.m_dwMinorVersion, version.dwMinorVersion);
    EXPECT_EQ(folders.m_dwBuildNumber, version.dwBuildNumber);
    EXPECT_EQ(folders.m_dwPlatformId, version.dwPlatformId);
    EXPECT_EQ(folders.m_strOSVersion,
              std::to_string(version.dwMajorVersion) + "." + std::to_string(version.dwMinorVersion));
    if (row.registryFolders) {
      EXPECT_EQ(folders.m_strProgramFiles,
                RegistryText(HKEY_LOCAL_MACHINE, kCurrentVersionKey, "ProgramFilesDir"));
      EXPECT_EQ(folders.m_strWindows, WindowsDirectory());
      EXPECT_EQ(folders.m_strSystem,
                SystemPath([](char* path) { return ::GetSystemDirectoryA(path, MAX_PATH); }));
    } else {
      EXPECT_EQ(folders.m_strProgramFiles, FakeShellFolder(CSIDL_PROGRAM_FILES));
      EXPECT_EQ(folders.m_strWindows, FakeShellFolder(CSIDL_WINDOWS));
      EXPECT_EQ(folders.m_strSystem, FakeShellFolder(CSIDL_SYSTEM));
    }
    // With a trailing backslash from GetTempPathA.
    EXPECT_EQ(folders.m_strTempFolder, row.homeRule ? "D:\\Games\\VelTemp" : TempPath());
    EXPECT_EQ(folders.m_strDownloaded, folders.m_strWindows + "\\Downloaded Program Files");
    EXPECT_EQ(folders.m_strDesktop, RegistryText(HKEY_CURRENT_USER, kShellFoldersKey, "Desktop"));
    EXPECT_EQ(folders.m_strProgramMenu, RegistryText(HKEY_CURRENT_USER, kShellFoldersKey, "Programs"));
    EXPECT_FALSE(folders.m_strProgramFiles.empty() || folders.m_strWindows.empty() ||
                 folders.m_strDesktop.empty() || folders.m_strProgramMenu.empty());
    EXPECT_TRUE(FolderFailures().empty()) << Joined(FolderFailures());

    const CFolderValues& m = MacroFolders();
    EXPECT_EQ(std::tie(m.m_strProgramFiles, m.m_strWindows, m.m_strSystem, m.m_strProgramMenu, m.m_strDesktop,
                       m.m_strOSVersion, m.m_strDownloaded),
              std::tie(folders.m_strProgramFiles, folders.m_strWindows, folders.m_strSystem,
                       folders.m_strProgramMenu, folders.m_strDesktop, folders.m_strOSVersion,
                       folders.m_strDownloaded));
  }
}

TEST_F(FoldersTest, TemporaryFolderOnThisSystemFollowsHome) {
  const std::string root = WindowsDirectory().substr(0, 3) + "VelTemp";
  const std::string fits(251, 'g');  // with "\VelTemp": 259 characters
  struct Row {
    const char* name;
    RegValue home;
    std::string expected;  // empty: refused
  };
  const Row rows[] = {
      {"absent", kAbsent, root},
      {"set", Text("D:\\Games"), "D:\\Games\\VelTemp"},
      {"expandable", Stored(REG_EXPAND_SZ, std::string("D:\\Games") + '\0'), "D:\\Games\\VelTemp"},
      {"stored without zero", Stored(REG_SZ, "D:\\Games"), "D:\\Games\\VelTemp"},
      {"Korean", Text("D:\\\xB0\xD4\xC0\xD3"), "D:\\\xB0\xD4\xC0\xD3\\VelTemp"},
      {"network", Text("\\\\server\\share"), "\\\\server\\share\\VelTemp"},
      {"empty", Text(""), root},
      {"number", Dword(7), root},
      {"fits exactly", Text("D:\\" + fits.substr(3)), "D:\\" + fits.substr(3) + "\\VelTemp"},
      {"one too long", Text("D:\\" + fits.substr(2)), root},
      {"beyond the buffer", Text("D:\\" + std::string(300, 'g')), root},
      {"relative", Text("Games"), ""},
      {"drive relative", Text("D:Games"), ""},
      {"root relative", Text("\\Games"), ""},
  };
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  ASSERT_TRUE(::GetVersionExA(&version));
  ASSERT_EQ(version.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
  ASSERT_GE(version.dwMajorVersion, 6u);

  CSavedRegistryValue home(HKEY_CURRENT_USER, kHomeKey, "Home");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    LogInit(0, 2);
    Apply(home, row.home);
    InitFolders();
    EXPECT_EQ(SystemFolders().m_strTempFolder, row.expected);
    const std::vector<std::string> failures = FolderFailures();
    if (row.expected.empty()) {
      ASSERT_EQ(failures.size(), 1u) << Joined(failures);
      EXPECT_NE(failures[0].find("[InitFolders] Temporary folder is not an absolute path ("),
                std::string::npos);
    } else {
      EXPECT_TRUE(failures.empty()) << Joined(failures);
    }
  }
}

TEST_F(FoldersTest, InternetExplorer7FlagReadsTheVersionVector) {
  struct Row {
    const char* name;
    RegValue ie;
    bool expected;
  };
  const Row rows[] = {
      {"absent", kAbsent, false},
      {"7", Text("7.0000"), true},
      {"8", Text("8.0"), false},
      {"17 is not 7", Text("17.0"), false},
      {"empty", Text(""), false},
      {"stored without zero", Stored(REG_SZ, "7.0000"), true},
      {"number", Dword(7), false},
      {"binary", Stored(REG_BINARY, "7.0000"), false},
      {"beyond 260 bytes", Text("7" + std::string(300, '0')), false},
  };
  CSavedRegistryValue ie(HKEY_LOCAL_MACHINE, kVersionVectorKey, "IE");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Apply(ie, row.ie);
    InitFolders();
    EXPECT_EQ(SystemFolders().m_bIE7, row.expected);
  }
}

// A folder that comes out empty or too long is left empty, logged, and refused by the macros.
TEST_F(FoldersTest, EmptyOrLongFoldersAreRefused) {
  struct Row {
    const char* name;
    const char* value;
    RegValue data;
    const char* line;
  };
  const Row rows[] = {
      {"empty desktop", "Desktop", Text(""), "[InitFolders] Desktop folder is empty"},
      {"missing desktop", "Desktop", kAbsent, "[InitFolders] Desktop folder is empty"},
      {"numeric desktop", "Desktop", Dword(1), "[InitFolders] Desktop folder is empty"},
      {"long desktop", "Desktop", Text("C:\\" + std::string(297, 'd')),
       "[InitFolders] Desktop folder is too long (300 characters)"},
      {"missing programs", "Programs", kAbsent, "[InitFolders] Programs menu folder is empty"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    LogInit(0, 2);
    {
      CSavedRegistryValue value(HKEY_CURRENT_USER, kShellFoldersKey, row.value);
      Apply(value, row.data);
      InitFolders();
    }
    const std::vector<std::string> failures = FolderFailures();
    ASSERT_EQ(failures.size(), 1u) << Joined(failures);
    EXPECT_EQ(failures[0], std::string("[VelSetup]") + row.line);
    const char* macro = std::string(row.value) == "Desktop" ? "[DESKTOP]\\a" : "[PROGRAMMENU]\\a";
    std::string path;
    EXPECT_FALSE(ExpandPathMacros(macro, path));
  }
  LogInit(0, 2);
  InitFolders();
  EXPECT_TRUE(FolderFailures().empty()) << Joined(FolderFailures());
}

TEST_F(FoldersTest, ReadRegistryStringTakesOnlyTextThatFits) {
  struct Row {
    const char* name;
    RegValue stored;
    const char* expected;  // nullptr: the default
  };
  const std::string long511(511, 'x');
  const Row rows[] = {
      {"text", Text("abc"), "abc"},
      {"text without zero", Stored(REG_SZ, "abc"), "abc"},
      {"expandable kept as written", Stored(REG_EXPAND_SZ, std::string("%WINDIR%\\a") + '\0'), "%WINDIR%\\a"},
      {"Korean", Text("\xC7\xD1\xB1\xDB"), "\xC7\xD1\xB1\xDB"},
      {"empty", Text(""), ""},
      {"511 characters", Text(long511), long511.c_str()},
      {"511 characters without zero", Stored(REG_SZ, long511), long511.c_str()},
      {"512 characters without zero", Stored(REG_SZ, long511 + "x"), nullptr},
      {"512 characters", Text(long511 + "x"), nullptr},
      {"600 characters", Text(std::string(600, 'x')), nullptr},
      {"number", Dword(0x00636261), nullptr},
      {"binary", Stored(REG_BINARY, std::string("abc") + '\0'), nullptr},
      {"multiple texts", Stored(REG_MULTI_SZ, std::string("a\0b\0\0", 5)), nullptr},
      {"missing value", kAbsent, nullptr},
  };
  CSavedRegistryValue value(HKEY_CURRENT_USER, kTestKey, "Value");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Apply(value, row.stored);
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kTestKey, "Value", "default"),
              row.expected ? row.expected : "default");
  }
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, "Software\\VelSetupTest\\Missing", "Value", "default"),
            "default");
}

std::string FixturePath(const char* name) {
  char module[MAX_PATH] = {};
  ::GetModuleFileNameA(nullptr, module, MAX_PATH);
  std::string path = module;
  return path.substr(0, path.rfind('\\')) + "\\fixtures\\" + name;
}

TEST_F(FoldersTest, ReadFileVersionTrustsOnlyACompleteSignedBlock) {
  const std::string notPE = TempPath() + "VelSetupNotPE.dll";
  std::ofstream(notPE, std::ios::binary) << "MZ and nothing else";
  struct Row {
    std::string path;
    bool ok;
    DWORD ms;
    DWORD ls;
  };
  const Row rows[] = {
      {FixturePath("version_1_2_3_4.dll"), true, 0x00010002, 0x00030004},
      {FixturePath("version_2_0_0_0.exe"), true, 0x00020000, 0x00000000},
      {FixturePath("version_40000_1_65535_7.dll"), true, 0x9C400001, 0xFFFF0007},
      {FixturePath("no_version.dll"), false, 0, 0},
      {FixturePath("bad_signature.dll"), false, 0, 0},
      {FixturePath("short_fixed_info.dll"), false, 0, 0},
      {FixturePath("truncated_root.dll"), false, 0, 0},
      {FixturePath("missing.dll"), false, 0, 0},
      {notPE, false, 0, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    DWORD ms = 0;
    DWORD ls = 0;
    EXPECT_EQ(ReadFileVersion(row.path.c_str(), ms, ls), row.ok);
    if (row.ok) {
      EXPECT_EQ(ms, row.ms);
      EXPECT_EQ(ls, row.ls);
    }
  }
  ::DeleteFileA(notPE.c_str());
}

TEST_F(FoldersTest, CreateRecursiveDirectoryCreatesEveryMissingParent) {
  const std::string base = TempPath() + "VelSetupFoldersTest";
  std::filesystem::remove_all(base);
  ASSERT_TRUE(::CreateDirectoryA(base.c_str(), nullptr));
  std::ofstream(base + "\\file.txt") << "x";
  CFolderValues folders;
  folders.m_strProgramFiles = base;
  struct Row {
    const char* name;
    std::string path;
    bool expected;
    std::string created;  // a folder that exists afterwards
  };
  std::string expanded;
  ASSERT_TRUE(ExpandPathMacros(folders, "[PROGRAMS]\\Game\\Data", expanded));
  ASSERT_EQ(expanded, base + "\\\\Game\\Data");
  const Row rows[] = {
      {"nested new folders", base + "\\a\\b\\c", true, base + "\\a\\b\\c"},
      {"existing folder", base, true, base},
      {"trailing backslash", base + "\\t\\", true, base + "\\t"},
      {"doubled backslash from a macro", expanded, true, base + "\\Game\\Data"},
      {"a file", base + "\\file.txt", false, ""},
      {"under a file", base + "\\file.txt\\sub", false, ""},
      {"under a file, deeper", base + "\\file.txt\\sub\\deeper", false, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(CUtil::CreateRecursiveDirectory(row.path.c_str()), row.expected);
    if (!row.created.empty()) {
      EXPECT_TRUE(::PathIsDirectoryA(row.created.c_str()));
    }
  }
  EXPECT_FALSE(::PathFileExistsA((base + "\\file.txt\\sub").c_str()));
  std::filesystem::remove_all(base);
}

}  // namespace
