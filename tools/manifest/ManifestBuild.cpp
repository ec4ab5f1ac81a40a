#include "ManifestBuild.h"

#include <map>

#include "LocalFiles.h"
#include "ManifestUrl.h"
#include "PeVersion.h"
#include "ToolCrypto.h"

namespace {

// The setup manager reads texts as written, without entity decoding, so a text that would need
// an entity cannot be given to it at all.
bool IsWritableText(const std::string& text) {
  for (const char c : text) {
    if (c == '<' || c == '&' || c == '"' || static_cast<unsigned char>(c) < 0x20) return false;
  }
  return true;
}

std::string BaseName(const std::string& name) {
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string ArchiveName(const std::string& name) { return BaseName(name) + ".zip"; }

// Days since 1970-01-01 to the civil date (proleptic Gregorian).
void CivilFromDays(int64_t days, int& year, int& month, int& day) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t dayOfEra = days - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}

std::string VersionText(uint32_t ms, uint32_t ls) {
  return std::to_string(ms >> 16) + "," + std::to_string(ms & 0xFFFF) + "," + std::to_string(ls >> 16) + "," +
         std::to_string(ls & 0xFFFF);
}

struct CWriter {
  std::string text;
  void Line(int indent, const std::string& line) { text += std::string(indent * 2, ' ') + line + "\n"; }
  void Element(int indent, const char* name, const std::string& value) {
    Line(indent, std::string("<") + name + ">" + value + "</" + name + ">");
  }
};

bool WriteFile(const CBuildSpec& spec, const CItemSpec& item, const std::string& name, CWriter& out,
               std::string& error) {
  const std::string path = JoinLocalPath(spec.folder, name);
  CLocalFile file;
  std::string bytes;
  if (!StatLocalFile(path, file) || !ReadLocalFile(path, bytes)) {
    error = "cannot read " + path;
    return false;
  }
  if (file.size > 0x7FFFFFFF) {
    error = name + " is too large for FILESIZE";
    return false;
  }
  const CZipEntryTime time = LocalCalendarTime(file.modified, spec.biasMinutes);
  const bool zipped = spec.zipped.count(name) != 0;
  if (zipped && !PackSingleFile(JoinLocalPath(spec.folder, ArchiveName(name)), path, name, time, error)) {
    return false;
  }
  const std::string source = spec.baseUrl + EscapeUrlPath(zipped ? ArchiveName(name) : name);

  out.Line(2, "<FILE NAME=\"" + name + "\">");
  out.Element(3, "SOURCE", source);
  out.Element(3, "DEST", item.dest);
  uint32_t ms = 0;
  uint32_t ls = 0;
  if (ReadPeFileVersion(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), ms, ls)) {
    out.Element(3, "VERSION", VersionText(ms, ls));
  }
  out.Element(3, "FILESIZE", std::to_string(file.size));
  out.Element(3, "FILETIME", FileTimeText(time));
  CSha256Digest digest;
  if (!Sha256Bytes(bytes, digest)) {
    error = "cannot hash " + name;
    return false;
  }
  out.Element(3, "SHA256", Sha256Text(digest));
  if (spec.registered.count(name) != 0) out.Element(3, "REGISTER", "1");
  out.Line(2, "</FILE>");
  return true;
}

}  // namespace

bool ParseTimeZone(const std::string& text, long& biasMinutes) {
  if (text == "Z") {
    biasMinutes = 0;
    return true;
  }
  const auto digit = [&](size_t i) { return text[i] >= '0' && text[i] <= '9'; };
  if (text.size() != 6 || (text[0] != '+' && text[0] != '-') || !digit(1) || !digit(2) || text[3] != ':' ||
      !digit(4) || !digit(5)) {
    return false;
  }
  const long hours = (text[1] - '0') * 10 + (text[2] - '0');
  const long minutes = (text[4] - '0') * 10 + (text[5] - '0');
  if (hours > 14 || minutes > 59) return false;
  const long offset = hours * 60 + minutes;
  biasMinutes = text[0] == '+' ? -offset : offset;
  return true;
}

CZipEntryTime LocalCalendarTime(int64_t utcSeconds, long biasMinutes) {
  const int64_t local = utcSeconds - static_cast<int64_t>(biasMinutes) * 60;
  int64_t days = local / 86400;
  int64_t seconds = local % 86400;
  if (seconds < 0) {
    seconds += 86400;
    --days;
  }
  CZipEntryTime time = {};
  CivilFromDays(days, time.year, time.month, time.day);
  time.hour = static_cast<int>(seconds / 3600);
  time.minute = static_cast<int>(seconds / 60 % 60);
  time.second = static_cast<int>(seconds % 60);
  return time;
}

std::string FileTimeText(const CZipEntryTime& time) {
  return std::to_string(time.year) + "," + std::to_string(time.month) + "," + std::to_string(time.day) + "," +
         std::to_string(time.hour) + "," + std::to_string(time.minute) + "," + std::to_string(time.second);
}

bool BuildManifest(const CBuildSpec& spec, std::string& xml, std::string& error) {
  std::vector<std::string> listed;
  if (!ListFolderFiles(spec.folder, listed)) {
    error = "cannot read the folder " + spec.folder;
    return false;
  }
  std::map<std::string, const CItemSpec*> owner;
  for (const CItemSpec& item : spec.items) {
    for (const std::string& name : item.files) {
      if (!owner.emplace(name, &item).second) {
        error = name + " is named by two items";
        return false;
      }
    }
  }
  std::map<std::string, std::string> packedInto;
  for (const std::string& name : spec.zipped) {
    if (ArchiveName(name) == name) {
      error = name + " cannot be packed under its own name";
      return false;
    }
    const auto packed = packedInto.emplace(ArchiveName(name), name);
    if (!packed.second) {
      error = name + " and " + packed.first->second + " would share " + ArchiveName(name);
      return false;
    }
  }
  if (!IsWritableText(spec.baseUrl)) {
    error = "the base URL holds a character the manifest cannot carry as written";
    return false;
  }
  CWriter out;
  out.Line(0, "<?xml version=\"1.0\"?>");
  out.Line(0, spec.serial.empty() ? "<UPDATELIST>" : "<UPDATELIST SERIAL=\"" + spec.serial + "\">");
  for (const CItemSpec& item : spec.items) {
    std::vector<std::string> files = item.files;
    if (files.empty()) {
      for (const std::string& name : listed) {
        // Archives this build packs are published files, not release files.
        if (owner.count(name) == 0 && packedInto.count(name) == 0) files.push_back(name);
      }
    }
    std::vector<std::string> texts = {item.name, item.dest};
    texts.insert(texts.end(), item.modes.begin(), item.modes.end());
    texts.insert(texts.end(), files.begin(), files.end());
    for (const std::string& text : texts) {
      if (!IsWritableText(text)) {
        error = "\"" + text + "\" holds a character the manifest cannot carry as written";
        return false;
      }
    }
    out.Line(1, "<UPDATEITEM NAME=\"" + item.name + "\"" +
                    (item.selfUninstaller ? " SELFUNINSTALLER=\"1\"" : "") + ">");
    for (const std::string& mode : item.modes) out.Line(2, "<MODE NAME=\"" + mode + "\"/>");
    for (const std::string& name : files) {
      if (!WriteFile(spec, item, name, out, error)) return false;
    }
    out.Line(1, "</UPDATEITEM>");
  }
  out.Line(0, "</UPDATELIST>");
  xml = out.text;
  return true;
}
