// The control starting the real VelSetup.exe from the system folder against the portal fixture,
// and the statuses a page sees.
#include <gtest/gtest.h>

#include <algorithm>

#include "Answers.h"
#include "ControlTestSupport.h"
#include "Portal.h"
#include "Pump.h"
#include "RunState.h"
#include "SetupProtocol.h"
#include "UiRobot.h"

namespace {

// Set once VelSetup.exe fetches manifests and installs: the rows of complete runs then run too.
constexpr bool kSetupManagerCompletesRuns = false;

const char kManifestPath[] = "orbina/velsetup/ctltest/control.xml";
const char kManifestUrl[] = "http://update.orbina.com/orbina/velsetup/ctltest/control.xml";
const wchar_t kUpdateListFailedText[] = L"업데이트 목록 파일에 문제가 발생했습니다.";

// A run that installs two files into a folder of its own.
const char kTwoFileManifest[] =
    "<UPDATELIST><UPDATEITEM NAME=\"ControlTest\"><MODE NAME=\"velsetup\"/>"
    "<FILE NAME=\"ctl_a.txt\"><SOURCE>http://update.orbina.com/orbina/velsetup/ctltest/ctl_a.txt</SOURCE>"
    "<DEST>[WINDOWS]\\VelSetupCtlTest</DEST></FILE>"
    "<FILE NAME=\"ctl_b.txt\"><SOURCE>http://update.orbina.com/orbina/velsetup/ctltest/ctl_b.txt</SOURCE>"
    "<DEST>[WINDOWS]\\VelSetupCtlTest</DEST></FILE></UPDATEITEM></UPDATELIST>";

std::wstring Param(const std::string& source) {
  return Widen949("<PARAM><SOURCE>" + source + "</SOURCE><MODE>velsetup</MODE><SHOWDLG>0</SHOWDLG></PARAM>");
}

enum class Drive {
  kWait,        // WaitUpdate, while another thread answers the message boxes
  kPollLoop,    // StartUpdate, then GetStatus from a thread that runs a message loop
  kPollNoLoop,  // StartUpdate, then GetStatus from a thread that never handles messages
  kKillMidRun,  // StartUpdate, GetStatus until 21, the process killed, GetStatus twice
  kNoSetupManager,
};

// One of the statuses 30 to 39, one or more times, never going down.
constexpr int kProgress = -1;

struct LaunchCase {
  const char* name;
  std::vector<std::wstring> params;  // written in turn; each longer than 4,095 bytes is refused
  std::string manifest;              // served at kManifestPath when not empty
  std::string faults;
  Drive drive;
  std::vector<int> statuses;        // WaitUpdate's result, or the distinct GetStatus answers in turn
  std::vector<std::wstring> boxes;  // message box texts answered with OK
  const wchar_t* receivedParam;     // the install parameter the setup manager logged; null: not checked
  bool completeRun;
};

const std::wstring kQuotedParam =
    Param(kMissingManifestUrl) + L"<NOTE>\" -u -w 0 -x \"<PARAM><MODE>other</MODE></PARAM>\\\"</NOTE>\\";

std::vector<LaunchCase> Cases() {
  const std::wstring missing = Param(kMissingManifestUrl);
  const std::wstring served = Param(kManifestUrl);
  return {
      {"wait_failed_run", {missing}, "", "", Drive::kWait, {101}, {kManifestFailedText}, nullptr, false},
      {"quotes_and_trailing_backslash_arrive_unchanged",
       {kQuotedParam},
       "",
       "",
       Drive::kWait,
       {101},
       {kManifestFailedText},
       kQuotedParam.c_str(),
       false},
      {"no_parameter_passes_an_empty_one", {}, "", "", Drive::kWait, {20}, {kAbnormalStartText}, L"", false},
      {"refused_parameter_leaves_none",
       {missing, std::wstring(4096, L'a')},
       "",
       "",
       Drive::kWait,
       {20},
       {kAbnormalStartText},
       L"",
       false},
      {"poll_with_message_loop",
       {missing},
       "",
       "",
       Drive::kPollLoop,
       {20, 21, 101},
       {kManifestFailedText},
       nullptr,
       false},
      {"poll_without_message_loop",
       {missing},
       "",
       "",
       Drive::kPollNoLoop,
       {20, 21, 101},
       {kManifestFailedText},
       nullptr,
       false},
      {"killed_mid_run_reports_103_once",
       {served},
       kTwoFileManifest,
       "/orbina/velsetup/ctltest/control.xml trickle=1 delay=60000",
       Drive::kKillMidRun,
       {20, 21, 103, 21},
       {},
       nullptr,
       false},
      {"missing_setup_manager", {missing}, "", "", Drive::kNoSetupManager, {4, 0, 4, 0}, {}, nullptr, false},
      {"wait_clean_run", {served}, "<UPDATELIST/>", "", Drive::kWait, {100}, {}, nullptr, true},
      {"poll_clean_run",
       {served},
       kTwoFileManifest,
       "/orbina/velsetup/ctltest/ctl_a.txt trickle=64 delay=200\n/orbina/velsetup/ctltest/ctl_b.txt "
       "trickle=64 delay=200",
       Drive::kPollLoop,
       {20, 21, 22, kProgress, 40, 100},
       {},
       nullptr,
       true},
      {"poll_clean_run_without_loop",
       {served},
       kTwoFileManifest,
       "/orbina/velsetup/ctltest/ctl_a.txt trickle=64 delay=200\n/orbina/velsetup/ctltest/ctl_b.txt "
       "trickle=64 delay=200",
       Drive::kPollNoLoop,
       {20, 21, 22, kProgress, 40, 100},
       {},
       nullptr,
       true},
      {"broken_manifest",
       {served},
       "<NOLIST/>",
       "",
       Drive::kWait,
       {101},
       {kUpdateListFailedText},
       nullptr,
       true},
  };
}

bool Matches(const std::vector<int>& seen, const std::vector<int>& expected) {
  size_t at = 0;
  for (int want : expected) {
    if (want != kProgress) {
      if (at >= seen.size() || seen[at++] != want) return false;
      continue;
    }
    const size_t first = at;
    while (at < seen.size() && seen[at] >= 30 && seen[at] <= 39 && (at == first || seen[at] >= seen[at - 1]))
      ++at;
    if (at == first) return false;
  }
  return at == seen.size();
}

bool IsFinal(short status) {
  return status == SETUP_STATUS_SUCCEEDED || status == SETUP_STATUS_FAILED ||
         status == SETUP_STATUS_PROCESS_ENDED || status == SETUP_STATUS_REBOOT_DECLINED ||
         status == SETUP_STATUS_REBOOT_ACCEPTED;
}

class ControlLaunchTest : public ::testing::TestWithParam<LaunchCase> {
 protected:
  void SetUp() override {
    if (GetParam().completeRun && !kSetupManagerCompletesRuns) {
      GTEST_SKIP() << "needs a setup manager that completes update runs";
    }
    ASSERT_TRUE(portal::Available());
    ASSERT_TRUE(portal::SetFaults(GetParam().faults));
    if (!GetParam().manifest.empty()) {
      ASSERT_TRUE(portal::Put(kManifestPath, GetParam().manifest));
      ASSERT_TRUE(portal::Put("orbina/velsetup/ctltest/ctl_a.txt", std::string(300, 'a')));
      ASSERT_TRUE(portal::Put("orbina/velsetup/ctltest/ctl_b.txt", std::string(300, 'b')));
    }
  }
  void TearDown() override { portal::SetFaults(""); }

