// The real VelSetup.exe started with -u and driven by the UI robot: tables of uninstall records
// and files made by hand, the list shown for them, what a person does in it, and what the
// registry, the files, the log and the system's pending deletions hold afterwards.
//
// Texts are UTF-8. %F% is the case's file folder, %RUN% the program's folder (its current folder
// too), %CLSID% the fixture COM server's class, %LONG% a text longer than any path buffer.
#include <windows.h>

#include <shlwapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <tuple>
#include <string>
#include <vector>

#include "Answers.h"
#include "EngineTestSupport.h"
#include "Folders.h"
#include "Portal.h"
#include "Pump.h"
#include "Registration.h"
#include "RunLock.h"
#include "Screenshot.h"
#include "TestRegistry.h"

namespace {

constexpr char kRoot[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VelSetup";
constexpr char kVersionVector[] = "SOFTWARE\\Microsoft\\Internet Explorer\\Version Vector";
const std::string kClassKey = "CLSID\\{" VELSETUP_FIXTURE_CLASS_ID "}";
const std::string kPreApproved =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Ext\\PreApproved\\{" VELSETUP_FIXTURE_CLASS_ID "}";
const wchar_t kSelectText[] = L"삭제하고자 하는 항목을 선택하세요.";
const wchar_t kRemovedText[] = L"성공적으로 제거되었습니다.";
const wchar_t kQuestion[] =
    L"삭제하고자 하는 컨트롤을 다음 실행파일에서 사용중입니다. \n\n파일을 잡고 있는 프로그램 ( %s )\n\n"
    L"이 프로그램을 종료해야만 해당 파일을 삭제할 수 있습니다. \n프로그램을 강제로 종료하시겠습니까?";

std::wstring Wide(const std::string& utf8) { return Widen(utf8, CP_UTF8); }
std::string Ansi(const std::string& utf8) { return ToAnsi(Wide(utf8)); }

std::vector<std::string> Split(const std::string& text, char separator, size_t parts = 2) {
  std::vector<std::string> fields;
  size_t begin = 0;
  for (size_t end; fields.size() + 1 < parts && (end = text.find(separator, begin)) != std::string::npos;
       begin = end + 1) {
    fields.push_back(text.substr(begin, end - begin));
  }
  fields.push_back(text.substr(begin));
  return fields;
}

// Records: "<key below the entry>" creates the key, "<key>|<name>=<text>" writes a REG_SZ value,
// "...=#<n>" a REG_DWORD, "<key>|=<text>" the default value. Files: "<name>" a small text file,
// "<name><<file beside the tests>" a copy. Setup: "register <file>", "preapproved", "ie7" (the
// browser is version 7), "lock <file>" (held open, no sharing), "lockdel <file>" (held open,
// deletion shared), "hold <file>" (a helper program loads it), "program <name>" (the program runs
// from a copy of that name). Rows: "<name>|<state>|<version>". Steps: "click <item>[@column]",
// "all", "delete", "cancel", "checks <0|1 per row>", "box select|removed", "box yes|no" (the
// question). Expected, each with + or -: "file <file>", "key <key>" ("" the entry), "log <start
// of a line>", "class" (registered), "preapproved", "holder" (runs), "pending" (+: the program and
// nothing else is deleted at the next start; -: nothing new is); "restart" (after a restart of the
// prefix the program file is gone). Setup "runlock": the test holds the run lock, which the step
// "unlock" frees; steps "removal off" and "removal on" wait for "삭제" to be so.
struct Case {
  const char* name;
  std::vector<std::string> records, files, setup, rows, steps, expected;
};

void WriteRecord(const std::string& record) {
  const std::vector<std::string> parts = Split(record, '|');
  const std::string key = std::string(kRoot) + (parts[0].empty() ? "" : "\\" + Ansi(parts[0]));
  CScopedRegKey created;
  ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              created.Put(), nullptr),
            ERROR_SUCCESS);
  if (parts.size() < 2) return;
  const std::vector<std::string> value = Split(parts[1], '=');
  const char* name = value[0].empty() ? nullptr : value[0].c_str();
  const bool number = value[1].compare(0, 1, "#") == 0;
  const DWORD dword = number ? std::stoul(value[1].substr(1)) : 0;
  const std::string text = Ansi(value[1]);
  ASSERT_EQ(number ? ::SHSetValueA(HKEY_LOCAL_MACHINE, key.c_str(), name, REG_DWORD, &dword, sizeof dword)
                   : ::SHSetValueA(HKEY_LOCAL_MACHINE, key.c_str(), name, REG_SZ, text.c_str(),
                                   static_cast<DWORD>(text.size() + 1)),
            ERROR_SUCCESS)
      << record;
}

