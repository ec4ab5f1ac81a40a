#include "ProcessLocator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Answers.h"
#include "Pump.h"
#include "SetupRun.h"
#include "UiRobot.h"
#include "WinHandles.h"
#include "resource.h"

namespace {

const wchar_t kHolderDescription[] = L"파일을 잡고 있는 프로그램";
const wchar_t kDeleteQuestion[] =
    L"삭제하고자 하는 컨트롤을 다음 실행파일에서 사용중입니다. \n\n%s ( %s )\n\n"
    L"이 프로그램을 종료해야만 해당 파일을 삭제할 수 있습니다. \n"
    L"프로그램을 강제로 종료하시겠습니까?";
const wchar_t kInstallQuestion[] =
    L"설치하고자 하는 파일을 다음 프로그램에서 사용 중입니다.\n\n%s ( %s )\n\n"
    L"이 프로그램을 종료해야만 해당 파일을 설치할 수 있습니다. \n"
    L"프로그램을 강제로 종료하시겠습니까?";

std::wstring Question(UINT id, const std::wstring& description, const std::wstring& path) {
  std::wstring text = id == IDS_CLOSE_TO_DELETE ? kDeleteQuestion : kInstallQuestion;
  size_t at = text.find(L"%s");
  text.replace(at, 2, description);
  at = text.find(L"%s", at + description.size());
  text.replace(at, 2, path);
  return text;
}

// Long names in a long-named folder, so that every file has a short form of its own.
struct Fixtures {
  std::string folder;
  std::string library;       // the library the holders load
  std::string libraryShort;  // its 8.3 form, which the holders load it by
  std::string unheld;        // a copy that nobody loads
  std::string holders[2];
};

std::string ShortForm(const std::string& path) {
  char buffer[MAX_PATH];
  const DWORD length = ::GetShortPathNameA(path.c_str(), buffer, sizeof buffer);
  return length > 0 && length < sizeof buffer ? std::string(buffer, length) : std::string();
}

const Fixtures& TheFixtures() {
  static const Fixtures fixtures = [] {
    Fixtures f;
    char temp[MAX_PATH];
    ::GetTempPathA(sizeof temp, temp);
    f.folder = std::string(temp) + "velsetup process fixtures " + std::to_string(::GetCurrentProcessId());
    ::CreateDirectoryA(f.folder.c_str(), nullptr);
    const std::string bin = TestBinaryFolder() + "\\";
    f.library = f.folder + "\\velsetup fixture library.dll";
    f.unheld = f.folder + "\\velsetup unheld library.dll";
    f.holders[0] = f.folder + "\\velsetup holder one.exe";
    f.holders[1] = f.folder + "\\velsetup holder two.exe";
    ::CopyFileA((bin + "velsetup_fixture.dll").c_str(), f.library.c_str(), FALSE);
    ::CopyFileA((bin + "velsetup_fixture.dll").c_str(), f.unheld.c_str(), FALSE);
    for (const std::string& holder : f.holders)
      ::CopyFileA((bin + "velsetup_holder.exe").c_str(), holder.c_str(), FALSE);
    f.libraryShort = ShortForm(f.library);
    return f;
  }();
  return fixtures;
}

// A holder process, ended by its handle when the case is over, whatever happened.
class CHolder {
 public:
  CHolder(const std::string& program, const std::string& library) : m_program(program) {
    const std::string eventName = "velsetup_holder_ready_" + std::to_string(::GetCurrentProcessId()) + "_" +
                                  std::to_string(reinterpret_cast<uintptr_t>(this));
    m_hReady.Reset(::CreateEventA(nullptr, TRUE, FALSE, eventName.c_str()));
    m_letGo.Reset(::CreateEventA(nullptr, TRUE, FALSE, (eventName + "_let_go").c_str()));
    if (!m_hReady) return;
    m_process =
        StartProcess("\"" + program + "\" \"" + library + "\" " + eventName + " " + eventName + "_let_go",
                     program.c_str(), nullptr, &m_pid);
    if (!m_process) return;
    const HANDLE waits[] = {m_hReady.Get(), m_process.Get()};
    m_ready = ::WaitForMultipleObjects(2, waits, FALSE, 30000) == WAIT_OBJECT_0;
  }
  ~CHolder() {
    if (m_process && ::WaitForSingleObject(m_process.Get(), 0) == WAIT_TIMEOUT) {
      ::TerminateProcess(m_process.Get(), 1);
      ::WaitForSingleObject(m_process.Get(), 10000);
    }
  }
  CHolder(const CHolder&) = delete;
  CHolder& operator=(const CHolder&) = delete;

