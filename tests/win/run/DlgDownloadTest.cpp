// The download dialog inside this process, for what the real program cannot be made to show: a
// worker thread that cannot be started, a system of the older family whose temporary folder is
// the user's own, and the restart through its replaceable call. One table, one runner.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AppMessages.h"
#include "DlgDownload.h"
#include "EngineTestSupport.h"
#include "Folders.h"
#include "NotifyWindow.h"
#include "Portal.h"
#include "Pump.h"
#include "Reboot.h"
#include "RunLock.h"
#include "SetupLog.h"
#include "SetupProtocol.h"
#include "SetupRun.h"
#include "TestRegistry.h"
#include "resource.h"

namespace {

constexpr char kServed[] = "orbina/velsetup/dialog/";
constexpr char kSessionManagerKey[] = "System\\CurrentControlSet\\Control\\Session Manager";

std::vector<RestartMethod> g_restarts;
BOOL RecordRestart(RestartMethod method, const char*) {
  g_restarts.push_back(method);
  return TRUE;
}

HANDLE NoThread(LPTHREAD_START_ROUTINE, void*) {
  ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return nullptr;
}

struct DialogCase {
  const char* name;
  std::string manifest;      // %URL%: the served folder, %DEST%: the destination folder
  bool olderSystem;          // Windows XP: the temporary folder is the user's own
  bool workerFails;          // the worker thread cannot be started
  bool holdFile;             // this process keeps %DEST%\held.dll loaded
  std::vector<int> answers;  // to the message boxes, in turn
  std::vector<UINT> boxes;   // the strings they show
  std::vector<std::string> statuses;
  std::vector<RestartMethod> restarts;
  bool temporaryFolderKept;      // the empty temporary folder is there afterwards
  std::vector<std::string> log;  // lines of interest, see kLines
  bool lockFails = false;        // the run lock cannot be created or opened
};

const char* const kLines[] = {"[OnDialogStart]", "CDlgDownload::OnSetupComplete", "[MoveInstallFiles]",
                              "[RunLock]"};

// What the system answers when another account made the lock so that nobody else can open it;
// Wine does not check access to named objects.
HANDLE WINAPI LockDenied(LPSECURITY_ATTRIBUTES, BOOL, LPCSTR) {
  ::SetLastError(ERROR_ACCESS_DENIED);
  return nullptr;
}

std::vector<DialogCase> Cases() {
  const std::string held =
      "<UPDATELIST><UPDATEITEM NAME='H'><MODE NAME='velsetup'/><FILE NAME='held.dll'>"
      "<SOURCE>%URL%held.dll</SOURCE><DEST>%DEST%</DEST><VERSION>40000,1,65535,7</VERSION>"
      "<REBOOT>1</REBOOT></FILE></UPDATEITEM></UPDATELIST>";
  return {
      {"WorkerCannotStart",
       held,
       false,
       true,
       false,
       {IDOK},
       {IDS_DOWNLOAD_FAILED},
       {"21", "22", "101"},
       {},
       true,
       {"[OnDialogStart] CreateThread Failed, Error Code = 8"}},
      {"OlderSystemKeepsTheUsersTemporaryFolder",
       "<UPDATELIST/>",
       true,
       false,
       false,
       {},
       {},
       {"21", "22", "40", "100"},
       {},
       true,
       {"CDlgDownload::OnSetupComplete"}},
      {"RestartAcceptedThroughTheReplaceableCall",
       held,
       false,
       false,
       true,
       {IDYES},
       {IDS_REBOOT_QUESTION},
       {"21", "22", "30:100", "40", "91"},
       {RestartMethod::kShutdown},
       true,
       {"[MoveInstallFiles] DeleteFile(%DEST%\\held.dll) Failed, ERROR_ACCESS_DENIED || "
        "ERROR_SHARING_VIOLATION",
        "CDlgDownload::OnSetupComplete"}},
      // Never unlocked: the run ends before it reads or changes anything.
      {"RunLockCannotBeOpened",
       held,
       false,
       false,
       false,
       {IDOK},
       {IDS_MANIFEST_FAILED},
       {"101"},
       {},
       false,
       {"[RunLock] CreateMutex Failed, Error Code = 5"},
       true},
  };
}

std::string Expand(std::string text, const std::string& dest) {
  const std::pair<std::string, std::string> marks[] = {
      {"%URL%", std::string("http://update.orbina.com/") + kServed}, {"%DEST%", dest}};
  for (const auto& [mark, value] : marks) {
    for (size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + value.size()))
      text.replace(at, mark.size(), value);
  }
  return text;
}

std::wstring StringOf(UINT id) {
  wchar_t buffer[512] = {};
  ::LoadStringW(::GetModuleHandleW(nullptr), id, buffer, 512);
  return buffer;
}

