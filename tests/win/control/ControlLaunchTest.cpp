// The control starting the real VelSetup.exe from the system folder against the portal fixture,
// and the statuses a page sees.
#include <gtest/gtest.h>

#include "Answers.h"
#include "ControlTestSupport.h"
#include "Portal.h"
#include "Pump.h"
#include "RunState.h"
#include "SetupProtocol.h"
#include "SetupRun.h"
#include "TestRegistry.h"
#include "WinHandles.h"

namespace {

const char kManifestUrl[] = "http://update.orbina.com/orbina/velsetup/ctltest/control.xml";
const wchar_t kUpdateListFailedText[] = L"업데이트 목록 파일에 문제가 발생했습니다.";

enum class Serve {
  kNothing,
  kHangingManifest,  // the manifest arrives a byte a minute
  kEmptyList,
  kTwoSlowFiles,  // a manifest that takes a second, two files of 300 bytes, 64 bytes every 200 ms,
                  // and a run file that takes a second while they are installed
  kBrokenList,
};

enum class Drive {
  kWait,        // WaitUpdate, while another thread answers the message boxes
  kPollLoop,    // StartUpdate, then GetStatus from a thread that runs a message loop
  kPollNoLoop,  // StartUpdate, then GetStatus from a thread that never handles messages
  kKill,        // StartUpdate, GetStatus until 21, the process killed, GetStatus twice
  kNoProgram,   // no VelSetup.exe: StartUpdate, GetStatus, WaitUpdate, GetStatus
};

constexpr int kProgress = -1;  // one or more of 30 to 39, never going down

struct LaunchCase {
  const char* name;
  std::vector<std::wstring> params;  // written in turn; one longer than 4,095 bytes is refused
  Serve serve;
  Drive drive;
  std::vector<int> statuses;     // WaitUpdate's result, or the distinct GetStatus answers in turn
  const wchar_t* box;            // the message box answered with OK, if any
  const wchar_t* receivedParam;  // the install parameter the setup manager logged, if checked
};

std::wstring Param(const std::string& source) {
  return Widen("<PARAM><SOURCE>" + source + "</SOURCE><MODE>velsetup</MODE><SHOWDLG>0</SHOWDLG></PARAM>");
}

const std::wstring kMissing = Param(kMissingManifestUrl);
const std::wstring kServed = Param(kManifestUrl);
const std::wstring kQuoted = kMissing + L"<NOTE>\" -u -w 0 -x \"<PARAM><MODE>x</MODE></PARAM>\\\"</NOTE>\\";
const std::wstring kOverlong(4096, L'a');

// clang-format off
const LaunchCase kCases[] = {
    {"wait_failed_run", {kMissing}, Serve::kNothing, Drive::kWait, {101}, kManifestFailedText, nullptr},
    {"quotes_and_trailing_backslash_arrive_unchanged", {kQuoted}, Serve::kNothing, Drive::kWait, {101},
     kManifestFailedText, kQuoted.c_str()},
    {"no_parameter_passes_an_empty_one", {}, Serve::kNothing, Drive::kWait, {20}, kAbnormalStartText, L""},
    {"refused_parameter_leaves_none", {kMissing, kOverlong}, Serve::kNothing, Drive::kWait, {20}, kAbnormalStartText,
     L""},
    {"poll_with_message_loop", {kMissing}, Serve::kNothing, Drive::kPollLoop, {20, 21, 101}, kManifestFailedText,
     nullptr},
    {"poll_without_message_loop", {kMissing}, Serve::kNothing, Drive::kPollNoLoop, {20, 21, 101},
     kManifestFailedText, nullptr},
    {"killed_mid_run_reports_103_once", {kServed}, Serve::kHangingManifest, Drive::kKill, {20, 21, 103, 21},
     nullptr, nullptr},
    {"missing_program_gives_4", {kMissing}, Serve::kNothing, Drive::kNoProgram, {4, 0, 4, 0}, nullptr, nullptr},
    {"wait_clean_run", {kServed}, Serve::kEmptyList, Drive::kWait, {100}, nullptr, nullptr},
    {"poll_clean_run", {kServed}, Serve::kTwoSlowFiles, Drive::kPollLoop, {20, 21, 22, kProgress, 40, 100},
     nullptr, nullptr},
    {"poll_clean_run_without_loop", {kServed}, Serve::kTwoSlowFiles, Drive::kPollNoLoop,
     {20, 21, 22, kProgress, 40, 100}, nullptr, nullptr},
    {"wait_broken_list", {kServed}, Serve::kBrokenList, Drive::kWait, {101}, kUpdateListFailedText, nullptr},
};
// clang-format on

void ServeFor(Serve serve) {
  const std::string manifest =
      serve == Serve::kEmptyList ? "<UPDATELIST/>"
      : serve == Serve::kBrokenList
          ? "<NOLIST/>"
          : "<UPDATELIST><UPDATEITEM NAME=\"ControlTest\"><MODE NAME=\"velsetup\"/>"
            "<FILE NAME=\"a.txt\"><SOURCE>http://update.orbina.com/orbina/velsetup/ctltest/"
            "a.txt</SOURCE><DEST>[WINDOWS]\\VelSetupCtlTest</DEST><RUNFILE NAME=\"runner.exe\"><RUNSOURCE>"
            "http://update.orbina.com/orbina/velsetup/ctltest/runner.exe</RUNSOURCE><RUNPARAM>--sleep 1000"
            "</RUNPARAM></RUNFILE></FILE>"
            "<FILE NAME=\"b.txt\"><SOURCE>http://update.orbina.com/orbina/velsetup/ctltest/"
            "b.txt</SOURCE><DEST>[WINDOWS]\\VelSetupCtlTest</DEST></FILE>"
            "</UPDATEITEM></UPDATELIST>";
  ASSERT_TRUE(portal::Put("orbina/velsetup/ctltest/control.xml", manifest));
  ASSERT_TRUE(portal::Put("orbina/velsetup/ctltest/a.txt", std::string(300, 'a')));
  ASSERT_TRUE(portal::Put("orbina/velsetup/ctltest/b.txt", std::string(300, 'b')));
  ASSERT_TRUE(portal::Put("orbina/velsetup/ctltest/runner.exe",
                          ReadFileBytes(BinFolder() + "\\fixtures\\recorder.exe")));
  ASSERT_TRUE(portal::SetFaults(
      serve == Serve::kHangingManifest ? "/orbina/velsetup/ctltest/control.xml trickle=1 delay=60000"
      : serve == Serve::kTwoSlowFiles  ? "/orbina/velsetup/ctltest/control.xml trickle=128 delay=400\n"
                                         "/orbina/velsetup/ctltest/a.txt trickle=64 delay=200\n"
                                         "/orbina/velsetup/ctltest/b.txt trickle=64 delay=200"
                                       : ""));
}

// The first poll may come after the run has queued 21: a leading 20 may be missed.
bool Matches(const std::vector<int>& seen, const std::vector<int>& expected) {
  size_t at = 0;
  for (int want : expected) {
    const size_t first = at;
    if (want == 20 && first == 0 && expected.size() > 1 && !seen.empty() && seen[0] == expected[1]) {
      continue;
    } else if (want == kProgress) {
      while (at < seen.size() && seen[at] >= 30 && seen[at] <= 39 &&
             (at == first || seen[at] >= seen[at - 1]))
        ++at;
      if (at == first) return false;
    } else if (at >= seen.size() || seen[at++] != want) {
      return false;
    }
  }
  return at == seen.size();
}

bool IsFinal(short status) {
  return status == SETUP_STATUS_SUCCEEDED || status == SETUP_STATUS_FAILED || status == 103 || status == 90 ||
         status == 91;
}

class ControlLaunchTest : public ::testing::TestWithParam<LaunchCase> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(portal::Available());
    ServeFor(GetParam().serve);
    RemoveTree(InstalledFolder());
    // The run file records its start there rather than beside itself in the temporary folder.
    ::SetEnvironmentVariableA("VELSETUP_RECORD_FILE", RecordFile().c_str());
  }
  void TearDown() override {
    portal::SetFaults("");
    RemoveTree(InstalledFolder());
    ::SetEnvironmentVariableA("VELSETUP_RECORD_FILE", nullptr);
    ::DeleteFileA(RecordFile().c_str());
  }
  static std::string RecordFile() {
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    return std::string(temp) + "velsetup-control-runner.record";
  }
  static std::string InstalledFolder() {
    char windows[MAX_PATH] = {};
    ::GetWindowsDirectoryA(windows, MAX_PATH);
    return std::string(windows) + "\\VelSetupCtlTest";
  }

  const CCleanSetupRegistry m_registry;
  CSystemSetupManager m_setupManager;
};

