#include <cinttypes>

#include "SetupLog.h"
#include "UpdateFile.h"

namespace {

constexpr int64_t kTicksPerSecond = 10000000;
constexpr int64_t kDaysFrom1601To1970 = 134774;

struct CCalendarTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  bool operator!=(const CCalendarTime& o) const {
    return year != o.year || month != o.month || day != o.day || hour != o.hour || minute != o.minute ||
           second != o.second;
  }
};

// A UTC file time as local calendar time with `biasMinutes` (UTC = local + bias), fractions of a
// second dropped. False before 1601 and beyond what a file time can hold.
bool ToLocalCalendar(uint64_t fileTime, long biasMinutes, CCalendarTime& calendar) {
  if (fileTime > static_cast<uint64_t>(INT64_MAX)) return false;
  const int64_t seconds =
      static_cast<int64_t>(fileTime / kTicksPerSecond) - static_cast<int64_t>(biasMinutes) * 60;
  if (seconds < 0) return false;
  const int64_t secondOfDay = seconds % 86400;
  calendar.hour = static_cast<int>(secondOfDay / 3600);
  calendar.minute = static_cast<int>(secondOfDay / 60 % 60);
  calendar.second = static_cast<int>(secondOfDay % 60);
  // Civil date from days since 1970-01-01 (proleptic Gregorian calendar).
  const int64_t z = seconds / 86400 - kDaysFrom1601To1970 + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t dayOfEra = z - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  calendar.day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  calendar.month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  calendar.year = static_cast<int>(yearOfEra + era * 400 + (calendar.month <= 2 ? 1 : 0));
  return true;
}

bool VersionIsGreater(uint32_t ms, uint32_t ls, uint32_t otherMS, uint32_t otherLS) {
  return ms != otherMS ? ms > otherMS : ls > otherLS;
}

}  // namespace

int CUpdateFile::CheckUpdate(const CFoundFile& file, long biasMinutes) const {
  const char* path = m_strLocalPath.c_str();
  if (m_nFileSize != 0 && static_cast<int64_t>(file.size) != static_cast<int64_t>(m_nFileSize)) {
    LogWrite(2, "[CheckUpdate] FileSize (%s) (U:%d) != (L:%d)", path, m_nFileSize,
             static_cast<int>(static_cast<uint32_t>(file.size)));
    return 1;
  }

  if (m_ftFileTime != 0) {
    CCalendarTime update;
    CCalendarTime local;
    // The manifest's time was read for the years 1900 to 3000 and always converts back; a local
    // time that cannot be read as a date cannot be the manifest's.
    ToLocalCalendar(m_ftFileTime, biasMinutes, update);
    if (!ToLocalCalendar(file.lastWriteTime, biasMinutes, local) || update != local) {
      LogWrite(2, "[CDlgDownload::CheckUpdate] FileTime (%s) (U:%d.%d.%d %d:%d:%d) != (L:%d.%d.%d %d:%d:%d)",
               path, update.year, update.month, update.day, update.hour, update.minute, update.second,
               local.year, local.month, local.day, local.hour, local.minute, local.second);
      return 1;
    }
  }

  // Without a version in the manifest, no file is older than it.
  if (m_dwVersionMS == 0 && m_dwVersionLS == 0) return 0;
  uint32_t fileMS = file.versionMS;
  uint32_t fileLS = file.versionLS;
  const bool hasVersion = file.readVersion ? file.readVersion(fileMS, fileLS) : file.hasVersion;
  if (!hasVersion) {
    // A copy cut short by an earlier run has usually lost its version resource.
    if (file.temporaryCopy) {
      LogWrite(2, "[CheckUpdate] FileVersion (%s) (U:%d:%d) != (L:unreadable)", path,
               static_cast<int>(m_dwVersionMS), static_cast<int>(m_dwVersionLS));
      return 1;
    }
    return 0;
  }
  if (VersionIsGreater(m_dwVersionMS, m_dwVersionLS, fileMS, fileLS)) {
    LogWrite(2, "[CheckUpdate] FileVersion (%s) (U:%d:%d) != (L:%d:%d)", path,
             static_cast<int>(m_dwVersionMS), static_cast<int>(m_dwVersionLS), static_cast<int>(fileMS),
             static_cast<int>(fileLS));
    return 1;
  }
  return 0;
}
