// Whether the temporary folder's copies may be used, on what the system reports of it.
#include "FolderTrust.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr EAccount kSystem = EAccount::kSystem, kAdmins = EAccount::kAdministrators,
                   kSelf = EAccount::kRunningAccount, kOther = EAccount::kOther;
constexpr uint32_t kFull = 0x001F01FF, kReadExecute = 0x001200A9, kModify = 0x001301BF;
constexpr uint32_t kWriteDac = 0x00040000, kAppendData = 0x0004;

struct Case {
  const char* name;
  bool isLink;
  EAccount owner;
  bool hasList;
  std::vector<CAccessEntry> entries;
  EFolderTrust trust;
};

TEST(FolderTrust, Table) {
  const std::vector<CAccessEntry> ours = {
      {true, kSystem, kFull}, {true, kAdmins, kFull}, {true, kSelf, kFull}, {true, kOther, kReadExecute}};
  // clang-format off
  const Case cases[] = {
    {"the list the program gives it", false, kAdmins, true, ours, EFolderTrust::kTrusted},
    {"what Wine reports of every folder", false, kSelf, true,
     {{true, kSystem, kFull}, {true, kSelf, kFull}, {true, kOther, kReadExecute}}, EFolderTrust::kTrusted},
    {"a denying entry takes nothing to trust away", false, kSelf, true,
     {{false, kOther, kFull}, {true, kSelf, kFull}}, EFolderTrust::kTrusted},
    {"inherited from a drive root: users may modify", false, kAdmins, true,
     {{true, kAdmins, kFull}, {true, kOther, kModify}}, EFolderTrust::kSecure},
    {"others may create folders", false, kSelf, true, {{true, kOther, kAppendData}}, EFolderTrust::kSecure},
    {"others may change the list", false, kSystem, true, {{true, kOther, kWriteDac}}, EFolderTrust::kSecure},
    {"no list grants everybody everything", false, kAdmins, false, {}, EFolderTrust::kSecure},
    {"owned by another user", false, kOther, true, ours, EFolderTrust::kForeign},
    {"a link, whatever its list", true, kAdmins, true, ours, EFolderTrust::kLink},
  };
  // clang-format on
  for (const Case& c : cases) {
    CFolderFacts facts;
    facts.isLink = c.isLink;
    facts.owner = c.owner;
    facts.hasList = c.hasList;
    facts.entries = c.entries;
    EXPECT_EQ(c.trust, DecideFolderTrust(facts)) << c.name;
  }
}

}  // namespace
