// Names in the temporary folder: the downloaded copy's name rule and the archive decision; and
// the numbers the pass reports.
#include "TemporaryNames.h"

#include <gtest/gtest.h>

#include <string>

#include "DownloadProgress.h"

namespace {

const std::string kAt = "http://update.orbina.com/orbina/velsetup/";

struct CopyCase {
  const char* folder;
  const char* name;
  std::string url;
  std::string path;  // empty: refused
};

TEST(DownloadedCopyPath, Table) {
  const std::string longFolder = "C:\\" + std::string(250, 'f');
  // clang-format off
  const CopyCase cases[] = {
    {"C:\\T", "a.dll", kAt + "a.zip", "C:\\T\\a.zip"},
    {"C:\\T\\", "a.dll", kAt + "a.zip", "C:\\T\\a.zip"},
    {"C:\\T", "a.dll", kAt + "A.ZIP", "C:\\T\\a.ZIP"},
    {"C:\\T", "x.dll", kAt + "x.cab", "C:\\T\\x.cab"},
    {"C:\\T", "a.dll", kAt + "a.dll", "C:\\T\\a.dll"},
    {"C:\\T", "archive.tar.gz", kAt + "b.zip", "C:\\T\\archive.tar.zip"},
    {"C:\\T", "noext", kAt + "b.zip", "C:\\T\\noext.zip"},
    // Only the last path segment counts; query, fragment and host are not part of it.
    {"C:\\T", "a.dll", kAt + "v1.0/file", "C:\\T\\a"},
    {"C:\\T", "a.dll", kAt + "file?name=a.zip", "C:\\T\\a"},
    {"C:\\T", "a.dll", kAt + "a.zip#part.cab", "C:\\T\\a.zip"},
    {"C:\\T", "a.dll", "http://update.orbina.com", "C:\\T\\a"},
    {"C:\\T", "a.dll", "http://update.orbina.com?x.zip", "C:\\T\\a"},
    {"C:\\T", "a.dll", kAt + "dir.v2\\a.zip", "C:\\T\\a.zip"},
    {"C:\\T", "a.dll", kAt + "a.zip\\b", "C:\\T\\a"},
    {"C:\\T", "a.dll", kAt + "a.zip%3A", "C:\\T\\a.zip%3A"},
    // An extension that would make a stream, a wildcard or a folder is refused.
    {"C:\\T", "a.dll", kAt + "a.z:ip", ""},
    {"C:\\T", "a.dll", kAt + "a.z*p", ""},
    {"C:\\T", "a.dll", kAt + "a.z\"p", ""},
    // The last byte of a double-byte character is no separator.
    {"C:\\T\x81\\", "a.dll", kAt + "a.zip", "C:\\T\x81\\\\a.zip"},
    {longFolder.c_str(), "a.dll", kAt + "a.zip", longFolder + "\\a.zip"},  // 259 bytes: fits
    {longFolder.c_str(), "ab.dll", kAt + "a.zip", ""},
  };
  // clang-format on
  for (const CopyCase& c : cases) {
    std::string path;
    const bool fits = DownloadedCopyPath(c.folder, c.name, c.url, path);
    SCOPED_TRACE(c.url);
    EXPECT_EQ(!c.path.empty(), fits);
    if (fits) {
      EXPECT_EQ(c.path, path);
    }
  }
}

struct ExtractCase {
  const char* name;
  std::string url;
  bool expected;
};

TEST(NeedsExtraction, Table) {
  // clang-format off
  const ExtractCase cases[] = {
    {"a.dll", kAt + "a.zip", true},
    {"a.dll", kAt + "a.ZIP", true},
    {"x.zip", kAt + "x.zip", false},
    {"X.ZIP", kAt + "x.zip", false},
    {"x.dll", kAt + "x.cab", false},
    {"x.dll", kAt + "file", false},
    {"x", kAt + "x.zip", true},
    {"x.dll", kAt + "x.zip?y=1", true},
    {"x.dll", kAt + "x.zip.cab", false},
  };
  // clang-format on
  for (const ExtractCase& c : cases) EXPECT_EQ(c.expected, NeedsExtraction(c.name, c.url)) << c.name << c.url;
}

TEST(DownloadProgress, Numbers) {
  const struct {
    uint32_t processed, total;
    int percent;
  } percents[] = {
      {0, 0, 100}, {0, 10, 0}, {1, 8, 13}, {1, 3, 33}, {2, 3, 67}, {3, 8, 38}, {0xFFFFFFFF, 0xFFFFFFFF, 100}};
  for (const auto& p : percents) EXPECT_EQ(p.percent, ExtractPercent(p.processed, p.total)) << p.processed;

  const struct {
    uint64_t total;
    uint32_t reported;
  } totals[] = {
      {4000, 4000}, {0x7FFFFFFF, 0x7FFFFFFF}, {0x80000000, 0x7FFFFFFF}, {0x1000000FAull, 0x7FFFFFFF}};
  for (const auto& t : totals) EXPECT_EQ(t.reported, ProgressTotal(t.total)) << t.total;
}

}  // namespace
