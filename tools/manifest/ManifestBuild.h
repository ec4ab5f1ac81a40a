// Writing a manifest from a folder of release files: one UPDATEITEM per item, one FILE per
// release file with its URL, destination, size, time, version and SHA-256 (of the file itself,
// also when it is published packed) as the setup manager reads them.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "ZipPack.h"

struct CItemSpec {
  std::string name;
  std::vector<std::string> modes;
  std::string dest;  // destination folder with path macros
  bool selfUninstaller = false;
  std::vector<std::string> files;  // names in the release folder; empty: every file no other item names
};

struct CBuildSpec {
  std::string folder;    // the release folder, published at baseUrl
  std::string baseUrl;   // ends with "/"
  long biasMinutes = 0;  // of the time zone FILETIME is written in: UTC = local + bias
  std::vector<CItemSpec> items;
  std::set<std::string> zipped;      // files published as "<name without extension>.zip"
  std::set<std::string> registered;  // files marked REGISTER
  std::string serial;                // UPDATELIST's SERIAL; empty: none
};

// "[+|-]HH:MM" (or "Z") to the bias of that zone; false for another text.
bool ParseTimeZone(const std::string& text, long& biasMinutes);

// The local calendar time of `utcSeconds` (since 1970) in the zone of `biasMinutes`.
CZipEntryTime LocalCalendarTime(int64_t utcSeconds, long biasMinutes);

// The manifest's file-time text for that time: "year,month,day,hour,minute,second".
std::string FileTimeText(const CZipEntryTime& time);

// Writes the manifest's text, packing the zipped files into their archives in the release
// folder first. False, with `error`, for a file that is missing, cannot be read or packed, a
// text the manifest cannot carry as written (the setup manager decodes no entities) or a file
// named by two items.
bool BuildManifest(const CBuildSpec& spec, std::string& xml, std::string& error);
