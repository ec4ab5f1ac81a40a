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

// The case a copy of this program records when it runs as the recording program.
constexpr char kChildCase[] = "VELSETUP_RECORDS_CASE";

struct Recording {
  std::string item, localPath;
  int mainFile, registerServer, sharedDll;
  const char* classId;
  int selfUninstaller;
};

// "<key below the entry>|<name>=<text>", "...|<name>=#<number>", "...|<name>" absent; "|=" the default.
struct Case {
  const char* name;
  const char* programFolder;  // where the recording program runs, below the temporary folder
  std::vector<Recording> recordings;
  bool entryWritten;
  std::vector<std::string> values;
  std::vector<std::string> lines;  // of the recording program
};

const std::vector<Case>& Cases() {
  const std::string invalid = "[RegistUninstaller] Invalid item name (FileName = a.dll)";
  // clang-format off
  static const std::vector<Case> cases = {
      {"two files of one item, MAINFILE on one, a program path with a blank", "velsetup engine records",
       {{"Item A", "C:\\Program Files\\Vel\\a.dll", 1, 1, 0, "CLS-A", 0},
        {"Item A", "C:\\Program Files\\Vel\\b.dll", 0, 0, 1, nullptr, 0}}, true,
       {"Item A|=a", "Item A\\a|FilePath=C:\\Program Files\\Vel\\a.dll", "Item A\\a|Unregister=#1",
        "Item A\\a|SharedDll=#0", "Item A\\a|ClassID=CLS-A", "Item A\\b|FilePath=C:\\Program Files\\Vel\\b.dll",
        "Item A\\b|Unregister=#0", "Item A\\b|SharedDll=#1", "Item A\\b|ClassID"}, {}},
      {"a program path without a blank", "velsetup-engine-records", {{"Item", "C:\\Vel\\x.ocx", 0, 0, 0, nullptr, 0}},
       true, {"Item|", "Item\\x|FilePath=C:\\Vel\\x.ocx"}, {}},
      {"a later record without CLASSID keeps the old ClassID", "velsetup engine records",
       {{"Item", "C:\\Vel\\a.dll", 0, 1, 0, "CLS-OLD", 0}, {"Item", "D:\\Other\\a.ocx", 0, 0, 0, nullptr, 0}}, true,
       {"Item\\a|FilePath=D:\\Other\\a.ocx", "Item\\a|Unregister=#0", "Item\\a|ClassID=CLS-OLD"}, {}},
      {"a self-uninstaller item writes nothing", "velsetup engine records",
       {{"Own", "C:\\Vel\\a.dll", 1, 1, 0, "CLS-A", 1}}, false, {}, {}},
      {"an item without a name writes nothing", "velsetup engine records",
       {{"", "C:\\Vel\\a.dll", 1, 0, 0, nullptr, 0}}, false, {}, {invalid}},
      {"an item named by a separator writes nothing", "velsetup engine records",
       {{"\\", "C:\\Vel\\a.dll", 1, 0, 0, nullptr, 0}}, false, {}, {invalid}}};
  // clang-format on
  return cases;
}

// Runs in the copy of this program that the case placed: records, then leaves its log lines beside itself.
TEST(UninstallRecordsChild, Record) {
  const char* index = std::getenv(kChildCase);
  if (index == nullptr) GTEST_SKIP() << "runs only as the recording program";
  LogInit(0, 2);
  for (const Recording& r : Cases().at(std::strtoul(index, nullptr, 10)).recordings) {
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
  for (const std::string& line : LogMessages()) lines << line << "\n";
}

// Runs the copy `exe` as the recording program of case `index`; its test report goes nowhere.
bool RunChild(const std::string& exe, size_t index) {
  const CScopedEnvironment childCase(kChildCase, std::to_string(index));
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  const CScopedFile nul(::CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      &inherit, OPEN_EXISTING, 0, nullptr));
  DWORD pid = 0;
  const CScopedHandle process =
      StartProcess("\"" + exe + "\" --gtest_filter=UninstallRecordsChild.*", exe.c_str(), nul.Get(), &pid);
  if (!process) return false;
  EndProcess(pid, 60000);
  DWORD exitCode = 1;
  return ::GetExitCodeProcess(process.Get(), &exitCode) && exitCode == 0;
}

