// One table of update runs inside this process: a manifest and files served by the portal, files
// placed before the run, the update list the dialog builds and, for rows with messages, the
// download pass on a worker thread with a stand-in for the dialog. Texts may use %DEST% (the
// destination folder), %TEMP% (the temporary folder), %URL% (the served folder) and %KEY% (a
// throwaway key below HKEY_CURRENT_USER).
#include <windows.h>

#include <shellapi.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "AppMessages.h"
#include "DlgDownload.h"
#include "DownloadPass.h"
#include "EngineTestSupport.h"
#include "Folders.h"
#include "LogCapture.h"
#include "ManifestText.h"
#include "NotifyWindow.h"
#include "Portal.h"
#include "Pump.h"
#include "SetupLog.h"
#include "SetupRun.h"
#include "TemporaryFolder.h"
#include "TestRegistry.h"
#include "UninstallRecords.h"
#include "Util.h"

namespace {

constexpr char kServed[] = "orbina/velsetup/upd/";
constexpr char kTestKey[] = "Software\\VelSetupTest\\Update";
constexpr char kHomeKey[] = "SOFTWARE\\Orbina.Com\\KOREAN";  // its "Home" places the temporary folder
const std::string kNotServed = "\x01";

struct Placed {  // "dest/<name>" or "temp/<name>"; time: local "year,month,day,hour,minute,second"
  std::string path, bytes;
  const char* time = nullptr;
};
struct Served {
  std::string path, bytes;
};
enum Flags { kNone = 0, kToolMissing = 1, kCancelAtExtract = 2, kTempBlocked = 4 };

struct RunCase {
  const char* name;
  std::string manifest;  // kNotServed: the manifest URL answers 404
  std::vector<Placed> placed;
  std::vector<Served> served;
  std::string faults;  // portal rules; %PATH% is the served folder's path
  int flags;
  const char* listed;                 // "A[a.dll,b.dll*]" ("*": ready); null: no list was built
  std::vector<std::string> messages;  // of the pass, "{size:a+b}" for served sizes; empty: no pass
  std::vector<std::string> files;     // afterwards, below the test folder
  std::vector<std::string> registry;  // afterwards: "name=data" below %KEY%, "uninstall:item\file"
  std::vector<std::string> log;       // the pass's lines, or without a pass the list's
  // What the system reports of the temporary folder; other than kAsFound, `log` holds the
  // manifest's lines too.
  enum class Folder { kAsFound, kOpenToOthers, kForeignOwner, kLink } folder = Folder::kAsFound;
};
using Folder = RunCase::Folder;

// The temporary folder's facts for a row's kind: what Wine cannot report.
Folder g_folder = Folder::kAsFound;
bool ReportFolder(const char*, CFolderFacts& facts) {
  facts = CFolderFacts();
  facts.isLink = g_folder == Folder::kLink;
  facts.owner = g_folder == Folder::kForeignOwner ? EAccount::kOther : EAccount::kAdministrators;
  facts.hasList = true;
  facts.entries = {{true, EAccount::kAdministrators, FILE_ALL_ACCESS},
                   {true, EAccount::kOther, g_folder == Folder::kOpenToOthers ? FILE_GENERIC_WRITE : 0u}};
  return true;
}

std::string Expand(std::string text, const std::string& root) {
  const std::pair<std::string, std::string> macros[] = {
      {"%DEST%", root + "\\Dest"},
      {"%TEMP%", SystemFolders().m_strTempFolder},
      {"%URL%", std::string("http://update.orbina.com/") + kServed},
      {"%PATH%", std::string("/") + kServed},
      {"%KEY%", kTestKey}};
  for (const auto& [from, to] : macros) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
      text.replace(at, from.size(), to);
    }
  }
  return text;
}

// "{size:a+b}" replaced by the sum of the served files' sizes.
std::string WithSizes(std::string text, const std::vector<Served>& served) {
  const size_t open = text.find("{size:");
  if (open == std::string::npos) return text;
  const size_t close = text.find('}', open);
  const std::string names = "+" + text.substr(open + 6, close - open - 6) + "+";
  size_t total = 0;
  for (const Served& file : served)
    total += names.find("+" + file.path + "+") != std::string::npos ? file.bytes.size() : 0;
  return text.replace(open, close + 1 - open, std::to_string(total));
}

