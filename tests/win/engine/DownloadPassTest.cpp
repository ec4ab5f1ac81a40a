// The download pass on a worker thread against the portal server, with a stand-in for the dialog
// that records the messages it is sent and posted; and the installed file's time stamp.
#include "DownloadPass.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "AppMessages.h"
#include "Folders.h"
#include "LogCapture.h"
#include "ManifestText.h"
#include "Portal.h"
#include "Pump.h"
#include "SetupLog.h"
#include "SetupRun.h"
#include "UpdateRunSupport.h"
#include "Util.h"
#include "WinHandles.h"

namespace {

// Receives the pass's messages on the test thread, as the dialog would, and answers an
// extraction's report with -1 once the cancel event is set.
class CDialogStandIn {
 public:
  CDialogStandIn(HANDLE cancelEvent, bool cancelAtExtract)
      : m_cancel(cancelEvent), m_cancelAtExtract(cancelAtExtract) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "VelSetupTestDialogStandIn";
    ::RegisterClassA(&windowClass);  // fails harmlessly when already registered
    m_hWnd = ::CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               windowClass.hInstance, this);
  }
  ~CDialogStandIn() { ::DestroyWindow(m_hWnd); }
  CDialogStandIn(const CDialogStandIn&) = delete;
  CDialogStandIn& operator=(const CDialogStandIn&) = delete;

  HWND Handle() const { return m_hWnd; }

  std::vector<std::string> messages;  // all but the posted byte counts
  uint64_t bytes = 0;                 // sum of the posted byte counts
  bool done = false;

 private:
  static std::string LastSegment(const char* url) {
    const std::string text = url;
    return text.substr(text.rfind('/') + 1);
  }

  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
      case WM_DOWNLOAD_PROGRESS:
        if (wParam == DOWNLOAD_PROGRESS_BYTES) {
          bytes += static_cast<uint64_t>(lParam);
        } else if (wParam == DOWNLOAD_PROGRESS_URL) {
          messages.push_back("url=" + LastSegment(reinterpret_cast<const char*>(lParam)));
        } else {
          messages.push_back((wParam == DOWNLOAD_PROGRESS_TOTAL ? "total=" : "size=") +
                             std::to_string(lParam));
        }
        return 0;
      case WM_FILE_DONE:
        messages.push_back("file=" + std::to_string(wParam) + "/" + std::to_string(lParam));
        return 0;
      case WM_EXTRACT_PROGRESS:
        if (wParam == EXTRACT_PROGRESS_START) {
          messages.push_back(std::string("extract=") + reinterpret_cast<const char*>(lParam));
          if (m_cancelAtExtract) ::SetEvent(m_cancel);
        } else {
          messages.push_back("percent=" + std::to_string(lParam));
        }
        return ::WaitForSingleObject(m_cancel, 0) == WAIT_OBJECT_0 ? -1 : 0;
      case WM_DOWNLOAD_DONE:
        messages.push_back("done=" + std::to_string(wParam));
        done = true;
        return 0;
      default:
        return 0;
    }
  }

  static LRESULT CALLBACK WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
      ::SetWindowLongPtrA(
          hWnd, GWLP_USERDATA,
          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
    }
    auto* self = reinterpret_cast<CDialogStandIn*>(::GetWindowLongPtrA(hWnd, GWLP_USERDATA));
    if (self == nullptr || message < WM_USER) return ::DefWindowProcA(hWnd, message, wParam, lParam);
    return self->OnMessage(message, wParam, lParam);
  }

  HWND m_hWnd = nullptr;
  HANDLE m_cancel;
  bool m_cancelAtExtract;
};

enum class Stop { kNone, kCancelAtExtract, kTempFolderBlocked };

struct PassCase {
  const char* name;
  std::string items;  // UPDATEITEM elements of mode "m"
  std::vector<CServedFile> served;
  std::vector<CPlacedFile> placed;
  std::string faults;  // portal rules; %PATH% is the served folder's path
  Stop stop;
  bool result;
  std::vector<std::string> messages;  // "{size:a+b}" is the sum of the served files' sizes
  const char* bytes;                  // posted byte counts in all, or null: not checked
  std::vector<std::string> files;     // afterwards, below the test folder
  std::vector<std::string> log;       // the pass's lines
};

