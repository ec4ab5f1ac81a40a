// The file version read from an image's bytes, on images built with one part broken at a time;
// under Wine the system's own reader judges the same images and the fixture binaries.
#include "PeVersion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "PeImage.h"

#ifdef _WIN32
#include <windows.h>

#include "Folders.h"
#include "LocalFiles.h"
#endif

namespace {

struct PeCase {
  const char* name;
  std::function<void(CPeImageSpec&)> change;
  std::function<void(std::string&)> damage;  // applied to the built bytes
  bool read;
  // The system's reader judges it alike. Not for resource entries that point outside the file:
  // the system's reader faults on those under Wine.
  bool systemAlike = true;
  uint32_t ms = 0x00010002;  // expected when read
};

void Put32(std::string& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

const std::vector<PeCase>& Cases() {
  const auto none = [](CPeImageSpec&) {};
  const auto keep = [](std::string&) {};
  // The resource directory entries: root at +0, name level at +0x30, language level at +0x60.
  static const std::vector<PeCase> cases = {
      {"Plain64", none, keep, true},
      {"Plain32", [](CPeImageSpec& s) { s.pe32Plus = false; }, keep, true},
      {"HighVersionFields",
       [](CPeImageSpec& s) {
         s.ms = 0xFFFF0001;
         s.ls = 0x0000FFFF;
       },
       keep, true, true, 0xFFFF0001},
      {"NoResources", [](CPeImageSpec& s) { s.resources = false; }, keep, false},
      {"OnlyOtherResourceTypes", [](CPeImageSpec& s) { s.typeId = 6; }, keep, false},
      {"VersionResourceNotNamedOne", [](CPeImageSpec& s) { s.nameId = 2; }, keep, false},
      {"NamedTypeAheadOfNumbered", [](CPeImageSpec& s) { s.namedTypeFirst = true; }, keep, true},
      {"FirstLanguageCounts", [](CPeImageSpec& s) { s.secondLanguage = true; }, keep, true},
      {"WrongSignature", [](CPeImageSpec& s) { s.signature = 0xFEEF04BC; }, keep, false},
      {"ValueShorterThanFixedInfo", [](CPeImageSpec& s) { s.valueLength = 8; }, keep, false},
      {"RootEndsInsideFixedInfo", [](CPeImageSpec& s) { s.rootLengthChange = -44; }, keep, false},
      {"RootLongerThanData", [](CPeImageSpec& s) { s.rootLengthChange = 100; }, keep, true},
      // The system's reader copies the announced size and reads the fixed information past it
      // from the root block's own length; this reader keeps to the announced size.
      {"DataEntryCutsFixedInfo", [](CPeImageSpec& s) { s.dataSizeChange = -20; }, keep, false, false},
      {"TooFewDataDirectories", [](CPeImageSpec& s) { s.rvaCount = 2; }, keep, false, true},
      {"ResourceAddressInNoSection", [](CPeImageSpec& s) { s.resourceRvaChange = 0x10000; }, keep, false,
       true},
      {"NotAnImage", none, [](std::string& b) { b[0] = 'Z'; }, false, true},
      {"HeaderOffsetPastTheEnd", none, [](std::string& b) { Put32(b, 0x3C, 0x7FFFFFF0); }, false, true},
      {"NoPeSignature", none, [](std::string& b) { b[kPeHeaderOffset] = 'X'; }, false, true},
      {"FileCutInsideResources", none, [](std::string& b) { b.resize(kResourceFileOffset + 0x100); }, false,
       true},
      {"FileCutInsideHeaders", none, [](std::string& b) { b.resize(0x80); }, false, true},
      {"SubdirectoryPastTheSection", none,
       [](std::string& b) { Put32(b, kResourceFileOffset + 0x14, 0x80000000u | 0x7FFFFFF0u); }, false, true},
      {"LanguageLevelPointsBackAtRoot", none,
       [](std::string& b) { Put32(b, kResourceFileOffset + 0x60 + 0x14, 0x80000000u); }, false, true},
      {"DataEntryPastTheSection", none,
       [](std::string& b) { Put32(b, kResourceFileOffset + 0x74, 0x7FFFFFF0u); }, false, false},
      {"DataAddressWrapsAround", none,
       [](std::string& b) { Put32(b, kResourceFileOffset + 0xA0, 0xFFFFFFF0u); }, false, false},
      {"EntryCountsBeyondTheBytes", [](CPeImageSpec& s) { s.typeId = 6; },
       [](std::string& b) { b[kResourceFileOffset + 14] = b[kResourceFileOffset + 15] = '\xFF'; }, false,
       false},
  };
  return cases;
}

std::string ImageOf(const PeCase& c) {
  CPeImageSpec spec;
  c.change(spec);
  std::string bytes = BuildPeImage(spec);
  c.damage(bytes);
  return bytes;
}

TEST(ReadPeFileVersion, Table) {
  for (const PeCase& c : Cases()) {
    const std::string bytes = ImageOf(c);
    uint32_t ms = 0;
    uint32_t ls = 0;
    const bool read = ReadPeFileVersion(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), ms, ls);
    EXPECT_EQ(c.read, read) << c.name;
    if (c.read && read) {
      CPeImageSpec spec;
      c.change(spec);
      EXPECT_EQ(c.ms, ms) << c.name;
      EXPECT_EQ(spec.ls, ls) << c.name;
    }
  }
}

// Every prefix of a valid image is refused or read the same, never read out of bounds (the
// sanitizer builds watch the reads).
TEST(ReadPeFileVersion, EveryPrefixOfAnImage) {
  const std::string bytes = BuildPeImage({});
  for (size_t size = 0; size <= bytes.size(); ++size) {
    std::vector<uint8_t> copy(bytes.begin(), bytes.begin() + size);
    uint32_t ms = 0;
    uint32_t ls = 0;
    if (ReadPeFileVersion(copy.data(), copy.size(), ms, ls)) {
      EXPECT_EQ(0x00010002u, ms) << size;
    }
  }
}

#ifdef _WIN32
std::string ModuleFolder() {
  char path[MAX_PATH];
  const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, length);
  return folder.substr(0, folder.rfind('\\'));
}

