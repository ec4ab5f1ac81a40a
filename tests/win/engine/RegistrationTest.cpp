#include "Registration.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "EngineTestSupport.h"
#include "Folders.h"
#include "PathMacros.h"
#include "SetupLog.h"
#include "SetupRun.h"
#include "UpdateFile.h"
#include "WinHandles.h"

namespace {

constexpr char kClassId[] = VELSETUP_FIXTURE_CLASS_ID;  // the fixture server's class
const std::string kClassKey = std::string("CLSID\\{") + kClassId + "}";
const std::string kServerKey = kClassKey + "\\InprocServer32";
constexpr char kPreApprovedKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Ext\\PreApproved";
constexpr char kVersionVectorKey[] = "SOFTWARE\\Microsoft\\Internet Explorer\\Version Vector";

// Registers nothing: the browser's version decides the Internet Explorer 7 flag of InitFolders.
class CBrowserVersion {
 public:
  CBrowserVersion() : m_saved(HKEY_LOCAL_MACHINE, kVersionVectorKey, "IE") {}
  ~CBrowserVersion() { InitFolders(); }
  void Set(bool ie7) {
    if (ie7) {
      m_saved.SetText("7.0000");
    } else {
      m_saved.SetText("8.0000");
    }
    InitFolders();
  }

 private:
  CSavedRegistryValue m_saved;
};

// The system's registration tool moved aside, so that it cannot be started; put back on every path.
class CToolMissing {
 public:
  CToolMissing()
      : m_tool(SystemFolders().m_strSystem + "\\regsvr32.exe"), m_aside(m_tool + ".velsetup-test") {
    // A run that ended before putting it back left it aside.
    if (!FileIsPresent(m_tool)) ::MoveFileExA(m_aside.c_str(), m_tool.c_str(), 0);
    m_moved = ::MoveFileExA(m_tool.c_str(), m_aside.c_str(), 0) != FALSE;
  }
  ~CToolMissing() {
    if (m_moved) ::MoveFileExA(m_aside.c_str(), m_tool.c_str(), 0);
  }
  bool Moved() const { return m_moved; }

 private:
  std::string m_tool, m_aside;
  bool m_moved = false;
};

std::string ServerPath() {
  DWORD type = REG_NONE;
  std::string bytes;
  if (!ReadValue(HKEY_CLASSES_ROOT, kServerKey, "", type, bytes) || bytes.empty()) return {};
  return bytes.substr(0, bytes.size() - 1);
}

bool PreApproved(const char* classId) {
  return KeyExists(HKEY_LOCAL_MACHINE, std::string(kPreApprovedKey) + "\\{" + classId + "}");
}

void CleanRegistrations() {
  ::SHDeleteKeyA(HKEY_CLASSES_ROOT, kClassKey.c_str());
  ::SHDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(kPreApprovedKey) + "\\{" + kClassId + "}").c_str());
}

// %T: the registration tool, %F: the server file, %C: its class identifier.
std::vector<std::string> Expand(const std::vector<std::string>& lines, const std::string& file) {
  const std::string tool = SystemFolders().m_strSystem + "\\Regsvr32.exe";
  std::vector<std::string> expanded;
  for (std::string line : lines) {
    for (const auto& [mark, text] :
         {std::pair<std::string, std::string>{"%T", tool}, {"%F", file}, {"%C", kClassId}}) {
      for (size_t at = line.find(mark); at != std::string::npos; at = line.find(mark, at + text.size())) {
        line.replace(at, mark.size(), text);
      }
    }
    expanded.push_back(line);
  }
  return expanded;
}

const std::vector<std::string> kRegisterLines = {"[ExecuteFile] Call CreateProcess(%T /s \"%F\")",
                                                 "[ExecuteFile] CreateProcess(%T) Success",
                                                 "[RegisterServer] RegisterServer(%F) Success"};
const std::vector<std::string> kUnregisterLines = {"[ExecuteFile] Call CreateProcess(%T /u /s \"%F\")",
                                                   "[ExecuteFile] CreateProcess(%T) Success",
                                                   "[UnregisterServer] UnregisterServer(%F) Success"};
