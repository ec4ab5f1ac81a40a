#include "UninstallRecords.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "Answers.h"
#include "EngineTestSupport.h"
#include "LogCapture.h"
#include "SetupLog.h"
#include "SetupRun.h"
#include "TestRegistry.h"
#include "UpdateSet.h"
#include "WinHandles.h"

namespace {

// The case a copy of this program records when it runs as the recording child.
constexpr char kChildCase[] = "VELSETUP_RECORDS_CASE";

struct Recording {
  std::string item;
  std::string localPath;
  int mainFile = 0;
  int registerServer = 0;
  int sharedDll = 0;
  const char* classId = nullptr;
  int selfUninstaller = 0;
};

// An expected value below the uninstall entry; `present` false: the value is absent.
struct Expected {
  std::string key;   // below the entry, "" for the entry itself
  const char* name;  // "" for the default value
  bool present;
  DWORD type;
  std::string bytes;
};
Expected Text(const std::string& key, const char* name, const std::string& text) {
  return {key, name, true, REG_SZ, TextValue(text)};
}
Expected Dword(const std::string& key, const char* name, DWORD value) {
  return {key, name, true, REG_DWORD, DwordValue(value)};
}
Expected Absent(const std::string& key, const char* name) { return {key, name, false, REG_NONE, {}}; }

struct Case {
  const char* name;
  const char* programFolder;  // where the recording program runs from, below the temporary folder
  std::vector<Recording> recordings;
  bool entryWritten;
  std::vector<Expected> values;
  std::vector<std::string> lines;  // log lines of the recording program
};

const std::vector<Case>& Cases() {
  static const std::vector<Case> cases = {
      {"two files of one item, MAINFILE on one, program path with a blank",
       "velsetup engine records",
       {{"Item A", "C:\\Program Files\\Vel\\a.dll", 1, 1, 0, "CLS-A"},
        {"Item A", "C:\\Program Files\\Vel\\b.dll", 0, 0, 1}},
       true,
       {Text("Item A", "", "a"), Text("Item A\\a", "FilePath", "C:\\Program Files\\Vel\\a.dll"),
        Dword("Item A\\a", "Unregister", 1), Dword("Item A\\a", "SharedDll", 0),
        Text("Item A\\a", "ClassID", "CLS-A"), Text("Item A\\b", "FilePath", "C:\\Program Files\\Vel\\b.dll"),
        Dword("Item A\\b", "Unregister", 0), Dword("Item A\\b", "SharedDll", 1),
        Absent("Item A\\b", "ClassID")},
       {}},
      {"program path without a blank is not quoted",
       "velsetup-engine-records",
       {{"Item", "C:\\Vel\\x.ocx"}},
       true,
       {Absent("Item", ""), Text("Item\\x", "FilePath", "C:\\Vel\\x.ocx")},
       {}},
      {"a later record without CLASSID keeps the old ClassID",
       "velsetup engine records",
       {{"Item", "C:\\Vel\\a.dll", 0, 1, 0, "CLS-OLD"}, {"Item", "D:\\Other\\a.ocx", 0, 0, 0}},
       true,
       {Text("Item\\a", "FilePath", "D:\\Other\\a.ocx"), Dword("Item\\a", "Unregister", 0),
        Text("Item\\a", "ClassID", "CLS-OLD")},
       {}},
      {"a self-uninstaller item writes nothing",
       "velsetup engine records",
       {{"Own", "C:\\Vel\\a.dll", 1, 1, 0, "CLS-A", 1}},
       false,
       {},
       {}},
      {"an item without a name writes nothing",
       "velsetup engine records",
       {{"", "C:\\Vel\\a.dll", 1}},
       false,
       {},
       {"[RegistUninstaller] Invalid item name (FileName = a.dll)"}},
      {"an item named by separators writes nothing",
       "velsetup engine records",
       {{"\\", "C:\\Vel\\a.dll", 1}},
       false,
       {},
       {"[RegistUninstaller] Invalid item name (FileName = a.dll)"}},
  };
  return cases;
}

// Runs in the copy of this program that the case placed: records, then leaves the log lines
// beside itself.
TEST(UninstallRecordsChild, Record) {
  const char* index = std::getenv(kChildCase);
  if (index == nullptr) GTEST_SKIP() << "runs only as the recording program";
  const Case& c = Cases().at(static_cast<size_t>(std::atoi(index)));
  LogInit(0, 2);
  for (const Recording& r : c.recordings) {
    CUpdateSet item;
    item.m_strName = r.item;
    item.m_bSelfUninstaller = r.selfUninstaller;
    CUpdateFile file;
    file.m_strLocalPath = r.localPath;
    file.m_strName = r.localPath.substr(r.localPath.find_last_of('\\') + 1);
    file.m_bMainFile = r.mainFile;
    file.m_bRegister = r.registerServer;
    file.m_bSharedDll = r.sharedDll;
    if (r.classId) file.m_strClassID = r.classId;
    item.RecordUninstall(file);
  }
  std::ofstream lines(TestBinaryFolder() + "\\lines.txt", std::ios::binary);
  for (const std::string& line : CapturedLogLines()) lines << line.substr(10) << "\n";
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path, std::ios::binary);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool RunChild(const std::string& exe, size_t index) {
  const CScopedEnvironment childCase(kChildCase, std::to_string(index));
  std::string commandLine = "\"" + exe + "\" --gtest_filter=UninstallRecordsChild.*";
  // The child's test report goes nowhere; what counts is what it recorded.
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  const CScopedFile nul(::CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      &inherit, OPEN_EXISTING, 0, nullptr));
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nul.Get();
  startup.hStdOutput = nul.Get();
  startup.hStdError = nul.Get();
  PROCESS_INFORMATION created = {};
  if (!::CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &created)) {
    return false;
  }
  const CScopedHandle process(created.hProcess);
  const CScopedHandle thread(created.hThread);
  EndProcess(created.dwProcessId, 60000);
  DWORD exitCode = 1;
  ::GetExitCodeProcess(process.Get(), &exitCode);
  return exitCode == 0;
}

