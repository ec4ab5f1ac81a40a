#include "RunFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CommandLineText.h"
#include "EngineTestSupport.h"
#include "Folders.h"
#include "ManifestText.h"
#include "Portal.h"
#include "SetupLog.h"
#include "SetupRun.h"
#include "UpdateFile.h"
#include "Util.h"

namespace {

std::vector<std::string> Join(std::vector<std::string> first, const std::vector<std::string>& then) {
  first.insert(first.end(), then.begin(), then.end());
  return first;
}

struct ExecuteCase {
  const char* name;
  int execute;
  const char* param;  // PARAM, absent when null
  bool present;       // the installed file exists
  bool started;       // the recorder ran
  bool waited;        // and had ended when the call returned
  bool fileAfter;
  std::vector<std::string> lines;  // %F: the installed file
};

TEST(RunFilesTest, ExecuteDownloadedFile) {
  const std::string overlong(kMaxCommandLineLength, 'p');
  const std::vector<std::string> sleeping = {"[ExecuteFile] Call CreateProcess(\"%F\" --sleep 30000)",
                                             "[ExecuteFile] CreateProcess(%F) Success"};
  const std::vector<std::string> busy =
      Join(sleeping, {"[ExecuteDownloadedFile] DeleteFile Failed, Error Code = *"});
  // clang-format off
  const std::vector<ExecuteCase> cases = {
      {"EXECUTE 0 runs nothing", 0, "a", true, false, false, true, {}},
      {"EXECUTE 1 starts without waiting", 1, "--sleep 30000", true, true, false, true, sleeping},
      {"EXECUTE 3 waits for the end", 3, "--sleep 1000", true, true, true, true,
       {"[ExecuteFile] Call CreateProcess(\"%F\" --sleep 1000)", "[ExecuteFile] CreateProcess(%F) Success"}},
      {"EXECUTE 5: the deletion fails while the file runs", 5, "--sleep 30000", true, true, false, true, busy},
      {"EXECUTE 4 alone starts the file too", 4, "--sleep 30000", true, true, false, true, busy},
      {"EXECUTE 6 waits, then deletes", 6, "--sleep 1000 two  blanks", true, true, true, false,
       {"[ExecuteFile] Call CreateProcess(\"%F\" --sleep 1000 two  blanks)", "[ExecuteFile] CreateProcess(%F) Success",
        "[ExecuteDownloadedFile] DeleteFile Success(%F)"}},
      // Nothing between the creation and the line changes the error code.
      {"a missing file: the creation's error code", 1, "x", false, false, false, false,
       {"[ExecuteFile] Call CreateProcess(\"%F\" x)", "[ExecuteFile] CreateProcess(%F) Failed (Error Code = 2)"}},
      {"a command line that does not fit is refused, not cut", 1, overlong.c_str(), true, false, false, true,
       {"[ExecuteFile] Command line too long (%F)"}}};
  // clang-format on

  const CTestFolder folder("velsetup engine run");
  const std::string file = folder / "Run Me.exe";
  // What the system would start if the path were passed unquoted.
  ASSERT_TRUE(::CopyFileA(FixturePath("recorder.exe").c_str(), (folder / "Run.exe").c_str(), FALSE));
  const std::string records = folder / "runs.txt";
  const CScopedEnvironment recordTo("VELSETUP_RECORD_FILE", records);
  for (const ExecuteCase& c : cases) {
    ::DeleteFileA(records.c_str());
    ::DeleteFileA(file.c_str());
    if (c.present && !::CopyFileA(FixturePath("recorder.exe").c_str(), file.c_str(), FALSE)) {
      ADD_FAILURE() << c.name << ": cannot copy the recorder";
      continue;
    }
    CUpdateFile update;
    update.m_strLocalPath = file;
    update.m_nExecute = c.execute;
    if (c.param) update.m_strParam = c.param;
    LogInit(0, 2);

    update.ExecuteDownloadedFile();

    const std::vector<RecordedRun> runs = ReadRecords(records, c.started ? 1 : 0);
    EXPECT_EQ(runs.size(), c.started ? 1u : 0u) << c.name;
    for (const RecordedRun& run : runs) {
      EXPECT_EQ(run.commandLine, "\"" + file + "\"" + (c.param ? std::string(" ") + c.param : "")) << c.name;
      EXPECT_EQ(ProcessRuns(run.pid), !c.waited) << c.name;
      EndProcess(run.pid, 0);
    }
    EXPECT_EQ(FileIsPresent(file), c.fileAfter) << c.name;
    ExpectLogLines(c.lines, c.name, {{"%F", file}});
  }
}

constexpr char kRunFileUrl[] = "http://update.orbina.com/orbina/velsetup/engine/runtool.exe";

size_t RunFileRequests() {
  const std::string log = portal::RequestLog();
  size_t count = 0;
  for (size_t at = log.find("/runtool.exe"); at != std::string::npos; at = log.find("/runtool.exe", at + 1))
    ++count;
  return count;
}

struct RunFileCase {
  const char* name;
  bool runDest;                    // RUNDEST is a folder of the test; otherwise the temporary folder is used
  const char* before;              // fixture lying at the run file's place beforehand, or null
  const char* runVersion;          // RUNVERSION text, or null
  int served;                      // status of the run file's URL; 0: no RUNSOURCE
  bool result, ran;                // ran: the recorder ran and had ended when the call returned
  bool fetched, fileAfter;         // fetched: the portal saw a request
  std::vector<std::string> lines;  // %F: the run file, %U: its URL
};

TEST(RunFilesTest, RunFileAndWait) {
  ASSERT_TRUE(portal::Available());
  InitFolders();
  const std::string temp = SystemFolders().m_strTempFolder;
  ASSERT_TRUE(CUtil::CreateRecursiveDirectory(temp.c_str()));
  ASSERT_TRUE(portal::Put("orbina/velsetup/engine/runtool.exe", ReadFileBytes(FixturePath("recorder.exe"))));

  // The recorder stays a second: a call that did not wait would find it running.
  const std::string param = "--sleep 1000 -param \"two words\"";
  const std::vector<std::string> run = {"[ExecuteFile] Call CreateProcess(\"%F\" " + param + ")",
                                        "[ExecuteFile] CreateProcess(%F) Success"};
  const std::string current = "[RunFileAndWait] Do not need update (%F)";
  const std::string fetch = "[RunFileAndWait] Download File %U -> %F";
  const std::vector<std::string> failed = {fetch, "[DownloadFile] HttpQueryInfo(%U) = 404 ",
                                           "[RunFileAndWait] DownloadFile(%U) Failed"};
  // The recorder's version is 2.0.0.0.
  // clang-format off
  const std::vector<RunFileCase> cases = {
      {"RUNDEST, current version: run without download", true, "recorder.exe", "2,0,0,0", 200, true, true, false,
       true, Join({current}, run)},
      {"RUNDEST without RUNVERSION: a versioned file is current", true, "recorder.exe", nullptr, 200, true, true,
       false, true, Join({current}, run)},
      {"RUNDEST, older version: downloaded and run", true, "recorder.exe", "2,0,0,1", 200, true, true, true, true,
       Join({"[RunFileAndWait] FileVersion (%F) (U:131072:1) != (L:131072:0)", fetch}, run)},
      {"RUNDEST, a file without version: downloaded", true, "no_version.dll", "1,0,0,0", 200, true, true, true, true,
       Join({fetch}, run)},
      {"RUNDEST, no file: downloaded", true, nullptr, "1,0,0,0", 200, true, true, true, true, Join({fetch}, run)},
      {"no RUNDEST: fetched afresh over a current copy, run, deleted", false, "recorder.exe", "1,0,0,0", 200, true,
       true, true, false, Join({fetch}, run)},
      {"a failed download runs nothing", true, nullptr, "1,0,0,0", 404, false, false, true, false, failed},
      {"a failed download leaves a copy in the temporary folder unrun", false, "recorder.exe", nullptr, 404, false,
       false, true, true, failed},
      {"no RUNSOURCE: nothing to run", true, "recorder.exe", nullptr, 0, true, false, false, true, {}}};
  // clang-format on

  const CTestFolder folder("velsetup engine run file");
  const std::string records = folder / "runs.txt";
  const CScopedEnvironment recordTo("VELSETUP_RECORD_FILE", records);
  for (const RunFileCase& c : cases) {
    const std::string path = (c.runDest ? folder.Path() : temp) + "\\run tool.exe";
    ::DeleteFileA(records.c_str());
    ::DeleteFileA(path.c_str());
    if ((c.before && !::CopyFileA(FixturePath(c.before).c_str(), path.c_str(), FALSE)) ||
        !portal::SetFaults(c.served == 404 ? "/orbina/velsetup/engine/runtool.exe status=404\n" : "")) {
      ADD_FAILURE() << c.name << ": cannot prepare the case";
      continue;
    }
    CUpdateFile update;
    update.m_strRunFile = "run tool.exe";
    if (c.served) update.m_strRunSource = kRunFileUrl;
    if (c.runDest) update.m_strRunDest = folder.Path();
    update.m_strRunParam = param;
    if (c.runVersion) ReadVersionText(c.runVersion, update.m_dwRunVersionMS, update.m_dwRunVersionLS);
    const size_t requestsBefore = RunFileRequests();
    LogInit(0, 2);

    EXPECT_EQ(update.RunFileAndWait(), c.result) << c.name;

    const std::vector<RecordedRun> runs = ReadRecords(records);
    EXPECT_EQ(runs.size(), c.ran ? 1u : 0u) << c.name;
    for (const RecordedRun& run : runs) {
      EXPECT_EQ(run.commandLine, "\"" + path + "\" " + param) << c.name;
      EXPECT_FALSE(ProcessRuns(run.pid)) << c.name;
      EndProcess(run.pid, 0);
    }
    EXPECT_EQ(RunFileRequests() > requestsBefore, c.fetched) << c.name;
    EXPECT_EQ(FileIsPresent(path), c.fileAfter) << c.name;
    ExpectLogLines(c.lines, c.name, {{"%F", path}, {"%U", kRunFileUrl}});
    ::DeleteFileA(path.c_str());
  }
  portal::SetFaults("");
}

}  // namespace
