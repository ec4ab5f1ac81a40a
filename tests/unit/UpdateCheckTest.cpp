// The update decision on given sizes, times and versions: which difference wins and what is
// logged.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LogCapture.h"
#include "ManifestText.h"
#include "SetupLog.h"
#include "UpdateFile.h"

namespace {

constexpr long kSeoul = -540;  // UTC+9
constexpr uint64_t kSecond = 10000000;
constexpr uint64_t k4GiB = 0x100000000ull;

struct CheckCase {
  const char* name;
  // Manifest: FILESIZE, FILETIME and VERSION texts (null: absent).
  int fileSize;
  const char* fileTime;
  const char* version;
  // On disk: size, time text plus ticks, version text (null: no readable version), which copy.
  uint64_t diskSize;
  const char* diskTime;
  uint64_t diskTicks;
  const char* diskVersion;
  bool temporaryCopy;
  long checkBias;  // bias in force at the check; the manifest is read with kSeoul
  int expected;
  const char* log;  // the one line written, or null
};

const char kTime[] = "2007,7,18,10,20,30";
const char kLater[] = "2007,7,18,10,20,31";

// clang-format off
const CheckCase kCases[] = {
  {"NothingGivenIsCurrent", 0, nullptr, nullptr, 5, kTime, 0, nullptr, false, kSeoul, 0, nullptr},
  {"SizeDiffers", 1000, nullptr, nullptr, 999, kTime, 0, nullptr, false, kSeoul, 1,
   "[CheckUpdate] FileSize (C:\\D\\a.dll) (U:1000) != (L:999)"},
  {"SizeWinsOverTimeAndNewerVersion", 1000, kTime, "1,0,0,0", 1001, kLater, 0, "9,0,0,0", false, kSeoul, 1,
   "[CheckUpdate] FileSize (C:\\D\\a.dll) (U:1000) != (L:1001)"},
  {"SizeOf4GiBMoreNeverMatches", 1000, nullptr, nullptr, k4GiB + 1000, kTime, 0, nullptr, false, kSeoul, 1,
   "[CheckUpdate] FileSize (C:\\D\\a.dll) (U:1000) != (L:1000)"},
  {"NegativeSizeNeverMatches", -5, nullptr, nullptr, 5, kTime, 0, nullptr, false, kSeoul, 1,
   "[CheckUpdate] FileSize (C:\\D\\a.dll) (U:-5) != (L:5)"},
  {"EqualSizeGoesOn", 1000, nullptr, "1,0,0,0", 1000, kTime, 0, "1,0,0,0", false, kSeoul, 0, nullptr},
  {"FractionOfSecondDropped", 0, kTime, nullptr, 5, kTime, kSecond - 1, nullptr, false, kSeoul, 0, nullptr},
  {"OneSecondLater", 0, kTime, nullptr, 5, kTime, kSecond, nullptr, false, kSeoul, 1,
   "[CDlgDownload::CheckUpdate] FileTime (C:\\D\\a.dll) (U:2007.7.18 10:20:30) != (L:2007.7.18 10:20:31)"},
  {"TimeWinsOverNewerVersion", 0, kTime, "1,0,0,0", 5, kLater, 0, "9,0,0,0", false, kSeoul, 1,
   "[CDlgDownload::CheckUpdate] FileTime (C:\\D\\a.dll) (U:2007.7.18 10:20:30) != (L:2007.7.18 10:20:31)"},
  // Both sides are read with the bias in force at the check: an hour's shift moves both.
  {"BothSidesWithTheCheckBias", 0, kTime, nullptr, 5, kLater, 0, nullptr, false, -480, 1,
   "[CDlgDownload::CheckUpdate] FileTime (C:\\D\\a.dll) (U:2007.7.18 9:20:30) != (L:2007.7.18 9:20:31)"},
  {"DateAcrossYearEnd", 0, "2008,1,1,0,0,0", nullptr, 5, "2007,12,31,23,59,59", 0, nullptr, false, kSeoul, 1,
   "[CDlgDownload::CheckUpdate] FileTime (C:\\D\\a.dll) (U:2008.1.1 0:0:0) != (L:2007.12.31 23:59:59)"},
  {"LeapDay", 0, "2008,2,29,12,0,0", nullptr, 5, "2008,3,1,12,0,0", 0, nullptr, false, kSeoul, 1,
   "[CDlgDownload::CheckUpdate] FileTime (C:\\D\\a.dll) (U:2008.2.29 12:0:0) != (L:2008.3.1 12:0:0)"},
  {"EqualTimeOlderVersion", 0, kTime, "1,2,3,4", 5, kTime, 0, "1,2,3,3", false, kSeoul, 1,
   "[CheckUpdate] FileVersion (C:\\D\\a.dll) (U:65538:196612) != (L:65538:196611)"},
  {"NewerOnDiskLeftAlone", 0, nullptr, "1,2,3,4", 5, kTime, 0, "2,0,0,0", false, kSeoul, 0, nullptr},
  {"EqualVersion", 0, nullptr, "1,2,3,4", 5, kTime, 0, "1,2,3,4", false, kSeoul, 0, nullptr},
  {"HighHalfDecidesFirst", 0, nullptr, "1,2,0,0", 5, kTime, 0, "1,1,9,9", false, kSeoul, 1,
   "[CheckUpdate] FileVersion (C:\\D\\a.dll) (U:65538:0) != (L:65537:589833)"},
  {"LowHalfOnlyWhenHighEqual", 0, nullptr, "1,2,0,0", 5, kTime, 0, "1,2,0,1", false, kSeoul, 0, nullptr},
  // 40000 << 16 is above the signed range: compared unsigned, printed signed.
  {"UnsignedComparison", 0, nullptr, "40000,0,0,0", 5, kTime, 0, "1,0,0,0", false, kSeoul, 1,
   "[CheckUpdate] FileVersion (C:\\D\\a.dll) (U:-1673527296:0) != (L:65536:0)"},
  {"NoVersionManifestNeverOlder", 0, nullptr, nullptr, 5, kTime, 0, "1,0,0,0", false, kSeoul, 0, nullptr},
  {"InstalledWithoutVersionIsCurrent", 0, nullptr, "9,0,0,0", 5, kTime, 0, nullptr, false, kSeoul, 0, nullptr},
  {"CopyWithoutVersionIsStale", 0, nullptr, "9,0,0,0", 5, kTime, 0, nullptr, true, kSeoul, 1,
   "[CheckUpdate] FileVersion (C:\\D\\a.dll) (U:589824:0) != (L:unreadable)"},
  {"CopyWithoutVersionForManifestWithout", 0, nullptr, "0,0,0,0", 5, kTime, 0, nullptr, true, kSeoul, 0,
   nullptr},
  {"CopyWithOlderVersion", 1000, kTime, "1,2,3,4", 1000, kTime, 0, "1,0,0,0", true, kSeoul, 1,
   "[CheckUpdate] FileVersion (C:\\D\\a.dll) (U:65538:196612) != (L:65536:0)"},
};
// clang-format on

TEST(CheckUpdate, Table) {
  for (const CheckCase& c : kCases) {
    SCOPED_TRACE(c.name);
    LogInit(0, 2);
    CUpdateFile record;
    record.m_strLocalPath = "C:\\D\\a.dll";
    record.m_nFileSize = c.fileSize;
    if (c.fileTime != nullptr) {
      ASSERT_TRUE(ReadFileTimeText(c.fileTime, kSeoul, record.m_ftFileTime));
    }
    if (c.version != nullptr) ReadVersionText(c.version, record.m_dwVersionMS, record.m_dwVersionLS);

    CFoundFile disk;
    disk.size = c.diskSize;
    ASSERT_TRUE(ReadFileTimeText(c.diskTime, kSeoul, disk.lastWriteTime));
    disk.lastWriteTime += c.diskTicks;
    disk.hasVersion = c.diskVersion != nullptr;
    if (disk.hasVersion) ReadVersionText(c.diskVersion, disk.versionMS, disk.versionLS);
    disk.temporaryCopy = c.temporaryCopy;

    EXPECT_EQ(c.expected, record.CheckUpdate(disk, c.checkBias));
    std::vector<std::string> expected;
    if (c.log != nullptr) expected.push_back(std::string("[VelSetup]") + c.log);
    EXPECT_EQ(expected, CapturedLogLines());

    // The same decision with the version read on demand: only when the manifest gives one and
    // neither size nor time decided.
    LogInit(0, 2);
    int reads = 0;
    const CFoundFile known = disk;
    disk.hasVersion = false;
    disk.versionMS = disk.versionLS = 0;
    disk.readVersion = [&reads, &known](uint32_t& ms, uint32_t& ls) {
      ++reads;
      ms = known.versionMS;
      ls = known.versionLS;
      return known.hasVersion;
    };
    EXPECT_EQ(c.expected, record.CheckUpdate(disk, c.checkBias));
    EXPECT_EQ(expected, CapturedLogLines());
    const bool decidedBefore =
        c.log != nullptr && std::string(c.log).find("] FileVersion (") == std::string::npos;
    const bool manifestVersion = record.m_dwVersionMS != 0 || record.m_dwVersionLS != 0;
    EXPECT_EQ(reads, manifestVersion && !decidedBefore ? 1 : 0);
  }
}

}  // namespace
