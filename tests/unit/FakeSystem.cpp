#include "FakeSystem.h"

#include "Util.h"

CFakeSystem& FakeSystem() {
  static CFakeSystem state;
  return state;
}

bool CUtil::CreateRecursiveDirectory(const char* path) {
  FakeSystem().createdFolders.push_back(path);
  return FakeSystem().createResult;
}

unsigned long CUtil::LastError() { return FakeSystem().lastError; }

long CUtil::CurrentTimeZoneBias() { return FakeSystem().timeZoneBias; }
