#include "RunFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CommandLineText.h"
#include "EngineTestSupport.h"
#include "Folders.h"
#include "Portal.h"
#include "SetupLog.h"
#include "SetupRun.h"
#include "Util.h"
#include "UpdateFile.h"

namespace {

// %F in an expected line stands for the file's path, %U for the run file's URL.
std::string Expand(std::string text, const std::string& file, const std::string& url = "") {
  for (const auto& [mark, value] : {std::pair<std::string, std::string>{"%F", file}, {"%U", url}}) {
    for (size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + value.size())) {
      text.replace(at, mark.size(), value);
    }
  }
  return text;
}

// Expected lines; one ending in "*" is matched as a prefix.
void ExpectLines(const std::vector<std::string>& expected, const std::string& file, const char* caseName,
                 const std::string& url = "") {
  const std::vector<std::string> lines = LogMessages();
  ASSERT_EQ(lines.size(), expected.size()) << caseName;
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string want = Expand(expected[i], file, url);
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

// Where a run file comes from; the portal serves the recorder there.
constexpr char kRunFileUrl[] = "http://update.orbina.com/orbina/velsetup/engine/runtool.exe";
constexpr char kRunFileServed[] = "orbina/velsetup/engine/runtool.exe";

// How many requests for the run file the portal has seen.
size_t RunFileRequests() {
  const std::string log = portal::RequestLog();
  size_t count = 0;
  for (size_t at = log.find("/engine/runtool.exe"); at != std::string::npos;
       at = log.find("/engine/runtool.exe", at + 1)) {
    ++count;
  }
  return count;
}

struct RunFileCase {
  const char* name;
  bool runDest;        // RUNDEST is a folder of the test; otherwise the temporary folder is used
  const char* before;  // fixture lying at the run file's place beforehand, or null
  bool runVersion;     // RUNVERSION given as `ms`, `ls`
  DWORD ms, ls;
  bool served;  // the portal has the file (404 otherwise)
  bool result;
  bool ran;         // the recorder ran, and had ended when the call returned
  bool downloaded;  // the portal saw a request
  bool fileAfter;   // the run file lies there afterwards
  std::vector<std::string> lines;
};

TEST(RunFilesTest, RunFileAndWait) {
  ASSERT_TRUE(portal::Available());
  InitFolders();
  const std::string temp = SystemFolders().m_strTempFolder;
  ASSERT_FALSE(temp.empty());
  ASSERT_TRUE(CUtil::CreateRecursiveDirectory(temp.c_str()));
  ASSERT_TRUE(portal::Put(kRunFileServed, ReadFileBytes(FixturePath("recorder.exe"))));

  const std::vector<std::string> run = {"[ExecuteFile] Call CreateProcess(\"%F\" -param \"two words\")",
                                        "[ExecuteFile] CreateProcess(%F) Success"};
  auto with = [](std::vector<std::string> first, const std::vector<std::string>& then) {
    first.insert(first.end(), then.begin(), then.end());
    return first;
  };
  const std::string download = "[RunFileAndWait] Download File %U -> %F";
  const std::vector<std::string> failed = {download, "[DownloadFile] HttpQueryInfo(%U) = 404 ",
                                           "[RunFileAndWait] DownloadFile(%U) Failed"};
  const std::vector<RunFileCase> cases = {
      {"RUNDEST, current version: run without download", true, "recorder.exe", true, 0x20000, 0, true, true,
       true, false, true, with({"[RunFileAndWait] Do not need update (%F)"}, run)},
      {"RUNDEST without RUNVERSION: a versioned file is current", true, "recorder.exe", false, 0, 0, true,
       true, true, false, true, with({"[RunFileAndWait] Do not need update (%F)"}, run)},
      {"RUNDEST, older version: downloaded and run", true, "recorder.exe", true, 0x20000, 1, true, true, true,
       true, true, with({"[RunFileAndWait] FileVersion (%F) (U:131072:1) != (L:131072:0)", download}, run)},
      {"RUNDEST, file without version: downloaded", true, "no_version.dll", true, 0, 0, true, true, true,
       true, true, with({download}, run)},
      {"RUNDEST, no file: downloaded", true, nullptr, true, 0x10000, 0, true, true, true, true, true,
       with({download}, run)},
      {"no RUNDEST: fetched afresh over a current copy, run and deleted", false, "recorder.exe", true,
       0x10000, 0, true, true, true, true, false, with({download}, run)},
      {"no RUNDEST, no copy: downloaded, run and deleted", false, nullptr, false, 0, 0, true, true, true,
       true, false, with({download}, run)},
      {"a failed download runs nothing", true, nullptr, true, 0x10000, 0, false, false, false, true, false,
       failed},
      {"a failed download does not run a copy lying in the temporary folder", false, "recorder.exe", false, 0,
       0, false, false, false, true, true, failed},
  };

  const CTestFolder folder("velsetup engine run file");
  const std::string records = folder / "runs.txt";
  const CScopedEnvironment recordTo("VELSETUP_RECORD_FILE", records);
  for (const RunFileCase& c : cases) {
    const std::string path = (c.runDest ? folder.Path() : temp) + "\\run tool.exe";
    ::DeleteFileA(records.c_str());
    ::DeleteFileA(path.c_str());
    if (c.before) {
      ASSERT_TRUE(::CopyFileA(FixturePath(c.before).c_str(), path.c_str(), FALSE)) << c.name;
    }
    ASSERT_TRUE(portal::SetFaults(c.served ? "" : std::string("/") + kRunFileServed + " status=404\n"));
    CUpdateFile update;
    update.m_strName = "a.dll";
    update.m_strRunFile = "run tool.exe";
    update.m_strRunSource = kRunFileUrl;
    if (c.runDest) update.m_strRunDest = folder.Path();
    update.m_strRunParam = "-param \"two words\"";
    update.m_dwRunVersionMS = c.ms;
    update.m_dwRunVersionLS = c.ls;
    const size_t requestsBefore = RunFileRequests();
    LogInit(0, 2);

    EXPECT_EQ(update.RunFileAndWait(), c.result) << c.name;

    const std::vector<RecordedRun> runs = ReadRecords(records);
    ASSERT_EQ(runs.size(), c.ran ? 1u : 0u) << c.name;
    if (c.ran) {
      EXPECT_EQ(runs[0].commandLine, "\"" + path + "\" -param \"two words\"") << c.name;
      EXPECT_FALSE(ProcessRuns(runs[0].pid)) << c.name;
    }
    EXPECT_EQ(RunFileRequests() > requestsBefore, c.downloaded) << c.name;
    EXPECT_EQ(FileIsPresent(path), c.fileAfter) << c.name;
    ExpectLines(c.lines, path, c.name, kRunFileUrl);
    ::DeleteFileA(path.c_str());
  }
  portal::SetFaults("");
}

TEST(RunFilesTest, NothingToRunWithoutNameOrSource) {
  InitFolders();
  const struct {
    const char* name;
    bool runFile;
    bool runSource;
  } cases[] = {{"no RUNFILE", false, false}, {"RUNFILE without RUNSOURCE", true, false}};
  for (const auto& c : cases) {
    CUpdateFile update;
    if (c.runFile) update.m_strRunFile = "run tool.exe";
    if (c.runSource) update.m_strRunSource = kRunFileUrl;
    update.m_strRunDest = "C:\\nowhere";
    LogInit(0, 2);
    EXPECT_TRUE(update.RunFileAndWait()) << c.name;
    EXPECT_TRUE(LogMessages().empty()) << c.name;
  }
}

}  // namespace
