#include "Registration.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "EngineTestSupport.h"
#include "Folders.h"
#include "PathMacros.h"
#include "SetupLog.h"
#include "UpdateFile.h"
#include "WinHandles.h"

namespace {

constexpr char kClassId[] = VELSETUP_FIXTURE_CLASS_ID;  // the fixture server's class
const std::string kClassKey = std::string("CLSID\\{") + kClassId + "}";
const std::string kPreApproved =
    std::string("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Ext\\PreApproved\\{") + kClassId + "}";
constexpr char kVersionVector[] = "SOFTWARE\\Microsoft\\Internet Explorer\\Version Vector";

// The browser version that InitFolders reads for the Internet Explorer 7 flag; put back at the end.
class CBrowserVersion {
 public:
  CBrowserVersion() : m_saved(ReadRegistryString(HKEY_LOCAL_MACHINE, kVersionVector, "IE", "")) {}
  ~CBrowserVersion() {
    if (m_saved.empty()) {
      ::SHDeleteValueA(HKEY_LOCAL_MACHINE, kVersionVector, "IE");
    } else {
      Write(m_saved);
    }
    InitFolders();
  }
  void Set(bool ie7) {
    Write(ie7 ? "7.0000" : "8.0000");
    InitFolders();
  }

 private:
  static void Write(const std::string& text) {
    ::SHSetValueA(HKEY_LOCAL_MACHINE, kVersionVector, "IE", REG_SZ, text.c_str(),
                  static_cast<DWORD>(text.size() + 1));
  }
  std::string m_saved;
};

std::string ServerPath() {
  DWORD type = REG_NONE;
  std::string bytes;
  if (!ReadValue(HKEY_CLASSES_ROOT, kClassKey + "\\InprocServer32", "", type, bytes) || bytes.empty())
    return {};
  return bytes.substr(0, bytes.size() - 1);
}

void CleanRegistrations() {
  ::SHDeleteKeyA(HKEY_CLASSES_ROOT, kClassKey.c_str());
  ::SHDeleteKeyA(HKEY_LOCAL_MACHINE, kPreApproved.c_str());
}

std::vector<std::string> Join(std::vector<std::string> first, const std::vector<std::string>& then) {
  first.insert(first.end(), then.begin(), then.end());
  return first;
}

struct Case {
  const char* name;
  int registerServer;
  bool withClassId, ie7;
  size_t pathLength;  // 0: a plain path; else the server path's exact length
  bool toolMissing;
  bool registered, preApproved;  // the result and the pre-approval after registering
  std::vector<std::string> registerLines;
  bool unregistered;
  std::vector<std::string> unregisterLines;  // %T: the tool, %F: the server file, %C: the class
};

TEST(RegistrationTest, RegisterAndUnregisterTheServer) {
  const std::vector<std::string> reg = {"[ExecuteFile] Call CreateProcess(%T /s \"%F\")",
                                        "[ExecuteFile] CreateProcess(%T) Success",
                                        "[RegisterServer] RegisterServer(%F) Success"};
  const std::vector<std::string> unreg = {"[ExecuteFile] Call CreateProcess(%T /u /s \"%F\")",
                                          "[ExecuteFile] CreateProcess(%T) Success",
                                          "[UnregisterServer] UnregisterServer(%F) Success"};
  // clang-format off
  const std::vector<Case> cases = {
      {"registered without the Internet Explorer 7 flag", 1, true, false, 0, false, true, false, reg, true, unreg},
      {"Internet Explorer 7 and CLASSID: pre-approved, then removed", 1, true, true, 0, false, true, true,
       Join(reg, {"[RegisterPreApproved] RegisterServer(%C) Success"}), true,
       Join(unreg, {"[UnregisterPreApproved] UnregisterPreApproved(%C) Success"})},
      {"Internet Explorer 7 without CLASSID: registered only", 1, false, true, 0, false, true, false, reg, true, unreg},
      {"REGISTER 0: the tool does not run", 0, true, true, 0, false, true, false, {}, true, {}},
      {"the longest path registers", 1, false, false, kMaxPathLength, false, true, false, reg, true, unreg},
      {"a tool that cannot be started: the file is deleted", 1, true, true, 0, true, false, false,
       {"[ExecuteFile] Call CreateProcess(%T /s \"%F\")", "[ExecuteFile] CreateProcess(%T) Failed (Error Code = 2)",
        "[RegisterServer] RegisterServer(%F) Failed"}, false,
       {"[ExecuteFile] Call CreateProcess(%T /u /s \"%F\")", "[ExecuteFile] CreateProcess(%T) Failed (Error Code = 2)",
        "[UnregisterServer] UnregisterServer(%F) Failed"}}};
  // clang-format on
  CBrowserVersion browser;
  InitFolders();
  for (const Case& c : cases) {
    CleanRegistrations();
    browser.Set(c.ie7);
    const CTestFolder installed("velsetup engine registration");
    std::string folder = installed.Path();
    const std::string name = "\\com server.dll";
    while (c.pathLength != 0 && folder.size() + name.size() < c.pathLength) {
      folder +=
          "\\" + std::string(std::min<size_t>(200, c.pathLength - name.size() - folder.size() - 1), 'd');
      ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr)) << folder;
    }
    const std::string path = folder + name;
    ASSERT_TRUE(::CopyFileA(FixturePath("com_server.dll").c_str(), path.c_str(), FALSE)) << c.name;
    CUpdateFile file;
    file.m_strLocalPath = path;
    file.m_bRegister = c.registerServer;
    if (c.withClassId) file.m_strClassID = kClassId;
    const Marks marks = {
        {"%T", SystemFolders().m_strSystem + "\\Regsvr32.exe"}, {"%F", path}, {"%C", kClassId}};
    std::unique_ptr<CToolMissing> missing;
    if (c.toolMissing) {
      missing = std::make_unique<CToolMissing>();
      ASSERT_TRUE(missing->Moved());
    }

