#include "ZipArchive.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

#include "ZipEntryName.h"
#include "ZipPack.h"

namespace fs = std::filesystem;

namespace {

TEST(ZipEntryName, Table) {
  const std::pair<const char*, bool> cases[] = {
      {"a.dll", true},
      {"dir/a.dll", true},
      {"dir\\sub\\a.dll", true},
      {"dir/", true},
      {"\xB0\xA1\xC6\xC4.dll", true},
      {"a b.txt", true},
      {"", false},
      {"/a", false},
      {"\\a", false},
      {"\\\\server\\share\\a", false},
      {"C:\\a", false},
      {"C:a", false},
      {"../a", false},
      {"dir/../../a", false},
      {"dir\\..\\a", false},
      {"./a", false},
      {"a:stream", false},
      {"CON", false},
      {"nul.txt", false},
      {"dir/com1.dll", false},
      {"LPT9", false},
      {"conout$", false},
      {"COM0", true},
      {"console", true},
      {"a.", false},
      {"a ", false},
      {"dir./a", false},
      {"a//b", false},
      {"a\tb", false},
      {"a?b", false},
      {"a|b", false},
      {"dir//", false},
  };
  for (const auto& [name, safe] : cases) EXPECT_EQ(safe, IsSafeZipEntryName(name)) << name;
}

void MakeZip(const fs::path& path, const std::vector<CZipPackEntry>& entries, bool stored = false) {
  std::string error;
  EXPECT_TRUE(PackEntries(path.string(), entries, {2007, 7, 18, 10, 20, 30}, stored, error)) << error;
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A path's bytes as the program names it: in the ANSI code page on Windows, where the library's
// narrow form is UTF-8.
std::string Narrow(const fs::path& path) {
#ifdef _WIN32
  const std::wstring wide = path.generic_wstring();
  std::string text(wide.size() * 2, '\0');
  text.resize(::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), &text[0],
                                    static_cast<int>(text.size()), nullptr, nullptr));
  return text;
#else
  return path.generic_string();
#endif
}

// Every file below `root`, relative, with "/" separators.
std::vector<std::string> Tree(const fs::path& root) {
  std::vector<std::string> files;
  for (const auto& item : fs::recursive_directory_iterator(root)) {
    files.push_back(Narrow(fs::relative(item.path(), root)) + (item.is_directory() ? "/" : ""));
  }
  std::sort(files.begin(), files.end());
  return files;
}

class Recorder : public CZipActionCallback {
 public:
  bool Callback() override {
    calls.push_back(m_szFileInZip + " " + std::to_string(m_uProcessed) + "/" +
                    std::to_string(m_uTotalToProcess));
    return !abort;
  }
  std::vector<std::string> calls;
  bool abort = false;
};

class ZipArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root = fs::temp_directory_path() /
           ("velsetup-zip-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(root);
    fs::create_directories(root / "out");
    archive = root / "a.zip";
  }
  void TearDown() override { fs::remove_all(root); }

  // Extracts every entry; the name of the exception that ended it, or "" for none.
  std::string ExtractAll(CZipActionCallback* callback = nullptr) {
    CZipArchive zip;
    try {
      zip.Open(archive.string().c_str());
      zip.SetCallback(callback);
      for (int i = 0; i < zip.GetCount(); ++i) zip.ExtractFile(i, (root / "out").string().c_str());
    } catch (const CZipException&) {
      return "zip";
    } catch (const CFileException&) {
      return "file";
    }
    return "";
  }

  fs::path root;
  fs::path archive;
};

TEST_F(ZipArchiveTest, ExtractsFoldersAndKoreanNames) {
  const std::string big(200000, 'x');
  MakeZip(archive,
          {{"a.dll", "AAA"}, {"sub/", ""}, {"sub/deep/b.txt", big}, {"\xB0\xA1.txt", "k"}, {"e", ""}});
  std::ofstream(root / "out" / "a.dll") << "old content that is longer";
  Recorder recorder;
  EXPECT_EQ("", ExtractAll(&recorder));
  EXPECT_EQ((std::vector<std::string>{"a.dll", "e", "sub/", "sub/deep/", "sub/deep/b.txt", "\xB0\xA1.txt"}),
            Tree(root / "out"));
  EXPECT_EQ("AAA", ReadAll(root / "out" / "a.dll"));
  EXPECT_EQ(big, ReadAll(root / "out" / "sub" / "deep" / "b.txt"));
  // Each entry's progress ends at its size, an empty entry's included; a big entry reports on the way.
  std::map<std::string, std::vector<std::string>> progress;
  for (const std::string& call : recorder.calls) {
    progress[call.substr(0, call.rfind(' '))].push_back(call.substr(call.rfind(' ') + 1));
  }
  EXPECT_EQ("3/3", progress["a.dll"].back());
  EXPECT_EQ("200000/200000", progress["sub/deep/b.txt"].back());
  EXPECT_LT(1u, progress["sub/deep/b.txt"].size());
  EXPECT_EQ("0/0", progress["e"].back());
}

TEST_F(ZipArchiveTest, RefusedNamesWriteNothingOutside) {
  for (const char* name : {"../escape.txt", "C:\\escape.txt", "/escape.txt", "a:b", "nul"}) {
    MakeZip(archive, {{name, "evil"}});
    EXPECT_EQ("file", ExtractAll()) << name;
    EXPECT_EQ((std::vector<std::string>{"a.zip", "out/"}), Tree(root)) << name;
  }
}

TEST_F(ZipArchiveTest, DamagedEntryIsDeleted) {
  MakeZip(archive, {{"a.txt", std::string(1000, 'q')}}, true);
  // Change a byte of the stored data (after the 30-byte header and the name): the CRC no longer
  // matches.
  std::string bytes = ReadAll(archive);
  bytes[30 + 5 + 10] ^= 0x55;
  std::ofstream(archive, std::ios::binary) << bytes;
  EXPECT_NE("", ExtractAll());
  EXPECT_FALSE(fs::exists(root / "out" / "a.txt"));
}

TEST_F(ZipArchiveTest, AbortByTheCallbackDeletesTheEntry) {
  MakeZip(archive, {{"a.txt", std::string(100000, 'q')}});
  Recorder recorder;
  recorder.abort = true;
  EXPECT_EQ("zip", ExtractAll(&recorder));
  EXPECT_FALSE(fs::exists(root / "out" / "a.txt"));
}

TEST_F(ZipArchiveTest, NotAnArchive) {
  std::ofstream(archive) << "not a zip";
  EXPECT_EQ("zip", ExtractAll());
  // An archive of no entries is refused as a damaged one is.
  MakeZip(archive, {});
  CZipArchive zip;
  EXPECT_THROW(zip.Open(archive.string().c_str()), CZipException);
  EXPECT_EQ("zip", ExtractAll());
}

}  // namespace