std::string FileFrom(const std::string& name, const std::string& source, const std::string& body = "") {
  return "<FILE NAME='" + name + "'><SOURCE>%URL%" + source + "</SOURCE><DEST>%DEST%</DEST>" + body +
         "</FILE>";
}
std::string File(const std::string& name, const std::string& body = "") { return FileFrom(name, name, body); }
std::string Item(const std::string& name, const std::string& body, const std::string& mode = "velsetup",
                 const std::string& attributes = "") {
  return "<UPDATEITEM NAME='" + name + "'" + attributes + "><MODE NAME='" + mode + "'/>" + body +
         "</UPDATEITEM>";
}
std::string List(const std::string& items) { return "<UPDATELIST>" + items + "</UPDATELIST>"; }
std::string Tag(const char* name, const std::string& text) {
  return std::string("<") + name + ">" + text + "</" + name + ">";
}
std::string AddReg(const std::string& name, const std::string& value) {
  return "<ADDREG TYPE='string'><ROOT>HKCU</ROOT><KEY>%KEY%</KEY>" + Tag("VALUE_NAME", name) +
         Tag("VALUE", value) + "</ADDREG>";
}
std::string DelReg(const std::string& name) {
  return "<DELREG><ROOT>hkcu</ROOT><KEY>%KEY%</KEY>" + Tag("VALUE_NAME", name) + "</DELREG>";
}

std::string DamagedZip() {
  std::string bytes = ZipBytes({{"a.dll", "AAAAAAAA"}, {"b.txt", "BB"}}, true);
  bytes[bytes.find("AAAAAAAA") + 3] = 'B';  // the stored data no longer matches its CRC
  return bytes;
}

std::string Pattern(size_t count) {
  std::string bytes(count, '\0');
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>('a' + i % 26);
  return bytes;
}