void CheckValue(const std::string& fact, const char* caseName) {
  const size_t bar = fact.find('|'), equals = fact.find('=');
  const std::string key = std::string(kUninstallKey) + (bar ? "\\" + fact.substr(0, bar) : "");
  const std::string name =
      fact.substr(bar + 1, equals == std::string::npos ? std::string::npos : equals - bar - 1);
  DWORD type = REG_NONE;
  std::string bytes;
  const bool read = ReadValue(HKEY_LOCAL_MACHINE, key, name.c_str(), type, bytes);
  ASSERT_EQ(read, equals != std::string::npos) << caseName << ": " << fact;
  if (!read) return;
  const std::string data = fact.substr(equals + 1);
  const bool number = !data.empty() && data[0] == '#';
  EXPECT_EQ(type, static_cast<DWORD>(number ? REG_DWORD : REG_SZ)) << caseName << ": " << fact;
  EXPECT_EQ(bytes, number ? DwordValue(std::stoul(data.substr(1))) : TextValue(data))
      << caseName << ": " << fact;
}

TEST(UninstallRecordsTest, RecordsOfItemsAndFiles) {
  if (std::getenv(kChildCase) != nullptr) GTEST_SKIP();
  char self[MAX_PATH] = {};
  ::GetModuleFileNameA(nullptr, self, MAX_PATH);
  for (size_t i = 0; i < Cases().size(); ++i) {
    const Case& c = Cases()[i];
    DeleteUninstallRecords();
    const CTestFolder folder(c.programFolder);
    const std::string exe = folder / "VelSetup.exe";
    ASSERT_TRUE(::CopyFileA(self, exe.c_str(), FALSE) && RunChild(exe, i)) << c.name;

    EXPECT_EQ(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey), c.entryWritten) << c.name;
    if (c.entryWritten) {
      const std::string command = (exe.find(' ') != std::string::npos ? "\"" + exe + "\"" : exe) + " -u";
      for (const std::string& value : {"|DisplayName=" + ToAnsi(L"Orbina 자동 인스톨러"),
                                       "|DisplayIcon=" + exe, "|UninstallString=" + command}) {
        CheckValue(value, c.name);
      }
    }
    for (const std::string& value : c.values) CheckValue(value, c.name);
    std::vector<std::string> lines;
    std::ifstream in(folder / "lines.txt", std::ios::binary);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    EXPECT_EQ(lines, c.lines) << c.name;
  }
  DeleteUninstallRecords();
}

TEST(UninstallRecordsTest, RegistryWritersAndReader) {
  if (std::getenv(kChildCase) != nullptr) GTEST_SKIP();
  const char* key = "Software\\VelSetupTest\\Records";
  const struct {
    const char* name;
    DWORD type;  // of the value "N"; REG_NONE: no value
    std::string bytes;
    DWORD expected;
  } reads[] = {{"a missing value: the default", REG_NONE, "", 7},
               {"a stored number", REG_DWORD, DwordValue(5), 5},
               {"a text of four bytes is no number", REG_SZ, TextValue("123"), 7},
               {"eight bytes are no number", REG_BINARY, std::string(8, '\x01'), 7}};
  ::SHDeleteKeyA(HKEY_CURRENT_USER, key);
  EXPECT_EQ(GetRegDword(HKEY_CURRENT_USER, key, "N", 7), 7u) << "a missing key: the default";
  for (const auto& r : reads) {
    ::SHDeleteKeyA(HKEY_CURRENT_USER, key);
    EXPECT_TRUE(SetRegString(HKEY_CURRENT_USER, key, nullptr, "created"));
    if (r.type != REG_NONE) {
      ::SHSetValueA(HKEY_CURRENT_USER, key, "N", r.type, r.bytes.data(), static_cast<DWORD>(r.bytes.size()));
    }
    EXPECT_EQ(GetRegDword(HKEY_CURRENT_USER, key, "N", 7), r.expected) << r.name;
  }
  EXPECT_TRUE(SetRegDword(HKEY_CURRENT_USER, key, "D", 0x80000001));
  EXPECT_EQ(GetRegDword(HKEY_CURRENT_USER, key, "D", 7), 0x80000001u);
  DWORD type = REG_NONE;
  std::string bytes;
  EXPECT_TRUE(ReadValue(HKEY_CURRENT_USER, key, "", type, bytes) && bytes == TextValue("created"));
  ::SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\VelSetupTest");
}

}  // namespace