// The system's pending renames and deletions: NT paths separated by zeros, trailing zeros cut.
std::wstring PendingOperations() {
  std::wstring data(32768, L'\0');
  DWORD size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
  if (::SHGetValueW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager",
                    L"PendingFileRenameOperations", nullptr, &data[0], &size) != ERROR_SUCCESS) {
    return std::wstring();
  }
  data.resize(size / sizeof(wchar_t));
  return data.substr(0, data.find_last_not_of(L'\0') + 1);
}

bool Running(HANDLE process) { return process && ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT; }

// What a case changes outside its folders, put back when it ends.
struct CCaseState {
  CCaseState() { Clean(); }
  ~CCaseState() {
    if (m_runLock) ::ReleaseMutex(m_runLock.Get());
    if (Running(m_holder.Get())) ::TerminateProcess(m_holder.Get(), 1);
    Clean();
    if (!m_ie) return;
    if (m_ie->empty()) {
      ::SHDeleteValueA(HKEY_LOCAL_MACHINE, kVersionVector, "IE");
    } else {
      ::SHSetValueA(HKEY_LOCAL_MACHINE, kVersionVector, "IE", REG_SZ, m_ie->c_str(),
                    static_cast<DWORD>(m_ie->size() + 1));
    }
  }
  static void Clean() {
    DeleteUninstallRecords();
    ::SHDeleteKeyA(HKEY_CLASSES_ROOT, kClassKey.c_str());
    ::SHDeleteKeyA(HKEY_LOCAL_MACHINE, kPreApproved.c_str());
  }
  void SetIE7() {
    char version[MAX_PATH] = {};
    DWORD size = sizeof version;
    ::SHGetValueA(HKEY_LOCAL_MACHINE, kVersionVector, "IE", nullptr, version, &size);
    m_ie = version;
    ::SHSetValueA(HKEY_LOCAL_MACHINE, kVersionVector, "IE", REG_SZ, "7.0000", 7);
  }
  std::optional<std::string> m_ie;  // the browser version to put back
  std::vector<CScopedFile> m_locks;
  CScopedHandle m_runLock;  // held by this thread until "unlock"
  std::string m_holderProgram;
  CScopedHandle m_holder;  // ended when the case ends
};

// Keeps `library` loaded in a helper program until the case ends.
void Hold(CCaseState& state, const std::string& folder, const std::string& library) {
  state.m_holderProgram = folder + "\\velsetup holder.exe";
  ASSERT_TRUE(::CopyFileA((TestBinaryFolder() + "\\velsetup_holder.exe").c_str(),
                          state.m_holderProgram.c_str(), FALSE));
  const CScopedHandle ready(::CreateEventA(nullptr, TRUE, FALSE, "velsetup_uninstall_holder"));
  state.m_holder =
      StartProcess("\"" + state.m_holderProgram + "\" \"" + library + "\" velsetup_uninstall_holder");
  const HANDLE waits[] = {ready.Get(), state.m_holder.Get()};
  ASSERT_EQ(::WaitForMultipleObjects(2, waits, FALSE, 30000), WAIT_OBJECT_0) << "the library is not loaded";
}

std::string Checks(HWND list) {
  std::string checks;
  for (int row = 0; row < robot::ListRowCount(list); ++row)
    checks += robot::ListRowChecked(list, row) ? '1' : '0';
  return checks;
}

std::string Artifact(const std::string& name) { return ArtifactPath("uninstall\\" + name + ".bmp"); }