bool Ended(const CNotifyWindowStandIn& control) {
  for (const ReceivedNotification& received : control.Received()) {
    if (received.message == WM_SETUP_STATUS && received.wParam >= SETUP_STATUS_REBOOT_DECLINED) return true;
  }
  return false;
}

TEST(DlgDownloadTest, Table) {
  ASSERT_TRUE(portal::Available()) << "run inside the harness session";
  const CCleanSetupRegistry registry;
  portal::Put(std::string(kServed) + "held.dll", ReadFileBytes(FixturePath("version_40000_1_65535_7.dll")));
  const CScopedSeam<RestartFunction> restarts(SetRestartForTesting, RecordRestart);
  for (const DialogCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    const CTestFolder root("velsetup-dialog");
    const std::string dest = root / "Dest";
    // The user's own folder, named like the program's own: only the system family tells them apart.
    const std::string userTemp = root / "User\\VelTemp";
    ::CreateDirectoryA(dest.c_str(), nullptr);
    ::CreateDirectoryA((root / "User").c_str(), nullptr);
    ::CreateDirectoryA(userTemp.c_str(), nullptr);
    CSavedRegistryValue home(HKEY_CURRENT_USER, "SOFTWARE\\Orbina.Com\\KOREAN", "Home");
    home.SetText(root.Path());
    const CSavedRegistryValue pending(HKEY_LOCAL_MACHINE, kSessionManagerKey, "PendingFileRenameOperations");
    const CScopedEnvironment tmp("TMP", userTemp);
    std::unique_ptr<CFakeWindowsVersion> older;
    if (c.olderSystem) older = std::make_unique<CFakeWindowsVersion>(5, VER_PLATFORM_WIN32_NT);
    portal::Put(std::string(kServed) + "list.xml", Expand(c.manifest, dest));
    CScopedModule heldModule;
    if (c.holdFile) {
      EXPECT_TRUE(
          ::CopyFileA(FixturePath("version_1_2_3_4.dll").c_str(), (dest + "\\held.dll").c_str(), FALSE));
      heldModule.Reset(::LoadLibraryA((dest + "\\held.dll").c_str()));
      EXPECT_TRUE(heldModule);
    }
    const CScopedSeam<WorkerStartFunction> worker(SetWorkerStartForTesting,
                                                  c.workerFails ? NoThread : nullptr);
    const CScopedSeam<MutexCreateFunction> lock(SetRunLockCreateForTesting,
                                                c.lockFails ? LockDenied : nullptr);
    g_restarts.clear();
    LogInit(0, 2);

    CNotifyWindowStandIn control;
    {
      CDlgDownload dialog;
      dialog.m_strSourceURL = Expand("%URL%list.xml", dest);
      dialog.m_strMode = "velsetup";
      dialog.m_nShowDlg = 0;  // the answerer takes any shown dialog for a message box
      dialog.SetNotifyWindow(control.Handle());
      CBoxAnswerer answerer(c.answers);
      EXPECT_TRUE(dialog.Create(nullptr));
      ::PostMessageA(dialog.GetSafeHwnd(), WM_DIALOG_START, 0, 0);
      // Generous: only a hung run comes near it.
      for (int i = 0; i < 6000 && !Ended(control); ++i) PumpMessagesFor(20);
      ::DestroyWindow(dialog.GetSafeHwnd());
      PumpMessagesFor(100);
      const std::vector<std::wstring> boxes = answerer.Texts();
      std::vector<std::wstring> expectedBoxes;
      for (UINT id : c.boxes) expectedBoxes.push_back(StringOf(id));
      EXPECT_EQ(boxes, expectedBoxes);
    }
    std::vector<std::string> statuses;
    for (const ReceivedNotification& received : control.Received()) {
      if (received.message == WM_SETUP_CLOSED) continue;
      statuses.push_back(std::to_string(received.wParam) + (received.wParam == SETUP_STATUS_PROGRESS
                                                                ? ":" + std::to_string(received.lParam)
                                                                : ""));
    }
    EXPECT_EQ(statuses, c.statuses);
    EXPECT_EQ(g_restarts, c.restarts);
    const std::string temporary = c.olderSystem ? userTemp : root / "VelTemp";
    EXPECT_EQ(FileIsPresent(temporary), c.temporaryFolderKept) << temporary;

    std::vector<std::string> log;
    for (const std::string& line : LogMessages()) {
      for (const char* start : kLines) {
        if (line.rfind(start, 0) == 0) log.push_back(line);
      }
    }
    std::vector<std::string> expectedLog;
    for (const std::string& line : c.log) expectedLog.push_back(Expand(line, dest));
    EXPECT_EQ(log, expectedLog);
    EXPECT_TRUE(c.holdFile || !FileIsPresent(dest + "\\held.dll")) << "nothing is installed";
    DeleteUninstallRecords();
  }
  InitFolders();
}

}  // namespace
