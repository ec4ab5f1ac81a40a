// Packing release files into a ZIP archive, the form in which the setup manager's download pass
// unpacks a file into its temporary folder.
#pragma once

#include <string>
#include <utility>
#include <vector>

// The date and time stored with the entry, as local calendar time.
struct CZipEntryTime {
  int year, month, day, hour, minute, second;
};

// One entry: its name in the archive and its bytes, read from `filePath` when that is not empty.
struct CZipPackEntry {
  CZipPackEntry(std::string name, std::string bytes, std::string filePath = {})
      : name(std::move(name)), bytes(std::move(bytes)), filePath(std::move(filePath)) {}
  std::string name;
  std::string bytes;
  std::string filePath;
};

// Writes `archivePath` (replaced when it exists) holding `entries` in order, deflated or, when
// `stored`, as they are; no entries make an empty archive. False, with `error`, when a file cannot
// be read or written.
bool PackEntries(const std::string& archivePath, const std::vector<CZipPackEntry>& entries,
                 const CZipEntryTime& time, bool stored, std::string& error);

// An archive holding one deflated entry named `entryName` with the bytes of `filePath`.
bool PackSingleFile(const std::string& archivePath, const std::string& filePath, const std::string& entryName,
                    const CZipEntryTime& time, std::string& error);