TEST(UninstallRecordsTest, RecordsOfItemsAndFiles) {
  if (std::getenv(kChildCase) != nullptr) GTEST_SKIP();
  char self[MAX_PATH] = {};
  ::GetModuleFileNameA(nullptr, self, MAX_PATH);
  const std::string entry = kUninstallKey;
  for (size_t i = 0; i < Cases().size(); ++i) {
    const Case& c = Cases()[i];
    DeleteUninstallRecords();
    const CTestFolder folder(c.programFolder);
    const std::string exe = folder / "VelSetup.exe";
    ASSERT_TRUE(::CopyFileA(self, exe.c_str(), FALSE)) << c.name;
    ASSERT_TRUE(RunChild(exe, i)) << c.name;

    EXPECT_EQ(KeyExists(HKEY_LOCAL_MACHINE, entry), c.entryWritten) << c.name;
    if (c.entryWritten) {
      const bool blank = exe.find(' ') != std::string::npos;
      const std::string command = (blank ? "\"" + exe + "\"" : exe) + " -u";
      for (const Expected& e : {Text("", "DisplayName", ToAnsi(L"Orbina 자동 인스톨러")),
                                Text("", "DisplayIcon", exe), Text("", "UninstallString", command)}) {
        DWORD type = REG_NONE;
        std::string bytes;
        ASSERT_TRUE(ReadValue(HKEY_LOCAL_MACHINE, entry, e.name, type, bytes)) << c.name << ": " << e.name;
        EXPECT_EQ(bytes, e.bytes) << c.name << ": " << e.name;
      }
    }
    for (const Expected& e : c.values) {
      DWORD type = REG_NONE;
      std::string bytes;
      const bool read = ReadValue(HKEY_LOCAL_MACHINE, entry + "\\" + e.key, e.name, type, bytes);
      EXPECT_EQ(read, e.present) << c.name << ": " << e.key << " " << e.name;
      if (read && e.present) {
        EXPECT_EQ(type, e.type) << c.name << ": " << e.key << " " << e.name;
        EXPECT_EQ(bytes, e.bytes) << c.name << ": " << e.key << " " << e.name;
      }
    }
    EXPECT_EQ(ReadLines(folder / "lines.txt"), c.lines) << c.name;
  }
  DeleteUninstallRecords();
}

TEST(UninstallRecordsTest, RegistryWritersAndReader) {
  if (std::getenv(kChildCase) != nullptr) GTEST_SKIP();
  const std::string key = "Software\\VelSetupTest\\Records";
  struct Stored {
    DWORD type;
    std::string bytes;
  };
  const struct {
    const char* name;
    bool keyPresent;
    std::vector<Stored> stored;  // the value "N" before the read, when given
    DWORD expected;
  } reads[] = {
      {"missing key: the default", false, {}, 7},
      {"missing value: the default", true, {}, 7},
      {"a stored number", true, {{REG_DWORD, DwordValue(5)}}, 5},
      {"zero is a number", true, {{REG_DWORD, DwordValue(0)}}, 0},
      {"a text of four bytes is no number", true, {{REG_SZ, TextValue("123")}}, 7},
      {"eight bytes are no number", true, {{REG_BINARY, std::string(8, '\x01')}}, 7},
  };
  for (const auto& r : reads) {
    ::SHDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
    if (r.keyPresent) {
      CScopedRegKey created;
      ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  created.Put(), nullptr),
                ERROR_SUCCESS);
      for (const Stored& s : r.stored) {
        ::RegSetValueExA(created.Get(), "N", 0, s.type, reinterpret_cast<const BYTE*>(s.bytes.data()),
                         static_cast<DWORD>(s.bytes.size()));
      }
    }
    EXPECT_EQ(GetRegDword(HKEY_CURRENT_USER, key.c_str(), "N", 7), r.expected) << r.name;
  }

  // Writers create the key, and a null name is the default value.
  ::SHDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
  EXPECT_TRUE(SetRegString(HKEY_CURRENT_USER, (key + "\\a\\b").c_str(), nullptr, "def"));
  EXPECT_TRUE(SetRegDword(HKEY_CURRENT_USER, (key + "\\a\\b").c_str(), "D", 0x80000001));
  DWORD type = REG_NONE;
  std::string bytes;
  ASSERT_TRUE(ReadValue(HKEY_CURRENT_USER, key + "\\a\\b", "", type, bytes));
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(bytes, TextValue("def"));
  EXPECT_EQ(GetRegDword(HKEY_CURRENT_USER, (key + "\\a\\b").c_str(), "D", 7), 0x80000001u);
  ::SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\VelSetupTest");
}

}  // namespace