std::vector<RunCase> Cases() {
  const std::string v1234 = ReadFileBytes(FixturePath("version_1_2_3_4.dll"));
  const std::string v2000 = ReadFileBytes(FixturePath("version_2_0_0_0.exe"));
  const std::string server = ReadFileBytes(FixturePath("com_server.dll"));
  const std::string v2 = Tag("VERSION", "2,0,0,0");
  const char* time = "2007,7,18,10,20,30";
  const std::string older = "[CheckUpdate] FileVersion (%DEST%\\a.dll) (U:131072:0) != (L:65538:196612)";
  const char* missingA = "[CreateUpdateList] File do not exist (%DEST%\\a.dll)";
  const char* currentA = "[CreateUpdateList] do not need to update file (%DEST%\\a.dll)";
  const char* copyA = "[CreateUpdateList] Temp File exist (%TEMP%\\a.dll)";
  const char* itemA = "[CreateUpdateList] UpdateItem = A";
  const char* recordA = "uninstall:A\\a";
  const char* set = "CUpdateSet::DownloadInstallFiles";
  const auto got = [](const std::string& url, const std::string& copy) {
    return std::vector<std::string>{
        "[DownloadInstallFiles] Download File %URL%" + url + " -> %TEMP%\\" + copy,
        "[DownloadInstallFiles] Download Succeed (%URL%" + url + ")"};
  };
  const auto lost = [](const std::string& url) {
    return std::vector<std::string>{"[DownloadInstallFiles] Download File %URL%" + url + " -> %TEMP%\\" + url,
                                    "[DownloadInstallFiles] Download Failed (%URL%" + url + ")"};
  };
  const auto lines = [](std::initializer_list<std::vector<std::string>> groups) {
    std::vector<std::string> all;
    for (const auto& group : groups) all.insert(all.end(), group.begin(), group.end());
    return all;
  };
  const std::string zipA = FileFrom("a.dll", "a.zip");
  const std::vector<std::string> zipFailed =
      lines({{set}, got("a.zip", "a.zip"), {"[DownloadInstallFiles] Zip Extract Failed (%TEMP%\\a.zip)"}});
  const std::vector<std::string> fetchOnly = {"total={size:a.zip}", "size={size:a.zip}", "url=a.zip",
                                              "file=1/1", "done=1"};
  // clang-format off
  return {
    // Update list: name, manifest, placed, served, faults, flags, listed, messages, files, registry,
    // log
    {"ModeLetterCaseAsideUnselectedEditsSkipped",
     List(Item("A", File("a.dll") + AddReg("a", "1"), "VelSetup") +
          Item("B", AddReg("b", "2") + DelReg("a"), "x")),
     {}, {}, "", kNone, "A[a.dll]", {}, {}, {"a=1"}, {missingA, itemA}},
    {"EditsInDocumentOrder",
     List(Item("A", AddReg("v", "1") + File("a.dll") + DelReg("v") + AddReg("w", "2"))),
     {}, {}, "", kNone, "A[a.dll]", {}, {}, {"w=2"}, {missingA, itemA}},
    {"NoneSelectedStillSucceeds", List(Item("A", File("a.dll"), "other")),
     {}, {}, "", kNone, "", {}, {}, {}, {}},
    {"NoUpdateListKeepsTheCopy", "<X><UPDATEITEM/></X>",
     {}, {}, "", kNone, nullptr, {}, {"VelTemp/VelSetup.xml"}, {},
     {"[CreateUpdateList] Invalid XML File (UPDATELIST do not exist)"}},
    {"ManifestMissingRemovesAnOldCopy", kNotServed,
     {{"temp/VelSetup.xml", List("")}}, {}, "", kNone, nullptr, {}, {}, {}, {}},
    {"SizeDiffers", List(Item("A", File("a.dll", Tag("FILESIZE", "6")))),
     {{"dest/a.dll", "hello"}}, {}, "", kNone, "A[a.dll]", {}, {"Dest/a.dll"}, {recordA},
     {"[CheckUpdate] FileSize (%DEST%\\a.dll) (U:6) != (L:5)", itemA}},
    {"SizeWinsOverNewerVersion", List(Item("A", File("a.dll", Tag("FILESIZE", "1") + Tag("VERSION", "1")))),
     {{"dest/a.dll", v2000}}, {}, "", kNone, "A[a.dll]", {}, {"Dest/a.dll"}, {recordA},
     {"[CheckUpdate] FileSize (%DEST%\\a.dll) (U:1) != (L:" + std::to_string(v2000.size()) + ")", itemA}},
    {"EqualTimeIsCurrent", List(Item("A", File("a.dll", Tag("FILETIME", time)))),
     {{"dest/a.dll", "x", time}}, {}, "", kNone, "A[]", {}, {"Dest/a.dll"}, {recordA}, {currentA, itemA}},
    {"TimeWinsOverNewerVersion", List(Item("A", File("a.dll", Tag("FILETIME", "2007,7,18,10,20,31") + v2))),
     {{"dest/a.dll", v2000, time}}, {}, "", kNone, "A[a.dll]", {}, {"Dest/a.dll"}, {recordA},
     {"[CDlgDownload::CheckUpdate] FileTime (%DEST%\\a.dll) (U:2007.7.18 10:20:31) != "
      "(L:2007.7.18 10:20:30)", itemA}},
    {"EqualTimeOlderVersion", List(Item("A", File("a.dll", Tag("FILETIME", time) + v2))),
     {{"dest/a.dll", v1234, time}}, {}, "", kNone, "A[a.dll]", {}, {"Dest/a.dll"}, {recordA},
     {older, itemA}},
    {"StaleWithCurrentCopyIsReady", List(Item("A", File("a.dll", v2))),
     {{"dest/a.dll", v1234}, {"temp/a.dll", v2000}}, {}, "", kNone, "A[a.dll*]", {},
     {"Dest/a.dll", "VelTemp/a.dll"}, {recordA}, {older, copyA, itemA}},
    {"StaleCopyIsDeleted", List(Item("A", File("a.dll", v2))),
     {{"dest/a.dll", v1234}, {"temp/a.dll", v1234}}, {}, "", kNone, "A[a.dll]", {}, {"Dest/a.dll"},
     {recordA}, {older, copyA, older, itemA}},
    {"CutShortCopyIsStale", List(Item("A", File("a.dll", v2))),
     {{"dest/a.dll", v1234}, {"temp/a.dll", v2000.substr(0, 512)}}, {}, "", kNone, "A[a.dll]", {},
     {"Dest/a.dll"}, {recordA},
     {older, copyA, "[CheckUpdate] FileVersion (%DEST%\\a.dll) (U:131072:0) != (L:unreadable)", itemA}},
    {"MissingIsFetchedDespiteACurrentCopy", List(Item("A", File("a.dll", v2))),
     {{"temp/a.dll", v2000}}, {}, "", kNone, "A[a.dll]", {}, {"VelTemp/a.dll"}, {}, {missingA, itemA}},
    {"SecondNameIsDuplicate", List(Item("A", File("a.dll") + File("A.DLL"))),
     {}, {}, "", kNone, "A[a.dll]", {}, {}, {},
     {missingA, "[CreateUpdateList] already exist In update array(A.DLL)",
      "[CreateUpdateList] File do not exist (%DEST%\\A.DLL)", itemA}},
    {"NoDuplicateOfACurrentFile",
     List(Item("A", File("a.dll", Tag("FILESIZE", "5")) + File("A.DLL", Tag("FILESIZE", "6")))),
     {{"dest/a.dll", "hello"}}, {}, "", kNone, "A[A.DLL]", {}, {"Dest/a.dll"}, {recordA},
     {currentA, "[CheckUpdate] FileSize (%DEST%\\A.DLL) (U:6) != (L:5)", itemA}},
    // The names differ only in a trail byte that is a Latin letter.
    {"DoubleByteNamesAreNoDuplicates", List(Item("A", File("\xB0\x41.dll") + File("\xB0\x61.dll"))),
     {}, {}, "", kNone, "A[\xB0\x41.dll,\xB0\x61.dll]", {}, {}, {},
     {"[CreateUpdateList] File do not exist (%DEST%\\\xB0\x41.dll)",
      "[CreateUpdateList] File do not exist (%DEST%\\\xB0\x61.dll)", itemA}},
    // The duplicate's check deletes the copy the listed record counted on: it is fetched again.
    {"DuplicateDeletingTheCopyUnreadiesTheFile",
     List(Item("A", File("a.dll", v2) + File("A.DLL", Tag("VERSION", "3")))),
     {{"dest/a.dll", v1234}, {"temp/a.dll", v2000}}, {}, "", kNone, "A[a.dll]", {}, {"Dest/a.dll"},
     {recordA},
     {older, copyA, "[CreateUpdateList] already exist In update array(A.DLL)",
      "[CheckUpdate] FileVersion (%DEST%\\A.DLL) (U:196608:0) != (L:65538:196612)",
      "[CreateUpdateList] Temp File exist (%TEMP%\\A.DLL)",
      "[CheckUpdate] FileVersion (%DEST%\\A.DLL) (U:196608:0) != (L:131072:0)", itemA}},
    {"SelfUninstallerWritesNoRecord",
     List(Item("Own", File("a.dll"), "velsetup", " SELFUNINSTALLER='1'") + Item("A", File("b.dll"))),
     {{"dest/a.dll", "x"}, {"dest/b.dll", "x"}}, {}, "", kNone, "Own[] A[]", {},
     {"Dest/a.dll", "Dest/b.dll"}, {"uninstall:A\\b"},
     {currentA, "[CreateUpdateList] UpdateItem = Own",
      "[CreateUpdateList] do not need to update file (%DEST%\\b.dll)", itemA}},
    {"InstalledServerIsRegisteredAgain", List(Item("A", File("a.dll", Tag("REGISTER", "1")))),
     {{"dest/a.dll", server}}, {}, "", kNone, "A[]", {}, {"Dest/a.dll"}, {recordA},
     {"[RegisterServer] RegisterServer(%DEST%\\a.dll) Success", currentA, itemA}},
    // The failed registration deleted the file: it is installed again.
    {"FailedRegistrationCountsAsMissing", List(Item("A", File("a.dll", Tag("REGISTER", "1")))),
     {{"dest/a.dll", server}}, {}, "", kToolMissing, "A[a.dll]", {}, {}, {recordA},
     {"[RegisterServer] RegisterServer(%DEST%\\a.dll) Failed", missingA, itemA}},

    // Download pass
    {"TwoItemsTotalSentOnce", List(Item("A", File("a1.dll") + File("a2.dll")) + Item("B", File("b.dll"))),
     {}, {{"a1.dll", Pattern(400)}, {"a2.dll", Pattern(600)}, {"b.dll", Pattern(3000)}}, "", kNone,
     "A[a1.dll,a2.dll] B[b.dll]",
     {"total=4000", "size=400", "url=a1.dll", "file=1/2", "size=600", "url=a2.dll", "file=2/2",
      "size=3000", "url=b.dll", "file=1/1", "done=0"},
     {"VelTemp/a1.dll", "VelTemp/a2.dll", "VelTemp/b.dll"}, {},
     lines({{set}, got("a1.dll", "a1.dll"), got("a2.dll", "a2.dll"), {set}, got("b.dll", "b.dll")})},
    {"ReadyFileIsNotFetched", List(Item("A", File("a.dll", v2) + File("b.dll"))),
     {{"dest/a.dll", v1234}, {"temp/a.dll", v2000}}, {{"a.dll", v2000}, {"b.dll", Pattern(100)}}, "",
     kNone, "A[a.dll*,b.dll]", {"total=100", "file=1/2", "size=100", "url=b.dll", "file=2/2", "done=0"},
     {"Dest/a.dll", "VelTemp/a.dll", "VelTemp/b.dll"}, {recordA}, lines({{set}, got("b.dll", "b.dll")})},
    {"ItemWithoutFilesReportsNoFile", List(Item("A", File("a.dll"))),
     {{"dest/a.dll", "x"}}, {}, "", kNone, "A[]", {"total=0", "done=0"}, {"Dest/a.dll"}, {recordA},
     {set, "[DownloadInstallFiles] m_arrUpdateFile.GetSize() == 0"}},
    // Folders are made below the temporary folder; an entry of 0 bytes is complete.
    {"ArchiveWithFolders", List(Item("A", zipA)),
     {}, {{"a.zip", ZipBytes({{"a.dll", "A"}, {"sub/", ""}, {"sub/dir/b.txt", "B"}, {"empty.txt", ""}})}},
     "", kNone, "A[a.dll]",
     {"total={size:a.zip}", "size={size:a.zip}", "url=a.zip", "extract=a.dll", "percent=100",
      "percent=100", "percent=100", "file=1/1", "done=0"},
     {"VelTemp/a.dll", "VelTemp/empty.txt", "VelTemp/sub/dir/b.txt"}, {},
     lines({{set}, got("a.zip", "a.zip")})},
    {"UpperCaseZipIsExtracted", List(Item("A", FileFrom("a.dll", "A.ZIP"))),
     {}, {{"A.ZIP", ZipBytes({{"a.dll", "A"}})}}, "", kNone, "A[a.dll]",
     {"total={size:A.ZIP}", "size={size:A.ZIP}", "url=A.ZIP", "extract=a.dll", "percent=100", "file=1/1",
      "done=0"},
     {"VelTemp/a.dll"}, {}, lines({{set}, got("A.ZIP", "a.ZIP")})},
    {"ZipNamedZipIsKept", List(Item("A", File("x.zip"))),
     {}, {{"x.zip", ZipBytes({{"a.dll", "A"}})}}, "", kNone, "A[x.zip]",
     {"total={size:x.zip}", "size={size:x.zip}", "url=x.zip", "file=1/1", "done=0"}, {"VelTemp/x.zip"},
     {}, lines({{set}, got("x.zip", "x.zip")})},
    {"CabIsKeptUnderItsExtension", List(Item("A", FileFrom("x.dll", "x.cab"))),
     {}, {{"x.cab", "CAB"}}, "", kNone, "A[x.dll]", {"total=3", "size=3", "url=x.cab", "file=1/1", "done=0"},
     {"VelTemp/x.cab"}, {}, lines({{set}, got("x.cab", "x.cab")})},
    {"EmptyArchiveFails", List(Item("A", zipA)),
     {}, {{"a.zip", ZipBytes({})}}, "", kNone, "A[a.dll]", fetchOnly, {}, {}, zipFailed},
    // The damaged entry is deleted and the entries after it are not extracted.
    {"DamagedArchiveFails", List(Item("A", zipA)),
     {}, {{"a.zip", DamagedZip()}}, "", kNone, "A[a.dll]",
     {"total={size:a.zip}", "size={size:a.zip}", "url=a.zip", "extract=a.dll", "percent=100", "file=1/1",
      "done=1"},
     {}, {}, zipFailed},
    {"EntryLeavingTheFolderFails", List(Item("A", zipA)),
     {}, {{"a.zip", ZipBytes({{"../evil.txt", "E"}})}}, "", kNone, "A[a.dll]", fetchOnly, {}, {}, zipFailed},
    // Cancelled after the first 64 KiB of four; the next file's download stops at its first block.
    {"CancelDuringExtraction", List(Item("A", zipA + File("b.dll"))),
     {}, {{"a.zip", ZipBytes({{"a.dll", Pattern(262144)}}, true)}, {"b.dll", Pattern(10000)}}, "",
     kCancelAtExtract, "A[a.dll,b.dll]",
     {"total={size:a.zip+b.dll}", "size={size:a.zip}", "url=a.zip", "extract=a.dll", "percent=25",
      "file=1/2", "size=10000", "url=b.dll", "file=2/2", "done=1"},
     {}, {}, lines({zipFailed, lost("b.dll")})},
    // Two sizes that each fit a signed 32-bit number but not their sum.
    {"TotalCappedAtLargestPositive", List(Item("A", File("a.dll") + File("b.dll"))),
     {}, {{"a.dll", "A"}, {"b.dll", "B"}}, "%PATH%a.dll length=2000000000\n%PATH%b.dll length=2000000000\n",
     kNone, "A[a.dll,b.dll]",
     {"total=2147483647", "size=2000000000", "url=a.dll", "file=1/2", "size=2000000000", "url=b.dll",
      "file=2/2", "done=1"},
     {}, {}, lines({{set}, lost("a.dll"), lost("b.dll")})},
    {"TemporaryFolderBlocked", List(Item("A", File("a.dll"))),
     {}, {{"a.dll", "A"}}, "", kTempBlocked, "A[a.dll]", {"done=1"}, {"VelTemp"}, {},
     {"[DownloadInstallFiles] CUtil::CreateRecursiveDirectory(%TEMP%) Failed, Error Code = 183"}},
    // A current copy that others could have put there is not used: the folder is secured and
    // emptied, and the file downloaded again.
    {"TemporaryFolderOpenToOthers", List(Item("A", File("a.dll", v2))),
     {{"dest/a.dll", v1234}, {"temp/a.dll", v2000}, {"temp/planted.dll", v2000}}, {}, "", kNone, "A[a.dll]",
     {}, {"Dest/a.dll"}, {recordA},
     {"[DownloadFileList] Temporary folder was open to other accounts, secured and emptied (%TEMP%)",
      "[DownloadIniFile] Download File %URL%list.xml -> %TEMP%\\VelSetup.xml",
      "[DownloadIniFile] Download File ( %URL%list.xml ) Succeed!", older, itemA},
     Folder::kOpenToOthers},
    {"TemporaryFolderOfAnotherOwnerRefused", List(Item("A", File("a.dll"))),
     {{"temp/a.dll", v2000}}, {}, "", kNone, nullptr, {}, {"VelTemp/a.dll"}, {},
     {"[DownloadFileList] Temporary folder is owned by another account, not used (%TEMP%)"}, Folder::kForeignOwner},
    {"TemporaryFolderLinkRefused", List(Item("A", File("a.dll"))),
     {{"temp/a.dll", v2000}}, {}, "", kNone, nullptr, {}, {"VelTemp/a.dll"}, {},
     {"[DownloadFileList] Temporary folder is a link or mount point, not used (%TEMP%)"}, Folder::kLink},
  };
  // clang-format on
}

