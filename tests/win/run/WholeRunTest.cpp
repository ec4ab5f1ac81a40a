// Whole update runs of the real VelSetup.exe, as the control and a person see them, from one table:
// the manifest and the files the portal serves (with faults), files and keys placed before the run,
// what the robot waits for and does, and then the statuses the control window received, the
// files, the registry and the log lines. Texts may use %ROOT% (the scenario's folder, also "Home",
// so that the temporary folder is %TEMP% = %ROOT%\VelTemp), %DEST% (%ROOT%\Dest), %URL% (the served
// folder; %HTTPS% the same over TLS, %UNTRUSTED% over TLS from a host with an untrusted
// certificate), %KEY% (a throwaway key below HKEY_CURRENT_USER) and %HOLDER% (the helper program
// that holds a file). Expected log lines ending in "*" give only the start of the line.
#include <windows.h>
#include <commctrl.h>
#include <shlwapi.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Answers.h"
#include "DebugMonitor.h"
#include "EngineTestSupport.h"
#include "NotifyWindow.h"
#include "Portal.h"
#include "ManifestTrust.h"
#include "ProgressFace.h"
#include "RunLock.h"
#include "Pump.h"
#include "SetupProtocol.h"
#include "Screenshot.h"
#include "SetupRun.h"
#include "Sha256.h"
#include "SignedManifest.h"
#include "TestRegistry.h"
#include "UiRobot.h"
#include "WinHandles.h"
#include "resource.h"