// Waits for the program's end; any message box it shows meanwhile was not expected.
void ExpectExitWithoutBoxes(CSetupRun& run) {
  for (const DWORD start = ::GetTickCount(); !run.WaitForExit(100);) {
    if (const HWND box = robot::FindShownMessageBox(run.Pid())) {
      ADD_FAILURE() << "unexpected message box";
      robot::PressButton(box, ::GetDlgItem(box, IDNO) ? IDNO : IDOK);
      PumpMessagesFor(200);
    }
    ASSERT_LT(::GetTickCount() - start, 90000u) << "the program did not end";
  }
}

// `install` puts records and files in place (in the case's folder) before the program starts.
void RunCase(const Case& c, const std::function<void(const std::string& folder)>& install = nullptr) {
  SCOPED_TRACE(c.name);
  CCaseState state;
  const CTestFolder folder(std::string("velsetup uninstall ") + c.name);
  CSetupRun run(std::string("Uninstall ") + c.name);
  std::wstring programName = L"VelSetup.exe";
  const auto expand = [&](std::string text) {
    const std::pair<std::string, std::string> macros[] = {{"%F%", folder.Path()},
                                                          {"%RUN%", run.Folder()},
                                                          {"%CLSID%", VELSETUP_FIXTURE_CLASS_ID},
                                                          {"%LONG%", std::string(600, 'x')}};
    for (const auto& [from, to] : macros) {
      for (size_t at; (at = text.find(from)) != std::string::npos;) text.replace(at, from.size(), to);
    }
    return text;
  };
  const auto file = [&](const std::string& name) {
    const std::string path = expand(name);
    return path.find('\\') == std::string::npos ? folder / path : path;
  };

  for (const std::string& record : c.records) WriteRecord(expand(record));
  for (const std::string& spec : c.files) {
    const std::vector<std::string> parts = Split(spec, '<');
    ASSERT_TRUE(parts.size() == 2 ? ::CopyFileA((TestBinaryFolder() + "\\" + parts[1]).c_str(),
                                                file(parts[0]).c_str(), FALSE)
                                  : WriteFileBytes(file(parts[0]), "content"))
        << spec;
  }
  if (install) install(folder.Path());
  InitFolders();
  for (const std::string& line : c.setup) {
    const std::vector<std::string> parts = Split(line, ' ');
    const std::string argument = parts.size() > 1 ? file(parts[1]) : "";
    if (parts[0] == "register") {
      ASSERT_TRUE(RegisterServerFile(argument.c_str()) && KeyExists(HKEY_CLASSES_ROOT, kClassKey));
    } else if (parts[0] == "preapproved") {
      ASSERT_EQ(::SHSetValueA(HKEY_LOCAL_MACHINE, kPreApproved.c_str(), nullptr, REG_SZ, "", 1),
                ERROR_SUCCESS);
    } else if (parts[0] == "ie7") {
      state.SetIE7();
    } else if (parts[0] == "lock" || parts[0] == "lockdel") {
      state.m_locks.emplace_back(::CreateFileA(argument.c_str(), GENERIC_READ,
                                               parts[0] == "lock" ? 0 : FILE_SHARE_DELETE, nullptr,
                                               OPEN_EXISTING, 0, nullptr));
      ASSERT_TRUE(state.m_locks.back().IsValid()) << line;
    } else if (parts[0] == "hold") {
      Hold(state, folder.Path(), argument);
    } else if (parts[0] == "runlock") {
      state.m_runLock.Reset(::CreateMutexA(nullptr, TRUE, kRunLockName));
      ASSERT_TRUE(state.m_runLock);
    } else {
      programName = Wide(parts[1]);
    }
  }
  const std::wstring pendingBefore = PendingOperations();

  ASSERT_TRUE(programName == L"VelSetup.exe" ? run.Start("-u") : run.Start("-u", programName));
  const robot::ShownDialog dialog = robot::WaitForDialog(run.Pid());
  ASSERT_EQ(dialog.title, kAppTitle);
  const HWND list = ::GetDlgItem(dialog.hwnd, 1002);
  ASSERT_EQ(robot::ListRowCount(list), static_cast<int>(c.rows.size()));
  for (size_t row = 0; row < c.rows.size(); ++row) {
    const std::vector<std::string> cells = Split(c.rows[row], '|', 3);
    for (int column = 0; column < 3; ++column) {
      EXPECT_EQ(robot::ListCellText(list, static_cast<int>(row), column), Wide(cells.at(column)))
          << c.rows[row];
    }
  }
  SaveWindowImage(dialog.hwnd, Artifact(std::string(c.name) + " listed"));

  bool ended = false;
  for (const std::string& step : c.steps) {
    SCOPED_TRACE(step);
    const std::vector<std::string> parts = Split(step, ' ');
    if (parts[0] == "click") {
      const std::vector<std::string> target = Split(parts[1], '@');
      int row = 0;
      while (row < robot::ListRowCount(list) && robot::ListCellText(list, row, 0) != Wide(target[0])) ++row;
      robot::ClickListCell(list, row, target.size() > 1 ? std::stoi(target[1]) : 0);
    } else if (parts[0] == "all") {
      ::PostMessageW(::GetDlgItem(dialog.hwnd, 1003), BM_CLICK, 0,
                     0);  // the box's own click: it shows the check
    } else if (parts[0] == "checks") {
      // Clicks are posted: they take effect a moment later.
      for (const DWORD start = ::GetTickCount();
           Checks(list) != parts[1] && ::GetTickCount() - start < 5000;) {
        PumpMessagesFor(20);
      }
      EXPECT_EQ(Checks(list), parts[1]);
    } else if (parts[0] == "unlock") {
      ::ReleaseMutex(state.m_runLock.Get());
      state.m_runLock.Reset();
    } else if (parts[0] == "removal") {
      const HWND remove = ::GetDlgItem(dialog.hwnd, IDOK);
      for (const DWORD start = ::GetTickCount();
           (::IsWindowEnabled(remove) != FALSE) != (parts[1] == "on") && ::GetTickCount() - start < 10000;) {
        PumpMessagesFor(20);
      }
      EXPECT_EQ(::IsWindowEnabled(remove) != FALSE, parts[1] == "on");
    } else if (parts[0] == "delete" || parts[0] == "cancel") {
      SaveWindowImage(dialog.hwnd, Artifact(std::string(c.name) + " " + parts[0]));
      robot::PressButton(dialog.hwnd, parts[0] == "delete" ? IDOK : IDCANCEL);
      ended = true;
    } else {
      const robot::ShownDialog box = robot::WaitForMessageBox(run.Pid(), 60000);
      ASSERT_EQ(box.title, kAppTitle);
      std::wstring question = kQuestion;
      question.replace(question.find(L"%s"), 2, Widen(state.m_holderProgram));
      EXPECT_EQ(box.text, parts[1] == "select"    ? kSelectText
                          : parts[1] == "removed" ? kRemovedText
                                                  : question);
      robot::PressButton(box.hwnd, parts[1] == "yes" ? IDYES : parts[1] == "no" ? IDNO : IDOK);
      // The next box is looked for once this one has gone.
      for (const DWORD start = ::GetTickCount();
           ::IsWindowVisible(box.hwnd) && ::GetTickCount() - start < 10000;) {
        PumpMessagesFor(20);
      }
      ended &= parts[1] != "select";
    }
  }
  if (!ended) robot::PressButton(dialog.hwnd, IDCANCEL);
  ExpectExitWithoutBoxes(run);
  state.m_locks.clear();

  const std::vector<std::wstring> log = run.ReadLogLines();
  const std::wstring program = Widen(run.Folder()) + L"\\" + programName;
  for (const std::string& expectation : c.expected) {
    SCOPED_TRACE(expectation);
    if (expectation == "restart") {
      EXPECT_NE(::GetFileAttributesW(program.c_str()), INVALID_FILE_ATTRIBUTES);
      const CScopedHandle wineboot = StartProcess("\"" + SystemFolders().m_strSystem + "\\wineboot.exe\" -r");
      ASSERT_EQ(::WaitForSingleObject(wineboot.Get(), 180000), WAIT_OBJECT_0) << "wineboot -r";
      EXPECT_EQ(::GetFileAttributesW(program.c_str()), INVALID_FILE_ATTRIBUTES) << "deleted at the restart";
      continue;
    }
    const std::vector<std::string> parts = Split(expectation, ' ');
    const std::string what = parts[0].substr(0, parts[0].size() - 1);
    const bool wanted = parts[0].back() == '+';
    const std::string argument = parts.size() > 1 ? expand(parts[1]) : "";
    if (what == "file") {
      EXPECT_EQ(FileIsPresent(file(argument)), wanted);
    } else if (what == "key") {
      EXPECT_EQ(
          KeyExists(HKEY_LOCAL_MACHINE, std::string(kRoot) + (argument.empty() ? "" : "\\" + Ansi(argument))),
          wanted);
    } else if (what == "log") {
      const std::wstring start = L"[VelSetup]" + Wide(argument);
      EXPECT_EQ(std::any_of(log.begin(), log.end(),
                            [&](const std::wstring& line) { return line.rfind(start, 0) == 0; }),
                wanted);
    } else if (what == "class") {
      EXPECT_EQ(KeyExists(HKEY_CLASSES_ROOT, kClassKey), wanted);
    } else if (what == "preapproved") {
      EXPECT_EQ(KeyExists(HKEY_LOCAL_MACHINE, kPreApproved), wanted);
    } else if (what == "holder") {
      const HANDLE holder = state.m_holder.Get();
      EXPECT_EQ(wanted ? Running(holder) : ::WaitForSingleObject(holder, 10000) == WAIT_TIMEOUT, wanted);
    } else if (what == "pending") {
      const std::wstring added = L"\\??\\" + program;
      EXPECT_EQ(PendingOperations(),
                wanted ? pendingBefore + (pendingBefore.empty() ? L"" : std::wstring(2, L'\0')) + added
                       : pendingBefore);
    } else {
      ADD_FAILURE() << "unknown expectation";
    }
  }
}

