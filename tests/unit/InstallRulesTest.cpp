#include "InstallRules.h"

#include <gtest/gtest.h>

#include "DownloadProgress.h"

namespace {

TEST(InstallRulesTest, DeleteKeyRoots) {
  const struct {
    const char* value;
    bool hasBackslash;
    DeleteKeyRoot root;
    const char* subKey;
  } cases[] = {
      {"HKEY_CURRENT_USER\\Software\\A", true, DeleteKeyRoot::kCurrentUser, "Software\\A"},
      {"HKEY_LOCAL_MACHINE\\Software", true, DeleteKeyRoot::kLocalMachine, "Software"},
      {"HKEY_CLASSES_ROOT\\CLSID\\{x}", true, DeleteKeyRoot::kClassesRoot, "CLSID\\{x}"},
      {"HKEY_CURRENT_CONFIG\\Software", true, DeleteKeyRoot::kCurrentConfig, "Software"},
      {"HKEY_USERS\\.DEFAULT\\A", true, DeleteKeyRoot::kUsers, ".DEFAULT\\A"},
      // Compared over the root text's own length, in the order of the roots.
      {"HKEY_CURRENT\\A", true, DeleteKeyRoot::kCurrentUser, "A"},
      {"HKEY_\\A", true, DeleteKeyRoot::kLocalMachine, "A"},
      {"\\A", true, DeleteKeyRoot::kLocalMachine, "A"},
      {"HKEY_CURRENT_C\\A", true, DeleteKeyRoot::kCurrentConfig, "A"},
      // Letter case counts; abbreviations and longer texts name no root.
      {"hkey_local_machine\\A", true, DeleteKeyRoot::kNone, "A"},
      {"HKCU\\A", true, DeleteKeyRoot::kNone, "A"},
      {"HKEY_USERSX\\A", true, DeleteKeyRoot::kNone, "A"},
      // Nothing after the backslash names the whole root: RegDeleteAllKey refuses it.
      {"HKEY_CURRENT_USER\\", true, DeleteKeyRoot::kCurrentUser, ""},
      {"HKEY_CURRENT_USER", false, DeleteKeyRoot::kNone, ""},
      {"", false, DeleteKeyRoot::kNone, ""},
      // A trail byte is never taken for the separator (code page 949 has none that is one; the
      // lead byte 0x81 followed by 0x5C is walked over as one character).
      {"\x81\\\\A", true, DeleteKeyRoot::kNone, "A"},
  };
  for (const auto& c : cases) {
    const CDeleteKeyPath path = ParseDeleteKeyPath(c.value);
    EXPECT_EQ(path.hasBackslash, c.hasBackslash) << c.value;
    EXPECT_EQ(path.root, c.root) << c.value;
    EXPECT_EQ(path.subKey, c.subKey) << c.value;
  }
}

TEST(InstallRulesTest, FilesListedByTwoItems) {
  CInstalledFiles installed;
  installed.Remember("a.dll", "http://h/a.dll", "C:\\Dest\\a.dll", true);
  installed.Remember("b.dll", "http://h/b.dll", "C:\\Dest\\b.dll", false);  // waits for the restart

  EXPECT_TRUE(installed.WasMovedTo("C:\\Dest\\a.dll"));
  EXPECT_TRUE(installed.WasMovedTo("c:\\dest\\A.DLL"));
  EXPECT_FALSE(installed.WasMovedTo("C:\\Dest\\b.dll"));
  EXPECT_FALSE(installed.WasMovedTo("C:\\Other\\a.dll"));

  const struct {
    const char* name;
    const char* source;
    const char* localPath;
    bool conflicts;
  } cases[] = {
      {"a.dll", "http://h/a.dll", "C:\\Dest\\a.dll", false},
      {"A.DLL", "http://h/a.dll", "c:\\dest\\A.DLL", false},
      {"a.dll", "http://h/other/a.dll", "C:\\Dest\\a.dll", true},
      {"a.dll", "http://h/a.dll", "C:\\Other\\a.dll", true},
      {"b.dll", "http://h/b2.dll", "C:\\Dest\\b.dll", true},
      {"c.dll", "http://h/a.dll", "C:\\Dest\\a.dll", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(installed.ConflictsWithEarlier(c.name, c.source, c.localPath), c.conflicts)
        << c.name << " " << c.source;
}

TEST(InstallRulesTest, DownloadPercent) {
  const struct {
    uint64_t written, total;
    int percent;
  } cases[] = {
      {0, 4000, 0},
      {1000, 4000, 25},
      {3979, 4000, 99},
      {3980, 4000, 100},  // half up
      {4000, 4000, 100},
      {5000, 4000, 100},  // a body longer than announced
      {0, 0, 100},
      {300, 0, 100},  // nothing announced
      {1, 200, 1},
      {0x7FFFFFFE, 0x7FFFFFFF, 100},
      {0x3FFFFFFF, 0x7FFFFFFF, 50},
  };
  for (const auto& c : cases)
    EXPECT_EQ(DownloadPercent(c.written, c.total), c.percent) << c.written << "/" << c.total;
}

}  // namespace