  // GetStatus until a final status, answering a message box only after the status it was shown
  // at has been asked for; the distinct answers in turn.
  std::vector<int> Poll(IVelSetupCtrl* control, bool messageLoop, std::vector<std::wstring>& boxes) {
    std::vector<int> seen;
    for (int i = 0; i < 3000; ++i) {
      const HWND box = FindSetupManagerBox();
      short status = 0;
      EXPECT_EQ(control->GetStatus(&status), S_OK);
      if (seen.empty() || seen.back() != status) seen.push_back(status);
      if (IsFinal(status)) break;
      if (box != nullptr) boxes.push_back(AnswerOk(box));
      if (messageLoop) {
        PumpMessagesFor(20);
      } else {
        ::Sleep(20);
      }
    }
    return seen;
  }

  CSystemSetupManager m_setupManager;
};

TEST_P(ControlLaunchTest, PageSeesTheStatuses) {
  const LaunchCase& row = GetParam();
  const CComPtrLite<IVelSetupCtrl> control = CreateControl();
  for (const std::wstring& text : row.params) {
    const CBstr param(text);
    EXPECT_EQ(control->put_InstallParam(param.Get()), ToAnsi(text).size() > 4095 ? E_INVALIDARG : S_OK);
  }
  std::vector<int> seen;
  std::vector<std::wstring> boxes;
  short status = -1;
  switch (row.drive) {
    case Drive::kWait: {
      CMessageBoxAnswerer answerer;
      ASSERT_EQ(control->WaitUpdate(&status), S_OK);
      seen.push_back(status);
      ASSERT_TRUE(WaitForNoSetupManager());
      boxes = answerer.Texts();
      break;
    }
    case Drive::kPollLoop:
    case Drive::kPollNoLoop:
      ASSERT_EQ(control->StartUpdate(&status), S_OK);
      ASSERT_EQ(status, 0);
      seen = Poll(control.Get(), row.drive == Drive::kPollLoop, boxes);
      ASSERT_TRUE(WaitForNoSetupManager());
      // Closed: the ended process no longer counts.
      EXPECT_EQ(control->GetStatus(&status), S_OK);
      EXPECT_EQ(status, seen.back());
      break;
    case Drive::kKillMidRun: {
      ASSERT_EQ(control->StartUpdate(&status), S_OK);
      for (int i = 0; i < 3000 && status != SETUP_STATUS_GET_MANIFEST; ++i) {
        EXPECT_EQ(control->GetStatus(&status), S_OK);
        if (seen.empty() || seen.back() != status) seen.push_back(status);
        ::Sleep(20);
      }
      for (DWORD pid : SetupManagerPids()) {
        const CScopedHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
        ::TerminateProcess(process.Get(), 1);
        ::WaitForSingleObject(process.Get(), 10000);
      }
      for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(control->GetStatus(&status), S_OK);
        seen.push_back(status);
      }
      break;
    }
    case Drive::kNoSetupManager:
      m_setupManager.Remove();
      for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(i == 0 ? control->StartUpdate(&status) : control->WaitUpdate(&status), S_OK);
        seen.push_back(status);
        EXPECT_EQ(control->GetStatus(&status), S_OK);
        seen.push_back(status);
      }
      break;
  }
  EXPECT_TRUE(Matches(seen, row.statuses)) << ::testing::PrintToString(seen);
  EXPECT_EQ(boxes, row.boxes);
  if (row.receivedParam != nullptr) {
    const std::vector<std::wstring> lines = m_setupManager.LogLines();
    std::vector<std::wstring> parsed;
    for (const std::wstring& line : lines) {
      const size_t at = line.find(L"CDlgDownload::ParseXMLArgument(");
      if (at != std::wstring::npos) parsed.push_back(line.substr(at));
    }
    EXPECT_EQ(parsed, std::vector<std::wstring>{L"CDlgDownload::ParseXMLArgument(" +
                                                std::wstring(row.receivedParam) + L")"});
  }
}

