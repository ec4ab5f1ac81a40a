// Shared by the engine tests: throwaway folders, the recorder helper's records, the captured log,
// message boxes of this process answered from a second thread, and folder values put back.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
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

// Removes a folder and everything in it.
void RemoveTree(const std::string& path);

// bin/fixtures/<name> beside the test program.
std::string FixturePath(const std::string& name);
bool FileIsPresent(const std::string& path);

// One run of the recorder helper: its process id and its command line as the system gave it.
struct RecordedRun {
  DWORD pid = 0;
  std::string commandLine;
};
std::vector<RecordedRun> ReadRecords(const std::string& recordFile);
// Waits until the file holds `count` records (at most `timeoutMs`); returns what it holds then.
std::vector<RecordedRun> WaitForRecords(const std::string& recordFile, size_t count, DWORD timeoutMs = 15000);
// True while the process runs.
bool ProcessRuns(DWORD pid);
// Waits for the process's end and ends it when it runs longer than `timeoutMs` (0: at once).
void EndProcess(DWORD pid, DWORD timeoutMs = 10000);

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

// Captured log lines that start with "[VelSetup]" + `prefix`.
std::vector<std::string> LogLinesStartingWith(const std::string& prefix);
// Every captured line without the "[VelSetup]" mark.
std::vector<std::string> LogMessages();

// Answers the message boxes this process shows, from a thread of its own, until Stop(): each
// box's title and text are kept, the given buttons are pressed in turn, and any further box gets
// OK (or No when it has no OK).
class CBoxAnswerer {
 public:
  struct Box {
    std::wstring title;
    std::wstring text;
  };
  explicit CBoxAnswerer(std::vector<int> answers = {});
  ~CBoxAnswerer();
  CBoxAnswerer(const CBoxAnswerer&) = delete;
  CBoxAnswerer& operator=(const CBoxAnswerer&) = delete;

  // Ends the thread and returns the boxes seen.
  std::vector<Box> Stop();

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
  CFakeWindowsVersion(DWORD major, DWORD minor, DWORD platform);
  ~CFakeWindowsVersion();
  CFakeWindowsVersion(const CFakeWindowsVersion&) = delete;
  CFakeWindowsVersion& operator=(const CFakeWindowsVersion&) = delete;
};

// One registry value a test changes; what was there before is put back when the test ends.
class CSavedRegistryValue {
 public:
  CSavedRegistryValue(HKEY root, const char* key, const char* name);
  ~CSavedRegistryValue();
  CSavedRegistryValue(const CSavedRegistryValue&) = delete;
  CSavedRegistryValue& operator=(const CSavedRegistryValue&) = delete;

  void SetText(const std::string& text);
  void Delete();

 private:
  HKEY m_root;
  std::string m_key;
  std::string m_name;
  bool m_keyExisted = false;
  bool m_valueExisted = false;
  DWORD m_type = REG_NONE;
  std::vector<BYTE> m_data;
};

// Registry reads of the checks.
bool KeyExists(HKEY root, const std::string& key);
// The value's type and bytes; false when it cannot be read.
bool ReadValue(HKEY root, const std::string& key, const char* name, DWORD& type, std::string& bytes);
std::string TextValue(const std::string& text);  // REG_SZ bytes: the text and its terminating zero
std::string DwordValue(DWORD value);             // REG_DWORD bytes
