// The file-system and clock services of the setup manager, replaced for the native tests and
// fuzz targets: folders are recorded instead of created.
#pragma once

#include <string>
#include <vector>

struct CFakeSystem {
  std::vector<std::string> createdFolders;
  bool createResult = true;
  unsigned long lastError = 0;
  long timeZoneBias = -540;  // UTC+9
};

// The fake's state; tests reset it with `FakeSystem() = {}`.
CFakeSystem& FakeSystem();
