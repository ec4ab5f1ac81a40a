#include "Rights.h"

#include <gtest/gtest.h>

#include <utility>

#include "WinHandles.h"

TEST(RightsTest, GroupListLargerThanTheFirstBufferIsReadWhole) {
  CScopedHandle token;
  ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_READ, token.Put()));
  std::vector<BYTE> buffer;
  ASSERT_TRUE(ReadTokenGroups(token.Get(), buffer, 8));
  ASSERT_GT(buffer.size(), 8u);
  EXPECT_GT(reinterpret_cast<const TOKEN_GROUPS*>(buffer.data())->GroupCount, 0u);
}

TEST(RightsTest, HarnessUserIsAnAdministrator) { EXPECT_TRUE(IsAdminOrPowerUser()); }

// Only the Administrators and Power Users groups count; Users, or an empty list, do not.
TEST(RightsTest, GroupListsDecide) {
  for (const auto& [rid, expected] : {std::pair<DWORD, bool>{DOMAIN_ALIAS_RID_ADMINS, true},
                                      {DOMAIN_ALIAS_RID_POWER_USERS, true},
                                      {DOMAIN_ALIAS_RID_USERS, false},
                                      {DOMAIN_ALIAS_RID_GUESTS, false}}) {
    BYTE sid[SECURITY_MAX_SID_SIZE];
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    ::InitializeSid(sid, &nt, 2);
    *::GetSidSubAuthority(sid, 0) = SECURITY_BUILTIN_DOMAIN_RID;
    *::GetSidSubAuthority(sid, 1) = rid;
    TOKEN_GROUPS groups = {1, {{sid, SE_GROUP_ENABLED}}};
    EXPECT_EQ(expected, ListsAdminOrPowerUser(groups)) << rid;
    groups.GroupCount = 0;
    EXPECT_FALSE(ListsAdminOrPowerUser(groups));
  }
}