std::string FileFrom(const std::string& name, const std::string& source, const std::string& body = "") {
  return "<FILE NAME='" + name + "'><SOURCE>%URL%" + source + "</SOURCE><DEST>%DEST%</DEST>" + body +
         "</FILE>";
}
std::string File(const std::string& name, const std::string& body = "") { return FileFrom(name, name, body); }
std::string Item(const std::string& name, const std::string& files) {
  return "<UPDATEITEM NAME='" + name + "'><MODE NAME='m'/>" + files + "</UPDATEITEM>";
}

// The lines of one downloaded file.
std::vector<std::string> Fetched(const std::string& source, const std::string& copy) {
  return {"[DownloadInstallFiles] Download File %URL%" + source + " -> %TEMP%\\" + copy,
          "[DownloadInstallFiles] Download Succeed (%URL%" + source + ")"};
}
std::vector<std::string> Lines(std::initializer_list<std::vector<std::string>> groups) {
  std::vector<std::string> lines;
  for (const std::vector<std::string>& group : groups) lines.insert(lines.end(), group.begin(), group.end());
  return lines;
}

std::string DamagedZip() {
  std::string bytes = ZipBytes({{"a.dll", "AAAAAAAA"}, {"b.txt", "BB"}}, 0);
  bytes[bytes.find("AAAAAAAA") + 3] = 'B';  // the stored data no longer matches its CRC
  return bytes;
}

const char kSet[] = "CUpdateSet::DownloadInstallFiles";
const char kZipFailed[] = "[DownloadInstallFiles] Zip Extract Failed (%TEMP%\\a.zip)";

