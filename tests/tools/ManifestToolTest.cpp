// The command line as scripts use it, on manifests the tool writes from a release folder and on
// the same manifests broken one way at a time; and the file times it writes, read back as the
// setup manager reads them.
#include "ManifestTool.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LocalFiles.h"
#include "ManifestBuild.h"
#include "ManifestText.h"
#include "PeImage.h"
#include "ToolCrypto.h"

#ifdef _WIN32
#include <sys/utime.h>
#else
#include <utime.h>
#endif

namespace {

constexpr char kBase[] = "http://update.orbina.com/orbina/velsetup/demo";
// 2007-07-18 01:20:30 UTC, 10:20:30 in Seoul.
constexpr int64_t kModified = 1184721630;

void SetModified(const std::string& path, int64_t seconds) {
#ifdef _WIN32
  struct _utimbuf times = {static_cast<time_t>(seconds), static_cast<time_t>(seconds)};
  ASSERT_EQ(0, ::_utime(path.c_str(), &times)) << path;
#else
  struct utimbuf times = {static_cast<time_t>(seconds), static_cast<time_t>(seconds)};
  ASSERT_EQ(0, ::utime(path.c_str(), &times)) << path;
#endif
}

// A release folder: two programs with versions, a text file.
class ReleaseFolder {
 public:
  ReleaseFolder() {
    CPeImageSpec library;
    CPeImageSpec program;
    program.pe32Plus = false;
    program.ms = 0x00020000;
    program.ls = 0;
    Add("viewer.dll", BuildPeImage(library));
    Add("update.exe", BuildPeImage(program));
    Add("readme.txt", "release notes\n");
  }
  const std::string& Path() const { return m_folder.Path(); }
  std::string In(const std::string& name) const { return JoinLocalPath(m_folder.Path(), name); }