const char kKeep[] = "Keep";  // an item no case removes, so that the entry stays
const std::string kSkipped =
    std::string("[CDlgUninstall::GetFileList] No usable FilePath in ") + kRoot + "\\";

// clang-format off
const Case kRecordCases[] = {
    {"item without files", {"Bare", kKeep}, {}, {}, {"Bare|설치됨|", "Keep|설치됨|"},
     {"click Bare", "checks 10", "delete", "box removed"},
     {"key- Bare", "key+ Keep", "pending-", "log+ Start Uninstall (Bare)", "log+ Success Uninstall (Bare)",
      "log+ [GetItemVersion] GetProfileString Failed"}},
    {"file without FilePath", {"Item|=b", "Item\\a|Unregister=#0", "Item\\b|FilePath=%F%\\b.dll", kKeep},
     {"b.dll<fixtures\\version_1_2_3_4.dll"}, {}, {"Item|손상됨|1.2.3.4", "Keep|설치됨|"},
     {"click Item", "delete", "box removed"},
     {"file- b.dll", "key- Item", "key+ Keep", "log+ [CheckInstalledFile] GetProfileString Failed",
      "log+ " + kSkipped + "Item\\a, file skipped", "log+ [CDlgUninstall::UninstallFiles] ForceDelete(%F%\\b.dll) Success."}},
    {"main file without FilePath", {"Main|=a", "Main\\a|SharedDll=#0", "Main\\b|FilePath=%F%\\b.dll", kKeep},
     {"b.dll<fixtures\\version_2_0_0_0.exe"}, {}, {"Keep|설치됨|", "Main|손상됨|"}, {"click Main", "delete", "box removed"},
     {"file- b.dll", "key- Main"}},
    {"main file key missing", {"Main|=zz", "Main\\b|FilePath=%F%\\b.dll", kKeep}, {"b.dll<fixtures\\version_2_0_0_0.exe"},
     {}, {"Keep|설치됨|", "Main|설치됨|"}, {}, {"file+ b.dll", "key+ Main"}},
    {"all files shared",
     {"Shared|=s", "Shared\\s|FilePath=%F%\\s.dll", "Shared\\s|SharedDll=#1", "Shared\\s|Unregister=#1",
      "Shared\\s|ClassID=%CLSID%", "Shared\\t|FilePath=%F%\\t.dll", "Shared\\t|SharedDll=#7", kKeep},
     {"s.dll<fixtures\\com_server.dll", "t.dll"}, {"register s.dll", "ie7", "preapproved"},
     {"Keep|설치됨|", "Shared|설치됨|"}, {"click Shared", "delete", "box removed"},
     {"file+ s.dll", "file+ t.dll", "class+", "preapproved+", "key- Shared", "key+ Keep",
      "log- [CDlgUninstall::UnregisterFiles]", "log- [CDlgUninstall::UninstallFiles]"}},
    {"Unregister 2", {"Two|=c", "Two\\c|FilePath=%F%\\c.dll", "Two\\c|Unregister=#2", "Two\\c|ClassID=%CLSID%", kKeep},
     {"c.dll<fixtures\\com_server.dll"}, {"register c.dll", "ie7", "preapproved"}, {"Keep|설치됨|", "Two|설치됨|"},
     {"click Two", "delete", "box removed"},
     {"file- c.dll", "class+", "preapproved+", "key- Two", "log- [CDlgUninstall::UnregisterFiles]",
      "log+ [CDlgUninstall::GetFileList] File : %F%\\c.dll, 2, 0, %CLSID%"}},
    {"file deleted by hand",
     {"Gone|=g", "Gone\\g|FilePath=%F%\\g.dll", "Gone\\g|Unregister=#1", "Gone\\h|FilePath=%F%\\h.dll", kKeep},
     {"h.dll"}, {}, {"Gone|손상됨|", "Keep|설치됨|"}, {"click Gone", "delete", "box removed"},
     {"file- h.dll", "key- Gone", "log- [CDlgUninstall::UnregisterFiles]",
      "log- [CDlgUninstall::UninstallFiles] ForceDelete(%F%\\g.dll)",
      "log+ [CDlgUninstall::UninstallFiles] ForceDelete(%F%\\h.dll) Success."}},
    // The removal goes by the file's attributes: a file nobody may read is still there.
    {"file locked against reading and deletion",
     {"Locked|=l", "Locked\\l|FilePath=%F%\\l.dll", "Locked\\m|FilePath=%F%\\m.dll", kKeep}, {"l.dll", "m.dll"},
     {"lock l.dll"}, {"Keep|설치됨|", "Locked|손상됨|"}, {"click Locked", "delete"},
     {"file+ l.dll", "file+ m.dll", "key+ Locked\\l", "log+ [CDlgUninstall::UninstallFiles] ForceDelete(%F%\\l.dll) Failed.",
      "log- Success Uninstall"}},
    {"file locked against reading only", {"Open|=o", "Open\\o|FilePath=%F%\\o.dll", kKeep}, {"o.dll"}, {"lockdel o.dll"},
     {"Keep|설치됨|", "Open|손상됨|"}, {"click Open", "delete", "box removed"},
     {"file- o.dll", "key- Open", "log+ [CDlgUninstall::UninstallFiles] ForceDelete(%F%\\o.dll) Success."}},
    // A value that cannot be what the installation wrote names nothing to delete.
    {"unusable FilePath values",
     {"Odd|=a", "Odd\\a|FilePath=#5", "Odd\\b|FilePath=%F%\\%LONG%", "Odd\\c|FilePath=c.dll", "Odd\\d|FilePath=%F%\\d.dll",
      kKeep},
     {"%RUN%\\c.dll", "d.dll"}, {}, {"Keep|설치됨|", "Odd|손상됨|"}, {"click Odd", "delete", "box removed"},
     {"file+ %RUN%\\c.dll", "file- d.dll", "key- Odd", "log+ " + kSkipped + "Odd\\a, file skipped",
      "log+ " + kSkipped + "Odd\\b, file skipped", "log+ " + kSkipped + "Odd\\c, file skipped"}},
};