// Receives the pass's messages on the test thread, as the dialog would: records them (the posted
// byte counts aside) and answers an extraction's report with -1 once the run is cancelled.
class CDialogStandIn {
 public:
  CDialogStandIn(CCancelSignal& cancel, bool cancelAtExtract)
      : m_cancel(cancel), m_cancelAtExtract(cancelAtExtract) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.lpszClassName = "VelSetupTestDialogStandIn";
    ::RegisterClassA(&windowClass);  // fails harmlessly when already registered
    m_hWnd = ::CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               nullptr, this);
  }
  ~CDialogStandIn() { ::DestroyWindow(m_hWnd); }
  HWND m_hWnd = nullptr;
  std::vector<std::string> messages;

 private:
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    // Kind 1 of both progress messages carries a text: the URL or the entry name.
    const bool hasText = (message == WM_DOWNLOAD_PROGRESS || message == WM_EXTRACT_PROGRESS) && wParam == 1;
    const std::string text = hasText ? reinterpret_cast<const char*>(lParam) : "";
    if (message == WM_DOWNLOAD_PROGRESS && wParam != DOWNLOAD_PROGRESS_BYTES) {
      const char* kinds[] = {"total=", "url=", "size="};
      messages.push_back(kinds[wParam] +
                         (wParam == 1 ? text.substr(text.rfind('/') + 1) : std::to_string(lParam)));
    } else if (message == WM_FILE_DONE) {
      messages.push_back("file=" + std::to_string(wParam) + "/" + std::to_string(lParam));
    } else if (message == WM_EXTRACT_PROGRESS) {
      messages.push_back(wParam == EXTRACT_PROGRESS_START ? "extract=" + text
                                                          : "percent=" + std::to_string(lParam));
      if (m_cancelAtExtract) m_cancel.Set();
      return m_cancel.IsSet() ? -1 : 0;
    } else if (message == WM_DOWNLOAD_DONE) {
      messages.push_back("done=" + std::to_string(wParam));
    }
    return 0;
  }
  static LRESULT CALLBACK WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
      ::SetWindowLongPtrA(
          hWnd, GWLP_USERDATA,
          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
    }
    auto* self = reinterpret_cast<CDialogStandIn*>(::GetWindowLongPtrA(hWnd, GWLP_USERDATA));
    return self != nullptr && message >= WM_USER ? self->OnMessage(message, wParam, lParam)
                                                 : ::DefWindowProcA(hWnd, message, wParam, lParam);
  }
  CCancelSignal& m_cancel;
  bool m_cancelAtExtract;
};