 private:
  void Add(const std::string& name, const std::string& bytes) {
    ASSERT_TRUE(WriteLocalFile(In(name), bytes));
    SetModified(In(name), kModified);
  }
  CScratchFolder m_folder;
};

// The SHA-256 of bytes as the manifest writes it.
std::string HashOf(const std::string& bytes) {
  CSha256Digest digest = {};
  EXPECT_TRUE(Sha256Bytes(bytes, digest));
  return Sha256Text(digest);
}

struct ToolRun {
  int code;
  std::string out;
  std::string err;
};

ToolRun Tool(const std::vector<std::string>& args) {
  ToolRun run;
  run.code = RunManifestTool(args, run.out, run.err);
  return run;
}

std::vector<std::string> BuildArgs(const ReleaseFolder& release, const std::string& out) {
  return {"build",      "--base-url",
          kBase,        "--tz",
          "+09:00",     "--out",
          out,          "--zip",
          "viewer.dll", "--register",
          "viewer.dll", release.Path(),
          "--item",     "Viewer",
          "--mode",     "velsetup",
          "--dest",     "[PROGRAMS]\\Orbina",
          "--files",    "viewer.dll,update.exe",
          "--item",     "Notes",
          "--mode",     "VelSetup",
          "--mode",     "docs",
          "--dest",     "[PROGRAMS]\\Orbina\\Docs"};
}

TEST(ManifestTool, BuildsWhatTheSetupManagerReads) {
  ReleaseFolder release;

  CScratchFolder outFolder;
  const std::string out = JoinLocalPath(outFolder.Path(), "control.xml");
  const ToolRun built = Tool(BuildArgs(release, out));
  ASSERT_EQ(kExitClean, built.code) << built.err;
  EXPECT_EQ("", built.out);
  std::string xml;
  ASSERT_TRUE(ReadLocalFile(out, xml));
  const std::string expected =
      "<?xml version=\"1.0\"?>\n"
      "<UPDATELIST>\n"
      "  <UPDATEITEM NAME=\"Viewer\">\n"
      "    <MODE NAME=\"velsetup\"/>\n"
      "    <FILE NAME=\"viewer.dll\">\n"
      "      <SOURCE>" +
      std::string(kBase) +
      "/viewer.zip</SOURCE>\n"
      "      <DEST>[PROGRAMS]\\Orbina</DEST>\n"
      "      <VERSION>1,2,3,4</VERSION>\n"
      "      <FILESIZE>" +
      std::to_string(BuildPeImage({}).size()) +
      "</FILESIZE>\n"
      "      <FILETIME>2007,7,18,10,20,30</FILETIME>\n"
      "      <SHA256>" +
      HashOf(BuildPeImage({})) +
      "</SHA256>\n"
      "      <REGISTER>1</REGISTER>\n"
      "    </FILE>\n"
      "    <FILE NAME=\"update.exe\">\n"
      "      <SOURCE>" +
      std::string(kBase) +
      "/update.exe</SOURCE>\n"
      "      <DEST>[PROGRAMS]\\Orbina</DEST>\n"
      "      <VERSION>2,0,0,0</VERSION>\n";
  EXPECT_EQ(expected, xml.substr(0, expected.size()));
  EXPECT_NE(std::string::npos, xml.find("<FILE NAME=\"readme.txt\">"));
  CLocalFile archive;
  EXPECT_TRUE(StatLocalFile(release.In("viewer.zip"), archive));

  // Built again, the archive is a published file and not a release file of the second item.
  const ToolRun again = Tool(BuildArgs(release, out));
  ASSERT_EQ(kExitClean, again.code) << again.err;
  std::string second;
  ASSERT_TRUE(ReadLocalFile(out, second));
  EXPECT_EQ(xml, second);
  EXPECT_EQ(kExitClean, Tool({"lint", "--files", release.Path(), "--base-url", kBase, out}).code);
}

struct BrokenCase {
  const char* name;
  std::string find;
  std::string replace;
  std::vector<std::string> codes;  // in the order of their lines
};

// The tool's own manifest with one mistake each, as a release engineer would make it by hand.
TEST(ManifestTool, FindsWhatBreaksTheToolsManifest) {
  ReleaseFolder release;
  CScratchFolder outFolder;
  const std::string out = JoinLocalPath(outFolder.Path(), "control.xml");
  ASSERT_EQ(kExitClean, Tool(BuildArgs(release, out)).code);
  std::string built;
  ASSERT_TRUE(ReadLocalFile(out, built));
  const BrokenCase cases[] = {
      {"VersionWithDots",
       "<VERSION>1,2,3,4</VERSION>",
       "<VERSION>1.2.3.4</VERSION>",
       {"bad-version", "version-mismatch"}},
      {"MisspelledVersion", "<VERSION>2,0,0,0</VERSION>", "<VERISON>2,0,0,0</VERISON>", {"unknown-element"}},
      {"MonthThirteen",
       "<FILETIME>2007,7,18",
       "<FILETIME>2007,13,18",
       {"bad-filetime", "bad-filetime", "bad-filetime"}},
      {"SourceDropped", "<SOURCE>" + std::string(kBase) + "/update.exe</SOURCE>", "", {"missing-source"}},
      {"DestDropped", "<DEST>[PROGRAMS]\\Orbina\\Docs</DEST>", "", {"missing-dest"}},
      {"OtherHost",
       "update.orbina.com/orbina/velsetup/demo/readme",
       "update.orbina.net/orbina/velsetup/demo/readme",
       {"untrusted-url"}},
      {"NameTwice",
       "<FILE NAME=\"update.exe\">",
       "<FILE NAME=\"VIEWER.DLL\">",
       {"duplicate-name", "extension-mismatch"}},
      {"ArchiveOfAnotherFile", "/viewer.zip", "/other.zip", {"source-not-found"}},
      {"ModeDropped", "<MODE NAME=\"velsetup\"/>", "", {"no-mode"}},
      {"SizeOff", "<FILESIZE>14</FILESIZE>", "<FILESIZE>15</FILESIZE>", {"size-mismatch"}},
      {"RegisterSpelledOut", "<REGISTER>1</REGISTER>", "<REGISTER>yes</REGISTER>", {"bad-boolean"}},
      // The packed file is checked as it comes out of its archive.
      {"HashOfAnotherFile", HashOf(BuildPeImage({})), HashOf("other"), {"sha256-mismatch"}},
      {"HashCutShort",
       "<SHA256>" + HashOf(BuildPeImage({})),
       "<SHA256>" + HashOf(BuildPeImage({})).substr(1),
       {"file-rejected"}},
  };
  for (const BrokenCase& c : cases) {
    std::string broken = built;
    size_t at = 0;
    size_t replaced = 0;
    while ((at = broken.find(c.find, at)) != std::string::npos) {
      broken.replace(at, c.find.size(), c.replace);
      at += c.replace.size();
      ++replaced;
    }
    ASSERT_GT(replaced, 0u) << c.name;
    const std::string path = JoinLocalPath(outFolder.Path(), std::string(c.name) + ".xml");
    ASSERT_TRUE(WriteLocalFile(path, broken));
    const ToolRun run = Tool({"lint", "--files", release.Path(), "--base-url", kBase, path});
    EXPECT_EQ(kExitFindings, run.code) << c.name;
    std::vector<std::string> codes;
    for (size_t line = 0; line < run.out.size();) {
      const size_t end = run.out.find('\n', line);
      const std::string text = run.out.substr(line, end - line);
      // MANIFEST:LINE: CODE: MESSAGE
      const size_t lineEnd = text.find(": ", path.size() + 1);
      const size_t codeEnd = text.find(": ", lineEnd + 2);
      EXPECT_EQ(path + ":", text.substr(0, path.size() + 1)) << c.name;
      codes.push_back(text.substr(lineEnd + 2, codeEnd - lineEnd - 2));
      line = end + 1;
    }
    EXPECT_EQ(c.codes, codes) << c.name << "\n" << run.out;
  }
}

struct CommandCase {
  const char* name;
  std::vector<std::string> args;  // "{DIR}" stands for the release folder, "{OUT}" for a scratch file
  int code;
  std::string err;  // a part of standard error
};

TEST(ManifestTool, ExitCodesAndMessages) {
  ReleaseFolder release;
  CScratchFolder outFolder;
  const std::string out = JoinLocalPath(outFolder.Path(), "m.xml");
  const std::string base = kBase;
  const std::vector<std::string> item = {"--item", "a", "--mode", "v", "--dest", "x"};
  const auto build = [&](std::vector<std::string> args) {
    args.insert(args.begin(), "build");
    args.insert(args.end(), item.begin(), item.end());
    return args;
  };
  const CommandCase cases[] = {
      {"NoArguments", {}, kExitError, "usage:"},
      {"Help", {"--help"}, kExitClean, ""},
      {"UnknownCommand", {"check"}, kExitError, "unknown command check"},
      {"BuildWithoutZone", build({"--base-url", base, "{DIR}"}), kExitError, "--tz"},
      {"BuildWithBadZone", build({"--base-url", base, "--tz", "+9", "{DIR}"}), kExitError, "--tz +9"},
      {"BuildOutsideTheTrustedLocation",
       build({"--base-url", "http://update.orbina.com/other/x", "--tz", "Z", "{DIR}"}), kExitError,
       "outside the trusted location"},
      {"BuildItemWithoutMode",
       {"build", "--base-url", base, "--tz", "Z", "{DIR}", "--item", "a", "--dest", "x"},
       kExitError,
       "has no --mode"},
      {"BuildMissingFolder", build({"--base-url", base, "--tz", "Z", "{DIR}/none"}), kExitError,
       "cannot read"},
      {"BuildMissingFile",
       {"build", "--base-url", base, "--tz", "Z", "{DIR}", "--item", "a", "--mode", "v", "--dest", "x",
        "--files", "none.dll"},
       kExitError,
       "cannot read"},
      {"BuildNameNeedingAnEntity", build({"--base-url", base + "?a&b", "--tz", "Z", "{DIR}"}), kExitError,
       "cannot carry"},
      {"BuildToFile", build({"--base-url", base, "--tz", "-05:00", "--out", "{OUT}", "{DIR}"}), kExitClean,
       ""},
      {"LintWhatWasBuilt", {"lint", "--files", "{DIR}", "--base-url", base, "{OUT}"}, kExitClean, ""},
      {"LintMissingManifest", {"lint", "{DIR}/none.xml"}, kExitError, "cannot read"},
      {"LintFilesWithoutBase", {"lint", "--files", "{DIR}", "{OUT}"}, kExitError, "go together"},
      {"LintTwoManifests", {"lint", "{OUT}", "{OUT}"}, kExitError, "unexpected argument"},
  };
  for (const CommandCase& c : cases) {
    std::vector<std::string> args = c.args;
    for (std::string& arg : args) {
      if (arg.compare(0, 5, "{DIR}") == 0) arg = release.Path() + arg.substr(5);
      if (arg == "{OUT}") arg = out;
    }
    const ToolRun run = Tool(args);
    EXPECT_EQ(c.code, run.code) << c.name << "\n" << run.err;
    EXPECT_NE(std::string::npos, run.err.find(c.err)) << c.name << "\n" << run.err;
    if (c.code == kExitError) {
      EXPECT_EQ("", run.out) << c.name;
    }
  }
}

struct TimeCase {
  int64_t utcSeconds;
  const char* zone;
  const char* text;
};

// FILETIME is written in the zone given and reads back, in that zone, as the file's own time.
TEST(FileTimeText, RoundTripsThroughTheSetupManagersReader) {
  const TimeCase cases[] = {
      {kModified, "+09:00", "2007,7,18,10,20,30"},
      {kModified, "Z", "2007,7,18,1,20,30"},
      {kModified, "-05:00", "2007,7,17,20,20,30"},
      {951782400, "+05:30", "2000,2,29,5,30,0"},  // 2000-02-29 00:00 UTC
      {946684799, "-00:30", "1999,12,31,23,29,59"},
      {4102444800, "+14:00", "2100,1,1,14,0,0"},
  };
  for (const TimeCase& c : cases) {
    long bias = 0;
    ASSERT_TRUE(ParseTimeZone(c.zone, bias)) << c.zone;
    const std::string text = FileTimeText(LocalCalendarTime(c.utcSeconds, bias));
    EXPECT_EQ(c.text, text) << c.utcSeconds << " " << c.zone;
    uint64_t fileTime = 0;
    ASSERT_TRUE(ReadFileTimeText(text.c_str(), bias, fileTime)) << text;
    EXPECT_EQ(static_cast<uint64_t>(c.utcSeconds + 11644473600ll) * 10000000u, fileTime) << text;
  }
  long bias = 0;
  for (const char* bad : {"+9", "09:00", "+09:60", "+15:00", "+09-00", ""})
    EXPECT_FALSE(ParseTimeZone(bad, bias)) << bad;
}

}  // namespace

