#include "Rights.h"

#include <windows.h>

#include "WinHandles.h"

namespace {

struct SidOwner {  // AllocateAndInitializeSid
  using Type = PSID;
  static Type Invalid() { return nullptr; }
  static void Close(Type value) { ::FreeSid(value); }
};
using CScopedSid = CUniqueResource<SidOwner>;

CScopedSid BuiltinGroupSid(DWORD rid) {
  SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
  CScopedSid sid;
  ::AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, rid, 0, 0, 0, 0, 0, 0,
                             sid.Put());
  return sid;
}

bool IsNtFamily() {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  return ::GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

}  // namespace

bool IsAdminOrPowerUser() {
  if (!IsNtFamily()) return true;

  // The group list is read into a fixed buffer; a token whose list does not fit fails the check.
  alignas(TOKEN_GROUPS) BYTE buffer[1024];
  {
    CScopedHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_READ, token.Put())) return false;
    DWORD needed = 0;
    if (!::GetTokenInformation(token.Get(), TokenGroups, buffer, sizeof buffer, &needed)) return false;
  }

  const CScopedSid administrators = BuiltinGroupSid(DOMAIN_ALIAS_RID_ADMINS);
  const CScopedSid powerUsers = BuiltinGroupSid(DOMAIN_ALIAS_RID_POWER_USERS);
  if (!administrators || !powerUsers) return false;

  const TOKEN_GROUPS* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer);
  for (DWORD i = 0; i < groups->GroupCount; ++i) {
    PSID sid = groups->Groups[i].Sid;
    if (::EqualSid(sid, administrators.Get()) || ::EqualSid(sid, powerUsers.Get())) return true;
  }
  return false;
}
