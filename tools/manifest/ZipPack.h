// Packing a release file into a ZIP archive that holds it at its top level, the form in which
// the setup manager's download pass unpacks a file into its temporary folder.
#pragma once

#include <string>

// The date and time stored with the entry, as local calendar time.
struct CZipEntryTime {
  int year, month, day, hour, minute, second;
};

// Writes `archivePath` (replaced when it exists) holding one deflated entry named `entryName`
// with the bytes of `filePath`. False, with `error`, when a file cannot be read or written.
bool PackSingleFile(const std::string& archivePath, const std::string& filePath, const std::string& entryName,
                    const CZipEntryTime& time, std::string& error);
