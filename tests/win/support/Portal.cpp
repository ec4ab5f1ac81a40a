#include "Portal.h"

#include <windows.h>

#include <cstdlib>

#include "SetupRun.h"

namespace portal {

namespace {

// A Unix path of the session as Wine shows it on drive Z:.
std::string FromUnix(const char* unixPath) {
  std::string path = std::string("Z:") + unixPath;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

std::string Root() {
  const char* root = std::getenv("VELSETUP_PORTAL_ROOT");
  return root != nullptr ? FromUnix(root) : std::string();
}

void CreateFolders(const std::string& filePath) {
  for (size_t at = filePath.find('\\', 3); at != std::string::npos; at = filePath.find('\\', at + 1)) {
    ::CreateDirectoryA(filePath.substr(0, at).c_str(), nullptr);
  }
}

}  // namespace

bool Available() { return !Root().empty() && std::getenv("VELSETUP_PORTAL_PORT") != nullptr; }

std::string PathOf(const std::string& relative) {
  std::string path = Root() + "\\" + relative;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

bool Put(const std::string& relative, const std::string& bytes) {
  const std::string path = PathOf(relative);
  CreateFolders(path);
  return WriteFileBytes(path, bytes);
}

bool SetFaults(const std::string& rules) { return WriteFileBytes(PathOf(".faults"), rules); }

std::string RequestLog() {
  const char* log = std::getenv("VELSETUP_PORTAL_LOG");
  return log != nullptr ? ReadFileBytes(FromUnix(log)) : std::string();
}

}  // namespace portal
