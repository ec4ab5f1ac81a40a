// The deletion of one recorded file, in this process: the system's answers are replaced where a
// real file system cannot give them on demand.
#include "UninstallFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "EngineTestSupport.h"
#include "LogCapture.h"
#include "SetupRun.h"
#include "SetupLog.h"
#include "WinHandles.h"

namespace {

struct Answer {
  DWORD error;  // the failure the deletion reports
  bool remove;  // the file is gone all the same
};
std::vector<Answer> g_answers;  // one per call, then the system's own deletion
size_t g_calls = 0;

BOOL WINAPI ScriptedDelete(LPCSTR path) {
  const size_t call = g_calls++;
  if (call >= g_answers.size()) return ::DeleteFileA(path);
  if (g_answers[call].remove) ::DeleteFileA(path);
  ::SetLastError(g_answers[call].error);
  return FALSE;
}

std::vector<Answer> Times(size_t count, DWORD error) {
  return std::vector<Answer>(count, Answer{error, false});
}

TEST(ForceDeleteTest, Answers) {
  const struct {
    const char* name;
    bool present;
    std::vector<Answer> answers;
    bool result;
    bool presentAfter;
    size_t calls;
    std::vector<std::string> lines;
  } cases[] = {
      {"deleted at once", true, {}, true, false, 1, {}},
      {"not found", false, {}, false, false, 1, {}},
      // Any other code counted as deleted only when the file is really gone.
      {"another code, the file stays",
       true,
       {{ERROR_WRITE_PROTECT, false}},
       false,
       true,
       1,
       {"[CDlgUninstall::ForceDelete] DeleteFile(%PATH%) Failed, Error Code = 19"}},
      {"another code, the file is gone", true, {{ERROR_NOT_READY, true}}, true, false, 1, {}},
      {"in use, released on the third try", true, Times(3, ERROR_SHARING_VIOLATION), true, false, 4, {}},
      {"access denied, then free", true, Times(1, ERROR_ACCESS_DENIED), true, false, 2, {}},
      {"in use for good: twenty tries", true, Times(21, ERROR_SHARING_VIOLATION), false, true, 21, {}},
  };
  const CTestFolder folder("velsetup uninstall force delete");
  const std::string path = folder / "recorded file.dll";
  const CScopedSeam<DeleteFileFunction> scripted(SetDeleteFileForTesting, ScriptedDelete);
  for (const auto& c : cases) {
    ::DeleteFileA(path.c_str());
    if (c.present) {
      EXPECT_TRUE(WriteFileBytes(path, "x")) << c.name;
    }
    g_answers = c.answers;
    g_calls = 0;
    LogInit(0, 2);

    EXPECT_EQ(ForceDelete(path.c_str()), c.result) << c.name;
    EXPECT_EQ(FileIsPresent(path), c.presentAfter) << c.name;
    EXPECT_EQ(g_calls, c.calls) << c.name;
    ExpectLogLines(c.lines, c.name, {{"%PATH%", path}});
  }
}

}  // namespace