    LogInit(0, 2);
    EXPECT_EQ(file.RegisterServer(), c.registered) << c.name;
    EXPECT_EQ(ServerPath(), c.registered && c.registerServer ? path : "") << c.name;
    EXPECT_EQ(KeyExists(HKEY_LOCAL_MACHINE, kPreApproved), c.preApproved) << c.name;
    EXPECT_EQ(FileIsPresent(path), c.registered) << c.name;
    ExpectLogLines(c.registerLines, c.name, marks);

    LogInit(0, 2);
    EXPECT_EQ(file.UnregisterServer(), c.unregistered) << c.name;
    EXPECT_EQ(ServerPath(), "") << c.name;
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kPreApproved)) << c.name;
    ExpectLogLines(c.unregisterLines, c.name, marks);
  }
  CleanRegistrations();
}

// The keys the class's server path was read from.
std::vector<std::pair<HKEY, std::string>> g_openedClassKeys;
LONG WINAPI RecordClassKeyOpen(HKEY root, LPCSTR subKey, DWORD options, REGSAM access, PHKEY key) {
  g_openedClassKeys.emplace_back(root, subKey);
  return ::RegOpenKeyExA(root, subKey, options, access, key);
}

TEST(RegistrationTest, DeleteRegClassFile) {
  InitFolders();
  SetClassKeyOpenForTesting(RecordClassKeyOpen);
  // Only the machine's classes: the merged root would let the user's classes name the file.
  const std::vector<std::pair<HKEY, std::string>> machineKeyOnly = {
      {HKEY_LOCAL_MACHINE, "Software\\Classes\\" + kClassKey + "\\InprocServer32"}};
  const struct {
    const char* name;
    bool selfRegistered;  // the server registers itself; otherwise `type` holds its path, REG_NONE: nothing
    DWORD type;
    bool result;
  } cases[] = {{"the registered server is unregistered and deleted", true, REG_NONE, true},
               {"a class without InprocServer32 deletes nothing", false, REG_NONE, false},
               {"an unexpanded REG_EXPAND_SZ path is deleted", false, REG_EXPAND_SZ, true},
               {"a path of another type deletes nothing", false, REG_BINARY, false}};
  const CTestFolder installed("velsetup engine class");
  const std::string path = installed / "old server.dll";
  for (const auto& c : cases) {
    CleanRegistrations();
    ASSERT_TRUE(::CopyFileA(FixturePath("com_server.dll").c_str(), path.c_str(), FALSE)) << c.name;
    if (c.selfRegistered) {
      ASSERT_TRUE(RegisterServerFile(path.c_str()) && ServerPath() == path) << c.name;
    }
    if (c.type != REG_NONE) {
      ::SHSetValueA(HKEY_CLASSES_ROOT, (kClassKey + "\\InprocServer32").c_str(), nullptr, c.type,
                    path.c_str(), static_cast<DWORD>(path.size() + 1));
    }
    g_openedClassKeys.clear();
    EXPECT_EQ(DeleteRegClassFile(kClassId), c.result) << c.name;
    EXPECT_EQ(g_openedClassKeys, machineKeyOnly) << c.name;
    EXPECT_EQ(FileIsPresent(path), !c.result) << c.name;
    EXPECT_EQ(ServerPath(), c.type == REG_BINARY ? path : "") << c.name;
  }
  SetClassKeyOpenForTesting(nullptr);
  CleanRegistrations();
}

}  // namespace