const Case kRobotCases[] = {
    {"clicks and select all", {"Alpha", "Beta", "Gamma"}, {}, {}, {"Alpha|설치됨|", "Beta|설치됨|", "Gamma|설치됨|"},
     {"checks 000", "click Alpha", "checks 100", "click Alpha@2", "checks 000", "click Beta@1", "checks 010",
      "click Gamma@2", "checks 011", "all", "checks 111", "click Beta", "checks 101", "all", "checks 000", "all",
      "checks 111", "cancel"},
     {"key+ Alpha", "key+ Beta", "key+ Gamma", "log- Start Uninstall"}},
    {"delete with nothing checked", {"Alpha|=a", "Alpha\\a|FilePath=%F%\\a.dll"}, {"a.dll"}, {}, {"Alpha|설치됨|"},
     {"delete", "box select", "checks 0", "click Alpha", "checks 1", "cancel"},
     {"file+ a.dll", "key+ Alpha", "log- Start Uninstall", "pending-"}},
    {"delete in an empty list", {""}, {}, {}, {}, {"delete", "box select"}, {"key+ ", "pending-"}},
    {"remove one of two",
     {"한글 컨트롤|=a1", "한글 컨트롤\\a1|FilePath=%F%\\a1.dll", "한글 컨트롤\\a1|Unregister=#1",
      "한글 컨트롤\\a1|ClassID=%CLSID%", "한글 컨트롤\\a2|FilePath=%F%\\a2.dll", "한글 컨트롤\\a2|SharedDll=#1",
      "Other|=b", "Other\\b|FilePath=%F%\\b.dll"},
     {"a1.dll<fixtures\\com_server.dll", "a2.dll<fixtures\\version_1_2_3_4.dll", "b.dll<fixtures\\version_2_0_0_0.exe"},
     {"register a1.dll", "ie7", "preapproved"}, {"Other|설치됨|2.0.0.0", "한글 컨트롤|설치됨|"},
     {"click 한글 컨트롤@1", "checks 01", "delete", "box removed"},
     {"file- a1.dll", "file+ a2.dll", "file+ b.dll", "class-", "preapproved-", "key- 한글 컨트롤", "key+ Other",
      "pending-", "log+ Start Uninstall (한글 컨트롤)", "log+ [CDlgUninstall::GetFileList] File : %F%\\a1.dll, 1, 0, %CLSID%",
      "log+ [CDlgUninstall::UnregisterFiles] UnregisterServer(%F%\\a1.dll) Success.",
      "log+ [CDlgUninstall::UnregisterFiles] UnregisterPreApproved({%CLSID%}) Success",
      "log+ [CDlgUninstall::UninstallFiles] ForceDelete(%F%\\a1.dll) Success.", "log+ Success Uninstall (한글 컨트롤)",
      "log- All Item was uninstalled!"}},
    {"held by a helper, No", {"Held|=h", "Held\\h|FilePath=%F%\\h.dll", kKeep}, {"h.dll<velsetup_fixture.dll"},
     {"hold h.dll"}, {"Held|설치됨|1.0.0.0", "Keep|설치됨|"}, {"click Held", "delete", "box no"},
     {"file+ h.dll", "key+ Held", "holder+", "log+ [CDlgUninstall::UninstallFiles] ForceDelete(%F%\\h.dll) Failed.",
      "log- Success Uninstall"}},
    {"held by a helper, Yes", {"Held|=h", "Held\\h|FilePath=%F%\\h.dll", kKeep}, {"h.dll<velsetup_fixture.dll"},
     {"hold h.dll"}, {"Held|설치됨|1.0.0.0", "Keep|설치됨|"}, {"click Held", "delete", "box yes", "box removed"},
     {"file- h.dll", "key- Held", "holder-", "log+ [CDlgUninstall::UninstallFiles] ForceDelete(%F%\\h.dll) Success."}},
    {"remove all", {"Alpha|=a", "Alpha\\a|FilePath=%F%\\a.dll", "Beta|=b", "Beta\\b|FilePath=%F%\\b.dll"},
     {"a.dll", "b.dll"}, {}, {"Alpha|설치됨|", "Beta|설치됨|"}, {"all", "checks 11", "delete", "box removed"},
     {"file- a.dll", "file- b.dll", "key- ", "log+ All Item was uninstalled!", "pending+", "restart"}},
    // A path the code page cannot hold names another file: nothing is scheduled.
    {"remove all, program name outside the code page", {"Alpha|=a", "Alpha\\a|FilePath=%F%\\a.dll"}, {"a.dll"},
     {"program VelSetup ก.exe"}, {"Alpha|설치됨|"}, {"click Alpha", "delete", "box removed"},
     {"file- a.dll", "key- ", "log+ All Item was uninstalled!", "pending-",
      "log+ [UninstallSelectedItems] Program path not representable ("}},
    // Another run holds the lock: the dialog shows at once, empty and with "삭제" off, and closes.
    {"lock held by another run, cancel", {"Alpha|=a", "Alpha\\a|FilePath=%F%\\a.dll"}, {"a.dll"}, {"runlock"}, {},
     {"removal off", "cancel"},
     {"file+ a.dll", "key+ Alpha", "log+ [RunLock] Waiting for another setup run to end", "log- Start Uninstall"}},
    {"lock freed while the dialog waits", {"Alpha|=a", "Alpha\\a|FilePath=%F%\\a.dll", kKeep}, {"a.dll"},
     {"runlock"}, {}, {"removal off", "unlock", "removal on", "click Alpha", "checks 10", "delete", "box removed"},
     {"file- a.dll", "key- Alpha", "key+ Keep", "log+ [RunLock] Waiting for another setup run to end"}},
};
// clang-format on

