#include "Rights.h"

#include <gtest/gtest.h>

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