TEST_P(ControlLaunchTest, PageSeesTheStatuses) {
  const LaunchCase& row = GetParam();
  const CComPtrLite<IVelSetupCtrl> control = CreateControl();
  for (const std::wstring& text : row.params) {
    EXPECT_EQ(control->put_InstallParam(CBstr(text).Get()), text == kOverlong ? E_INVALIDARG : S_OK);
  }
  std::vector<int> seen;
  std::vector<std::wstring> boxes;
  short status = -1;
  const auto ask = [&](HRESULT hr) {
    EXPECT_EQ(hr, S_OK);
    if (seen.empty() || seen.back() != status) seen.push_back(status);
  };
  if (row.drive == Drive::kWait) {
    CBoxAnswerer answerer({}, FindSetupManagerBox);
    ask(control->WaitUpdate(&status));
    ASSERT_TRUE(WaitForNoSetupManager());
    boxes = answerer.Texts();
  } else if (row.drive == Drive::kNoProgram) {
    m_setupManager.Remove();
    ask(control->StartUpdate(&status));
    ask(control->GetStatus(&status));
    ask(control->WaitUpdate(&status));
    ask(control->GetStatus(&status));
  } else {
    ASSERT_EQ(control->StartUpdate(&status), S_OK);
    ASSERT_EQ(status, 0);
    seen.clear();
    for (int i = 0; i < 3000 && (row.drive == Drive::kKill ? status != 21 : !IsFinal(status)); ++i) {
      // A box is answered only after GetStatus has been asked while it showed.
      const HWND box = row.drive == Drive::kKill ? nullptr : FindSetupManagerBox();
      ask(control->GetStatus(&status));
      if (box != nullptr) boxes.push_back(AnswerOk(box));
      if (row.drive == Drive::kPollLoop) {
        PumpMessagesFor(20);
      } else {
        ::Sleep(20);
      }
    }
    if (row.drive == Drive::kKill) {
      KillSetupManagers();
      ask(control->GetStatus(&status));
    }
    ASSERT_TRUE(WaitForNoSetupManager());
    // Closed or reported ended: the process no longer counts.
    ask(control->GetStatus(&status));
  }
  EXPECT_TRUE(Matches(seen, row.statuses)) << ::testing::PrintToString(seen);
  EXPECT_EQ(boxes, row.box ? std::vector<std::wstring>{row.box} : std::vector<std::wstring>());
  if (row.receivedParam != nullptr) {
    std::vector<std::wstring> parsed;
    for (const std::wstring& line : m_setupManager.LogLines()) {
      const size_t at = line.find(L"CDlgDownload::ParseXMLArgument(");
      if (at != std::wstring::npos) parsed.push_back(line.substr(at));
    }
    EXPECT_EQ(parsed, std::vector<std::wstring>{L"CDlgDownload::ParseXMLArgument(" +
                                                std::wstring(row.receivedParam) + L")"});
  }
}