namespace {

constexpr char kServed[] = "orbina/velsetup/e2e/";
constexpr char kTestKey[] = "Software\\VelSetupTest\\Run";
constexpr char kClassKey[] = "CLSID\\{" VELSETUP_FIXTURE_CLASS_ID "}";
constexpr char kSessionManagerKey[] = "System\\CurrentControlSet\\Control\\Session Manager";
// The name the scenarios' manifest URL keeps its accepted serial under.
constexpr char kSerialName[] = "update.orbina.com/orbina/velsetup/e2e/list.xml";
constexpr char kUninstallEntry[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VelSetup";
// Only a hung run waits this long; a slow machine never comes near it.
constexpr DWORD kRunLimitMs = 300000;
constexpr int kEntryDelayMs = 200;
const std::string kNotServed = "\x01";

// What the robot does once a step's moment has come.
enum class Act {
  kNone,
  kCancel,      // presses the dialog's Cancel button
  kEscape,      // presses Escape in the dialog
  kCloseFrame,  // asks the program's main window to close, as its task-bar entry would
  kEndHolder,   // ends the helper program that holds a file, so that it is gone before the answer
  kLockCopy,    // has a second helper keep the temporary copy `file` open, so that it cannot be moved
  kScreenshot,  // captures the progress window and checks its size, shape and face with `status`
  kKill,        // ends the program and every process it started, and the helper, as a power cut would
  kDeleteLog,   // deletes the program's log file, as another program may
};

struct Step {
  // The moment: a message box with string `box`; or the `count`-th request of served `file` has
  // started; or `file` has appeared in the temporary folder.
  UINT box = 0;
  std::string file;
  int count = 0;
  Act act = Act::kNone;
  int press = 0;                    // the box's answer
  int visible = -1;                 // the download dialog's visibility then; -1: not looked at
  bool barAtEnd = false;            // its progress bar then at the end of a range above 65,535
  const wchar_t* status = nullptr;  // kScreenshot: the status line then
  std::string artifact;             // kScreenshot: the file the screenshot is kept in
  std::string logged;               // or: the run's log holds a line of interest starting so
};
Step Box(UINT id, int press, int visible = -1, Act act = Act::kNone) {
  Step step;
  step.box = id;
  step.press = press;
  step.visible = visible;
  step.act = act;
  return step;
}
Step Requested(const std::string& file, int count, Act act) {
  Step step;
  step.file = file;
  step.count = count;
  step.act = act;
  return step;
}
Step Extracted(const std::string& file, Act act) {
  Step step;
  step.file = file;
  step.act = act;
  return step;
}
Step Logged(const std::string& start, Act act) {
  Step step;
  step.logged = start;
  step.act = act;
  return step;
}
Step Shot(Step moment, const wchar_t* status, const std::string& artifact) {
  moment.act = Act::kScreenshot;
  moment.status = status;
  moment.artifact = artifact;
  return moment;
}

struct Run {
  std::vector<Step> steps;
  std::vector<std::string> statuses;  // "20", "30:25", ..., "closed"
  std::vector<std::string> log;       // the install phase's lines, and the dialog's own
  int exit = -1;                      // the process's exit code; -1: not looked at
  std::string freed = "";             // a file below %ROOT% deleted before this run starts

  bool Killed() const {
    return std::any_of(steps.begin(), steps.end(), [](const Step& s) { return s.act == Act::kKill; });
  }
};

struct Served {
  std::string path, bytes;
};

struct Scenario {
  const char* name;
  std::string manifest;  // kNotServed: the manifest answers 404
  std::vector<Served> served;
  std::string faults;             // portal rules; %PATH% is the served folder's URL path
  std::string param;              // elements added to the install parameter
  std::vector<Served> placed;     // files below %ROOT% before the run
  std::vector<std::string> keys;  // keys before the run: "HKCU:path" or "HKCR:path=default value"
  std::string hold;               // a placed file the helper keeps loaded during the run
  std::vector<Run> runs;          // one after the other, or all at once with `together`
  bool together = false;
  bool notify = true;                 // -w with the control window
  int shown = -1;                     // the dialog was seen visible (1) or never (0); -1: not looked at
  std::vector<std::string> files;     // below %ROOT% afterwards: "path", "path:served" (its bytes),
                                      // "folder/" (empty), "prefix*" (one or more files)
  std::vector<std::string> registry;  // afterwards, see RegistryFacts
  bool keyed = false;                 // run by the program built with the tests' manifest key
  bool lockHeld = false;              // another run holds the run lock throughout
  bool tempIsLink = false;            // %TEMP% is a symbolic link to %ROOT%\Elsewhere
  bool restart = false;               // the prefix restarts (wineboot -r) after the runs
  bool smallDisk = false;             // "Home" is %ROOT%\Small, a file system of 1 MiB
  size_t logBefore = 0;               // bytes of filler in each run's log before it starts; the
                                      // run is to empty it after its start line, on a later line
  int entryDelayMs = 0;               // the program waits so long before each archive entry
};

std::string g_root;                  // the running scenario's folder
std::string g_home;                  // its "Home": g_root, or the small disk's folder
std::string g_holder;                // the helper program's path
CDebugMonitor* g_monitor = nullptr;  // hears the debugger output of the table's runs

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

std::string Expand(std::string text) {
  text = Replace(text, "%DEST%", g_root + "\\Dest");
  text = Replace(text, "%TEMP%", g_home + "\\VelTemp");
  text = Replace(text, "%ROOT%", g_root);
  text = Replace(text, "%URL%", std::string("http://update.orbina.com/") + kServed);
  text = Replace(text, "%HTTPS%", std::string("https://update.orbina.com/") + kServed);
  text = Replace(text, "%UNTRUSTED%", std::string("https://untrusted.orbina.com/") + kServed);
  text = Replace(text, "%PATH%", std::string("/") + kServed);
  text = Replace(text, "%KEY%", kTestKey);
  return Replace(text, "%HOLDER%", g_holder);
}

// Manifest pieces.
std::string FileAt(const std::string& name, const std::string& url, const std::string& body = "") {
  return "<FILE NAME='" + name + "'><SOURCE>" + url + "</SOURCE><DEST>%DEST%</DEST>" + body + "</FILE>";
}
std::string FileFrom(const std::string& name, const std::string& source, const std::string& body = "") {
  return FileAt(name, "%URL%" + source, body);
}
std::string File(const std::string& name, const std::string& body = "") { return FileFrom(name, name, body); }
std::string Item(const std::string& name, const std::string& body, const std::string& mode = "velsetup") {
  return "<UPDATEITEM NAME='" + name + "'><MODE NAME='" + mode + "'/>" + body + "</UPDATEITEM>";
}
std::string List(const std::string& items) { return "<UPDATELIST>" + items + "</UPDATELIST>"; }
std::string Tag(const char* name, const std::string& text) {
  return std::string("<") + name + ">" + text + "</" + name + ">";
}
std::string Size(const std::string& bytes) { return Tag("FILESIZE", std::to_string(bytes.size())); }

std::string Pattern(size_t count, char first = 'a') {
  std::string bytes(count, '\0');
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>(first + i % 26);
  return bytes;
}

std::string Sha256Hex(const std::string& bytes) {
  CSha256 hash;
  CSha256Digest digest = {};
  hash.Add(bytes.data(), bytes.size());
  hash.Finish(digest);
  return Sha256Text(digest);
}
std::string Sha256(const std::string& bytes) { return Tag("SHA256", Sha256Hex(bytes)); }
std::string RunFile(const std::string& extra) {
  return "<RUNFILE NAME='runner.exe'><RUNSOURCE>%URL%runner.exe</RUNSOURCE>" + extra + "</RUNFILE>";
}
std::string SignedList(const std::string& serial, const std::string& items) {
  return "<UPDATELIST SERIAL='" + serial + "'>" + items + "</UPDATELIST>";
}
std::string AddKey(const std::string& name) {
  return "<ADDREG TYPE='string'><ROOT>HKCU</ROOT><KEY>%KEY%\\" + name +
         "</KEY><VALUE_NAME>v</VALUE_NAME><VALUE>1</VALUE></ADDREG>";
}

// The percentage of `written` of `total` bytes, rounded half up.
std::string Percent(size_t written, size_t total) {
  return "30:" + std::to_string((written * 200 + total) / (2 * total));
}

std::vector<Scenario> Scenarios() {
  const std::string server = ReadFileBytes(FixturePath("com_server.dll"));
  const std::string recorder = ReadFileBytes(FixturePath("recorder.exe"));
  const std::string v1234 = ReadFileBytes(FixturePath("version_1_2_3_4.dll"));
  const std::string v2 = ReadFileBytes(FixturePath("version_40000_1_65535_7.dll"));
  const std::string a1 = Pattern(1000), a2 = Pattern(3000, 'A');
  const std::string serverZip = ZipBytes({{"server.dll", server}});
  // The server with an overlay, so that the bytes of a run pass 65,535.
  const std::string shared = server + std::string(70000, '\0');
  const size_t total = a1.size() + a2.size() + serverZip.size();
  const std::string slow = Pattern(400000);
  std::vector<CZipPackEntry> entries;
  // Unpacked at kEntryDelayMs per entry: the rows act while the archive is being unpacked.
  for (int i = 0; i < 20; ++i) entries.push_back({"e" + std::to_string(10000 + i) + ".txt", Pattern(200)});
  entries.push_back({"many.dll", v1234});
  const std::string manyZip = ZipBytes(entries);

  const std::string twoItems = List(
      Item("A", File("a1.dll", Size(a1)) + File("a2.dll", Size(a2))) +
      Item("B", FileFrom("server.dll", "server.zip",
                         Size(server) + Tag("REGISTER", "1") + Tag("CLASSID", VELSETUP_FIXTURE_CLASS_ID))));
  const std::vector<Served> twoItemsServed = {{"a1.dll", a1}, {"a2.dll", a2}, {"server.zip", serverZip}};
  const std::vector<std::string> twoItemsFiles = {"Dest/a1.dll:a1.dll", "Dest/a2.dll:a2.dll",
                                                  "Dest/server.dll"};
  const std::vector<std::string> twoItemsRecords = {
      "server=%DEST%\\server.dll", "uninstall:A\\a1=%DEST%\\a1.dll", "uninstall:A\\a2=%DEST%\\a2.dll",
      "uninstall:B\\server=%DEST%\\server.dll"};
  const std::vector<std::string> installTwo = {
      "CDlgDownload::InstallDownloadedFiles",
      "[InstallProcess] MoveInstalleFiles(%TEMP%\\a1.dll ->%DEST%\\a1.dll)",
      "[InstallProcess] MoveInstalleFiles(%TEMP%\\a2.dll ->%DEST%\\a2.dll)",
      "[InstallProcess] MoveInstalleFiles(%TEMP%\\server.dll ->%DEST%\\server.dll)",
      "[RegisterServer] RegisterServer(%DEST%\\server.dll) Success",
      "CDlgDownload::OnSetupComplete"};
  const std::vector<std::string> nothingToInstall = {"CDlgDownload::InstallDownloadedFiles",
                                                     "CDlgDownload::OnSetupComplete"};
  // The list re-registers the installed server it finds current.
  const std::string registered = "[RegisterServer] RegisterServer(%DEST%\\server.dll) Success";
  const std::vector<std::string> started = {"20", "21", "22"};
  const auto statuses = [&](std::initializer_list<std::string> tail) {
    std::vector<std::string> all = started;
    all.insert(all.end(), tail.begin(), tail.end());
    return all;
  };

  // A file of the old version, held loaded by the helper while a new one is installed.
  const std::string held = List(Item("H", File("held.dll", Tag("VERSION", "40000,1,65535,7"))));
  const std::string heldReboot =
      List(Item("H", File("held.dll", Tag("VERSION", "40000,1,65535,7") + Tag("REBOOT", "1"))));
  const std::vector<Served> heldServed = {{"held.dll", v2}};
  const std::vector<Served> heldPlaced = {{"Dest/held.dll", v1234}};
  const std::string heldLine = "[InstallProcess] MoveInstalleFiles(%TEMP%\\held.dll ->%DEST%\\held.dll)";
  const std::string inUse =
      "[MoveInstallFiles] DeleteFile(%DEST%\\held.dll) Failed, ERROR_ACCESS_DENIED || "
      "ERROR_SHARING_VIOLATION";
  const std::string usedBy = "[TerminateProcessesUsingFile] *%DEST%\\held.dll*%HOLDER%*";
  // Whether the holder was ended, the files and records tell.
  const std::string ended = "[TerminateProcessesUsingFile] *%HOLDER%*";
  const std::string heldRecord = "uninstall:H\\held=%DEST%\\held.dll";
  const std::string pending = "pending:%TEMP%\\held.dll->%DEST%\\held.dll";
  const std::string forceDelete = Tag("FORCEDELETE", "1");

  // An item of three files whose second cannot be moved (it arrives as a .cab), with a REGISTER
  // file, a SHAREDDLL one (registered too) and a run file, after an item that installs.
  const std::string broken =
      List(Item("Good", File("good.dll")) +
           Item("Broken", File("com.dll", Tag("REGISTER", "1")) + FileFrom("gone.dll", "gone.cab") +
                              File("shared.dll", Tag("REGISTER", "1") + Tag("SHAREDDLL", "1") +
                                                     "<RUNFILE NAME='runner.exe'><RUNSOURCE>%URL%runner.exe"
                                                     "</RUNSOURCE><RUNPARAM>--ran</RUNPARAM></RUNFILE>")));
  const std::vector<Served> brokenServed = {{"good.dll", "G"},
                                            {"com.dll", server},
                                            {"gone.cab", "CAB"},
                                            {"shared.dll", shared},
                                            {"runner.exe", recorder}};
  const size_t brokenTotal = 1 + server.size() + 3 + shared.size();

  const std::vector<std::string> cancelled = {"[DownloadFile] User canceled downloading",
                                              "[DownloadInstallFiles] Download Failed (%URL%slow.dll)"};
  const std::string slowItem = List(Item("S", File("slow.dll")));
  const std::string trickle = "%PATH%slow.dll trickle=4000 delay=100\n";

  // The two items over https, the first with a run file fetched over https too.
  const std::string overTls = List(
      Item("A", FileAt("a1.dll", "%HTTPS%a1.dll",
                       Size(a1) + "<RUNFILE NAME='runner.exe'><RUNSOURCE>%HTTPS%runner.exe</RUNSOURCE>"
                                  "<RUNPARAM>--ran</RUNPARAM></RUNFILE>") +
                    FileAt("a2.dll", "%HTTPS%a2.dll", Size(a2))) +
      Item("B", FileAt("server.dll", "%HTTPS%server.zip",
                       Size(server) + Tag("REGISTER", "1") + Tag("CLASSID", VELSETUP_FIXTURE_CLASS_ID))));
  std::vector<Served> overTlsServed = twoItemsServed;
  overTlsServed.push_back({"runner.exe", recorder});
  std::vector<std::string> installOverTls = installTwo;
  installOverTls.insert(installOverTls.begin() + 1,
                        "[RunFileAndWait] Download File %HTTPS%runner.exe -> %TEMP%\\runner.exe");
  std::vector<std::string> overTlsFiles = twoItemsFiles;
  overTlsFiles.push_back("VelTemp/runner.exe.record");  // the run file ran
  const std::string tlsSource = "<SOURCE>%HTTPS%list.xml</SOURCE>";
  // A signed manifest: a plain file, one unpacked from an archive and one with a run file, each
  // with its hash, and a registry edit that shows whether any of it took effect.
  const std::string signedItems =
      Item("S", AddKey("Signed") + File("a1.dll", Sha256(a1)) +
                    FileFrom("server.dll", "server.zip", Sha256(server)) +
                    File("r.dll", Sha256(a2) + RunFile(Tag("RUNSHA256", Sha256Hex(recorder)))));
  const std::string signedList = SignedList("7", signedItems);
  std::string changedList = signedList;
  changedList[changedList.find("'S'") + 1] = 'T';
  const std::vector<Served> signedServed = {
      {"a1.dll", a1}, {"server.zip", serverZip}, {"r.dll", a2}, {"runner.exe", recorder}};
  const auto withServed = [&](const std::string& path, const std::string& bytes) {
    std::vector<Served> served = signedServed;
    served.push_back({path, bytes});
    return served;
  };
  // An installed file that an accepted manifest would re-record: a refused one records nothing.
  const std::vector<Served> signedPlaced = {{"Dest/a1.dll", a1}};
  const std::string notVerified =
      "[DownloadFileList] Manifest refused: signature not verified (CryptVerifySignature*";

  // Faults: a server whose own registration fails, one held at a gate while it registers, runs
  // ended from outside, a disk that fills. After a killed run the next one takes the abandoned lock
  // over and installs what is missing, the one after finds nothing to do.
  const std::string failing = ReadFileBytes(FixturePath("failing_server.dll"));
  const std::string gated = ReadFileBytes(FixturePath("gated_server.dll"));
  const std::string abandoned = "[RunLock] The previous setup run ended without finishing";
  const auto afterKill = [&](std::vector<std::string> log) {
    log.insert(log.begin(), abandoned);
    return log;
  };
  const Run installTwoRun = {{},
                             statuses({Percent(a1.size(), total), Percent(a1.size() + a2.size(), total),
                                       "30:100", "40", "100", "closed"}),
                             afterKill(installTwo),
                             100};
  const Run nothingTwoRun = {
      {},
      statuses({"40", "100", "closed"}),
      {registered, "CDlgDownload::InstallDownloadedFiles", "CDlgDownload::OnSetupComplete"},
      100};
  const std::string zipItems =
      List(Item("A", File("a1.dll", Size(a1))) + Item("Z", FileFrom("many.dll", "many.zip")));
  const size_t zipTotal = a1.size() + manyZip.size();
  const std::string heldPair =
      List(Item("H", File("a1.dll", Size(a1)) + File("held.dll", Tag("VERSION", "40000,1,65535,7"))));
  const std::string gatedItems =
      List(Item("A", File("a1.dll", Size(a1))) +
           Item("B", File("server.dll",
                          Size(gated) + Tag("REGISTER", "1") + Tag("CLASSID", VELSETUP_FIXTURE_CLASS_ID))));
  const size_t gatedTotal = a1.size() + gated.size();
  const std::string big = Pattern(600000);
  const std::string bigZip = ZipBytes({{"big.dll", big}});
  const std::vector<Served> filler = {{"Small/filler", std::string(700000, 'f')}};
  const std::string bigFile = List(Item("A", File("big.dll", Size(big))));
  const std::string bigPacked = List(Item("Z", FileFrom("big.dll", "big.zip", Size(big))));
  const std::vector<std::string> bigInstalled = {
      "CDlgDownload::InstallDownloadedFiles",
      "[InstallProcess] MoveInstalleFiles(%TEMP%\\big.dll ->%DEST%\\big.dll)",
      "CDlgDownload::OnSetupComplete"};
  const std::vector<std::string> bigWriteFailed = {
      "[DownloadFile] WriteFile(%TEMP%\\big.dll) Failed, Error Code = 112",
      "[DownloadInstallFiles] Download Failed (%URL%big.dll)"};
  const std::vector<std::string> bigExtractFailed = {
      "[ExtractZipFile] Entry 0 Failed (%TEMP%\\big.zip): cannot write *",
      "[DownloadInstallFiles] Zip Extract Failed (%TEMP%\\big.zip)"};

  // clang-format off
  return {
    {"CleanInstallOfTwoItemsThenNothingToDo", twoItems, twoItemsServed, "", "", {}, {}, "",
     {{{}, statuses({Percent(a1.size(), total), Percent(a1.size() + a2.size(), total), "30:100", "40", "100",
                     "closed"}), installTwo},
      {{}, statuses({"40", "100", "closed"}),
       {registered, "CDlgDownload::InstallDownloadedFiles", "CDlgDownload::OnSetupComplete"}}},
     false, true, -1, twoItemsFiles, twoItemsRecords},
    {"EmptyUpdateList", List(""), {}, "", "", {}, {}, "",
     {{{}, statuses({"40", "100", "closed"}), nothingToInstall}}, false, true, 0, {}, {}},
    {"NoItemOfTheMode", List(Item("A", File("a1.dll"), "other")), {{"a1.dll", a1}}, "", "", {}, {}, "",
     {{{}, statuses({"40", "100", "closed"}), nothingToInstall}}, false, true, 0, {}, {}},
    {"ManifestMissing", kNotServed, {}, "", "", {}, {}, "",
     {{{Box(IDS_MANIFEST_FAILED, IDOK)}, {"20", "21", "101", "closed"}, {}}}, false, true, 0, {"VelTemp/"}, {}},
    {"ManifestWithoutUpdateList", "<X><UPDATEITEM/></X>", {}, "", "", {}, {}, "",
     {{{Box(IDS_UPDATE_LIST_FAILED, IDOK)}, statuses({"101", "closed"}), {}}}, false, true, 0,
     {"VelTemp/VelSetup.xml"}, {}},
    {"FileFailsToDownload", List(Item("A", File("a1.dll") + File("missing.dll"))), {{"a1.dll", a1}}, "",
     "<SHOWDLG>0</SHOWDLG>", {}, {}, "",
     {{{Box(IDS_DOWNLOAD_FAILED, IDOK, 0)}, statuses({"30:100", "30:100", "101", "closed"}),
       {"[DownloadInstallFiles] Download Failed (%URL%missing.dll)"}}},
     false, true, 0,
     {"Dest/", "VelTemp/a1.dll:a1.dll"}, {}},
    {"SecondOfThreeCannotBeMovedUndoesTheItem", broken, brokenServed, "", "", {}, {}, "",
     {{{[] { Step s = Box(IDS_INSTALL_FAILED, IDOK, 1); s.barAtEnd = true; return s; }()},
       statuses({Percent(1, brokenTotal), Percent(1 + server.size(), brokenTotal),
                 Percent(1 + server.size() + 3, brokenTotal), "30:100", "40", "101", "closed"}),
       {"CDlgDownload::InstallDownloadedFiles",
        "[InstallProcess] MoveInstalleFiles(%TEMP%\\good.dll ->%DEST%\\good.dll)",
        "[InstallProcess] MoveInstalleFiles(%TEMP%\\com.dll ->%DEST%\\com.dll)",
        "[InstallProcess] MoveInstalleFiles(%TEMP%\\gone.dll ->%DEST%\\gone.dll)",
        "[MoveInstallFiles] Downloaded file missing (%TEMP%\\gone.dll)",
        "[InstallProcess] MoveInstalleFiles Failed, Error Code = 2",
        "[RunFileAndWait] Download File %URL%runner.exe -> %TEMP%\\runner.exe",
        "[InstallProcess] MoveInstalleFiles(%TEMP%\\shared.dll ->%DEST%\\shared.dll)",
        "[UnregisterServer] UnregisterServer(%DEST%\\com.dll) Success",
        "[UninstallFile] DeleteFile(%DEST%\\com.dll )",
        "[UninstallFile] DeleteFile(%DEST%\\gone.dll )",
        "[UninstallFile] DeleteFile(%DEST%\\shared.dll )"}}},
     false, true, -1, {"Dest/good.dll:good.dll", "Dest/shared.dll:shared.dll", "VelTemp/gone.cab",
                      "VelTemp/runner.exe.record"},
     {"uninstall:Good\\good=%DEST%\\good.dll"}},
    // Each variant ends the run without a message box and installs nothing; the copy cut short
    // without a length is not kept either.
    {"CancelDuringDownload", slowItem, {{"slow.dll", slow}}, trickle, "", {}, {}, "",
     {{{Requested("slow.dll", 2, Act::kCancel)}, statuses({"30:*", "101", "closed"}), cancelled}}, false, true, 1,
     {"Dest/", "VelTemp/"}, {}},
    {"EscapeDuringDownloadWithoutLength", slowItem, {{"slow.dll", slow}}, trickle + "%PATH%slow.dll nolength\n",
     "", {}, {}, "", {{{Requested("slow.dll", 2, Act::kEscape)}, statuses({"30:100", "101", "closed"}), cancelled}},
     false, true, 0, {"Dest/", "VelTemp/"}, {}},
    // Cancelled once a third entry is being written, so that two of them are whole.
    {"CancelDuringExtraction", List(Item("Z", FileFrom("many.dll", "many.zip"))), {{"many.zip", manyZip}}, "", "",
     {}, {}, "",
     {{{Extracted("e10002.txt", Act::kCancel)}, statuses({"30:100", "101", "closed"}),
       {"[ExtractZipFile] Entry *", "[DownloadInstallFiles] Zip Extract Failed (%TEMP%\\many.zip)"}}},
     false, true, 1, {"Dest/", "VelTemp/e*"}, {}, false, false, false, false, false, 0, kEntryDelayMs},
    // What a person sees of the window while a file arrives slowly and while an archive is unpacked.
    {"ProgressWindowWhileDownloadingAndExtracting", List(Item("W", File("slow.dll") + FileFrom("many.dll", "many.zip"))),
     {{"slow.dll", slow}, {"many.zip", manyZip}}, trickle, "", {}, {}, "",
     {{{Shot(Requested("slow.dll", 2, Act::kNone), L"파일 다운로드 중", "downloading"),
        Shot(Extracted("e10002.txt", Act::kNone), L"압축파일을 푸는 중", "extracting")},
       statuses({Percent(slow.size(), slow.size() + manyZip.size()), "30:100", "40", "100", "closed"}),
       {"CDlgDownload::InstallDownloadedFiles",
        "[InstallProcess] MoveInstalleFiles(%TEMP%\\slow.dll ->%DEST%\\slow.dll)",
        "[InstallProcess] MoveInstalleFiles(%TEMP%\\many.dll ->%DEST%\\many.dll)",
        "CDlgDownload::OnSetupComplete"}}},
     false, true, 1, {"Dest/slow.dll:slow.dll", "Dest/many.dll", "VelTemp/e*"},
     {"uninstall:W\\slow=%DEST%\\slow.dll", "uninstall:W\\many=%DEST%\\many.dll"}, false, false, false,
     false, false, 0, kEntryDelayMs},
    {"CloseRequestDuringDownloadCancels", slowItem, {{"slow.dll", slow}}, trickle, "", {}, {}, "",
     {{{Requested("slow.dll", 2, Act::kCloseFrame)}, statuses({"30:*", "101", "closed"}), cancelled}}, false, true,
     1, {"Dest/", "VelTemp/"}, {}},
    // Undoing an item without a name never touches the records of the others.
    {"ItemWithoutNameUndoneKeepsOtherRecords",
     List(Item("Good", File("good.dll")) + Item("", FileFrom("gone.dll", "gone.cab"))),
     {{"good.dll", "G"}, {"gone.cab", "CAB"}}, "", "", {}, {}, "",
     {{{Box(IDS_INSTALL_FAILED, IDOK)}, statuses({"30:25", "30:100", "40", "101", "closed"}),
       {"CDlgDownload::InstallDownloadedFiles",
        "[InstallProcess] MoveInstalleFiles(%TEMP%\\good.dll ->%DEST%\\good.dll)",
        "[InstallProcess] MoveInstalleFiles(%TEMP%\\gone.dll ->%DEST%\\gone.dll)",
        "[MoveInstallFiles] Downloaded file missing (%TEMP%\\gone.dll)",
        "[InstallProcess] MoveInstalleFiles Failed, Error Code = 2", "[UninstallFile] DeleteFile(%DEST%\\gone.dll )",
        "[UndoInstall] *"}}},
     false, true, -1, {"Dest/good.dll:good.dll", "VelTemp/gone.cab"}, {"uninstall:Good\\good=%DEST%\\good.dll"}},
    // A file in use: replaced at the next start, with or without the restart question.
    {"InUseRebootDeclined", heldReboot, heldServed, "", "", heldPlaced, {}, "Dest/held.dll",
     {{{Box(IDS_REBOOT_QUESTION, IDNO, 0)}, statuses({"30:100", "40", "90", "closed"}),
       {"CDlgDownload::InstallDownloadedFiles", heldLine, inUse, "CDlgDownload::OnSetupComplete"}}},
     false, true, -1, {"Dest/held.dll:placed", "VelTemp/held.dll:held.dll"}, {heldRecord, pending}},
    {"InUseRebootAccepted", heldReboot, heldServed, "", "", heldPlaced, {}, "Dest/held.dll",
     {{{Box(IDS_REBOOT_QUESTION, IDYES)}, statuses({"30:100", "40", "91", "closed"}),
       {"CDlgDownload::InstallDownloadedFiles", heldLine, inUse, "CDlgDownload::OnSetupComplete"}}},
     false, true, -1, {"Dest/held.dll:placed", "VelTemp/held.dll:held.dll"}, {heldRecord, pending}},
    {"InUseWithoutForceDeleteWaitsForTheRestart", held, heldServed, "", "<FORCEDELETE>0</FORCEDELETE>", heldPlaced,
     {}, "Dest/held.dll",
     {{{}, statuses({"30:100", "40", "100", "closed"}),
       {"CDlgDownload::InstallDownloadedFiles", heldLine, inUse, "CDlgDownload::OnSetupComplete"}}},
     false, true, -1, {"Dest/held.dll:placed", "VelTemp/held.dll:held.dll"}, {heldRecord, pending}},
    // The dialog is visible while the question is open; a close request then is ignored.
    {"ForceDeleteEndsTheHolder", held, heldServed, "", forceDelete + "<SHOWDLG>1</SHOWDLG>", heldPlaced, {},
     "Dest/held.dll",
     {{{Box(IDS_CLOSE_TO_INSTALL, IDYES, 1, Act::kCloseFrame)}, statuses({"30:100", "40", "100", "closed"}),
       {"CDlgDownload::InstallDownloadedFiles", heldLine, inUse, usedBy, ended, "CDlgDownload::OnSetupComplete"}}},
     false, true, -1, {"Dest/held.dll:held.dll"}, {heldRecord}},
    {"ForceDeleteDeclinedWaitsForTheRestart", held, heldServed, "", forceDelete + "<SHOWDLG>0</SHOWDLG>",
     heldPlaced, {}, "Dest/held.dll",
     {{{Box(IDS_CLOSE_TO_INSTALL, IDNO, 0)}, statuses({"30:100", "40", "100", "closed"}),
       {"CDlgDownload::InstallDownloadedFiles", heldLine, inUse, usedBy,
        ended, "CDlgDownload::OnSetupComplete"}}},
     false, true, 0, {"Dest/held.dll:placed", "VelTemp/held.dll:held.dll"}, {heldRecord, pending}},
    // The holder is gone when the answer comes (its identifier may name another program by then):
    // nothing is ended, and that is no refusal.
    {"ForceDeleteHolderAlreadyGone", held, heldServed, "", forceDelete, heldPlaced, {}, "Dest/held.dll",
     {{{Box(IDS_CLOSE_TO_INSTALL, IDYES, -1, Act::kEndHolder)}, statuses({"30:100", "40", "100", "closed"}),
       {"CDlgDownload::InstallDownloadedFiles", heldLine, inUse, usedBy,
        ended, "CDlgDownload::OnSetupComplete"}}},
     false, true, -1, {"Dest/held.dll:held.dll"}, {heldRecord}},
    // The old file is deleted, but a second helper keeps the copy from moving: the file fails.
    {"ForceDeleteMoveFailsTheItem", held, heldServed, "", forceDelete, heldPlaced, {}, "Dest/held.dll",
     {{{[] { Step s = Box(IDS_CLOSE_TO_INSTALL, IDYES, -1, Act::kLockCopy); s.file = "held.dll"; return s; }(),
        Box(IDS_INSTALL_FAILED, IDOK)},
       statuses({"30:100", "40", "101", "closed"}),
       {"CDlgDownload::InstallDownloadedFiles", heldLine, inUse, usedBy, ended,
        "[MoveInstallFiles] MoveFile(%DEST%\\held.dll) Failed, Error Code = 32",
        "[InstallProcess] MoveInstalleFiles Failed, Error Code = 32",
        "[UninstallFile] DeleteFile(%DEST%\\held.dll )"}}},
     false, true, -1, {"Dest/", "VelTemp/held.dll:held.dll"}, {}},
    // The second run waits for the first, then finds every file current.
    {"TwoRunsTogether", twoItems, twoItemsServed,
     "%PATH%a1.dll trickle=50 delay=200\n", "", {}, {}, "",
     {{{}, statuses({Percent(a1.size(), total), Percent(a1.size() + a2.size(), total), "30:100", "40", "100",
                     "closed"}), installTwo},
      {{}, {"20", "21", "22", "40", "100", "closed"},
       {"[RunLock] *", registered, "CDlgDownload::InstallDownloadedFiles",
        "CDlgDownload::OnSetupComplete"}}},
     true, true, -1, twoItemsFiles, twoItemsRecords},
    {"WithoutNotifyWindow", twoItems, twoItemsServed, "", "", {}, {}, "", {{{}, {}, installTwo}}, false, false, -1,
     twoItemsFiles, twoItemsRecords},
    // Two items list the same file: the second finds it in place and still records it; the third
    // names it with another source.
    {"FileListedByTwoItems",
     List(Item("A", File("same.dll", Size(a1))) + Item("B", File("same.dll", Size(a1))) +
          Item("C", FileFrom("same.dll", "other/same.dll", Size(a1)))),
     {{"same.dll", a1}, {"other/same.dll", a1}}, "", "", {}, {}, "",
     {{{}, statuses({"30:33", "30:67", "30:100", "40", "100", "closed"}),
       {"CDlgDownload::InstallDownloadedFiles",
        "[InstallProcess] MoveInstalleFiles(%TEMP%\\same.dll ->%DEST%\\same.dll)",
        "[InstallProcess] MoveInstalleFiles(%TEMP%\\same.dll ->%DEST%\\same.dll)",
        "[InstallProcess] Installed earlier in this run (%DEST%\\same.dll)",
        "[InstallProcess] MoveInstalleFiles(%TEMP%\\same.dll ->%DEST%\\same.dll)",
        "[InstallProcess] same.dll is listed again with another SOURCE or DEST (%URL%other/same.dll ->%DEST%\\same.dll)",
        "[InstallProcess] Installed earlier in this run (%DEST%\\same.dll)",
        "CDlgDownload::OnSetupComplete"}}},
     false, true, -1, {"Dest/same.dll:same.dll"},
     {"uninstall:A\\same=%DEST%\\same.dll", "uninstall:B\\same=%DEST%\\same.dll",
      "uninstall:C\\same=%DEST%\\same.dll"}},
    // DELETEREGKEY by its root rule, DELETEREGCLASS through the registered server file.
    {"OldKeysAndClassRemovedFirst",
     List(Item("K", File("k1.dll", Tag("DELETEREGKEY", "HKEY_CURRENT_USER\\%KEY%\\A") +
                                       Tag("DELETEREGCLASS", VELSETUP_FIXTURE_CLASS_ID)) +
                        File("k2.dll", Tag("DELETEREGKEY", "HKEY_CURRENT\\%KEY%\\B")) +
                        File("k3.dll", Tag("DELETEREGKEY", "HKCU\\%KEY%\\C")) +
                        File("k4.dll", Tag("DELETEREGKEY", "hkey_current_user\\%KEY%\\D")) +
                        File("k5.dll", Tag("DELETEREGKEY", "HKEY_CURRENT_USER")))),
     {{"k1.dll", "1"}, {"k2.dll", "2"}, {"k3.dll", "3"}, {"k4.dll", "4"}, {"k5.dll", "5"}}, "", "",
     {{"Dest/old.dll", server}},
     {"HKCU:%KEY%\\A\\Sub", "HKCU:%KEY%\\B", "HKCU:%KEY%\\C", "HKCU:%KEY%\\D",
      std::string("HKCR:") + kClassKey + "\\InprocServer32=%DEST%\\old.dll"},
     "",
     {{{}, statuses({"30:20", "30:40", "30:60", "30:80", "30:100", "40", "100", "closed"}),
       {"CDlgDownload::InstallDownloadedFiles",
        "[InstallProcess] MoveInstalleFiles(%TEMP%\\k1.dll ->%DEST%\\k1.dll)",
        "[InstallProcess] MoveInstalleFiles(%TEMP%\\k2.dll ->%DEST%\\k2.dll)",
        "[InstallProcess] DeleteRegKey Failed(HKCU\\%KEY%\\C)",
        "[InstallProcess] MoveInstalleFiles(%TEMP%\\k3.dll ->%DEST%\\k3.dll)",
        "[InstallProcess] DeleteRegKey Failed(hkey_current_user\\%KEY%\\D)",
        "[InstallProcess] MoveInstalleFiles(%TEMP%\\k4.dll ->%DEST%\\k4.dll)",
        "[InstallProcess] MoveInstalleFiles(%TEMP%\\k5.dll ->%DEST%\\k5.dll)",
        "CDlgDownload::OnSetupComplete"}}},
     false, true, -1, {"Dest/k1.dll", "Dest/k2.dll", "Dest/k3.dll", "Dest/k4.dll", "Dest/k5.dll"},
     {"key:C", "key:D", "uninstall:K\\k1=%DEST%\\k1.dll", "uninstall:K\\k2=%DEST%\\k2.dll",
      "uninstall:K\\k3=%DEST%\\k3.dll", "uninstall:K\\k4=%DEST%\\k4.dll", "uninstall:K\\k5=%DEST%\\k5.dll"}},
    // Over https: the manifest, the files and the run file, with the test CA trusted.
    {"HttpsManifestFilesAndRunFile", overTls, overTlsServed, "", tlsSource, {}, {}, "",
     {{{}, statuses({Percent(a1.size(), total), Percent(a1.size() + a2.size(), total), "30:100", "40", "100",
                     "closed"}), installOverTls}},
     false, true, -1, overTlsFiles, twoItemsRecords},
    // A certificate that no trusted CA vouches for fails the manifest or the file like a server
    // that cannot be reached, its error code in the log.
    {"HttpsManifestWithUntrustedCertificate", List(Item("A", File("a1.dll"))), {{"a1.dll", a1}}, "",
     "<SOURCE>%UNTRUSTED%list.xml</SOURCE>", {}, {}, "",
     {{{Box(IDS_MANIFEST_FAILED, IDOK)}, {"20", "21", "101", "closed"},
       {"[DownloadFile] InternetOpenUrl(%UNTRUSTED%list.xml) Failed (Error Code = 12057)"}}},
     false, true, 0, {"VelTemp/"}, {}},
    {"HttpsFileWithUntrustedCertificate", List(Item("A", FileAt("a1.dll", "%UNTRUSTED%a1.dll"))), {{"a1.dll", a1}},
     "", tlsSource, {}, {}, "",
     {{{Box(IDS_DOWNLOAD_FAILED, IDOK)}, statuses({"30:100", "101", "closed"}),
       {"[DownloadFile] InternetOpenUrl(%UNTRUSTED%a1.dll) Failed (Error Code = 12057)",
        "[DownloadInstallFiles] Download Failed (%UNTRUSTED%a1.dll)"}}},
     false, true, -1, {"Dest/", "VelTemp/"}, {}},
    // A redirect may not leave https for http, even inside the trusted location.
    {"HttpsRedirectToHttpRefused", List(Item("A", FileAt("a1.dll", "%HTTPS%old.dll"))), {{"a1.dll", a1}},
     "%PATH%old.dll redirect=%URL%a1.dll\n", tlsSource, {}, {}, "",
     {{{Box(IDS_DOWNLOAD_FAILED, IDOK)}, statuses({"30:100", "101", "closed"}),
       {"[DownloadFile] Redirect from https to http refused (%HTTPS%old.dll -> %URL%a1.dll)",
        "[DownloadInstallFiles] Download Failed (%HTTPS%old.dll)"}}},
     false, true, -1, {"Dest/", "VelTemp/"}, {}},
    // Signed manifests, run by the keyed program; the portal signs list.xml with the tests' key
    // unless a rule says otherwise. Every file matches its hash; the serial rises from 5 to 7, and
    // the same serial is accepted again.
    {"SignedManifestAccepted", signedList, signedServed, "", "", {}, {"serial:5"}, "",
     {{{}, statuses({"30:*", "30:*", "30:100", "40", "100", "closed"}),
       {"[DownloadFileList] Manifest signature verified, serial 7", "CDlgDownload::InstallDownloadedFiles",
        "[InstallProcess] MoveInstalleFiles(%TEMP%\\a1.dll ->%DEST%\\a1.dll)",
        "[InstallProcess] MoveInstalleFiles(%TEMP%\\server.dll ->%DEST%\\server.dll)",
        "[RunFileAndWait] Download File %URL%runner.exe -> %TEMP%\\runner.exe",
        "[InstallProcess] MoveInstalleFiles(%TEMP%\\r.dll ->%DEST%\\r.dll)", "CDlgDownload::OnSetupComplete"}},
      {{}, statuses({"40", "100", "closed"}),
       {"[DownloadFileList] Manifest signature verified, serial 7", "CDlgDownload::InstallDownloadedFiles",
        "CDlgDownload::OnSetupComplete"}}},
     false, true, -1, {"Dest/a1.dll:a1.dll", "Dest/server.dll", "Dest/r.dll:r.dll", "VelTemp/runner.exe.record"},
     {"key:Signed", "serial:7", "uninstall:S\\a1=%DEST%\\a1.dll", "uninstall:S\\server=%DEST%\\server.dll",
      "uninstall:S\\r=%DEST%\\r.dll"}, true},
    // Refused like a manifest that did not arrive: nothing of it takes effect, no serial is kept.
    {"SignedManifestUnsigned", signedList, signedServed, "%PATH%list.xml.sig status=404\n", "", signedPlaced, {}, "",
     {{{Box(IDS_MANIFEST_FAILED, IDOK)}, {"20", "21", "101", "closed"},
       {"[DownloadFileList] Manifest refused: no signature (%URL%list.xml.sig)"}}},
     false, true, -1, {"Dest/a1.dll:placed", "VelTemp/VelSetup.xml"}, {}, true},
    {"SignedManifestOneByteChanged", signedList, withServed("signed.xml", changedList),
     "%PATH%list.xml.sig signof=%PATH%signed.xml\n", "", signedPlaced, {}, "",
     {{{Box(IDS_MANIFEST_FAILED, IDOK)}, {"20", "21", "101", "closed"}, {notVerified}}},
     false, true, -1, {"Dest/a1.dll:placed", "VelTemp/VelSetup.xml"}, {}, true},
    {"SignedManifestSignatureOfAnother", signedList, withServed("other.xml", SignedList("8", Item("O", ""))),
     "%PATH%list.xml.sig signof=%PATH%other.xml\n", "", signedPlaced, {}, "",
     {{{Box(IDS_MANIFEST_FAILED, IDOK)}, {"20", "21", "101", "closed"}, {notVerified}}},
     false, true, -1, {"Dest/a1.dll:placed", "VelTemp/VelSetup.xml"}, {}, true},
    {"SignedManifestWrongKey", signedList, signedServed, "%PATH%list.xml.sig signwith=other\n", "", signedPlaced, {}, "",
     {{{Box(IDS_MANIFEST_FAILED, IDOK)}, {"20", "21", "101", "closed"}, {notVerified}}},
     false, true, -1, {"Dest/a1.dll:placed", "VelTemp/VelSetup.xml"}, {}, true},
    {"SignedManifestSerialLowerThanAccepted", signedList, signedServed, "", "", signedPlaced, {"serial:9"}, "",
     {{{Box(IDS_MANIFEST_FAILED, IDOK)}, {"20", "21", "101", "closed"},
       {"[DownloadFileList] Manifest refused: serial 7 lower than accepted 9"}}},
     false, true, -1, {"Dest/a1.dll:placed", "VelTemp/VelSetup.xml"}, {"serial:9"}, true},
    {"SignedManifestWithoutSerial", List(signedItems), signedServed, "", "", signedPlaced, {}, "",
     {{{Box(IDS_MANIFEST_FAILED, IDOK)}, {"20", "21", "101", "closed"},
       {"[DownloadFileList] Manifest refused: no valid SERIAL ()"}}},
     false, true, -1, {"Dest/a1.dll:placed", "VelTemp/VelSetup.xml"}, {}, true},
    // Refused after at most two blocks, not read whole.
    {"SignatureTooLarge", signedList, withServed("list.xml.sig", std::string(300000, 's')), "", "", signedPlaced, {}, "",
     {{{Box(IDS_MANIFEST_FAILED, IDOK)}, {"20", "21", "101", "closed"},
       {"[DownloadFileList] Manifest refused: no signature (%URL%list.xml.sig)"}}},
     false, true, -1, {"Dest/a1.dll:placed", "VelTemp/VelSetup.xml"}, {}, true},
    // With a key, the signature vouches for a file only through its hash.
    {"SignedManifestFilesWithoutHashRejected",
     SignedList("7", Item("A", File("a1.dll") + File("r.dll", Sha256(a2) + RunFile("")) + File("a2.dll", Sha256(a2)))),
     {{"a1.dll", a1}, {"a2.dll", a2}, {"r.dll", a2}}, "", "", {}, {}, "",
     {{{}, statuses({"30:100", "40", "100", "closed"}),
       {"[DownloadFileList] Manifest signature verified, serial 7",
        "[GetUpdateInfo] SHA256 do not exist (FileName = a1.dll)",
        "[ParseRunFileElement] RUNSHA256 do not exist (FileName = r.dll)", "CDlgDownload::InstallDownloadedFiles",
        "[InstallProcess] MoveInstalleFiles(%TEMP%\\a2.dll ->%DEST%\\a2.dll)", "CDlgDownload::OnSetupComplete"}}},
     false, true, -1, {"Dest/a2.dll:a2.dll"}, {"serial:7", "uninstall:A\\a2=%DEST%\\a2.dll"}, true},
    // A program without a key reads a manifest with a serial and hashes, unsigned, as before.
    {"KeylessReadsSignedFormUnsigned", signedList, signedServed, "%PATH%list.xml.sig status=404\n", "", {}, {}, "",
     {{{}, statuses({"30:*", "30:*", "30:100", "40", "100", "closed"}),
       {"CDlgDownload::InstallDownloadedFiles",
        "[InstallProcess] MoveInstalleFiles(%TEMP%\\a1.dll ->%DEST%\\a1.dll)",
        "[InstallProcess] MoveInstalleFiles(%TEMP%\\server.dll ->%DEST%\\server.dll)",
        "[RunFileAndWait] Download File %URL%runner.exe -> %TEMP%\\runner.exe",
        "[InstallProcess] MoveInstalleFiles(%TEMP%\\r.dll ->%DEST%\\r.dll)", "CDlgDownload::OnSetupComplete"}}},
     false, true, -1, {"Dest/a1.dll:a1.dll", "Dest/server.dll", "Dest/r.dll:r.dll", "VelTemp/runner.exe.record"},
     {"key:Signed", "uninstall:S\\a1=%DEST%\\a1.dll", "uninstall:S\\server=%DEST%\\server.dll",
      "uninstall:S\\r=%DEST%\\r.dll"}},
    // A file that is not the one the manifest hashed fails like a failed download.
    {"Sha256MismatchPlainFile", List(Item("A", File("a1.dll", Sha256(a2)))), {{"a1.dll", a1}}, "", "", {}, {}, "",
     {{{Box(IDS_DOWNLOAD_FAILED, IDOK)}, statuses({"30:100", "101", "closed"}),
       {"[DownloadInstallFiles] SHA256 (%TEMP%\\a1.dll) (U:" + Sha256Hex(a2) + ") != (L:" + Sha256Hex(a1) + ")"}}},
     false, true, -1, {"Dest/", "VelTemp/"}, {}},
    {"Sha256MismatchExtractedFile", List(Item("Z", FileFrom("server.dll", "server.zip", Sha256(a1)))),
     {{"server.zip", serverZip}}, "", "", {}, {}, "",
     {{{Box(IDS_DOWNLOAD_FAILED, IDOK)}, statuses({"30:100", "101", "closed"}),
       {"[DownloadInstallFiles] SHA256 (%TEMP%\\server.dll) (U:" + Sha256Hex(a1) + ") != (L:" + Sha256Hex(server) +
        ")"}}},
     false, true, -1, {"Dest/", "VelTemp/"}, {}},
    // A run file that is not the one the manifest hashed never runs; its item fails and is undone.
    {"RunSha256Mismatch", List(Item("R", File("r.dll", RunFile(Tag("RUNSHA256", Sha256Hex(a1)))))),
     {{"r.dll", a2}, {"runner.exe", recorder}}, "", "", {}, {}, "",
     {{{Box(IDS_INSTALL_FAILED, IDOK)}, statuses({"30:100", "40", "101", "closed"}),
       {"CDlgDownload::InstallDownloadedFiles", "[RunFileAndWait] Download File %URL%runner.exe -> %TEMP%\\runner.exe",
        "[RunFileAndWait] SHA256 (%TEMP%\\runner.exe) (U:" + Sha256Hex(a1) + ") != (L:" + Sha256Hex(recorder) + ")",
        "[UninstallFile] DeleteFile(%DEST%\\r.dll )"}}},
     false, true, -1, {"Dest/", "VelTemp/r.dll:r.dll"}, {}},
    // A planted copy of the right size (no time or version given) but other bytes is fetched again.
    {"PlantedTempCopyWithWrongHashDownloadedAgain", List(Item("P", File("p.dll", Size(a1) + Sha256(a1)))),
     {{"p.dll", a1}}, "", "", {{"Dest/p.dll", a2}, {"VelTemp/p.dll", Pattern(1000, 'B')}}, {}, "",
     {{{}, statuses({"30:100", "40", "100", "closed"}),
       {"[CreateUpdateList] Temp File SHA256 (%TEMP%\\p.dll) (U:" + Sha256Hex(a1) + ") != (L:" +
            Sha256Hex(Pattern(1000, 'B')) + ")",
        "CDlgDownload::InstallDownloadedFiles", "[InstallProcess] MoveInstalleFiles(%TEMP%\\p.dll ->%DEST%\\p.dll)",
        "CDlgDownload::OnSetupComplete"}}},
     false, true, -1, {"Dest/p.dll:p.dll"}, {"uninstall:P\\p=%DEST%\\p.dll"}},
    // A kept run file of a current version but other bytes is fetched again before it runs.
    {"KeptRunFileWithWrongHashFetchedAgain",
     List(Item("R", File("r.dll", RunFile("<RUNDEST>%ROOT%\\Run</RUNDEST>" + Tag("RUNSHA256", Sha256Hex(recorder)))))),
     {{"r.dll", a2}, {"runner.exe", recorder}}, "", "", {{"Run/runner.exe", v1234}}, {}, "",
     {{{}, statuses({"30:100", "40", "100", "closed"}),
       {"CDlgDownload::InstallDownloadedFiles",
        "[RunFileAndWait] SHA256 (%ROOT%\\Run\\runner.exe) (U:" + Sha256Hex(recorder) + ") != (L:" + Sha256Hex(v1234) +
            ")",
        "[RunFileAndWait] Download File %URL%runner.exe -> %ROOT%\\Run\\runner.exe",
        "[InstallProcess] MoveInstalleFiles(%TEMP%\\r.dll ->%DEST%\\r.dll)", "CDlgDownload::OnSetupComplete"}}},
     false, true, -1, {"Dest/r.dll:r.dll", "Run/runner.exe:runner.exe", "Run/runner.exe.record"},
     {"uninstall:R\\r=%DEST%\\r.dll"}},
    // Another run holds the lock: the waiting run ends as a cancel on a close request, having read
    // and changed nothing.
    {"CloseRequestWhileWaitingForTheLock", twoItems, twoItemsServed, "", "", {}, {}, "",
     {{{Logged("[RunLock] Waiting", Act::kCloseFrame)}, {"20", "101", "closed"},
       {"[RunLock] *"}}},
     false, true, 0, {}, {}, false, true},
    // A copy of the served size planted where the temporary folder leads is not installed: a
    // link is no temporary folder.
    {"TemporaryFolderIsALink", List(Item("A", File("a.dll", Size(a1)))), {{"a.dll", a1}}, "", "",
     {{"Dest/a.dll", "old"}, {"Elsewhere/a.dll", Pattern(a1.size(), 'Z')}}, {}, "",
     {{{Box(IDS_MANIFEST_FAILED, IDOK)}, {"20", "21", "101", "closed"},
       {"[DownloadFileList] Temporary folder is a link or mount point, not used (%TEMP%)"}}},
     false, true, 0, {"Dest/a.dll:placed", "Elsewhere/a.dll:placed", "VelTemp/a.dll"}, {}, false, false, true},
    // The library's own registration fails after every file of its item moved: the item is undone
    // like one whose registration tool cannot start, the other item stays.
    {"RegistrationFailsAfterEveryFileMoved",
     List(Item("Good", File("good.dll")) +
          Item("R", File("failing.dll", Tag("REGISTER", "1") + Tag("CLASSID", VELSETUP_FIXTURE_CLASS_ID)) +
                        File("r2.dll"))),
     {{"good.dll", "G"}, {"failing.dll", failing}, {"r2.dll", a1}}, "", "", {}, {}, "",
     {{{Box(IDS_INSTALL_FAILED, IDOK)},
       statuses({Percent(1, 1 + failing.size() + a1.size()), Percent(1 + failing.size(), 1 + failing.size() + a1.size()),
                 "30:100", "40", "101", "closed"}),
       {"CDlgDownload::InstallDownloadedFiles",
        "[InstallProcess] MoveInstalleFiles(%TEMP%\\good.dll ->%DEST%\\good.dll)",
        "[InstallProcess] MoveInstalleFiles(%TEMP%\\failing.dll ->%DEST%\\failing.dll)",
        "[InstallProcess] MoveInstalleFiles(%TEMP%\\r2.dll ->%DEST%\\r2.dll)",
        "[RegisterServer] RegisterServer(%DEST%\\failing.dll) Failed (Exit Code = *",
        "[UnregisterServer] UnregisterServer(%DEST%\\failing.dll) Success",
        "[UninstallFile] DeleteFile(%DEST%\\failing.dll )",
        "[UninstallFile] DeleteFile(%DEST%\\r2.dll )"}, 101}},
     false, true, -1, {"Dest/good.dll:good.dll", "VelTemp/"}, {"uninstall:Good\\good=%DEST%\\good.dll"}},
    // A run file that cannot be fetched fails its file inside the installation; the item's other
    // file is installed, then undone with it.
    {"RunFileFailsInsideAnInstallation",
     List(Item("Good", File("good.dll")) + Item("R", File("r.dll", RunFile("")) + File("r2.dll"))),
     {{"good.dll", "G"}, {"r.dll", a2}, {"r2.dll", a1}}, "", "", {}, {}, "",
     {{{Box(IDS_INSTALL_FAILED, IDOK)},
       statuses({Percent(1, 4001), Percent(3001, 4001), "30:100", "40", "101", "closed"}),
       {"CDlgDownload::InstallDownloadedFiles",
        "[InstallProcess] MoveInstalleFiles(%TEMP%\\good.dll ->%DEST%\\good.dll)",
        "[RunFileAndWait] Download File %URL%runner.exe -> %TEMP%\\runner.exe",
        "[RunFileAndWait] DownloadFile(%URL%runner.exe) Failed",
        "[InstallProcess] MoveInstalleFiles(%TEMP%\\r2.dll ->%DEST%\\r2.dll)",
        "[UninstallFile] DeleteFile(%DEST%\\r.dll )",
        "[UninstallFile] DeleteFile(%DEST%\\r2.dll )"}, 101}},
     false, true, -1, {"Dest/good.dll:good.dll", "VelTemp/r.dll:r.dll"}, {"uninstall:Good\\good=%DEST%\\good.dll"}},
    // An item undone after one of its files was left for the next start: the replacement is
    // withdrawn and no restart is asked for; after the restart the old file is still there.
    {"UndoneItemCancelsItsReplacementAtTheNextStart",
     List(Item("H", File("held.dll", Tag("VERSION", "40000,1,65535,7") + Tag("REBOOT", "1")) +
                        FileFrom("gone.dll", "gone.cab"))),
     {{"held.dll", v2}, {"gone.cab", "CAB"}}, "", "", heldPlaced, {}, "Dest/held.dll",
     {{{Box(IDS_INSTALL_FAILED, IDOK)},
       statuses({Percent(v2.size(), v2.size() + 3), "30:100", "40", "101", "closed"}),
       {"CDlgDownload::InstallDownloadedFiles", heldLine, inUse,
        "[InstallProcess] MoveInstalleFiles(%TEMP%\\gone.dll ->%DEST%\\gone.dll)",
        "[MoveInstallFiles] Downloaded file missing (%TEMP%\\gone.dll)",
        "[InstallProcess] MoveInstalleFiles Failed, Error Code = 2", "[UninstallFile] DeleteFile(%DEST%\\held.dll )",
        "[UninstalllFile] DeleteFile(%DEST%\\held.dll) Failed*",
        "[CancelReplaceOnReboot] Replacement at the next start cancelled (%TEMP%\\held.dll)",
        "[UninstallFile] DeleteFile(%DEST%\\gone.dll )"}, 101}},
     false, true, -1, {"Dest/held.dll:placed", "VelTemp/held.dll:held.dll", "VelTemp/gone.cab"}, {}, false, false,
     false, true},
    // Started without a control window, as a script does: the exit code is the final status.
    {"ExitCodeIsTheFinalStatus", heldReboot, heldServed, "", "", heldPlaced, {}, "Dest/held.dll",
     {{{Box(IDS_REBOOT_QUESTION, IDNO)}, {},
       {"CDlgDownload::InstallDownloadedFiles", heldLine, inUse, "CDlgDownload::OnSetupComplete"}, 90}},
     false, false, -1, {"Dest/held.dll:placed", "VelTemp/held.dll:held.dll"}, {heldRecord, pending}},
    // Killed (ended from outside, as a power cut ends it) at five moments.
    {"KilledWhileTheManifestDownloads", twoItems, twoItemsServed, "%PATH%list.xml trickle=40 delay=150\n", "", {}, {},
     "", {{{Requested("list.xml", 1, Act::kKill)}, {"20", "21"}, {}}, installTwoRun, nothingTwoRun},
     false, true, -1, twoItemsFiles, twoItemsRecords},
    {"KilledWhileAFileDownloads", twoItems, twoItemsServed, "%PATH%a2.dll trickle=100 delay=100\n", "", {}, {}, "",
     {{{Requested("a2.dll", 2, Act::kKill)}, statuses({Percent(a1.size(), total)}), {}}, installTwoRun, nothingTwoRun},
     false, true, -1, twoItemsFiles, twoItemsRecords},
    {"KilledWhileAnArchiveIsExtracted", zipItems, {{"a1.dll", a1}, {"many.zip", manyZip}}, "", "", {}, {}, "",
     {{{Extracted("e10002.txt", Act::kKill)}, statuses({Percent(a1.size(), zipTotal)}), {}},
      {{}, statuses({Percent(a1.size(), zipTotal), "30:100", "40", "100", "closed"}),
       {abandoned, "CDlgDownload::InstallDownloadedFiles",
        "[InstallProcess] MoveInstalleFiles(%TEMP%\\a1.dll ->%DEST%\\a1.dll)",
        "[InstallProcess] MoveInstalleFiles(%TEMP%\\many.dll ->%DEST%\\many.dll)", "CDlgDownload::OnSetupComplete"},
       100},
      {{}, statuses({"40", "100", "closed"}), nothingToInstall, 100}},
     false, true, -1, {"Dest/a1.dll:a1.dll", "Dest/many.dll", "VelTemp/e*"},
     {"uninstall:A\\a1=%DEST%\\a1.dll", "uninstall:Z\\many=%DEST%\\many.dll"}, false, false, false, false, false,
     0, kEntryDelayMs},
    // The first file moved, the second waits for the answer to end its holder.
    {"KilledBetweenTwoMovesOfOneItem", heldPair, {{"a1.dll", a1}, {"held.dll", v2}}, "", forceDelete, heldPlaced, {},
     "Dest/held.dll",
     {{{Box(IDS_CLOSE_TO_INSTALL, IDNO, -1, Act::kKill)},
       statuses({Percent(a1.size(), a1.size() + v2.size()), "30:100", "40"}),
       {"CDlgDownload::InstallDownloadedFiles",
        "[InstallProcess] MoveInstalleFiles(%TEMP%\\a1.dll ->%DEST%\\a1.dll)", heldLine, inUse, usedBy}},
      {{}, statuses({"30:*", "40", "100", "closed"}),
       {abandoned, "CDlgDownload::InstallDownloadedFiles", heldLine, "CDlgDownload::OnSetupComplete"}, 100},
      {{}, statuses({"40", "100", "closed"}), nothingToInstall, 100}},
     false, true, -1, {"Dest/a1.dll:a1.dll", "Dest/held.dll:held.dll"},
     {"uninstall:H\\a1=%DEST%\\a1.dll", heldRecord}},
    // The server's registration is held at its gate (a file the server renames as it enters).
    {"KilledWhileServersRegister", gatedItems, {{"a1.dll", a1}, {"server.dll", gated}}, "", "", {{"gate", ""}}, {}, "",
     {{{Extracted("..\\gate.entered", Act::kKill)},
       statuses({Percent(a1.size(), gatedTotal), "30:100", "40"}),
       {"CDlgDownload::InstallDownloadedFiles",
        "[InstallProcess] MoveInstalleFiles(%TEMP%\\a1.dll ->%DEST%\\a1.dll)",
        "[InstallProcess] MoveInstalleFiles(%TEMP%\\server.dll ->%DEST%\\server.dll)"}},
      {{}, statuses({"40", "100", "closed"}), afterKill(nothingTwoRun.log), 100}, nothingTwoRun},
     false, true, -1, {"Dest/a1.dll:a1.dll", "Dest/server.dll:server.dll", "gate.entered"},
     {"server=%DEST%\\server.dll", "uninstall:A\\a1=%DEST%\\a1.dll", "uninstall:B\\server=%DEST%\\server.dll"}},
    // "Home" on a disk of 1 MiB that a placed file nearly fills: the file or the unpacked entry
    // does not fit. Nothing is installed and no copy is left; with the space freed the next run
    // installs it.
    {"DiskFullWhileAFileDownloads", bigFile, {{"big.dll", big}}, "", "", filler, {}, "",
     {{{Box(IDS_DOWNLOAD_FAILED, IDOK)}, statuses({"30:*", "101", "closed"}), bigWriteFailed, 101}},
     false, true, -1, {"Dest/", "Small/filler", "Small/VelTemp/"}, {}, false, false, false, false, true},
    {"DiskFullWhileAFileDownloadsThenSpaceFreed", bigFile, {{"big.dll", big}}, "", "", filler, {}, "",
     {{{Box(IDS_DOWNLOAD_FAILED, IDOK)}, statuses({"30:*", "101", "closed"}), bigWriteFailed, 101},
      {{}, statuses({"30:100", "40", "100", "closed"}), bigInstalled, 100, "Small/filler"}},
     false, true, -1, {"Dest/big.dll:big.dll", "Small/"}, {"uninstall:A\\big=%DEST%\\big.dll"}, false, false,
     false, false, true},
    {"DiskFullWhileAnArchiveIsExtracted", bigPacked, {{"big.zip", bigZip}}, "", "", filler, {}, "",
     {{{Box(IDS_DOWNLOAD_FAILED, IDOK)}, statuses({"30:100", "101", "closed"}), bigExtractFailed, 101}},
     false, true, -1, {"Dest/", "Small/filler", "Small/VelTemp/"}, {}, false, false, false, false, true},
    {"DiskFullWhileAnArchiveIsExtractedThenSpaceFreed", bigPacked, {{"big.zip", bigZip}}, "", "", filler, {}, "",
     {{{Box(IDS_DOWNLOAD_FAILED, IDOK)}, statuses({"30:100", "101", "closed"}), bigExtractFailed, 101},
      {{}, statuses({"30:100", "40", "100", "closed"}), bigInstalled, 100, "Small/filler"}},
     false, true, -1, {"Dest/big.dll", "Small/"}, {"uninstall:Z\\big=%DEST%\\big.dll"}, false, false,
     false, false, true},
    // The log crosses its limit during the run and is emptied on the file the run holds open.
    {"LogCrossesItsLimitDuringTheRun", twoItems, twoItemsServed, "", "", {}, {}, "",
     {{{}, statuses({Percent(a1.size(), total), Percent(a1.size() + a2.size(), total), "30:100", "40", "100",
                     "closed"}), installTwo}},
     false, true, -1, twoItemsFiles, twoItemsRecords, false, false, false, false, false, 3145728 - 1000},
    // Another program deletes the log while a question waits: the lines after it go to a new file.
    {"LogDeletedByAnotherProgramDuringTheRun", held, heldServed, "", forceDelete, heldPlaced, {}, "Dest/held.dll",
     {{{Box(IDS_CLOSE_TO_INSTALL, IDYES, -1, Act::kDeleteLog)}, statuses({"30:100", "40", "100", "closed"}),
       {ended, "CDlgDownload::OnSetupComplete"}}},
     false, true, -1, {"Dest/held.dll:held.dll"}, {heldRecord}},
  };
  // clang-format on
}

// ---- The runner ------------------------------------------------------------------------------

// A helper program of a scenario, ended when the scenario ends.
class CHelper {
 public:
  ~CHelper() { End(); }
  bool Start(const std::string& commandLine) {
    m_process = StartProcess(commandLine);
    return static_cast<bool>(m_process);
  }
  // Ends it and waits for its end.
  void End() {
    if (!m_process) return;
    ::TerminateProcess(m_process.Get(), 1);
    ::WaitForSingleObject(m_process.Get(), 30000);
    m_process.Reset();
  }

 private:
  CScopedHandle m_process;
};

// The helper that keeps `path` loaded, started and ready.
bool StartHolder(CHelper& holder, const std::string& path) {
  const std::string eventName = "VelSetupRunHolderReady";
  const CScopedHandle ready(::CreateEventA(nullptr, TRUE, FALSE, eventName.c_str()));
  if (!holder.Start("\"" + g_holder + "\" \"" + path + "\" " + eventName)) return false;
  return ::WaitForSingleObject(ready.Get(), 60000) == WAIT_OBJECT_0;
}

// A second helper keeps `path` open without sharing its deletion, until the file is seen locked.
bool StartLocker(CHelper& locker, const std::string& path) {
  if (!locker.Start("\"" + FixturePath("recorder.exe") + "\" --hold \"" + path + "\" --sleep 600000"))
    return false;
  for (int i = 0; i < 3000; ++i) {
    {
      // Open only for the moment of the test, so that the helper's own opening never meets it.
      const CScopedFile probe(::CreateFileA(path.c_str(), DELETE,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, 0, nullptr));
      if (!probe && ::GetLastError() == ERROR_SHARING_VIOLATION) return true;
    }
    ::Sleep(20);
  }
  return false;
}

struct ProcessWindows {
  DWORD pid;
  HWND box = nullptr;     // a visible message box
  HWND dialog = nullptr;  // the download dialog, visible or not
};

BOOL CALLBACK FindProcessWindows(HWND hwnd, LPARAM lParam) {
  auto* found = reinterpret_cast<ProcessWindows*>(lParam);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(hwnd, &pid);
  char className[16] = {};
  ::GetClassNameA(hwnd, className, sizeof className);
  if (pid != found->pid || lstrcmpA(className, "#32770") != 0) return TRUE;
  if (::GetDlgItem(hwnd, IDC_PROGRESS) != nullptr) {
    found->dialog = hwnd;
  } else if (::IsWindowVisible(hwnd) && ::GetDlgItem(hwnd, 0xFFFF) != nullptr) {
    found->box = hwnd;
  }
  return TRUE;
}

ProcessWindows WindowsOf(DWORD pid) {
  ProcessWindows found;
  found.pid = pid;
  ::EnumWindows(FindProcessWindows, reinterpret_cast<LPARAM>(&found));
  return found;
}

// String `id` of the program's table, its "%s" filled with the holder's description and path.
std::wstring ExpectedBoxText(UINT id) {
  wchar_t buffer[1024] = {};
  ::LoadStringW(::GetModuleHandleW(nullptr), id, buffer, 1024);
  std::wstring text = buffer;
  const std::wstring fills[] = {L"파일을 잡고 있는 프로그램", Widen(g_holder)};
  for (const std::wstring& fill : fills) {
    const size_t at = text.find(L"%s");
    if (at != std::wstring::npos) text.replace(at, 2, fill);
  }
  return text;
}

// "*" in `expected` stands for any run of characters, so that a row names what matters of a line
// whose wording is the program's own (the mark, the file, the program) and nothing else.
bool Matches(const std::string& actual, const std::string& expected) {
  size_t a = 0, e = 0, star = std::string::npos, resume = 0;
  while (a < actual.size()) {
    if (e < expected.size() && expected[e] == '*') {
      star = e++;
      resume = a;
    } else if (e < expected.size() && expected[e] == actual[a]) {
      ++a;
      ++e;
    } else if (star != std::string::npos) {
      e = star + 1;
      a = ++resume;
    } else {
      return false;
    }
  }
  while (e < expected.size() && expected[e] == '*') ++e;
  return e == expected.size();
}

// Compares two sequences, an expected entry ending in "*" giving only the start; a readable
// message when they differ.
std::string Differences(const char* what, const std::vector<std::string>& actual,
                        const std::vector<std::string>& expected) {
  bool same = actual.size() == expected.size();
  for (size_t i = 0; same && i < actual.size(); ++i) same = Matches(actual[i], expected[i]);
  if (same) return "";
  std::string message = std::string(what) + " differ\n  expected:\n";
  for (const std::string& line : expected) message += "    " + line + "\n";
  message += "  actual:\n";
  for (const std::string& line : actual) message += "    " + line + "\n";
  return message;
}

const char* const kLogPrefixes[] = {"CDlgDownload::InstallDownloadedFiles",
                                    "CDlgDownload::OnSetupComplete",
                                    "[InstallProcess]",
                                    "[MoveInstallFiles]",
                                    "[UninstallFile]",
                                    "[UninstalllFile]",
                                    "[RegisterServer]",
                                    "[UnregisterServer]",
                                    "[TerminateProcessesUsingFile]",
                                    "[OnDialogStart]",
                                    "[RunLock]",
                                    "[DownloadFile] User canceled",
                                    "[DownloadInstallFiles] Download Failed",
                                    "[DownloadInstallFiles] Zip Extract Failed",
                                    "[ExtractZipFile]",
                                    "[UndoInstall]",
                                    "[RunFileAndWait]",
                                    "[RegDeleteAllKey]",
                                    "[DownloadFile] InternetOpenUrl",
                                    "[DownloadFile] Redirect",
                                    "[DownloadFileList]",
                                    "[DownloadInstallFiles] SHA256",
                                    "[GetUpdateInfo] SHA256 do not exist",
                                    "[GetUpdateInfo] Invalid SHA256",
                                    "[ParseRunFileElement] RUNSHA256 do not exist",
                                    "[ParseRunFileElement] Invalid RUNSHA256",
                                    "[CreateUpdateList] Temp File SHA256",
                                    "[CancelReplaceOnReboot]",
                                    "[DownloadFile] WriteFile"};

std::vector<std::string> LogOfInterest(const CSetupRun& run) {
  std::vector<std::string> lines;
  for (const std::wstring& wide : run.ReadLogLines()) {
    std::string line = ToAnsi(wide);
    if (line.rfind("[VelSetup]", 0) != 0) continue;
    line.erase(0, 10);
    for (const char* prefix : kLogPrefixes) {
      if (line.rfind(prefix, 0) == 0) {
        lines.push_back(line);
        break;
      }
    }
  }
  return lines;
}

std::vector<std::string> Statuses(const CNotifyWindowStandIn& control) {
  std::vector<std::string> statuses;
  for (const ReceivedNotification& received : control.Received()) {
    if (received.message == WM_SETUP_CLOSED) {
      statuses.push_back("closed");
    } else if (received.wParam == SETUP_STATUS_PROGRESS) {
      statuses.push_back("30:" + std::to_string(received.lParam));
    } else {
      statuses.push_back(std::to_string(received.wParam));
    }
  }
  return statuses;
}

std::vector<std::string> SubkeyNames(HKEY root, const std::string& key) {
  std::vector<std::string> names;
  CScopedRegKey opened;
  if (::RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, opened.Put()) != ERROR_SUCCESS) return names;
  char name[256];
  DWORD size = sizeof name;
  for (DWORD i = 0;
       ::RegEnumKeyExA(opened.Get(), i, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
       ++i, size = sizeof name) {
    names.emplace_back(name, size);
  }
  return names;
}

std::string TextOf(HKEY root, const std::string& key, const char* name) {
  DWORD type = REG_NONE;
  std::string bytes;
  if (!ReadValue(root, key, name, type, bytes)) return "(none)";
  while (!bytes.empty() && bytes.back() == '\0') bytes.pop_back();
  return bytes;
}

void ListKeys(const std::string& key, const std::string& relative, std::vector<std::string>& facts) {
  for (const std::string& name : SubkeyNames(HKEY_CURRENT_USER, key)) {
    facts.push_back("key:" + relative + name);
    ListKeys(key + "\\" + name, relative + name + "\\", facts);
  }
}

bool StartsWithNoCase(const std::string& text, const std::string& start) {
  return text.size() >= start.size() &&
         ::CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, text.c_str(), static_cast<int>(start.size()),
                          start.c_str(), static_cast<int>(start.size())) == CSTR_EQUAL;
}

// "key:<path>" below %KEY%, "serial:<n>" kept for the scenario's manifest, "server=<path>" of the fixture's
// class, "uninstall:<item>\<file>=<FilePath>" and "pending:<source>-><destination>" of the replacements at
// the next start below %ROOT%.
std::vector<std::string> RegistryFacts() {
  std::vector<std::string> facts;
  ListKeys(kTestKey, "", facts);
  const std::string serial = TextOf(HKEY_LOCAL_MACHINE, kSerialStoreKey, kSerialName);
  if (serial != "(none)") facts.push_back("serial:" + serial);
  if (KeyExists(HKEY_CLASSES_ROOT, std::string(kClassKey) + "\\InprocServer32"))
    facts.push_back("server=" +
                    TextOf(HKEY_CLASSES_ROOT, std::string(kClassKey) + "\\InprocServer32", nullptr));
  for (const std::string& item : SubkeyNames(HKEY_LOCAL_MACHINE, kUninstallEntry)) {
    const std::string itemKey = std::string(kUninstallEntry) + "\\" + item;
    for (const std::string& file : SubkeyNames(HKEY_LOCAL_MACHINE, itemKey)) {
      facts.push_back("uninstall:" + item + "\\" + file + "=" +
                      TextOf(HKEY_LOCAL_MACHINE, itemKey + "\\" + file, "FilePath"));
    }
  }
  DWORD type = REG_NONE;
  std::string pending;
  if (ReadValue(HKEY_LOCAL_MACHINE, kSessionManagerKey, "PendingFileRenameOperations", type, pending)) {
    std::vector<std::string> paths;
    for (size_t at = 0; at < pending.size();) {
      const size_t end = pending.find('\0', at);
      paths.push_back(pending.substr(at, end == std::string::npos ? std::string::npos : end - at));
      if (end == std::string::npos) break;
      at = end + 1;
    }
    for (size_t i = 0; i + 1 < paths.size(); i += 2) {
      std::string source = paths[i], destination = paths[i + 1];
      if (!destination.empty() && destination[0] == '!') destination.erase(0, 1);
      if (source.rfind("\\??\\", 0) == 0) source.erase(0, 4);
      if (destination.rfind("\\??\\", 0) == 0) destination.erase(0, 4);
      if (StartsWithNoCase(source, g_root)) facts.push_back("pending:" + source + "->" + destination);
    }
  }
  std::sort(facts.begin(), facts.end());
  return facts;
}

// Files below `folder` as "a/b.txt", and empty folders as "a/".
void ListTree(const std::string& folder, const std::string& relative, std::vector<std::string>& entries) {
  WIN32_FIND_DATAA found;
  const HANDLE find = ::FindFirstFileA((folder + "\\*").c_str(), &found);
  bool empty = true;
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      empty = false;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        ListTree(folder + "\\" + name, relative + name + "/", entries);
      } else {
        entries.push_back(relative + name);
      }
    } while (::FindNextFileA(find, &found));
    ::FindClose(find);
  }
  if (empty && !relative.empty()) entries.push_back(relative);
}

