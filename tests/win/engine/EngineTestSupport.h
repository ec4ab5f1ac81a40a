// Shared by the engine tests: throwaway folders, the recorder's records, the captured log,
// message boxes of this process answered from a second thread, a chosen Windows version.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// A fresh folder below the temporary path, removed with its content when the test ends.
class CTestFolder {
 public:
  explicit CTestFolder(const std::string& name);
  ~CTestFolder();
  CTestFolder(const CTestFolder&) = delete;
  CTestFolder& operator=(const CTestFolder&) = delete;
  const std::string& Path() const { return m_path; }
  std::string operator/(const std::string& name) const { return m_path + "\\" + name; }

 private:
  std::string m_path;
};

std::string FixturePath(const std::string& name);  // bin/fixtures/<name>
bool FileIsPresent(const std::string& path);

// One run of the recorder fixture: its process id and its command line as the system gave it.
struct RecordedRun {
  DWORD pid = 0;
  std::string commandLine;
};
// The runs recorded in the file, once it holds `count` of them (at most `timeoutMs` later).
std::vector<RecordedRun> ReadRecords(const std::string& recordFile, size_t count = 0,
                                     DWORD timeoutMs = 15000);
bool ProcessRuns(DWORD pid);
// Waits for the process's end and ends it when it runs longer than `timeoutMs` (0: at once).
void EndProcess(DWORD pid, DWORD timeoutMs = 10000);

// Restarts the Wine prefix as a system start does (wineboot -r): the delayed renames and
// deletions are performed. True when it ended with 0 within three minutes.
bool RestartPrefix();

// Sets an environment variable for the life of the object (child processes inherit it).
class CScopedEnvironment {
 public:
  CScopedEnvironment(const char* name, const std::string& value);
  ~CScopedEnvironment();
  CScopedEnvironment(const CScopedEnvironment&) = delete;
  CScopedEnvironment& operator=(const CScopedEnvironment&) = delete;

 private:
  std::string m_name;
};

// Every captured line without the "[VelSetup]" mark.
std::vector<std::string> LogMessages();
// Compares the captured lines with `expected`, where each mark is replaced by its text and a
// line ending in "*" only gives the start.
using Marks = std::vector<std::pair<std::string, std::string>>;
void ExpectLogLines(const std::vector<std::string>& expected, const std::string& caseName,
                    const Marks& marks = {});

// Answers the message boxes this process shows, from a thread of its own, until Stop(): the
// title and text of each are kept, the given buttons pressed in turn, later boxes get OK.
class CBoxAnswerer {
 public:
  struct Box {
    std::wstring title;
    std::wstring text;
  };
  explicit CBoxAnswerer(std::vector<int> answers = {});
  ~CBoxAnswerer() { Stop(); }
  CBoxAnswerer(const CBoxAnswerer&) = delete;
  CBoxAnswerer& operator=(const CBoxAnswerer&) = delete;
  std::vector<Box> Stop();  // ends the thread; the boxes seen

 private:
  void Run();
  std::vector<int> m_answers;
  std::atomic<bool> m_stop{false};
  std::vector<Box> m_boxes;
  std::thread m_thread;
};

// Computes the folder values with a Windows version of the test's choice; the real ones are back
// when the object is destroyed.
class CFakeWindowsVersion {
 public:
  CFakeWindowsVersion(DWORD major, DWORD platform);
  ~CFakeWindowsVersion();
  CFakeWindowsVersion(const CFakeWindowsVersion&) = delete;
  CFakeWindowsVersion& operator=(const CFakeWindowsVersion&) = delete;
};

bool KeyExists(HKEY root, const std::string& key);
// The value's type and bytes; false when it cannot be read.
bool ReadValue(HKEY root, const std::string& key, const char* name, DWORD& type, std::string& bytes);
std::string TextValue(const std::string& text);  // REG_SZ bytes: the text and its terminating zero
std::string DwordValue(DWORD value);
