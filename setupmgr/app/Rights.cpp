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
  ::AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, rid, 0, 0, 0, 0, 0, 0, sid.Put());
  return sid;
}

bool IsNtFamily() {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  return ::GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

}  // namespace

bool ReadTokenGroups(HANDLE token, std::vector<BYTE>& buffer, DWORD initialSize) {
  buffer.resize(initialSize);
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD needed = 0;
    if (::GetTokenInformation(token, TokenGroups, buffer.data(), static_cast<DWORD>(buffer.size()),
                              &needed)) {
      return true;
    }
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= buffer.size()) return false;
    buffer.resize(needed);
  }
  return false;
}

bool IsAdminOrPowerUser() {
  if (!IsNtFamily()) return true;

  // An administrator in many groups has a list larger than any fixed buffer; it is read whole.
  std::vector<BYTE> buffer;
  {
    CScopedHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_READ, token.Put())) return false;
    if (!ReadTokenGroups(token.Get(), buffer)) return false;
  }

  return ListsAdminOrPowerUser(*reinterpret_cast<const TOKEN_GROUPS*>(buffer.data()));
}

bool ListsAdminOrPowerUser(const TOKEN_GROUPS& groups) {
  const CScopedSid administrators = BuiltinGroupSid(DOMAIN_ALIAS_RID_ADMINS);
  const CScopedSid powerUsers = BuiltinGroupSid(DOMAIN_ALIAS_RID_POWER_USERS);
  if (!administrators || !powerUsers) return false;

  for (DWORD i = 0; i < groups.GroupCount; ++i) {
    PSID sid = groups.Groups[i].Sid;
    if (::EqualSid(sid, administrators.Get()) || ::EqualSid(sid, powerUsers.Get())) return true;
  }
  return false;
}
