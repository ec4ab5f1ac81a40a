// Shared by the engine tests: throwaway folders, the recorder's records, the captured log, test
// archives, seams and a registration tool put back by owners, a chosen Windows version.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "UiRobot.h"
#include "ZipPack.h"

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

// The system's registration tool moved aside so that it cannot be started; put back when the
// object ends, and first when an earlier test that ended early left it aside.
class CToolMissing {
 public:
  CToolMissing();
  ~CToolMissing();
  CToolMissing(const CToolMissing&) = delete;
  CToolMissing& operator=(const CToolMissing&) = delete;
  bool Moved() const { return m_moved; }

 private:
  std::string m_tool, m_aside;
  bool m_moved = false;
};

// The bytes of an archive of `entries`, written by the manifest tool's packer.
std::string ZipBytes(const std::vector<CZipPackEntry>& entries, bool stored = false);

// Puts a test seam in place for the life of the object; the real call is back when it ends.
template <typename Function>
class CScopedSeam {
 public:
  CScopedSeam(void (*set)(Function), Function function) : m_set(set) { set(function); }
  ~CScopedSeam() { m_set(nullptr); }
  CScopedSeam(const CScopedSeam&) = delete;
  CScopedSeam& operator=(const CScopedSeam&) = delete;

 private:
  void (*m_set)(Function);
};

// Every captured line without the "[VelSetup]" mark.
std::vector<std::string> LogMessages();
// Compares the captured lines with `expected`, where each mark is replaced by its text and a
// line ending in "*" only gives the start.
using Marks = std::vector<std::pair<std::string, std::string>>;
void ExpectLogLines(const std::vector<std::string>& expected, const std::string& caseName,
                    const Marks& marks = {});

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
