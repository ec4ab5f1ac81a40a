#include "FolderTrust.h"

EFolderTrust DecideFolderTrust(const CFolderFacts& facts) {
  if (facts.isLink) return EFolderTrust::kLink;
  if (facts.owner == EAccount::kOther) return EFolderTrust::kForeign;
  if (!facts.hasList) return EFolderTrust::kSecure;
  for (const CAccessEntry& entry : facts.entries) {
    if (entry.allows && entry.account == EAccount::kOther && (entry.mask & kFolderChangeRights) != 0)
      return EFolderTrust::kSecure;
  }
  return EFolderTrust::kTrusted;
}
