// Whether the temporary folder may hold the copies that the program moves into place and runs
// with administrator rights. Decided on what the system reports of the folder (its kind, owner
// and access list), without asking the system here.
#pragma once

#include <cstdint>
#include <vector>

// Who an owner or an entry of an access list names, as far as trust goes.
enum class EAccount { kSystem, kAdministrators, kRunningAccount, kOther };

struct CAccessEntry {
  bool allows = true;  // an entry that denies only takes rights away and is not looked at
  EAccount account = EAccount::kOther;
  uint32_t mask = 0;  // as the list holds it, generic rights included
};

struct CFolderFacts {
  bool isLink = false;  // a reparse point: symbolic link, junction or mount point
  EAccount owner = EAccount::kOther;
  bool hasList = false;               // no access list at all grants everybody everything
  std::vector<CAccessEntry> entries;  // inherit-only entries too: they reach the files inside
};

enum class EFolderTrust {
  kTrusted,  // its copies may be used as they are
  kSecure,   // owned by a trusted account but others may change it: secure it, trust no copy in it
  kLink,     // refused: a link or mount point may lead anywhere
  kForeign,  // refused: somebody else owns it and can change its list at will
};

// The rights to create, write or delete in the folder, or to change its list or owner: file and
// folder rights, DELETE, WRITE_DAC, WRITE_OWNER, GENERIC_WRITE and GENERIC_ALL.
constexpr uint32_t kFolderChangeRights = 0x0002u | 0x0004u | 0x0010u | 0x0040u | 0x0100u | 0x00010000u |
                                         0x00040000u | 0x00080000u | 0x10000000u | 0x40000000u;

EFolderTrust DecideFolderTrust(const CFolderFacts& facts);