std::string FileDifferences(const Scenario& scenario) {
  std::vector<std::string> actual;
  ListTree(g_root, "", actual);
  std::sort(actual.begin(), actual.end());
  std::string message;
  std::vector<bool> matched(actual.size(), false);
  for (const std::string& expected : scenario.files) {
    const size_t colon = expected.find(':');
    const std::string path = expected.substr(0, colon);
    bool found = false;
    for (size_t i = 0; i < actual.size(); ++i) {
      if (matched[i] || !Matches(actual[i], path)) continue;
      matched[i] = found = true;
      if (path.back() != '*') break;
    }
    if (!found) {
      message += "  missing: " + expected + "\n";
      continue;
    }
    if (colon == std::string::npos) continue;
    const std::string source = expected.substr(colon + 1);
    std::string bytes;
    for (const Served& file : source == "placed" ? scenario.placed : scenario.served) {
      if (source == "placed" ? file.path == path : file.path == source) bytes = file.bytes;
    }
    std::string windowsPath = g_root + "\\" + path;
    std::replace(windowsPath.begin(), windowsPath.end(), '/', '\\');
    if (ReadFileBytes(windowsPath) != bytes) message += "  other content: " + expected + "\n";
  }
  for (size_t i = 0; i < actual.size(); ++i) {
    if (!matched[i]) message += "  unexpected: " + actual[i] + "\n";
  }
  return message.empty() ? "" : "files differ\n" + message;
}