namespace {

// A release engineer's round: a key pair, a manifest with a serial, its signature, and what a
// keyed setup manager would refuse, found by lint.
TEST(ManifestTool, SignedManifestRound) {
  ReleaseFolder release;
  CScratchFolder keys;
  const std::string privateKey = JoinLocalPath(keys.Path(), "release.pem");
  const std::string publicKey = JoinLocalPath(keys.Path(), "release.der");
  const ToolRun made = Tool({"keygen", "--private", privateKey, "--public", publicKey});
#ifdef _WIN32
  // The Windows build leaves keys and signing to the native tool.
  EXPECT_EQ(kExitError, made.code);
  EXPECT_NE(std::string::npos, made.err.find("native velsetup-manifest")) << made.err;
#else
  ASSERT_EQ(kExitClean, made.code) << made.err;
  EXPECT_EQ(kExitError, Tool({"keygen", "--private", privateKey, "--public", publicKey}).code)
      << "an existing private key is never replaced";

  const std::string out = JoinLocalPath(keys.Path(), "control.xml");
  std::vector<std::string> args = BuildArgs(release, out);
  args.insert(args.begin() + 1, {"--serial", "0012"});
  ASSERT_EQ(kExitClean, Tool(args).code);
  std::string xml;
  ASSERT_TRUE(ReadLocalFile(out, xml));
  EXPECT_NE(std::string::npos, xml.find("<UPDATELIST SERIAL=\"12\">"));
  ASSERT_EQ(kExitClean, Tool({"sign", "--key", privateKey, out}).code);

  const auto codes = [&](std::vector<std::string> extra, const std::string& manifest) {
    std::vector<std::string> lint = {"lint", "--files", release.Path(), "--base-url",
                                     kBase,  "--key",   publicKey};
    lint.insert(lint.end(), extra.begin(), extra.end());
    lint.push_back(manifest);
    const ToolRun run = Tool(lint);
    std::string found;
    for (const char* code :
         {"no-signature", "bad-signature", "no-serial", "serial-too-low", "file-rejected"}) {
      if (run.out.find(std::string(": ") + code + ": ") != std::string::npos)
        found += std::string(code) + " ";
    }
    return std::to_string(run.code) + " " + found;
  };
  EXPECT_EQ("0 ", codes({}, out));
  EXPECT_EQ("0 ", codes({"--min-serial", "12"}, out));
  EXPECT_EQ("1 serial-too-low ", codes({"--min-serial", "13"}, out));

  // One byte changed, another manifest's signature, no signature, no serial, a file without hash.
  const std::string changed = JoinLocalPath(keys.Path(), "changed.xml");
  std::string bytes = xml;
  bytes[bytes.find("Viewer")] = 'v';
  ASSERT_TRUE(WriteLocalFile(changed, bytes));
  EXPECT_EQ("1 bad-signature ", codes({"--signature", out + ".sig"}, changed));
  EXPECT_EQ("1 no-signature ", codes({}, changed));
  const std::string unserialled = JoinLocalPath(keys.Path(), "unserialled.xml");
  bytes = xml;
  bytes.replace(bytes.find(" SERIAL=\"12\""), 12, "");
  ASSERT_TRUE(WriteLocalFile(unserialled, bytes));
  ASSERT_EQ(kExitClean, Tool({"sign", "--key", privateKey, unserialled}).code);
  EXPECT_EQ("1 no-serial ", codes({}, unserialled));
  const std::string unhashed = JoinLocalPath(keys.Path(), "unhashed.xml");
  bytes = xml;
  const size_t hash = bytes.find("<SHA256>");
  bytes.erase(hash, bytes.find("</SHA256>") + 9 - hash);
  ASSERT_TRUE(WriteLocalFile(unhashed, bytes));
  ASSERT_EQ(kExitClean, Tool({"sign", "--key", privateKey, "--out", unhashed + ".sig", unhashed}).code);
  EXPECT_EQ("1 file-rejected ", codes({}, unhashed));

  // A key of another pair refuses the signature.
  const std::string otherPrivate = JoinLocalPath(keys.Path(), "other.pem");
  const std::string otherPublic = JoinLocalPath(keys.Path(), "other.der");
  ASSERT_EQ(kExitClean, Tool({"keygen", "--private", otherPrivate, "--public", otherPublic}).code);
  const ToolRun wrongKey = Tool({"lint", "--key", otherPublic, out});
  EXPECT_EQ(kExitFindings, wrongKey.code);
  EXPECT_NE(std::string::npos, wrongKey.out.find(": bad-signature: ")) << wrongKey.out;
#endif
  EXPECT_EQ(kExitError, Tool({"lint", "--signature", "x.sig", "control.xml"}).code);
  EXPECT_EQ(kExitError, Tool({"build", "--serial", "-1"}).code);
}

}  // namespace
