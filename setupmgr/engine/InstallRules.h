// Decisions of the installation that need no operating system: the root of a DELETEREGKEY value,
// and what the run remembers of the files it has installed so far.
#pragma once

#include <string>
#include <vector>

// The roots a DELETEREGKEY value may begin with, in the order they are tried.
enum class DeleteKeyRoot { kNone, kLocalMachine, kCurrentUser, kClassesRoot, kCurrentConfig, kUsers };

struct CDeleteKeyPath {
  bool hasBackslash = false;  // without one the value is ignored
  DeleteKeyRoot root = DeleteKeyRoot::kNone;
  std::string subKey;  // everything after the first backslash
};

// Splits a DELETEREGKEY value at its first backslash. The root text agrees with a root name when
// it equals that name's beginning, letter case included, over the root text's own length: so
// "HKEY_CURRENT" names HKEY_CURRENT_USER and an empty root text HKEY_LOCAL_MACHINE.
CDeleteKeyPath ParseDeleteKeyPath(const std::string& value);

// The records one installation pass has reached, in order. Two items of a run may list the same
// file: both are downloaded into the one temporary copy of that name, which the first of them
// moves away.
class CInstalledFiles {
 public:
  void Remember(const std::string& name, const std::string& source, const std::string& localPath, bool moved);
  // True when an earlier record moved its copy to `localPath` (letter case aside).
  bool WasMovedTo(const std::string& localPath) const;
  // True when an earlier record has the same name (letter case aside) but another source or
  // another installed path: the two shared one temporary copy, so one of them got the other's.
  bool ConflictsWithEarlier(const std::string& name, const std::string& source,
                            const std::string& localPath) const;

 private:
  struct CRecord {
    std::string name, source, localPath;
    bool moved;
  };
  std::vector<CRecord> m_records;
};