void ListFiles(const std::string& folder, const std::string& relative, std::vector<std::string>& files) {
  WIN32_FIND_DATAA found;
  const HANDLE find = ::FindFirstFileA((folder + "\\*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      ListFiles(folder + "\\" + name, relative + name + "/", files);
    } else {
      files.push_back(relative + name);
    }
  } while (::FindNextFileA(find, &found));
  ::FindClose(find);
}

std::vector<std::string> SubkeyNames(HKEY root, const std::string& key) {
  std::vector<std::string> names;
  CScopedRegKey opened;
  char name[256];
  DWORD size = sizeof name;
  for (DWORD i = 0;
       ::RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, opened.Put()) == ERROR_SUCCESS &&
       ::RegEnumKeyExA(opened.Get(), i, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
       ++i, size = sizeof name) {
    names.emplace_back(name, size);
  }
  return names;
}

std::vector<std::string> RegistryFacts() {
  std::vector<std::string> facts;
  CScopedRegKey key;
  char name[256];
  char data[512];
  DWORD nameSize = sizeof name, dataSize = sizeof data;
  for (DWORD i = 0; ::RegOpenKeyExA(HKEY_CURRENT_USER, kTestKey, 0, KEY_READ, key.Put()) == ERROR_SUCCESS &&
                    ::RegEnumValueA(key.Get(), i, name, &nameSize, nullptr, nullptr,
                                    reinterpret_cast<BYTE*>(data), &dataSize) == ERROR_SUCCESS;
       ++i, nameSize = sizeof name, dataSize = sizeof data) {
    facts.push_back(std::string(name, nameSize) + "=" + data);
  }
  for (const std::string& item : SubkeyNames(HKEY_LOCAL_MACHINE, kUninstallKey)) {
    for (const std::string& file :
         SubkeyNames(HKEY_LOCAL_MACHINE, std::string(kUninstallKey) + "\\" + item)) {
      facts.push_back("uninstall:" + item + "\\" + file);
    }
  }
  std::sort(facts.begin(), facts.end());
  return facts;
}

