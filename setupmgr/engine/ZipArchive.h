// Reading ZIP archives: open an existing archive, count its entries and extract one entry by
// index into a folder with its relative path, reporting progress to a callback that may abort.
// Failures are thrown as CZipException (the archive) or CFileException (an entry's file). Stands
// alone: no other part of the program is needed.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

class CZipException : public std::runtime_error {
 public:
  enum Cause { badArchive, aborted, badEntry };
  CZipException(Cause cause, const std::string& what) : std::runtime_error(what), m_iCause(cause) {}
  Cause m_iCause;
};

class CFileException : public std::runtime_error {
 public:
  explicit CFileException(const std::string& what) : std::runtime_error(what) {}
};

// Progress of the entry being extracted. Callback returns false to abort the extraction.
class CZipActionCallback {
 public:
  virtual ~CZipActionCallback() = default;
  virtual bool Callback() = 0;
  // An entry's file is about to be written from its first byte (m_szFileInZip names it).
  virtual void EntryStarted() {}
  // Bytes just written to the entry's file, in order; false aborts the extraction.
  virtual bool EntryData(const char* /*data*/, size_t /*size*/) { return true; }

  std::string m_szFileInZip;       // the entry's name in the archive
  uint32_t m_uTotalToProcess = 0;  // the entry's size
  uint32_t m_uProcessed = 0;       // bytes written so far
};

class CZipArchive {
 public:
  static constexpr size_t kDefaultBufferSize = 65536;

  CZipArchive() = default;
  ~CZipArchive() { Close(); }
  CZipArchive(const CZipArchive&) = delete;
  CZipArchive& operator=(const CZipArchive&) = delete;

  void Open(const char* path);
  void Close();
  int GetCount() const { return static_cast<int>(m_entries.size()); }
  void SetCallback(CZipActionCallback* callback) { m_pCallback = callback; }

  // Writes the entry below `folder` under its relative path, creating its folders and replacing
  // an existing file. A name that could land outside the folder, a path longer than the
  // program's path buffers, a damaged entry (its size or CRC not matching its data) or a failed
  // write throws, and the half-written file is deleted.
  void ExtractFile(int index, const char* folder, size_t bufferSize = kDefaultBufferSize);

 private:
  struct Entry {
    uint64_t posInCentralDir;
    uint64_t numFile;
  };
  void* m_zip = nullptr;  // unzFile
  std::vector<Entry> m_entries;
  CZipActionCallback* m_pCallback = nullptr;
};