class UninstallDialogTest : public ::testing::Test {
  CCleanSetupRegistry m_registry;
};

TEST_F(UninstallDialogTest, HandMadeRecords) {
  for (const Case& c : kRecordCases) RunCase(c);
}

TEST_F(UninstallDialogTest, Robot) {
  for (const Case& c : kRobotCases) RunCase(c);
}

TEST_F(UninstallDialogTest, ItemsOfARealUpdateRun) {
  const std::string served = "orbina/velsetup/uninstall/", url = "http://update.orbina.com/" + served;
  const Case installed = {"installed by an update run",
                          {},
                          {},
                          {},
                          {"Run Item|설치됨|1.2.3.4", "Run Other|손상됨|"},
                          {"cancel"},
                          {"key+ Run Item", "key+ Run Other", "file+ main.dll", "file+ second.dll"}};
  RunCase(installed, [&](const std::string& folder) {
    std::string manifest = "<UPDATELIST>";
    for (const auto& [item, name, fixture, mainFile] :
         {std::make_tuple("Run Item", "main.dll", "version_1_2_3_4.dll", "1"),
          std::make_tuple("Run Item", "second.dll", "no_version.dll", "0"),
          std::make_tuple("Run Other", "other.exe", "version_2_0_0_0.exe", "1")}) {
      ASSERT_TRUE(portal::Put(served + name, ReadFileBytes(FixturePath(fixture))));
      manifest += std::string("<UPDATEITEM NAME='") + item + "'><MODE NAME='velsetup'/><FILE NAME='" + name +
                  "'><SOURCE>" + url + name + "</SOURCE><DEST>" + folder + "</DEST><MAINFILE>" + mainFile +
                  "</MAINFILE></FILE></UPDATEITEM>";
    }
    ASSERT_TRUE(portal::Put(served + "control.xml", manifest + "</UPDATELIST>"));
    CSetupRun update("Uninstall update run");
    ASSERT_TRUE(update.Start("-x \"" + InstallParam(url + "control.xml", "velsetup") + "\""));
    ExpectExitWithoutBoxes(update);
    ASSERT_TRUE(::DeleteFileA((folder + "\\other.exe").c_str())) << "installed by the run";
  });
}

// The list's Korean texts are drawn with the dialog's font "굴림", so that the screenshots can be
// read: the prefix maps the Korean system font names to a Korean face.
TEST(UninstallListFont, HasTheKoreanGlyphs) {
  const wchar_t texts[] = L"설치된 컨트롤상태버전설치됨손상됨삭제취소전체 선택";
  const HDC dc = ::CreateCompatibleDC(nullptr);
  const CScopedGdiObject font(
      ::CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, HANGUL_CHARSET, 0, 0, 0, 0, L"굴림"));
  const HGDIOBJ previous = ::SelectObject(dc, font.Get());
  std::vector<WORD> glyphs(wcslen(texts));
  const DWORD mapped = ::GetGlyphIndicesW(dc, texts, static_cast<int>(glyphs.size()), glyphs.data(),
                                          GGI_MARK_NONEXISTING_GLYPHS);
  ::SelectObject(dc, previous);
  ::DeleteDC(dc);
  EXPECT_EQ(glyphs.size(), mapped);
  EXPECT_EQ(0, std::count(glyphs.begin(), glyphs.end(), 0xFFFF)) << "the prefix maps no Korean face to 굴림";
}

}  // namespace