void CleanUp() {
  ::SHDeleteKeyA(HKEY_CURRENT_USER, kTestKey);
  ::SHDeleteKeyA(HKEY_LOCAL_MACHINE, kSerialStoreKey);
  ::SHDeleteKeyA(HKEY_CLASSES_ROOT, kClassKey);
  DeleteUninstallRecords();
  portal::SetFaults("");
  RemoveTree(portal::PathOf(kServed));
}

bool PlaceKey(const std::string& spec) {
  if (spec.compare(0, 7, "serial:") == 0) {  // the serial accepted before from the scenario's manifest
    const std::string value = spec.substr(7);
    return ::SHSetValueA(HKEY_LOCAL_MACHINE, kSerialStoreKey, kSerialName, REG_SZ, value.c_str(),
                         static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
  }
  const HKEY root = spec.compare(0, 5, "HKCR:") == 0 ? HKEY_CLASSES_ROOT : HKEY_CURRENT_USER;
  const std::string rest = Expand(spec.substr(5));
  const size_t equals = rest.find('=');
  CScopedRegKey key;
  if (::RegCreateKeyExA(root, rest.substr(0, equals).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        key.Put(), nullptr) != ERROR_SUCCESS) {
    return false;
  }
  if (equals == std::string::npos) return true;
  const std::string value = rest.substr(equals + 1);
  return ::RegSetValueExA(key.Get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

// One running VelSetup.exe and what the robot has seen of it.
struct CRunState {
  CRunState(const std::string& name, const Run& expected, bool keyed)
      : run(name, keyed ? "VelSetupKeyed.exe" : "VelSetup.exe"), expected(expected) {}
  CSetupRun run;
  CNotifyWindowStandIn control;
  const Run& expected;
  size_t step = 0;
  bool ended = false;
  bool seenVisible = false;
  std::vector<std::string> problems;
};

// The progress window of the running program as a person sees it: its size, its shape, and its
// face with the status line `step.status`, compared with the program's own bitmap.
void CheckProgressWindow(CRunState& state, HWND dialog, const Step& step) {
  RECT window = {};
  if (dialog == nullptr || !::IsWindowVisible(dialog) || !::GetWindowRect(dialog, &window)) {
    state.problems.push_back(step.artifact + ": no progress window shown");
    return;
  }
  if (window.right - window.left != face::kWidth || window.bottom - window.top != face::kWindowHeight) {
    state.problems.push_back(step.artifact + ": the window is " + std::to_string(window.right - window.left) +
                             " x " + std::to_string(window.bottom - window.top));
  }
  CScopedGdiObject regionOwner(::CreateRectRgn(0, 0, 0, 0));
  const auto region = static_cast<HRGN>(regionOwner.Get());
  if (::GetWindowRgn(dialog, region) != COMPLEXREGION || ::PtInRegion(region, 0, 0) ||
      !::PtInRegion(region, face::kWidth / 2, face::kHeight / 2)) {
    state.problems.push_back(step.artifact + ": the window is not shaped");
  }
  const CScopedModule program(
      ::LoadLibraryExA((state.run.Folder() + "\\VelSetup.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  const CImage expected = face::Expected(program.Get(), step.status);
  // The window paints a moment after its status changed; on a loaded machine, a long moment.
  CImage shot;
  std::vector<std::string> mismatches;
  for (const DWORD start = ::GetTickCount();; ::Sleep(25)) {
    shot = GrabWindow(dialog);
    mismatches = face::Mismatches(dialog, region, shot, expected);
    if (mismatches.empty() || ::GetTickCount() - start > 3000) break;
  }
  SaveBmp(shot, ArtifactPath("run\\" + step.artifact + ".bmp"));
  if (!mismatches.empty()) {
    state.problems.push_back(step.artifact + ": " + std::to_string(mismatches.size()) +
                             " pixels differ, first " + mismatches.front());
  }
  if (face::StatusLine(shot, face::Expected(program.Get(), L"")).pixels <= 40)
    state.problems.push_back(step.artifact + ": the status line is empty");
}

bool StepReached(const Step& step, size_t requestLogStart, const CSetupRun& run) {
  if (!step.logged.empty()) {
    for (const std::string& line : LogOfInterest(run)) {
      if (line.rfind(step.logged, 0) == 0) return true;
    }
    return false;
  }
  if (step.count > 0) {
    const std::string log = portal::RequestLog().substr(requestLogStart);
    const std::string target = "/" + std::string(kServed) + step.file + " ";
    int seen = 0;
    for (size_t at = log.find(target); at != std::string::npos; at = log.find(target, at + 1)) ++seen;
    return seen >= step.count;
  }
  return FileIsPresent(g_home + "\\VelTemp\\" + step.file);
}

// Ends `pid` and the processes it started (and theirs), each by its identifier, as a power cut
// ends them all at once.
void EndProcessTree(DWORD pid) {
  std::vector<DWORD> tree = {pid};
  const CScopedHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  std::vector<PROCESSENTRY32> processes;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32First(snapshot.Get(), &entry); more;
       more = ::Process32Next(snapshot.Get(), &entry))
    processes.push_back(entry);
  for (size_t i = 0; i < tree.size(); ++i) {
    for (const PROCESSENTRY32& process : processes) {
      if (process.th32ParentProcessID == tree[i] && process.th32ProcessID != tree[i])
        tree.push_back(process.th32ProcessID);
    }
  }
  for (const DWORD member : tree) {
    const CScopedHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, member));
    if (!process) continue;
    ::TerminateProcess(process.Get(), 1);
    ::WaitForSingleObject(process.Get(), 30000);
  }
}

void Perform(CRunState& state, const Step& step, const ProcessWindows& windows, CHelper& holder,
             CHelper& locker) {
  switch (step.act) {
    case Act::kNone:
      break;
    case Act::kCancel:
      if (windows.dialog != nullptr) robot::PressButton(windows.dialog, IDCANCEL);
      break;
    case Act::kEscape:
      ::PostMessageA(windows.dialog, WM_KEYDOWN, VK_ESCAPE, 0);
      break;
    case Act::kCloseFrame:
      ASSERT_FALSE(state.control.Received().empty());
      ::PostMessageA(reinterpret_cast<HWND>(state.control.Received()[0].lParam), WM_CLOSE, 0, 0);
      break;
    case Act::kEndHolder:
      holder.End();
      break;
    case Act::kLockCopy:
      EXPECT_TRUE(StartLocker(locker, g_root + "\\VelTemp\\" + step.file));
      break;
    case Act::kScreenshot:
      CheckProgressWindow(state, windows.dialog, step);
      break;
    case Act::kKill:
      EndProcessTree(state.run.Pid());
      holder.End();
      break;
    case Act::kDeleteLog:
      if (!::DeleteFileA(state.run.LogPath().c_str()))
        state.problems.push_back("the log could not be deleted: " + std::to_string(::GetLastError()));
      break;
  }
}

void AnswerBox(CRunState& state, const Step* step, HWND box, const ProcessWindows& windows, CHelper& holder,
               CHelper& locker) {
  const robot::ShownDialog shown = robot::Describe(box);
  if (step == nullptr || step->box == 0) {
    state.problems.push_back("unexpected message box: " + ToAnsi(shown.text));
    robot::PressButton(box, ::GetDlgItem(box, IDNO) != nullptr ? IDNO : IDOK);
    return;
  }
  if (shown.text != ExpectedBoxText(step->box) || shown.title != kAppTitle)
    state.problems.push_back("message box " + std::to_string(step->box) + " shows: " + ToAnsi(shown.text));
  if (step->visible >= 0 &&
      (windows.dialog != nullptr && ::IsWindowVisible(windows.dialog)) != (step->visible == 1)) {
    state.problems.push_back("dialog visibility at box " + std::to_string(step->box) + " is not " +
                             std::to_string(step->visible));
  }
  if (step->barAtEnd) {
    const LRESULT upper = ::SendDlgItemMessageA(windows.dialog, IDC_PROGRESS, PBM_GETRANGE, FALSE, 0);
    const LRESULT position = ::SendDlgItemMessageA(windows.dialog, IDC_PROGRESS, PBM_GETPOS, 0, 0);
    if (upper <= 65535 || position != upper) {
      state.problems.push_back("progress bar at " + std::to_string(position) + " of " +
                               std::to_string(upper));
    }
  }
  Perform(state, *step, windows, holder, locker);
  if (step->act != Act::kKill) robot::PressButton(box, step->press);
  ++state.step;
}

// The served list.xml is the manifest unless the scenario's elements begin with a SOURCE.
std::string ArgumentsOf(const Scenario& scenario, const CRunState& state) {
  const std::string own = Expand(scenario.param);
  const std::string source =
      own.rfind("<SOURCE>", 0) == 0 ? "" : "<SOURCE>" + Expand("%URL%") + "list.xml</SOURCE>";
  std::string param = "<PARAM>" + source + "<MODE>velsetup</MODE>" + own + "</PARAM>";
  std::string arguments = "-x \"" + param + "\"";
  if (scenario.notify) arguments += " -w " + state.control.HandleArgument();
  return arguments;
}

// Starts the runs (together, or each after the one before), answers them, and returns them ended.
void Drive(const Scenario& scenario, std::vector<std::unique_ptr<CRunState>>& states, CHelper& holder,
           CHelper& locker) {
  const size_t requestLogStart = portal::RequestLog().size();
  for (size_t i = 0; i < scenario.runs.size(); ++i) {
    states.push_back(
        std::make_unique<CRunState>(std::string("WholeRun-") + scenario.name + "-" + std::to_string(i),
                                    scenario.runs[i], scenario.keyed));
  }
  const DWORD start = ::GetTickCount();
  for (size_t next = 0; next < states.size();) {
    // Runs started together are driven in one loop; otherwise each runs alone.
    const size_t first = next, last = scenario.together ? states.size() : next + 1;
    for (size_t i = first; i < last; ++i) {
      if (!scenario.runs[i].freed.empty()) ::DeleteFileA(Expand("%ROOT%\\" + scenario.runs[i].freed).c_str());
      if (scenario.logBefore > 0) {
        ASSERT_TRUE(WriteFileBytes(states[i]->run.LogPath(), std::string(scenario.logBefore, 'a')));
      }
      ASSERT_TRUE(states[i]->run.Start(ArgumentsOf(scenario, *states[i])));
    }
    std::set<HWND> answered;
    for (bool running = true; running;) {
      ASSERT_LT(::GetTickCount() - start, kRunLimitMs) << "a run did not end";
      running = false;
      for (size_t i = first; i < last; ++i) {
        CRunState& state = *states[i];
        if (state.ended || (state.ended = state.run.WaitForExit(0))) continue;
        running = true;
        const ProcessWindows windows = WindowsOf(state.run.Pid());
        if (windows.dialog != nullptr && ::IsWindowVisible(windows.dialog)) state.seenVisible = true;
        const Step* step =
            state.step < state.expected.steps.size() ? &state.expected.steps[state.step] : nullptr;
        if (windows.box != nullptr && answered.insert(windows.box).second) {
          AnswerBox(state, step, windows.box, windows, holder, locker);
        } else if (step != nullptr && step->box == 0 && StepReached(*step, requestLogStart, state.run)) {
          Perform(state, *step, windows, holder, locker);
          ++state.step;
        }
      }
      PumpMessagesFor(20);
    }
    PumpMessagesFor(200);  // what was posted before the end
    next = last;
  }
}

// What differs between a run and what one of the scenario's runs expects.
std::string RunDifferences(const Scenario& scenario, const CRunState& state, const Run& expected) {
  std::string message;
  for (const std::string& problem : state.problems) message += problem + "\n";
  if (state.step != expected.steps.size())
    message += "only " + std::to_string(state.step) + " of " + std::to_string(expected.steps.size()) +
               " steps came\n";
  message += Differences("statuses", Statuses(state.control), expected.statuses);
  if (expected.exit >= 0 && state.run.ExitCode() != static_cast<DWORD>(expected.exit))
    message += "exit code " + std::to_string(state.run.ExitCode()) + "\n";
  std::vector<std::string> log;
  for (const std::string& line : expected.log) log.push_back(Expand(line));
  message += Differences("log lines", LogOfInterest(state.run), log);
  // Each line of the log also went to the debugger output: the log holds the run's last lines
  // where it was deleted or emptied during the run. A killed run may end between the two.
  const std::string heard = g_monitor->OutputOf(state.run.Pid()), logged = state.run.ReadLogBytes();
  if (!expected.Killed() &&
      (heard.size() < logged.size() || heard.compare(heard.size() - logged.size(), logged.size(), logged)))
    message += "the debugger output (" + std::to_string(heard.size()) + " bytes) does not end with the log\n";
  if (scenario.shown >= 0 && state.seenVisible != (scenario.shown == 1))
    message += std::string("the dialog was ") + (state.seenVisible ? "" : "never ") + "shown\n";
  if (scenario.logBefore > 0) {
    // Emptied once the run's own lines took it past the limit: no filler, and no start line left.
    const std::string bytes = state.run.ReadLogBytes();
    const std::vector<std::wstring> lines = state.run.ReadLogLines();
    if (bytes.size() >= scenario.logBefore || bytes.find('a') == 0 || lines.empty() ||
        lines[0].find(L"===== Start [") != std::wstring::npos) {
      message += "the log was not emptied during the run (" + std::to_string(bytes.size()) + " bytes)\n";
    }
  }
  return message;
}

// Runs a program of the machine under Wine (such as /bin/ln) and waits until `done` holds: the
// program is not a Windows process that could be waited for.
bool RunUnixCommand(const std::string& commandLine, const std::function<bool()>& done) {
  // Wine starts it without a process handle: only `done` tells.
  StartProcess(commandLine);
  for (int i = 0; i < 1500 && !done(); ++i) ::Sleep(20);
  return done();
}

// The machine's own path of `path`, through Wine's own export; empty when there is none.
std::string UnixPath(const std::string& path) {
  using Convert = char*(CDECL*)(const wchar_t*);
  const auto convert =
      GetProcAddressAs<Convert>(::GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name");
  char* converted = convert != nullptr ? convert(Widen(path).c_str()) : nullptr;
  if (converted == nullptr) return {};
  std::string unix = converted;
  ::HeapFree(::GetProcessHeap(), 0, converted);
  return unix;
}

bool IsLink(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// A file system of 1 MiB (tmpfs, mounted by the machine's mount, which needs root) on a folder,
// unmounted when the owner goes.
class CSmallDisk {
 public:
  CSmallDisk() = default;
  CSmallDisk(const CSmallDisk&) = delete;
  CSmallDisk& operator=(const CSmallDisk&) = delete;
  ~CSmallDisk() {
    // Detached at once even while Wine still holds a handle in it; gone when the last one closes.
    if (!m_unix.empty()) RunUnixCommand("/bin/umount -l \"" + m_unix + "\"", [&] { return !IsSmall(); });
  }
  bool Mount(const std::string& folder) {
    // Where one mount failed (no root), the others are not tried for half a minute each.
    static bool s_failed = false;
    if (s_failed) return false;
    m_folder = folder;
    ::CreateDirectoryA(folder.c_str(), nullptr);
    const std::string unix = UnixPath(folder);
    if (unix.empty()) return false;
    m_unix = unix;
    if (RunUnixCommand("/bin/mount -t tmpfs -o size=1m tmpfs \"" + unix + "\"", [&] { return IsSmall(); }))
      return true;
    m_unix.clear();
    s_failed = true;
    return false;
  }

 private:
  bool IsSmall() const {
    ULARGE_INTEGER total = {};
    return ::GetDiskFreeSpaceExA((m_folder + "\\").c_str(), nullptr, &total, nullptr) &&
           total.QuadPart <= 2 * 1024 * 1024;
  }
  std::string m_folder, m_unix;
};

class WholeRunTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(portal::Available()) << "run inside the harness session"; }
  CCleanSetupRegistry m_registry;
};

// What a row changes outside its folder, cleaned before and after it.
struct CRowCleanUp {
  CRowCleanUp() { CleanUp(); }
  ~CRowCleanUp() { CleanUp(); }
};

// The link %TEMP% made by the machine's ln, removed by its rm.
struct CTempLink {
  ~CTempLink() {
    if (!made) return;
    EXPECT_TRUE(RunUnixCommand("/bin/rm \"" + unixLink + "\"", [&] { return !FileIsPresent(link); }));
  }
  std::string link, unixLink;
  bool made = false;
};

// A row that cannot be set up fails and the next one runs; the owners put back what it changed.
TEST_F(WholeRunTest, Table) {
  g_holder = TestBinaryFolder() + "\\velsetup_holder.exe";
  CDebugMonitor monitor;
  ASSERT_TRUE(monitor.Listening()) << "another program listens to the debugger output";
  g_monitor = &monitor;
  // VELSETUP_WHOLE_RUN_ROWS=<text> runs only the rows whose names hold it.
  const char* only = std::getenv("VELSETUP_WHOLE_RUN_ROWS");
  for (const Scenario& scenario : Scenarios()) {
    if (only != nullptr && std::strstr(scenario.name, only) == nullptr) continue;
    SCOPED_TRACE(scenario.name);
    const CTestFolder root("velsetup-run");
    g_root = g_home = root.Path();
    // The gated server waits while this file exists.
    const CScopedEnvironment gate("VELSETUP_SERVER_GATE", g_root + "\\gate");
    CSmallDisk small;
    if (scenario.smallDisk) {
      if (!small.Mount(g_root + "\\Small")) {
        std::printf("[  SKIPPED ] %s: no file system of 1 MiB can be mounted here (mount needs root)\n",
                    scenario.name);
        continue;
      }
      g_home = g_root + "\\Small";
    }
    CSavedRegistryValue home(HKEY_CURRENT_USER, "SOFTWARE\\Orbina.Com\\KOREAN", "Home");
    home.SetText(g_home);
    const CSavedRegistryValue pending(HKEY_LOCAL_MACHINE, kSessionManagerKey, "PendingFileRenameOperations");
    const CRowCleanUp cleanUp;
    const CScopedEnvironment entryDelay("VELSETUP_TEST_ENTRY_DELAY_MS",
                                        std::to_string(scenario.entryDelayMs));
    // Served manifests (.xml) are written out like the scenario's own.
    for (const Served& file : scenario.served) {
      const bool xml = file.path.size() > 4 && file.path.compare(file.path.size() - 4, 4, ".xml") == 0;
      portal::Put(kServed + file.path, xml ? Expand(file.bytes) : file.bytes);
    }
    if (scenario.manifest != kNotServed)
      portal::Put(std::string(kServed) + "list.xml", Expand(scenario.manifest));
    portal::SetFaults(Expand(scenario.faults));
    bool placed = true;
    for (const Served& file : scenario.placed) {
      std::string path = g_root + "\\" + file.path;
      std::replace(path.begin(), path.end(), '/', '\\');
      ::CreateDirectoryA(path.substr(0, path.rfind('\\')).c_str(), nullptr);
      placed = WriteFileBytes(path, file.bytes) && placed;
    }
    for (const std::string& key : scenario.keys) placed = PlaceKey(key) && placed;
    // Wine's own links cannot be made from Windows: the machine's ln makes one, rm removes it.
    CTempLink temp{g_root + "\\VelTemp", UnixPath(g_root) + "/VelTemp"};
    if (scenario.tempIsLink) {
      temp.made =
          RunUnixCommand("/bin/ln -s Elsewhere \"" + temp.unixLink + "\"", [&] { return IsLink(temp.link); });
      placed = temp.made && placed;
    }

    {
      CHelper holder, locker;
      std::string held = g_root + "\\" + scenario.hold;
      std::replace(held.begin(), held.end(), '/', '\\');
      if (!scenario.hold.empty()) placed = StartHolder(holder, held) && placed;
      CScopedHandle lock;
      // A run killed while it holds the lock leaves it abandoned only while somebody else keeps
      // it open, as a run waiting for it does; otherwise the lock goes with the killed run.
      const bool kills = std::any_of(scenario.runs.begin(), scenario.runs.end(),
                                     [](const auto& run) { return run.Killed(); });
      if (kills) lock.Reset(::CreateMutexA(nullptr, FALSE, kRunLockName));
      if (scenario.lockHeld) {
        lock.Reset(::CreateMutexA(nullptr, TRUE, kRunLockName));
        placed = lock && placed;
      }
      if (!placed) {
        ADD_FAILURE() << "the row cannot be set up";
        continue;
      }
      std::vector<std::unique_ptr<CRunState>> states;
      Drive(scenario, states, holder, locker);
      if (lock) ::ReleaseMutex(lock.Get());
      // Runs started together may have taken their turns in either order.
      std::string message;
      for (size_t i = 0; i < states.size(); ++i)
        message += RunDifferences(scenario, *states[i], scenario.runs[i]);
      if (!message.empty() && scenario.together && states.size() == 2) {
        const std::string swapped = RunDifferences(scenario, *states[0], scenario.runs[1]) +
                                    RunDifferences(scenario, *states[1], scenario.runs[0]);
        if (swapped.empty()) message.clear();
      }
      EXPECT_EQ(message, "");
    }
    if (scenario.restart) {
      EXPECT_TRUE(RestartPrefix()) << "wineboot -r";
    }
    EXPECT_EQ(FileDifferences(scenario), "");
    std::vector<std::string> registry;
    for (const std::string& fact : scenario.registry) registry.push_back(Expand(fact));
    std::sort(registry.begin(), registry.end());
    EXPECT_EQ(Differences("registry facts", RegistryFacts(), registry), "");
  }
}

}  // namespace