std::vector<PassCase> Cases() {
  const std::string v1234 = FixtureBytes("version_1_2_3_4.dll");
  const std::string v2000 = FixtureBytes("version_2_0_0_0.exe");
  const std::string oneEntry = ZipBytes({{"a.dll", "AAAA"}});
  const std::vector<std::string> extractOne = {"total={size:a.zip}", "size={size:a.zip}", "url=a.zip",
                                               "extract=a.dll",      "percent=100",       "file=1/1"};
  const std::vector<std::string> fetchFails = {"total={size:a.zip}", "size={size:a.zip}", "url=a.zip",
                                               "file=1/1", "done=1"};
  const std::vector<std::string> zipFails = Lines({{kSet}, Fetched("a.zip", "a.zip"), {kZipFailed}});
  // clang-format off
  return {
    // name, items, served, placed, faults, stop, result, messages, bytes, files, log
    {"TwoItemsTotalSentOnce",
     Item("A", File("a1.dll") + File("a2.dll")) + Item("B", File("b.dll")),
     {{"a1.dll", PatternBytes(400)}, {"a2.dll", PatternBytes(600)}, {"b.dll", PatternBytes(3000)}}, {}, "",
     Stop::kNone, true,
     {"total=4000", "size=400", "url=a1.dll", "file=1/2", "size=600", "url=a2.dll", "file=2/2", "size=3000",
      "url=b.dll", "file=1/1", "done=0"},
     "4000", {"VelTemp/a1.dll", "VelTemp/a2.dll", "VelTemp/b.dll"},
     Lines({{kSet}, Fetched("a1.dll", "a1.dll"), Fetched("a2.dll", "a2.dll"), {kSet}, Fetched("b.dll", "b.dll")})},
    {"ReadyFileIsNotFetched", Item("A", File("a.dll", "<VERSION>2,0,0,0</VERSION>") + File("b.dll")),
     {{"a.dll", v2000}, {"b.dll", PatternBytes(100)}}, {{"dest/a.dll", v1234}, {"temp/a.dll", v2000}}, "",
     Stop::kNone, true, {"total=100", "file=1/2", "size=100", "url=b.dll", "file=2/2", "done=0"}, "100",
     {"Dest/a.dll", "VelTemp/a.dll", "VelTemp/b.dll"}, Lines({{kSet}, Fetched("b.dll", "b.dll")})},
    {"ItemWithoutFilesReportsNoFile", Item("A", File("a.dll", "<FILESIZE>5</FILESIZE>")), {},
     {{"dest/a.dll", "hello"}}, "", Stop::kNone, true, {"total=0", "done=0"}, "0", {"Dest/a.dll"},
     {kSet, "[DownloadInstallFiles] m_arrUpdateFile.GetSize() == 0"}},
    {"ArchiveWithFolders", Item("A", FileFrom("a.dll", "a.zip")),
     {{"a.zip", ZipBytes({{"a.dll", "AAAA"}, {"sub/", ""}, {"sub/dir/b.txt", "BB"}, {"empty.txt", ""}})}}, {}, "",
     Stop::kNone, true,
     {"total={size:a.zip}", "size={size:a.zip}", "url=a.zip", "extract=a.dll", "percent=100", "percent=100",
      "percent=100", "file=1/1", "done=0"},
     "{size:a.zip}", {"VelTemp/a.dll", "VelTemp/empty.txt", "VelTemp/sub/dir/b.txt"},
     Lines({{kSet}, Fetched("a.zip", "a.zip")})},
    {"UpperCaseZipIsExtracted", Item("A", FileFrom("a.dll", "A.ZIP")), {{"A.ZIP", oneEntry}}, {}, "",
     Stop::kNone, true,
     {"total={size:A.ZIP}", "size={size:A.ZIP}", "url=A.ZIP", "extract=a.dll", "percent=100", "file=1/1", "done=0"},
     "{size:A.ZIP}", {"VelTemp/a.dll"}, Lines({{kSet}, Fetched("A.ZIP", "a.ZIP")})},
    {"ZipNamedZipIsKept", Item("A", File("x.zip")), {{"x.zip", oneEntry}}, {}, "", Stop::kNone, true,
     {"total={size:x.zip}", "size={size:x.zip}", "url=x.zip", "file=1/1", "done=0"}, "{size:x.zip}",
     {"VelTemp/x.zip"}, Lines({{kSet}, Fetched("x.zip", "x.zip")})},
    {"CabIsKeptUnderItsExtension", Item("A", FileFrom("x.dll", "x.cab")), {{"x.cab", "CAB"}}, {}, "",
     Stop::kNone, true, {"total=3", "size=3", "url=x.cab", "file=1/1", "done=0"}, "3", {"VelTemp/x.cab"},
     Lines({{kSet}, Fetched("x.cab", "x.cab")})},
    {"NoDotInLastSegment", Item("A", FileFrom("a.dll", "v1.0/file")), {{"v1.0/file", "0123456789"}}, {}, "",
     Stop::kNone, true, {"total=10", "size=10", "url=file", "file=1/1", "done=0"}, "10", {"VelTemp/a"},
     Lines({{kSet}, Fetched("v1.0/file", "a")})},
    {"EmptyArchiveFails", Item("A", FileFrom("a.dll", "a.zip")), {{"a.zip", ZipBytes({})}}, {}, "",
     Stop::kNone, false, fetchFails, "{size:a.zip}", {}, zipFails},
    {"NoArchiveFails", Item("A", FileFrom("a.dll", "a.zip")), {{"a.zip", "not an archive"}}, {}, "",
     Stop::kNone, false, fetchFails, "{size:a.zip}", {}, zipFails},
    // The damaged entry is deleted and the entries after it are not extracted.
    {"DamagedEntryFails", Item("A", FileFrom("a.dll", "a.zip")), {{"a.zip", DamagedZip()}}, {}, "",
     Stop::kNone, false,
     {"total={size:a.zip}", "size={size:a.zip}", "url=a.zip", "extract=a.dll", "percent=100", "file=1/1", "done=1"},
     "{size:a.zip}", {}, zipFails},
    {"EntryLeavingTheFolderFails", Item("A", FileFrom("a.dll", "a.zip")),
     {{"a.zip", ZipBytes({{"../evil.txt", "E"}, {"a.dll", "A"}})}}, {}, "", Stop::kNone, false, fetchFails,
     "{size:a.zip}", {}, zipFails},
    // Cancelled after the first 64 KiB of four; the next file's download stops at its first block.
    {"CancelDuringExtraction", Item("A", FileFrom("a.dll", "a.zip") + File("b.dll")),
     {{"a.zip", ZipBytes({{"a.dll", PatternBytes(262144)}}, 0)}, {"b.dll", PatternBytes(10000)}}, {}, "",
     Stop::kCancelAtExtract, false,
     {"total={size:a.zip+b.dll}", "size={size:a.zip}", "url=a.zip", "extract=a.dll", "percent=25", "file=1/2",
      "size=10000", "url=b.dll", "file=2/2", "done=1"},
     nullptr, {},
     Lines({{kSet}, Fetched("a.zip", "a.zip"), {kZipFailed, "[DownloadInstallFiles] Download File %URL%b.dll -> %TEMP%\\b.dll",
             "[DownloadInstallFiles] Download Failed (%URL%b.dll)"}})},
    {"FailedDownloadDoesNotStopTheOthers", Item("A", File("a.dll") + File("b.dll")),
     {{"b.dll", PatternBytes(100)}}, {}, "", Stop::kNone, false,
     {"total=100", "size=0", "url=a.dll", "file=1/2", "size=100", "url=b.dll", "file=2/2", "done=1"}, "100",
     {"VelTemp/b.dll"},
     Lines({{kSet, "[DownloadInstallFiles] Download File %URL%a.dll -> %TEMP%\\a.dll",
             "[DownloadInstallFiles] Download Failed (%URL%a.dll)"}, Fetched("b.dll", "b.dll")})},
    // Two sizes that each fit a signed 32-bit number but not their sum.
    {"TotalCappedAtLargestPositive", Item("A", File("a.dll") + File("b.dll")),
     {{"a.dll", "A"}, {"b.dll", "B"}}, {}, "%PATH%a.dll length=2000000000\n%PATH%b.dll length=2000000000\n",
     Stop::kNone, false,
     {"total=2147483647", "size=2000000000", "url=a.dll", "file=1/2", "size=2000000000", "url=b.dll", "file=2/2",
      "done=1"},
     nullptr, {},
     {kSet, "[DownloadInstallFiles] Download File %URL%a.dll -> %TEMP%\\a.dll",
      "[DownloadInstallFiles] Download Failed (%URL%a.dll)",
      "[DownloadInstallFiles] Download File %URL%b.dll -> %TEMP%\\b.dll",
      "[DownloadInstallFiles] Download Failed (%URL%b.dll)"}},
    {"TemporaryFolderBlocked", Item("A", File("a.dll")), {{"a.dll", "A"}}, {}, "", Stop::kTempFolderBlocked,
     false, {"done=1"}, "0", {"VelTemp"},
     {"[DownloadInstallFiles] CUtil::CreateRecursiveDirectory(%TEMP%) Failed, Error Code = 183"}},
  };
  // clang-format on
}