INSTANTIATE_TEST_SUITE_P(Runs, ControlLaunchTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<LaunchCase>& info) { return info.param.name; });

TEST(ControlLaunch, TwoControlsKeepTheirOwnStatus) {
  ASSERT_TRUE(portal::SetFaults(""));
  const CSystemSetupManager setupManager;
  const CComPtrLite<IVelSetupCtrl> first = CreateControl(), second = CreateControl();
  short status = -1;
  ASSERT_EQ(first->put_InstallParam(CBstr(kMissing).Get()), S_OK);
  ASSERT_EQ(second->put_InstallParam(CBstr(kMissing).Get()), S_OK);
  // The first run stops at its message box after status 21; the second waits for the one run
  // lock until the first is killed, then stops at its own box.
  ASSERT_EQ(first->StartUpdate(&status), S_OK);
  const HWND firstBox = WaitForSetupManagerBox(0);
  ASSERT_NE(firstBox, nullptr);
  DWORD firstPid = 0;
  ::GetWindowThreadProcessId(firstBox, &firstPid);
  ASSERT_EQ(second->StartUpdate(&status), S_OK);
  KillSetupManagers(firstPid);
  const HWND secondBox = WaitForSetupManagerBox(firstPid);
  ASSERT_NE(secondBox, nullptr);

  const std::pair<IVelSetupCtrl*, short> answers[] = {{second.Get(), SETUP_STATUS_GET_MANIFEST},
                                                      {first.Get(), 103},
                                                      {nullptr, 0},
                                                      {second.Get(), SETUP_STATUS_FAILED},
                                                      {first.Get(), SETUP_STATUS_GET_MANIFEST}};
  for (const auto& answer : answers) {
    if (answer.first == nullptr) {
      AnswerOk(secondBox);
      ASSERT_TRUE(WaitForNoSetupManager());
      continue;
    }
    EXPECT_EQ(answer.first->GetStatus(&status), S_OK);
    EXPECT_EQ(status, answer.second);
  }
}

struct StartFailureCase {
  const char* name;
  bool badImage;  // the file is no program; otherwise a copy of a program held by another handle
  bool deleted;
};

