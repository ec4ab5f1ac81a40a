#include "RegistryText.h"

#include <gtest/gtest.h>

namespace {

TEST(RegistryTextTest, RootNames) {
  const struct {
    const char* text;
    RegistryRoot root;
  } cases[] = {
      {"HKLM", RegistryRoot::kLocalMachine},
      {"hklm", RegistryRoot::kLocalMachine},
      {"HkCu", RegistryRoot::kCurrentUser},
      {"hkcr", RegistryRoot::kClassesRoot},
      {"HKLM ", RegistryRoot::kNone},
      {"HKEY_LOCAL_MACHINE", RegistryRoot::kNone},
      {"", RegistryRoot::kNone},
      {nullptr, RegistryRoot::kNone},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseRootName(c.text), c.root) << (c.text ? c.text : "(absent)");
}

TEST(RegistryTextTest, PathsThatNameTheRootItself) {
  const struct {
    const char* path;
    bool wholeRoot;
  } cases[] = {
      {nullptr, true},     {"", true},     {"\\", true},   {"\\\\\\", true},
      {"Software", false}, {"\\a", false}, {"a\\", false}, {" ", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(NamesWholeRoot(c.path), c.wholeRoot) << (c.path ? c.path : "(absent)");
}

TEST(RegistryTextTest, FileBaseNames) {
  const struct {
    const char* path;
    const char* base;
  } cases[] = {
      {"C:\\Program Files\\App\\a.dll", "a"},
      {"C:\\App\\a.b.ocx", "a.b"},
      {"C:\\App.d\\name", "name"},
      {"C:\\App\\.dll", ""},
      {"a.dll", "a"},
      {"C:a.dll", "a"},
      {"C:\\App/x.exe", "x"},
      {"C:\\\xBC\xB3\\\xC6\xC4\xC0\xCF.dll", "\xC6\xC4\xC0\xCF"},  // Korean folder and name
  };
  for (const auto& c : cases) EXPECT_EQ(FileBaseName(c.path), c.base) << c.path;
}

}  // namespace