// "{size:a+b}" replaced by the sum of the served files' sizes.
std::string WithSizes(std::string text, const std::vector<CServedFile>& served) {
  const size_t open = text.find("{size:");
  if (open == std::string::npos) return text;
  const size_t close = text.find('}', open);
  const std::string names = text.substr(open + 6, close - open - 6) + "+";
  size_t total = 0;
  for (size_t begin = 0, plus = names.find('+'); plus != std::string::npos;
       begin = plus + 1, plus = names.find('+', begin)) {
    for (const CServedFile& file : served) {
      if (file.path == names.substr(begin, plus - begin)) total += file.bytes.size();
    }
  }
  return text.replace(open, close + 1 - open, std::to_string(total));
}

TEST(DownloadPass, Table) {
  ASSERT_TRUE(portal::Available()) << "run inside the harness session";
  for (const PassCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    CUpdateRunFixture run;
    std::string faults = c.faults;
    for (size_t at = faults.find("%PATH%"); at != std::string::npos; at = faults.find("%PATH%")) {
      faults.replace(at, 6, "/orbina/velsetup/upd/");
    }
    portal::SetFaults(faults);
    const std::string manifest = "<UPDATELIST>" + c.items + "</UPDATELIST>";
    run.Prepare("m", &manifest, c.served, c.placed);
    ASSERT_TRUE(run.Built());
    const std::string temp = SystemFolders().m_strTempFolder;
    if (c.stop == Stop::kTempFolderBlocked) {
      RemoveTree(temp);
      WriteFileBytes(temp, "a file where the folder belongs");
    }

    LogInit(0, 2);
    CScopedHandle cancel(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    CScopedHandle finished(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    CDialogStandIn dialog(cancel.Get(), c.stop == Stop::kCancelAtExtract);
    bool result = !c.result;
    std::thread worker([&] {
      result = RunDownloadPass(run.Dialog().UpdateSets(), dialog.Handle(), cancel.Get());
      ::SetEvent(finished.Get());
    });
    while (!WaitPumping(finished.Get(), 1000)) {
    }
    worker.join();
    for (int i = 0; i < 500 && !dialog.done; ++i) PumpMessagesFor(10);

    EXPECT_EQ(c.result, result);
    std::vector<std::string> messages;
    for (const std::string& message : c.messages) messages.push_back(WithSizes(message, c.served));
    EXPECT_EQ(messages, dialog.messages);
    if (c.bytes != nullptr) {
      EXPECT_EQ(WithSizes(c.bytes, c.served), std::to_string(dialog.bytes));
    }
    EXPECT_EQ(c.files, run.Files());
    std::vector<std::string> log;
    for (const std::string& line : c.log) log.push_back(run.Expand(line));
    EXPECT_EQ(log, LogLinesWith({"[DownloadInstallFiles]", kSet}));
    if (c.stop == Stop::kTempFolderBlocked) ::DeleteFileA(temp.c_str());
  }
}

struct TimeCase {
  const char* name;
  const char* fileTime;  // FILETIME of the record, null: none
  bool exists;
  const char* expectedTime;  // the file's local time afterwards, null: as it was
  const char* log;
};

// The installed file takes the manifest's last-write time. (Wine keeps no creation time of its own to
// compare: it reports the inode's change time.)
TEST(ApplyFileTime, Table) {
  const TimeCase cases[] = {
      {"TimeGiven", "2007,7,18,10,20,30", true, "2007,7,18,10,20,30", nullptr},
      {"NoTimeLeavesFileAlone", nullptr, true, nullptr, nullptr},
      {"MissingFile", "2007,7,18,10,20,30", false, nullptr,
       "[DownloadInstallFiles] CreateFile Failed (%PATH%), Error Code = 2"},
  };
  CTestFolder folder("velsetup-filetime");
  for (const TimeCase& c : cases) {
    SCOPED_TRACE(c.name);
    LogInit(0, 2);
    const std::string path = folder / "a.dll";
    ::DeleteFileA(path.c_str());
    if (c.exists) WriteFileBytes(path, "x");
    WIN32_FILE_ATTRIBUTE_DATA before = {};
    ::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &before);

    CUpdateFile record;
    if (c.fileTime != nullptr)
      ReadFileTimeText(c.fileTime, CUtil::CurrentTimeZoneBias(), record.m_ftFileTime);
    record.ApplyFileTime(path.c_str());

    WIN32_FILE_ATTRIBUTE_DATA after = {};
    ::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &after);
    uint64_t expected = 0;
    if (c.expectedTime != nullptr) {
      ReadFileTimeText(c.expectedTime, CUtil::CurrentTimeZoneBias(), expected);
    } else {
      expected = (static_cast<uint64_t>(before.ftLastWriteTime.dwHighDateTime) << 32) |
                 before.ftLastWriteTime.dwLowDateTime;
    }
    EXPECT_EQ(expected, (static_cast<uint64_t>(after.ftLastWriteTime.dwHighDateTime) << 32) |
                            after.ftLastWriteTime.dwLowDateTime);
    std::vector<std::string> log;
    if (c.log != nullptr) {
      std::string line = c.log;
      line.replace(line.find("%PATH%"), 6, path);
      log.push_back(line);
    }
    EXPECT_EQ(log, LogMessages());
  }
}

}  // namespace