// clang-format off
const StartFailureCase kStartFailures[] = {
    {"bad_image_is_deleted", true, true},
    // As a virus scanner holds it: not shared for reading, so the start fails, but shared for
    // deletion, so that a deletion would succeed.
    {"held_program_stays", false, false},
};
// clang-format on

TEST(ControlLaunch, FailedStartDeletesOnlyABadImage) {
  const std::string program = SystemFolder() + "VelSetup.exe";
  for (const StartFailureCase& row : kStartFailures) {
    SCOPED_TRACE(row.name);
    CScopedFile holder;
    if (row.badImage) {
      ASSERT_TRUE(WriteFileBytes(program, "MZ and nothing of a program"));
    } else {
      ASSERT_TRUE(::CopyFileA((BinFolder() + "\\fixtures\\recorder.exe").c_str(), program.c_str(), FALSE));
      holder.Reset(::CreateFileA(program.c_str(), GENERIC_READ, FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
      ASSERT_TRUE(holder.IsValid());
    }
    const CComPtrLite<IVelSetupCtrl> control = CreateControl();
    short status = -1;
    EXPECT_EQ(control->StartUpdate(&status), S_OK);
    EXPECT_EQ(status, SETUP_STATUS_START_FAILED);
    holder.Reset();
    EXPECT_EQ(::GetFileAttributesA(program.c_str()) == INVALID_FILE_ATTRIBUTES, row.deleted);
    ::DeleteFileA(program.c_str());
  }
}

// The main window of the setup manager `pid`, or null.
HWND SetupManagerFrame(DWORD pid) {
  for (HWND window = ::FindWindowExA(nullptr, nullptr, "VelMgrMainFrame", nullptr); window != nullptr;
       window = ::FindWindowExA(nullptr, window, "VelMgrMainFrame", nullptr)) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == pid) return window;
  }
  return nullptr;
}

// Waits until the setup manager's log holds `count` lines saying a run waits for the lock.
bool WaitForLockWaiters(const CSystemSetupManager& setupManager, size_t count) {
  for (int i = 0; i < 3000; ++i) {
    size_t waiting = 0;
    for (const std::wstring& line : setupManager.LogLines())
      waiting += line.find(L"[RunLock] Waiting") != std::wstring::npos ? 1 : 0;
    if (waiting >= count) return true;
    ::Sleep(20);
  }
  return false;
}

TEST(ControlLaunch, WaitOutlastedAndAnEarlierRunEndingLater) {
  const CSystemSetupManager setupManager;
  const CComPtrLite<IVelSetupCtrl> control = CreateControl();
  using SetWaitLimit = void(WINAPI*)(DWORD);
  const auto setWaitLimit =
      GetProcAddressAs<SetWaitLimit>(::GetModuleHandleA("VelSetup.dll"), "VelSetupSetWaitLimitForTesting");
  ASSERT_NE(setWaitLimit, nullptr);
  // The test holds the run lock: every run waits for it and can only end by a close request.
  const CScopedHandle lock(::CreateMutexA(nullptr, TRUE, "Global\\OrbinaVelSetupRun"));
  ASSERT_TRUE(lock);
  ASSERT_EQ(control->put_InstallParam(CBstr(kMissing).Get()), S_OK);
  short status = -1;
  setWaitLimit(2000);
  EXPECT_EQ(control->WaitUpdate(&status), S_OK);
  setWaitLimit(0);
  // The run cannot have ended: WaitUpdate gave up waiting and returns the status reached.
  EXPECT_EQ(status, SETUP_STATUS_STARTED);
  const std::vector<DWORD> first = SetupManagerPids();
  ASSERT_EQ(first.size(), 1u);
  ASSERT_TRUE(WaitForLockWaiters(setupManager, 1));

  // A second run of the same control; the first then ends with 101, which is no longer its news.
  ASSERT_EQ(control->StartUpdate(&status), S_OK);
  ASSERT_TRUE(WaitForLockWaiters(setupManager, 2));
  ::PostMessageA(SetupManagerFrame(first[0]), WM_CLOSE, 0, 0);
  const CScopedHandle firstProcess(::OpenProcess(SYNCHRONIZE, FALSE, first[0]));
  ASSERT_TRUE(firstProcess);
  ASSERT_EQ(::WaitForSingleObject(firstProcess.Get(), 60000), WAIT_OBJECT_0);
  PumpMessagesFor(200);
  EXPECT_EQ(control->GetStatus(&status), S_OK);
  EXPECT_EQ(status, SETUP_STATUS_STARTED);

  KillSetupManagers();
  ASSERT_TRUE(WaitForNoSetupManager());
  ::ReleaseMutex(lock.Get());
}

}  // namespace