INSTANTIATE_TEST_SUITE_P(Runs, ControlLaunchTest, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<LaunchCase>& info) { return info.param.name; });

TEST(ControlLaunch, TwoControlsKeepTheirOwnStatus) {
  ASSERT_TRUE(portal::SetFaults(""));
  const CSystemSetupManager setupManager;
  const CComPtrLite<IVelSetupCtrl> first = CreateControl(), second = CreateControl();
  const CBstr param(Param(kMissingManifestUrl));
  short status = -1;
  ASSERT_EQ(first->put_InstallParam(param.Get()), S_OK);
  ASSERT_EQ(second->put_InstallParam(param.Get()), S_OK);

  // Each run stops at its message box after status 21.
  ASSERT_EQ(first->StartUpdate(&status), S_OK);
  HWND firstBox = nullptr;
  for (int i = 0; i < 1500 && (firstBox = FindSetupManagerBox()) == nullptr; ++i) ::Sleep(20);
  ASSERT_NE(firstBox, nullptr);
  DWORD firstPid = 0;
  ::GetWindowThreadProcessId(firstBox, &firstPid);
  ASSERT_EQ(second->StartUpdate(&status), S_OK);
  for (int i = 0; i < 1500 && SetupManagerPids().size() < 2; ++i) ::Sleep(20);
  HWND secondBox = nullptr;
  for (int i = 0; i < 1500 && secondBox == nullptr; ++i) {
    for (DWORD pid : SetupManagerPids()) {
      if (pid != firstPid && (secondBox = robot::FindShownDialog(pid)) != nullptr) break;
    }
    ::Sleep(20);
  }
  ASSERT_NE(secondBox, nullptr);

  // The first run is killed, the second fails after its box is answered.
  const CScopedHandle firstProcess(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, firstPid));
  ::TerminateProcess(firstProcess.Get(), 1);
  ::WaitForSingleObject(firstProcess.Get(), 10000);
  EXPECT_EQ(second->GetStatus(&status), S_OK);
  EXPECT_EQ(status, SETUP_STATUS_GET_MANIFEST);
  EXPECT_EQ(first->GetStatus(&status), S_OK);
  EXPECT_EQ(status, SETUP_STATUS_PROCESS_ENDED);
  AnswerOk(secondBox);
  ASSERT_TRUE(WaitForNoSetupManager());
  EXPECT_EQ(second->GetStatus(&status), S_OK);
  EXPECT_EQ(status, SETUP_STATUS_FAILED);
  EXPECT_EQ(first->GetStatus(&status), S_OK);
  EXPECT_EQ(status, SETUP_STATUS_GET_MANIFEST);
}

}  // namespace