void CleanUp() {
  ::SHDeleteKeyA(HKEY_CURRENT_USER, kTestKey);
  ::SHDeleteKeyA(HKEY_CLASSES_ROOT, "CLSID\\{" VELSETUP_FIXTURE_CLASS_ID "}");
  DeleteUninstallRecords();
  portal::SetFaults("");
  RemoveTree(portal::PathOf(kServed));
}

TEST(UpdateRun, Table) {
  ASSERT_TRUE(portal::Available()) << "run inside the harness session";
  for (const RunCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    CTestFolder root("velsetup-update");
    CSavedRegistryValue home(HKEY_CURRENT_USER, kHomeKey, "Home");
    home.SetText(root.Path());
    InitFolders();
    const std::string temp = SystemFolders().m_strTempFolder;
    CleanUp();
    portal::SetFaults(Expand(c.faults, root.Path()));
    for (const Served& file : c.served) portal::Put(kServed + file.path, file.bytes);
    if (c.manifest != kNotServed)
      portal::Put(std::string(kServed) + "list.xml", Expand(c.manifest, root.Path()));
    ::CreateDirectoryA((root / "Dest").c_str(), nullptr);
    ::CreateDirectoryA(temp.c_str(), nullptr);
    for (const Placed& file : c.placed) {
      const std::string path = (file.path[0] == 'd' ? root / "Dest" : temp) + "\\" + file.path.substr(5);
      WriteFileBytes(path, file.bytes);
      uint64_t utc = 0;
      if (file.time != nullptr && ReadFileTimeText(file.time, CUtil::CurrentTimeZoneBias(), utc)) {
        const CScopedFile opened(
            ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        const FILETIME lastWrite = {static_cast<DWORD>(utc), static_cast<DWORD>(utc >> 32)};
        ::SetFileTime(opened.Get(), nullptr, nullptr, &lastWrite);
      }
    }

    // The update list, as the dialog builds it.
    LogInit(0, 2);
    CNotifyWindowStandIn control;
    CDlgDownload dialog;
    dialog.m_strSourceURL = Expand("%URL%list.xml", root.Path());
    dialog.m_strMode = "velsetup";
    dialog.SetNotifyWindow(control.Handle());
    std::unique_ptr<CToolMissing> toolMissing;
    if (c.flags & kToolMissing) {
      toolMissing = std::make_unique<CToolMissing>();
      EXPECT_TRUE(toolMissing->Moved());
    }
    const bool fetched =
        c.manifest != kNotServed && c.folder != Folder::kForeignOwner && c.folder != Folder::kLink;
    g_folder = c.folder;
    if (c.folder != Folder::kAsFound) SetFolderFactsQueryForTesting(ReportFolder);
    EXPECT_EQ(fetched ? 1 : 0, dialog.DownloadFileList());
    SetFolderFactsQueryForTesting(nullptr);
    EXPECT_EQ(c.listed != nullptr, fetched && dialog.CreateUpdateList());
    toolMissing.reset();
    PumpMessagesFor(0);
    EXPECT_EQ(fetched ? std::vector<std::string>({"21", "22"}) : std::vector<std::string>({"21"}),
              control.Sequence());
    std::string listed;
    for (const std::unique_ptr<CUpdateSet>& set : dialog.UpdateSets()) {
      listed += (listed.empty() ? "" : " ") + set->m_strName + "[";
      for (const std::unique_ptr<CUpdateFile>& file : set->m_arrUpdateFile) {
        listed += (listed.back() == '[' ? "" : ",") + file->m_strName + (file->m_bReady ? "*" : "");
      }
      listed += "]";
    }
    EXPECT_EQ(c.listed != nullptr ? c.listed : "", listed);
    std::vector<std::string> log;
    const bool served = c.manifest != kNotServed;
    if (c.messages.empty() && c.folder == Folder::kAsFound) {
      log = {"[DownloadIniFile] Download File %URL%list.xml -> %TEMP%\\VelSetup.xml",
             served ? "[DownloadIniFile] Download File ( %URL%list.xml ) Succeed!"
                    : "[DownloadIniFile] Download File ( %URL%list.xml ) Failed!"};
    }
    log.insert(log.end(), c.log.begin(), c.log.end());

    // The download pass on a worker thread.
    if (!c.messages.empty()) {
      if (c.flags & kTempBlocked) {
        ReleaseTemporaryFolder();  // the list's run holds it; a later one may find a file there
        RemoveTree(temp);
        WriteFileBytes(temp, "a file where the folder belongs");
      }
      LogInit(0, 2);
      CCancelSignal cancel;
      ASSERT_TRUE(cancel.Create());
      const CScopedHandle finished(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
      CDialogStandIn standIn(cancel, (c.flags & kCancelAtExtract) != 0);
      bool result = false;
      std::thread worker([&] {
        result = RunDownloadPass(dialog.UpdateSets(), standIn.m_hWnd, &cancel);
        ::SetEvent(finished.Get());
      });
      while (!WaitPumping(finished.Get(), 1000)) {
      }
      worker.join();
      for (int i = 0;
           i < 500 && (standIn.messages.empty() || standIn.messages.back().compare(0, 5, "done=") != 0); ++i)
        PumpMessagesFor(10);

      std::vector<std::string> messages;
      for (const std::string& message : c.messages) messages.push_back(WithSizes(message, c.served));
      EXPECT_EQ(messages, standIn.messages);
      EXPECT_EQ(messages.back() == "done=0", result);
    }
    std::vector<std::string> expectedLog;
    for (const std::string& line : log) expectedLog.push_back(Expand(line, root.Path()));
    std::vector<std::string> actualLog;
    for (const std::string& line : LogMessages()) {
      for (const char* prefix :
           {"[Download", "[CreateUpdateList]", "[CheckUpdate]", "[CDlgDownload::CheckUpdate]",
            "[RegisterServer]", "[AddRegistry]", "[DeleteRegistry]", "CUpdateSet::"}) {
        if (line.rfind(prefix, 0) == 0 && line.rfind("[DownloadFile]", 0) != 0) {
          actualLog.push_back(line);
          break;
        }
      }
    }
    EXPECT_EQ(expectedLog, actualLog);

    std::vector<std::string> files;
    ListFiles(root.Path(), "", files);
    std::sort(files.begin(), files.end());
    EXPECT_EQ(c.files, files);
    EXPECT_EQ(c.registry, RegistryFacts());
    ::DeleteFileA(temp.c_str());
    CleanUp();
  }
}

// A folder the program creates carries its own protected list, which its own check trusts.
TEST(UpdateRun, TemporaryFolderCreatedWithItsOwnList) {
  CTemporaryFolderSecurity security;
  ASSERT_TRUE(security.IsValid());
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(::GetSecurityDescriptorControl(security.Descriptor(), &control, &revision));
  EXPECT_NE(0, control & SE_DACL_PROTECTED);
  BYTE administrators[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof administrators;
  ASSERT_TRUE(::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size));
  ASSERT_TRUE(::SetSecurityDescriptorOwner(security.Descriptor(), administrators, FALSE));
  CFolderFacts facts;
  ASSERT_TRUE(FolderFactsOf(security.Descriptor(), facts));
  std::vector<std::pair<EAccount, uint32_t>> entries;
  for (const CAccessEntry& entry : facts.entries) entries.emplace_back(entry.account, entry.mask);
  const std::vector<std::pair<EAccount, uint32_t>> expected = {
      {EAccount::kSystem, FILE_ALL_ACCESS},
      {EAccount::kAdministrators, FILE_ALL_ACCESS},
      {EAccount::kRunningAccount, FILE_ALL_ACCESS},
      {EAccount::kOther, FILE_GENERIC_READ | FILE_GENERIC_EXECUTE}};
  EXPECT_EQ(expected, entries);
  EXPECT_EQ(EFolderTrust::kTrusted, DecideFolderTrust(facts));

  InitFolders();
  CTestFolder root("velsetup-update-created");
  const std::string folder = root.Path() + "\\Home\\VelTemp";  // its parent is created too
  LogInit(0, 2);
  EXPECT_TRUE(PrepareTemporaryFolder(folder));
  EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY, ::GetFileAttributesA(folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_TRUE(TemporaryCopiesTrusted());
  // Held for the run: its name cannot be freed for another folder meanwhile.
  ::RemoveDirectoryA(folder.c_str());
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(folder.c_str()));
  ReleaseTemporaryFolder();
}

}  // namespace