// The system's own reader, through the loader, with the checks the setup manager makes of it.
bool SystemVersion(const std::string& path, uint32_t& ms, uint32_t& ls) {
  DWORD handle = 0;
  const DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &handle);
  if (size < sizeof(WORD)) return false;
  std::vector<BYTE> info(size);
  if (!::GetFileVersionInfoA(path.c_str(), 0, size, info.data())) return false;
  void* value = nullptr;
  UINT length = 0;
  if (!::VerQueryValueA(info.data(), "\\", &value, &length) || value == nullptr) return false;
  WORD rootLength = 0;
  std::memcpy(&rootLength, info.data(), sizeof rootLength);
  const uintptr_t begin = reinterpret_cast<uintptr_t>(info.data());
  const uintptr_t end = begin + std::min<size_t>(size, rootLength);
  const uintptr_t fixed = reinterpret_cast<uintptr_t>(value);
  if (length < sizeof(VS_FIXEDFILEINFO) || fixed < begin || fixed > end ||
      end - fixed < sizeof(VS_FIXEDFILEINFO)) {
    return false;
  }
  VS_FIXEDFILEINFO fixedInfo;
  std::memcpy(&fixedInfo, value, sizeof fixedInfo);
  if (fixedInfo.dwSignature != VS_FFI_SIGNATURE) return false;
  ms = fixedInfo.dwFileVersionMS;
  ls = fixedInfo.dwFileVersionLS;
  return true;
}

// The setup manager's reader of a file, over ReadPeFileVersion.
bool OwnVersion(const std::string& path, uint32_t& ms, uint32_t& ls) {
  DWORD high = 0;
  DWORD low = 0;
  if (!ReadFileVersion(path.c_str(), high, low)) return false;
  ms = high;
  ls = low;
  return true;
}

// The system's reader and this one agree on the built images that the system's loader takes.
TEST(ReadPeFileVersion, AgreesWithTheSystemOnBuiltImages) {
  CScratchFolder scratch;
  ASSERT_TRUE(scratch.Valid());
  for (const PeCase& c : Cases()) {
    if (!c.systemAlike) continue;
    const std::string path = JoinLocalPath(scratch.Path(), std::string(c.name) + ".dll");
    ASSERT_TRUE(WriteLocalFile(path, ImageOf(c)));
    uint32_t systemMs = 0, systemLs = 0, ownMs = 0, ownLs = 0;
    const bool system = SystemVersion(path, systemMs, systemLs);
    EXPECT_EQ(system, OwnVersion(path, ownMs, ownLs)) << c.name;
    if (system) {
      EXPECT_EQ(systemMs, ownMs) << c.name;
      EXPECT_EQ(systemLs, ownLs) << c.name;
    }
  }
}

// ... and on the fixture binaries and the programs of this build.
TEST(ReadPeFileVersion, AgreesWithTheSystemOnBuiltBinaries) {
  const std::string folder = ModuleFolder();
  std::vector<std::string> paths;
  for (const std::string& sub : {folder, folder + "\\fixtures"}) {
    std::vector<std::string> names;
    ASSERT_TRUE(ListFolderFiles(sub, names)) << sub;
    for (const std::string& name : names) {
      const std::string extension = name.size() > 4 ? name.substr(name.size() - 4) : "";
      if (extension == ".exe" || extension == ".dll") paths.push_back(sub + "\\" + name);
    }
  }
  ASSERT_GE(paths.size(), 8u);
  int withVersion = 0;
  for (const std::string& path : paths) {
    uint32_t systemMs = 0, systemLs = 0, ownMs = 0, ownLs = 0;
    const bool system = SystemVersion(path, systemMs, systemLs);
    EXPECT_EQ(system, OwnVersion(path, ownMs, ownLs)) << path;
    if (!system) continue;
    ++withVersion;
    EXPECT_EQ(systemMs, ownMs) << path;
    EXPECT_EQ(systemLs, ownLs) << path;
  }
  EXPECT_GE(withVersion, 4);
}
#endif

}  // namespace
