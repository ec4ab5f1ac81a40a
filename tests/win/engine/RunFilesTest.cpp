#include "RunFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CommandLineText.h"
#include "EngineTestSupport.h"
#include "Folders.h"
#include "SetupLog.h"
#include "UpdateFile.h"

namespace {

// %F in an expected line stands for the installed file's path.
std::string Expand(std::string text, const std::string& file) {
  for (size_t at = text.find("%F"); at != std::string::npos; at = text.find("%F", at + file.size())) {
    text.replace(at, 2, file);
  }
  return text;
}

// Expected lines; one ending in "*" is matched as a prefix.
void ExpectLines(const std::vector<std::string>& expected, const std::string& file, const char* caseName) {
  const std::vector<std::string> lines = LogMessages();
  ASSERT_EQ(lines.size(), expected.size()) << caseName;
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string want = Expand(expected[i], file);
    if (!want.empty() && want.back() == '*') {
      want.pop_back();
      EXPECT_EQ(lines[i].substr(0, want.size()), want) << caseName;
    } else {
      EXPECT_EQ(lines[i], want) << caseName;
    }
  }
}

struct ExecuteCase {
  const char* name;
  int execute;
  const char* param;     // PARAM, absent when null
  bool present = true;   // the installed file exists
  bool started = false;  // the recorder ran
  bool waited = false;   // and had ended when the call returned
  bool fileRemains = true;
  std::vector<std::string> lines;
};

TEST(RunFilesTest, ExecuteDownloadedFile) {
  InitFolders();
  const std::string overlong(kMaxCommandLineLength, 'p');
  const std::vector<ExecuteCase> cases = {
      {"EXECUTE 0 runs nothing", 0, "a", true, false, false, true, {}},
      {"EXECUTE 1 starts without waiting",
       1,
       "--sleep 30000",
       true,
       true,
       false,
       true,
       {"[ExecuteFile] Call CreateProcess(\"%F\" --sleep 30000)", "[ExecuteFile] CreateProcess(%F) Success"}},
      {"EXECUTE 3 without PARAM",
       3,
       nullptr,
       true,
       true,
       true,
       true,
       {"[ExecuteFile] Call CreateProcess(\"%F\")", "[ExecuteFile] CreateProcess(%F) Success"}},
      {"EXECUTE 3 waits for the end",
       3,
       "--sleep 300 two  blanks",
       true,
       true,
       true,
       true,
       {"[ExecuteFile] Call CreateProcess(\"%F\" --sleep 300 two  blanks)",
        "[ExecuteFile] CreateProcess(%F) Success"}},
      {"EXECUTE 5: the deletion fails while the file runs",
       5,
       "--sleep 30000",
       true,
       true,
       false,
       true,
       {"[ExecuteFile] Call CreateProcess(\"%F\" --sleep 30000)", "[ExecuteFile] CreateProcess(%F) Success",
        "[ExecuteDownloadedFile] DeleteFile Failed, Error Code = *"}},
      {"EXECUTE 4 alone starts the file too",
       4,
       "--sleep 30000",
       true,
       true,
       false,
       true,
       {"[ExecuteFile] Call CreateProcess(\"%F\" --sleep 30000)", "[ExecuteFile] CreateProcess(%F) Success",
        "[ExecuteDownloadedFile] DeleteFile Failed, Error Code = *"}},
      {"EXECUTE 6 waits, then deletes",
       6,
       "--sleep 100",
       true,
       true,
       true,
       false,
       {"[ExecuteFile] Call CreateProcess(\"%F\" --sleep 100)", "[ExecuteFile] CreateProcess(%F) Success",
        "[ExecuteDownloadedFile] DeleteFile Success(%F)"}},
      // The code is CreateProcess's: nothing between the call and the line changes it.
      {"a missing file: the creation's error code",
       1,
       "x",
       false,
       false,
       false,
       false,
       {"[ExecuteFile] Call CreateProcess(\"%F\" x)",
        "[ExecuteFile] CreateProcess(%F) Failed (Error Code = 2)"}},
      {"a command line that does not fit is refused, not cut",
       1,
       overlong.c_str(),
       true,
       false,
       false,
       true,
       {"[ExecuteFile] Command line too long (%F)"}},
  };

  const CTestFolder folder("velsetup engine run");
  const std::string file = folder / "Run Me.exe";
  // Started instead of the file if its path were passed unquoted.
  ASSERT_TRUE(::CopyFileA(FixturePath("recorder.exe").c_str(), (folder / "Run.exe").c_str(), FALSE));
  const std::string records = folder / "runs.txt";
  const CScopedEnvironment recordTo("VELSETUP_RECORD_FILE", records);

  for (const ExecuteCase& c : cases) {
    ::DeleteFileA(records.c_str());
    ::DeleteFileA(file.c_str());
    if (c.present) {
      ASSERT_TRUE(::CopyFileA(FixturePath("recorder.exe").c_str(), file.c_str(), FALSE)) << c.name;
    }
    CUpdateFile update;
    update.m_strName = "Run Me.exe";
    update.m_strLocalPath = file;
    update.m_nExecute = c.execute;
    if (c.param) update.m_strParam = c.param;
    LogInit(0, 2);

    update.ExecuteDownloadedFile();

    const std::vector<RecordedRun> runs = c.started ? WaitForRecords(records, 1) : ReadRecords(records);
    EXPECT_EQ(runs.size(), c.started ? 1u : 0u) << c.name;
    if (!runs.empty()) {
      const std::string arguments = c.param ? std::string(" ") + c.param : "";
      EXPECT_EQ(runs[0].commandLine, "\"" + file + "\"" + arguments) << c.name;
      EXPECT_EQ(ProcessRuns(runs[0].pid), !c.waited) << c.name;
    }
    EXPECT_EQ(FileIsPresent(file), c.fileRemains) << c.name;
    ExpectLines(c.lines, file, c.name);
    for (const RecordedRun& run : runs) EndProcess(run.pid, 0);
  }
}

}  // namespace
