// The downloaded copy's name and whether it is an archive to unpack.
#include "TemporaryNames.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string kAt = "http://update.orbina.com/orbina/velsetup/";

struct CopyCase {
  std::string folder, name, url;
  std::string path;  // empty: refused
  bool extract;
};

TEST(DownloadedCopy, Table) {
  const std::string longFolder = "C:\\" + std::string(250, 'f');
  // clang-format off
  const CopyCase cases[] = {
    {"C:\\T", "a.dll", kAt + "a.zip", "C:\\T\\a.zip", true},
    {"C:\\T\\", "a.dll", kAt + "A.ZIP", "C:\\T\\a.ZIP", true},
    {"C:\\T", "x.zip", kAt + "x.zip", "C:\\T\\x.zip", false},
    {"C:\\T", "X.ZIP", kAt + "x.zip", "C:\\T\\X.zip", false},
    {"C:\\T", "x.dll", kAt + "x.cab", "C:\\T\\x.cab", false},
    {"C:\\T", "archive.tar.gz", kAt + "b.zip", "C:\\T\\archive.tar.zip", true},
    {"C:\\T", "noext", kAt + "b.zip", "C:\\T\\noext.zip", true},
    // Only the last path segment counts; query, fragment and host are not part of it.
    {"C:\\T", "a.dll", kAt + "v1.0/file", "C:\\T\\a", false},
    {"C:\\T", "a.dll", kAt + "file?name=a.zip", "C:\\T\\a", false},
    {"C:\\T", "a.dll", kAt + "a.zip?v=1.2#part.cab", "C:\\T\\a.zip", true},
    {"C:\\T", "a.dll", "http://update.orbina.com", "C:\\T\\a", false},
    {"C:\\T", "a.dll", "http://update.orbina.com?x.zip", "C:\\T\\a", false},
    {"C:\\T", "a.dll", kAt + "a.zip\\b", "C:\\T\\a", false},
    {"C:\\T", "a.dll", kAt + "a.zip%3A", "C:\\T\\a.zip%3A", false},
    // An extension that would name a stream or a wildcard is refused.
    {"C:\\T", "a.dll", kAt + "a.z:ip", "", false},
    {"C:\\T", "a.dll", kAt + "a.z*p", "", false},
    // The last byte of a double-byte character is no separator.
    {"C:\\T\x81\\", "a.dll", kAt + "a.zip", "C:\\T\x81\\\\a.zip", true},
    {longFolder, "a.dll", kAt + "a.zip", longFolder + "\\a.zip", true},  // 259 bytes
    {longFolder, "ab.dll", kAt + "a.zip", "", true},
  };
  // clang-format on
  for (const CopyCase& c : cases) {
    SCOPED_TRACE(c.url);
    std::string path;
    EXPECT_EQ(!c.path.empty(), DownloadedCopyPath(c.folder, c.name, c.url, path));
    if (!c.path.empty()) {
      EXPECT_EQ(c.path, path);
    }
    EXPECT_EQ(c.extract, NeedsExtraction(c.name, c.url));
  }
}

}  // namespace