  bool Ready() const { return m_ready; }
  DWORD Pid() const { return m_pid; }
  const std::string& Program() const { return m_program; }
  bool EndedByLocator() const {
    DWORD code = 1;
    return ::WaitForSingleObject(m_process.Get(), 10000) == WAIT_OBJECT_0 &&
           ::GetExitCodeProcess(m_process.Get(), &code) && code == 0;
  }
  bool Running() const { return ::WaitForSingleObject(m_process.Get(), 0) == WAIT_TIMEOUT; }
  // Ends it as something other than the locator would (exit code 1).
  void End() const {
    ::TerminateProcess(m_process.Get(), 1);
    ::WaitForSingleObject(m_process.Get(), 10000);
  }
  // Has the holder free the library and run on; true once it has done so.
  bool LetGo() const {
    ::ResetEvent(m_hReady.Get());
    ::SetEvent(m_letGo.Get());
    return ::WaitForSingleObject(m_hReady.Get(), 30000) == WAIT_OBJECT_0 && Running();
  }

 private:
  std::string m_program;
  CScopedHandle m_hReady;  // set again once the holder has freed the library
  CScopedHandle m_letGo;
  CScopedHandle m_process;
  DWORD m_pid = 0;
  bool m_ready = false;
};

struct Outcome {
  bool result = false;
  std::vector<robot::ShownDialog> questions;
};

// Runs the locator on a worker thread and answers its questions in order from this one, as a
// person would; questions beyond `answers` get No. `beforeAnswer` runs while question n is open.
Outcome LocateAndAnswer(const std::string& file, UINT question, EProcessFacility facility,
                        const std::vector<int>& answers, const std::function<void(size_t)>& beforeAnswer) {
  Outcome outcome;
  std::atomic<bool> done(false);
  std::thread worker([&] {
    outcome.result = TerminateProcessesUsingFile(file.c_str(), question, facility);
    done = true;
  });
  const DWORD self = ::GetCurrentProcessId();
  const DWORD start = ::GetTickCount();
  bool late = false;
  while (!done) {
    if (const HWND box = robot::FindShownDialog(self)) {
      outcome.questions.push_back(robot::Describe(box));
      const size_t asked = outcome.questions.size();
      beforeAnswer(asked - 1);
      robot::PressButton(box, asked <= answers.size() ? answers[asked - 1] : IDNO);
      while (::IsWindow(box) && !done) PumpMessagesFor(20);
    }
    if (!late && ::GetTickCount() - start > 120000) {
      ADD_FAILURE() << "the locator did not return in time";
      late = true;
    }
    PumpMessagesFor(20);
  }
  worker.join();
  return outcome;
}

enum class Query { Long, Doubled, Short, OtherFile, HolderProgram };

constexpr EProcessFacility kAny = EProcessFacility::Any, kPsapi = EProcessFacility::Psapi,
                           kToolhelp = EProcessFacility::Toolhelp, kNone = EProcessFacility::None;
constexpr UINT kDelete = IDS_CLOSE_TO_DELETE, kInstall = IDS_CLOSE_TO_INSTALL;

struct Case {
  const char* name;
  EProcessFacility facility;
  int holders;     // each loads the library by its short form
  bool selfHolds;  // the test process loads the library too
  Query query;
  UINT question;
  std::vector<int> answers;  // one per expected question, in list order
  bool result;
  // What the first holder asked about does while its question is open.
  enum class Change { kNone, kLetGo, kReplaced } change = Change::kNone;
};
using Change = Case::Change;

// kReplaced: once the first holder has ended at its question, its identifier names a newcomer
// that holds the library too, as when the system gives a freed identifier to another program.
std::atomic<DWORD> g_replacedPid(0), g_newcomerPid(0);
HANDLE WINAPI OpenReplaced(DWORD access, BOOL inherit, DWORD processId) {
  return ::OpenProcess(access, inherit, processId == g_replacedPid ? g_newcomerPid.load() : processId);
}

const Case kCases[] = {
    {"PsapiLongPathYesEnds", kPsapi, 1, false, Query::Long, kInstall, {IDYES}, true},
    {"PsapiDoubledSeparatorNoKeeps", kPsapi, 1, false, Query::Doubled, kDelete, {IDNO}, false},
    {"ShortPathFindsHolder", kAny, 1, false, Query::Short, kDelete, {IDYES}, true},
    {"TwoHoldersYesThenNo", kAny, 2, false, Query::Long, kInstall, {IDYES, IDNO}, false},
    {"ToolhelpTwoHoldersBothEnded", kToolhelp, 2, false, Query::Doubled, kDelete, {IDYES, IDYES}, true},
    {"ToolhelpNoKeeps", kToolhelp, 1, false, Query::Long, kInstall, {IDNO}, false},
    {"FileHeldByNobodyAsksNothing", kAny, 1, false, Query::OtherFile, kInstall, {}, true},
    {"ProgramFileIsNoModule", kPsapi, 1, false, Query::HolderProgram, kInstall, {}, true},
    {"PsapiOwnProcessNeverOffered", kPsapi, 0, true, Query::Long, kDelete, {}, true},
    {"ToolhelpOwnProcessNeverOffered", kToolhelp, 0, true, Query::Long, kDelete, {}, true},
    {"NoFacilityAsksNothing", kNone, 1, false, Query::Long, kInstall, {}, true},
    // clang-format off
    {"HolderLetGoBeforeTheAnswerRunsOn", kPsapi, 1, false, Query::Long, kInstall, {IDYES}, true, Change::kLetGo},
    {"ToolhelpHolderLetGoBeforeTheAnswerRunsOn", kToolhelp, 1, false, Query::Long, kDelete, {IDYES}, true,
     Change::kLetGo},
    {"HolderReplacedBeforeTheAnswerNothingEnded", kPsapi, 1, false, Query::Long, kInstall, {IDYES}, true,
     Change::kReplaced},
    // clang-format on
};

std::string QueryPath(const Fixtures& f, Query query) {
  switch (query) {
    case Query::Long:
      return f.library;
    case Query::Doubled: {
      std::string path = f.library;
      return path.insert(path.rfind('\\'), "\\");
    }
    case Query::Short:
      return f.libraryShort;
    case Query::OtherFile:
      return f.unheld;
    case Query::HolderProgram:
      return f.holders[0];
  }
  return std::string();
}

// Where each holder stands in the facility's list.
std::vector<size_t> ListOrder(EProcessFacility facility,
                              const std::vector<std::unique_ptr<CHolder>>& holders) {
  CProcessList list(facility);
  list.Enumerate();
  std::vector<std::pair<size_t, size_t>> positions;  // (list index, holder index)
  for (size_t h = 0; h < holders.size(); ++h) {
    for (size_t i = 0; i < list.GetCount(); ++i) {
      if (list.GetAt(i).GetProcessId() == holders[h]->Pid()) positions.emplace_back(i, h);
    }
  }
  std::sort(positions.begin(), positions.end());
  std::vector<size_t> order;
  for (const auto& position : positions) order.push_back(position.second);
  return order;
}

void RunCase(const Case& c) {
  SCOPED_TRACE(c.name);
  const Fixtures& f = TheFixtures();
  ASSERT_FALSE(f.libraryShort.empty());
  ASSERT_NE(f.library, f.libraryShort);
  std::vector<std::unique_ptr<CHolder>> holders;
  for (int i = 0; i < c.holders; ++i) {
    holders.push_back(std::make_unique<CHolder>(f.holders[i], f.libraryShort));
    ASSERT_TRUE(holders.back()->Ready()) << "holder " << i << " did not load the library";
  }
  CScopedModule own;
  if (c.selfHolds) {
    own.Reset(::LoadLibraryA(f.libraryShort.c_str()));
    ASSERT_TRUE(own);
  }
  const std::vector<size_t> order = ListOrder(c.facility, holders);
  if (c.facility != EProcessFacility::None) {
    ASSERT_EQ(holders.size(), order.size());
  }

  std::unique_ptr<CHolder> newcomer;
  g_replacedPid = 0;
  SetProcessOpenForTesting(c.change == Change::kReplaced ? OpenReplaced : nullptr);
  const Outcome outcome =
      LocateAndAnswer(QueryPath(f, c.query), c.question, c.facility, c.answers, [&](size_t question) {
        if (question != 0) return;
        if (c.change == Change::kLetGo) {
          EXPECT_TRUE(holders[order[0]]->LetGo());
        } else if (c.change == Change::kReplaced) {
          holders[order[0]]->End();
          newcomer = std::make_unique<CHolder>(f.holders[1], f.libraryShort);
          EXPECT_TRUE(newcomer->Ready());
          g_newcomerPid = newcomer->Pid();
          g_replacedPid = holders[order[0]]->Pid();
        }
      });
  SetProcessOpenForTesting(nullptr);
  if (newcomer) {
    EXPECT_TRUE(newcomer->Running()) << "the newcomer was never asked about";
  }

  EXPECT_EQ(c.result, outcome.result);
  ASSERT_EQ(c.answers.size(), outcome.questions.size());
  for (size_t q = 0; q < outcome.questions.size(); ++q) {
    const CHolder& holder = *holders[order[q]];
    EXPECT_EQ(kAppTitle, outcome.questions[q].title);
    EXPECT_EQ(Question(c.question, kHolderDescription, Widen(holder.Program())), outcome.questions[q].text);
  }
  // Asked holders end on Yes and live on after No; holders not asked live on.
  for (size_t position = 0; position < order.size(); ++position) {
    const CHolder& holder = *holders[order[position]];
    if (position == 0 && c.change != Change::kNone) {
      EXPECT_EQ(c.change == Change::kLetGo, holder.Running()) << "the first holder";
    } else if (position < c.answers.size() && c.answers[position] == IDYES) {
      EXPECT_TRUE(holder.EndedByLocator()) << "holder " << position << " in list order";
    } else {
      EXPECT_TRUE(holder.Running()) << "holder " << position << " in list order";
    }
  }
}

TEST(ProcessLocator, Cases) {
  for (const Case& c : kCases) RunCase(c);
  const Fixtures& f = TheFixtures();
  for (const std::string& file : {f.library, f.unheld, f.holders[0], f.holders[1]})
    ::DeleteFileA(file.c_str());
  ::RemoveDirectoryA(f.folder.c_str());
}

}  // namespace