std::vector<std::string> Join(std::vector<std::string> first, const std::vector<std::string>& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

struct Case {
  const char* name;
  int registerServer;
  bool withClassId;
  bool ie7;
  size_t pathLength = 0;  // 0: the plain installation folder; else the server path's exact length
  bool toolMissing = false;
  bool registered;  // the result, the file's registration and pre-approval
  bool preApproved;
  std::vector<std::string> registerLines;
  bool unregistered;
  std::vector<std::string> unregisterLines;
};

TEST(RegistrationTest, RegisterAndUnregisterTheServer) {
  const std::vector<Case> cases = {
      {"registered without the Internet Explorer 7 flag", 1, true, false, 0, false, true, false,
       kRegisterLines, true, kUnregisterLines},
      {"Internet Explorer 7 and CLASSID: pre-approved, then removed", 1, true, true, 0, false, true, true,
       Join(kRegisterLines, {"[RegisterPreApproved] RegisterServer(%C) Success"}), true,
       Join(kUnregisterLines, {"[UnregisterPreApproved] UnregisterPreApproved(%C) Success"})},
      {"Internet Explorer 7 without CLASSID: registered only", 1, false, true, 0, false, true, false,
       kRegisterLines, true, kUnregisterLines},
      {"REGISTER 0: the tool does not run", 0, true, true, 0, false, true, false, {}, true, {}},
      {"the longest path registers", 1, false, false, kMaxPathLength, false, true, false, kRegisterLines,
       true, kUnregisterLines},
      {"a tool that cannot be started: the file is deleted",
       1,
       true,
       true,
       0,
       true,
       false,
       false,
       {"[ExecuteFile] Call CreateProcess(%T /s \"%F\")",
        "[ExecuteFile] CreateProcess(%T) Failed (Error Code = 2)",
        "[RegisterServer] RegisterServer(%F) Failed"},
       false,
       {"[ExecuteFile] Call CreateProcess(%T /u /s \"%F\")",
        "[ExecuteFile] CreateProcess(%T) Failed (Error Code = 2)",
        "[UnregisterServer] UnregisterServer(%F) Failed"}},
  };
  CBrowserVersion browser;
  for (const Case& c : cases) {
    CleanRegistrations();
    browser.Set(c.ie7);
    const CTestFolder installed("velsetup engine registration");
    std::string path = installed / "com server.dll";
    if (c.pathLength != 0) {
      // Folders of at most 200 characters until the path has the length asked for.
      std::string folder = installed.Path();
      const std::string name = "\\com server.dll";
      while (folder.size() + name.size() < c.pathLength) {
        folder +=
            "\\" + std::string(std::min<size_t>(200, c.pathLength - name.size() - folder.size() - 1), 'd');
        ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr)) << folder;
      }
      path = folder + name;
      ASSERT_EQ(path.size(), c.pathLength);
    }
    ASSERT_TRUE(::CopyFileA(FixturePath("com_server.dll").c_str(), path.c_str(), FALSE)) << c.name;
    CUpdateFile file;
    file.m_strName = "com server.dll";
    file.m_strLocalPath = path;
    file.m_bRegister = c.registerServer;
    if (c.withClassId) file.m_strClassID = kClassId;

    LogInit(0, 2);
    std::unique_ptr<CToolMissing> missing;
    if (c.toolMissing) {
      missing = std::make_unique<CToolMissing>();
      ASSERT_TRUE(missing->Moved()) << c.name;
    }
    EXPECT_EQ(file.RegisterServer(), c.registered) << c.name;
    EXPECT_EQ(ServerPath(), c.registered && c.registerServer ? path : "") << c.name;
    EXPECT_EQ(PreApproved(kClassId), c.preApproved) << c.name;
    EXPECT_EQ(FileIsPresent(path), c.registered) << c.name;
    EXPECT_EQ(LogMessages(), Expand(c.registerLines, path)) << c.name;

    LogInit(0, 2);
    EXPECT_EQ(file.UnregisterServer(), c.unregistered) << c.name;
    EXPECT_EQ(ServerPath(), "") << c.name;
    EXPECT_FALSE(PreApproved(kClassId)) << c.name;
    EXPECT_EQ(LogMessages(), Expand(c.unregisterLines, path)) << c.name;
  }
  CleanRegistrations();
}

TEST(RegistrationTest, DeleteRegClassFile) {
  InitFolders();
  const struct {
    const char* name;
    bool registerServer;  // the fixture server registers itself
    DWORD type;           // otherwise this value is stored as its InprocServer32 path; REG_NONE: none
    bool result;
  } cases[] = {
      {"the registered server is unregistered and deleted", true, REG_NONE, true},
      {"a class without InprocServer32 deletes nothing", false, REG_NONE, false},
      {"an unexpanded REG_EXPAND_SZ path is deleted", false, REG_EXPAND_SZ, true},
      {"a path of another type deletes nothing", false, REG_BINARY, false},
  };
  const CTestFolder installed("velsetup engine class");
  const std::string path = installed / "old server.dll";
  for (const auto& c : cases) {
    CleanRegistrations();
    ASSERT_TRUE(::CopyFileA(FixturePath("com_server.dll").c_str(), path.c_str(), FALSE)) << c.name;
    if (c.registerServer) {
      ASSERT_TRUE(RegisterServerFile(path.c_str())) << c.name;
      ASSERT_EQ(ServerPath(), path) << c.name;
    } else if (c.type != REG_NONE) {
      CScopedRegKey key;
      ASSERT_EQ(::RegCreateKeyExA(HKEY_CLASSES_ROOT, kServerKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, key.Put(), nullptr),
                ERROR_SUCCESS);
      ::RegSetValueExA(key.Get(), nullptr, 0, c.type, reinterpret_cast<const BYTE*>(path.c_str()),
                       static_cast<DWORD>(path.size() + 1));
    }
    LogInit(0, 2);
    EXPECT_EQ(DeleteRegClassFile(kClassId), c.result) << c.name;
    EXPECT_EQ(FileIsPresent(path), !c.result) << c.name;
    if (c.registerServer) {
      EXPECT_EQ(ServerPath(), "") << c.name;
    }
    EXPECT_EQ(LogLinesStartingWith("[DeleteRegClassFile]").size(), 0u) << c.name;
  }
  CleanRegistrations();
}

}  // namespace
