// Manifests as the setup manager reads them, with the published files at hand: one row per
// manifest, its files and the findings (line and code) it must give, no more and no less.
#include "ManifestLint.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LocalFiles.h"
#include "PeImage.h"
#include "ZipPack.h"

namespace {

constexpr char kBase[] = "http://update.orbina.com/orbina/velsetup/t/";

// A published file: plain bytes, or an archive of one entry holding them.
struct Published {
  std::string name;
  std::string bytes;
  std::string entry = {};  // non-empty: the file is an archive with this entry
};

struct LintCase {
  const char* name;
  std::string xml;
  std::vector<Published> files;
  std::vector<std::string> expected;  // "line:code"
};

std::string Pe(uint32_t ms, uint32_t ls) {
  CPeImageSpec spec;
  spec.ms = ms;
  spec.ls = ls;
  return BuildPeImage(spec);
}

// An item around FILE elements, the first FILE on line 3.
std::string Item(const std::string& files) {
  return "<UPDATELIST>\n<UPDATEITEM NAME=\"t\"><MODE NAME=\"velsetup\"/>\n" + files +
         "</UPDATEITEM>\n</UPDATELIST>\n";
}

std::string File(const std::string& name, const std::string& source, const std::string& more = "") {
  return "<FILE NAME=\"" + name + "\"><SOURCE>" + source + "</SOURCE><DEST>[PROGRAMS]\\Orbina</DEST>" + more +
         "</FILE>\n";
}

std::string At(const std::string& name) { return kBase + name; }

std::vector<LintCase> Cases() {
  const std::string pe = Pe(0x00010002, 0x00030004);
  const std::string peSize = std::to_string(pe.size());
  return {
      {"CompleteItemIsClean",
       Item(File("a.dll", At("a.dll"),
                 "<VERSION>1,2,3,4</VERSION><FILESIZE>" + peSize +
                     "</FILESIZE><FILETIME>2007,7,18,10,20,30</FILETIME><REGISTER>1</REGISTER>") +
            File("b.dll", At("b.zip"), "<VERSION> 1, 2 ,3,4</VERSION><FILESIZE>" + peSize + "</FILESIZE>") +
            File("c.zip", At("c.zip")) + File("d.dll", At("d.ZIP"))),
       {{"a.dll", pe}, {"b.zip", pe, "b.dll"}, {"c.zip", "stays an archive"}, {"d.ZIP", "x", "D.DLL"}},
       {}},
      {"MissingSourceAndDest",
       Item("<FILE NAME=\"a.dll\"><DEST>x</DEST></FILE>\n<FILE NAME=\"b.dll\"><SOURCE>" + At("b.dll") +
            "</SOURCE></FILE>\n"),
       {{"b.dll", "b"}},
       {"3:missing-source", "4:missing-dest"}},
      {"UntrustedLocations",
       Item(File("a.dll", "http://update.example.com/orbina/velsetup/a.dll") +
            File("b.dll", "ftp://update.orbina.com/orbina/velsetup/b.dll") +
            File("c.dll", "http://update.orbina.com/ORBINA/velsetup/c.dll") +
            File("d.dll", At("d.dll"), "<SOURCE_WIN9X>http://update.orbina.com/other/d.dll</SOURCE_WIN9X>") +
            File("e.dll", "http://update.orbina.com/orbina/velsetup/../e.dll") +
            File("f.dll", " " + At("f.dll"))),
       {{"d.dll", "d"}},
       {"3:untrusted-url", "4:untrusted-url", "5:untrusted-url", "6:untrusted-url", "7:untrusted-url",
        "8:untrusted-url"}},
      {"DuplicateNamesLetterCaseAside",
       Item(File("a.dll", At("a.dll")) + File("A.DLL", At("a.dll")) + File("b.dll", At("b.dll"))),
       {{"a.dll", "a"}, {"b.dll", "b"}},
       {"4:duplicate-name"}},
      {"RejectedFileIsNoDuplicate",
       Item("<FILE NAME=\"a.dll\"><SOURCE>" + At("a.dll") + "</SOURCE></FILE>\n" +
            File("a.dll", At("a.dll"))),
       {{"a.dll", "a"}},
       {"3:missing-dest"}},
      {"NamesTheProgramRefuses",
       Item(File("..\\a.dll", At("a.dll")) + "<FILE NAME=\"b.dll\"><SOURCE>" + At("b.dll") +
            "</SOURCE><DEST>[PROGRAMS]\\" + std::string(250, 'x') + "</DEST></FILE>\n" +
            "<FILE name=\"c.dll\"><SOURCE>" + At("c.dll") + "</SOURCE><DEST>x</DEST></FILE>\n"),
       {{"a.dll", "a"}, {"b.dll", "b"}, {"c.dll", "c"}},
       {"3:file-rejected", "4:file-rejected", "5:unknown-attribute", "5:file-rejected"}},
      {"MisspelledElementIsIgnored",
       Item(File("a.dll", At("a.dll"), "\n<VERISON>1,2,3,4</VERISON>")),
       {{"a.dll", "a"}},
       {"4:unknown-element"}},
      {"VersionTextsAsWritten",
       Item(File("a.dll", At("a.dll"), "<VERSION>1.2.3.4</VERSION>") +
            File("b.dll", At("b.dll"), "<VERSION>70000,0,0,0</VERSION>") +
            File("c.dll", At("c.dll"), "<VERSION>1,2,34</VERSION>") +
            File("d.dll", At("d.dll"), "<VERSION>+1,2,3,4</VERSION>") +
            File("e.dll", At("e.dll"), "<VERSION>1,2,3,4,5</VERSION>") +
            File("f.dll", At("f.dll"), "<VERSION></VERSION>") +
            File("g.dll", At("g.dll"), "<VERSION>65535,0,0,1</VERSION>")),
       {},
       {"3:bad-version", "4:bad-version", "5:bad-version", "6:bad-version", "7:bad-version",
        "8:bad-version"}},
      {"FileTimeTextsAsWritten",
       Item(File("a.dll", At("a.dll"), "<FILETIME>2007,13,1,0,0,0</FILETIME>") +
            File("b.dll", At("b.dll"), "<FILETIME>2007,2,29,0,0,0</FILETIME>") +
            File("c.dll", At("c.dll"), "<FILETIME>2008,2,29,23,59,59</FILETIME>") +
            File("d.dll", At("d.dll"), "<FILETIME>2007,7,18</FILETIME>") +
            File("e.dll", At("e.dll"), "<FILETIME>2007.7.18,1,2,3</FILETIME>") +
            File("f.dll", At("f.dll"), "<FILETIME>1899,12,31,0,0,0</FILETIME>")),
       {},
       {"3:bad-filetime", "4:bad-filetime", "6:bad-filetime", "7:bad-filetime", "8:bad-filetime"}},
      {"BooleansAndNumbersAsWritten",
       Item(File("a.dll", At("a.dll"),
                 "<REGISTER>true</REGISTER><REBOOT> 1</REBOOT><SHAREDDLL>0</SHAREDDLL>") +
            File("b.dll", At("b.dll"), "<MAINFILE/><FILESIZE>12kB</FILESIZE><EXECUTE>0x2</EXECUTE>")),
       {},
       {"3:bad-boolean", "3:bad-boolean", "4:bad-boolean", "4:bad-number", "4:bad-number"}},
      {"ArchivesAtHand",
       Item(File("a.dll", At("a.zip")) + File("b.dll", At("b.zip")) + File("c.dll", At("c.zip")) +
            File("d.dll", At("d.zip")) + File("e.dll", At("e.zip"))),
       {{"a.zip", "x", "other.dll"},
        {"b.zip", "x", "sub/b.dll"},
        {"c.zip", "not an archive"},
        {"d.zip", "x", "../d.dll"},
        {"e.zip", "x", "E.dll"}},
       {"3:zip-entry-missing", "4:zip-entry-missing", "5:zip-unreadable", "6:zip-unreadable"}},
      {"PublishedFilesAgainstTheManifest",
       Item(File("a.dll", At("a.dll"), "<FILESIZE>3</FILESIZE>") +
            File("b.dll", At("b.dll"), "\n<VERSION>1,2,3,5</VERSION>") +
            File("c.dll", At("c.dll"), "\n<VERSION>1,2,3,3</VERSION>") +
            File("d.dll", At("d.dll"), "\n<VERSION>1,0,0,0</VERSION>") +
            File("e.dll", At("e.zip"), "<FILESIZE>5</FILESIZE>") + File("f.dll", At("missing.dll")) +
            File("g.dll", "http://update.orbina.com/orbina/velsetup/elsewhere/g.dll")),
       {{"a.dll", "four"}, {"b.dll", pe}, {"c.dll", pe}, {"d.dll", "no version"}, {"e.zip", "four", "e.dll"}},
       {"3:size-mismatch", "5:version-mismatch", "7:version-mismatch", "9:version-mismatch",
        "10:size-mismatch", "11:source-not-found"}},
      {"ExtensionsThatLeaveNoFile",
       Item(File("a.dll", At("a.cab")) + File("b.dll", At("b")) + File("c", At("c.dll")) +
            File("d.DLL", At("d.dll"))),
       {{"a.cab", "a"}, {"b", "b"}, {"c.dll", "c"}, {"d.dll", "d"}},
       {"3:extension-mismatch", "4:extension-mismatch", "5:extension-mismatch"}},
      {"ItemsWithoutMode",
       "<UPDATELIST>\n<UPDATEITEM NAME=\"a\"/>\n<UPDATEITEM NAME=\"b\"><MODE>velsetup</MODE></UPDATEITEM>\n"
       "<UPDATEITEM NAME=\"c\"><MODE NAME=\"\"/></UPDATEITEM>\n<UPDATEITEM NAME=\"d\"><X><MODE "
       "NAME=\"v\"/></X></UPDATEITEM>\n"
       "</UPDATELIST>\n",
       {},
       {"2:no-mode", "3:no-mode", "3:no-mode", "5:unknown-element", "5:no-mode"}},
      {"LookupsByFirstDescendant",
       Item("<FILE NAME=\"a.dll\">\n<RUNSOURCE>" + At("r.exe") +
            "</RUNSOURCE>\n<RUNFILE NAME=\"r.exe\"><PARAM>/q</PARAM>\n" + "<RUNSOURCE>" + At("r.exe") +
            "</RUNSOURCE><RUNSOURCE>" + At("s.exe") + "</RUNSOURCE></RUNFILE>\n" + "<GROUP><SOURCE>" +
            At("a.dll") + "</SOURCE></GROUP><DEST>x</DEST><PARAM>/s</PARAM>\n<DEST>y</DEST>\n" +
            "<RUNFILE NAME=\"s.exe\"/></FILE>\n"),
       {{"a.dll", "a"}, {"r.exe", "r"}},
       {"4:misplaced-element", "5:misplaced-element", "6:repeated-element", "7:unknown-element",
        "7:repeated-element", "8:repeated-element", "9:repeated-element"}},
      {"TextsReadAsWritten",
       Item(File("a&amp;b.dll", At("a.dll")) + File("b.dll", At("b.dll<!-- split -->x")) +
            "<FILE NAME=\"c.dll\"><SOURCE>" + At("c.dll") + "</SOURCE><DEST><![CDATA[x]]></DEST></FILE>\n"),
       {},
       {"3:literal-entity", "4:split-text", "5:file-rejected"}},
      {"RegistryEdits",
       "<UPDATELIST>\n<UPDATEITEM NAME=\"r\"><MODE NAME=\"v\"/>\n"
       "<ADDREG "
       "TYPE=\"String\"><ROOT>hkcu</ROOT><KEY>Software\\Orbina</KEY><VALUE_NAME>a</VALUE_NAME><VALUE>x</"
       "VALUE></ADDREG>\n"
       "<ADDREG TYPE=\"text\"><ROOT>HKEY_LOCAL_MACHINE</ROOT></ADDREG>\n"
       "<ADDREG TYPE=\"dword\"><ROOT>HKLM</ROOT><KEY>k</KEY><VALUE>12kB</VALUE><VALU>1</VALU></ADDREG>\n"
       "<DELREG><ROOT>HKCR</ROOT><KEY>\\\\</KEY></DELREG>\n"
       "<DELREG><ROOT>HKCR</ROOT><KEY>\\</KEY><VALUE_NAME>v</VALUE_NAME></DELREG>\n"
       "</UPDATEITEM>\n</UPDATELIST>\n",
       {},
       {"4:bad-registry", "4:bad-registry", "4:bad-registry", "5:unknown-element", "5:bad-number",
        "6:bad-registry"}},
      {"WhatTheProgramCannotRead",
       "<ROOT><OTHER/>\n<UPDATELIST><UPDATEITEM NAME=\"t\"><MODE NAME=\"v\"/>\n<FILE "
       "NAME=\"a.dll\"><SOURCE>" +
           At("a.dll") + "</SOURCE><DEST>x</DEST>\n<FILE NAME=\"b.dll\"></UPDATELIST>\n",
       {},
       {"4:malformed-xml", "4:unknown-element"}},
      {"NoUpdateList", "<UPDATELISTS/>\n", {}, {"0:no-updatelist"}},
      {"Empty", "", {}, {"0:empty-manifest"}},
  };
}

// Writes the row's published files into `folder`.
void Publish(const std::vector<Published>& files, const std::string& folder) {
  for (const Published& file : files) {
    const std::string path = JoinLocalPath(folder, file.name);
    if (file.entry.empty()) {
      ASSERT_TRUE(WriteLocalFile(path, file.bytes)) << path;
      continue;
    }
    const std::string content = JoinLocalPath(folder, "content.tmp");
    ASSERT_TRUE(WriteLocalFile(content, file.bytes));
    std::string error;
    ASSERT_TRUE(PackSingleFile(path, content, file.entry, {2007, 7, 18, 10, 20, 30}, error)) << error;
    std::remove(content.c_str());
  }
}

TEST(LintManifest, Table) {
  for (const LintCase& c : Cases()) {
    CScratchFolder published;
    ASSERT_TRUE(published.Valid());
    Publish(c.files, published.Path());
    CLintOptions options;
    options.hostSuffix = ".orbina.com";
    // Rows without published files check the manifest alone.
    if (!c.files.empty()) {
      options.baseUrl = kBase;
      options.filesFolder = published.Path();
    }
    std::vector<std::string> found;
    std::string report;
    for (const CLintFinding& finding : LintManifest(c.xml, options)) {
      found.push_back(std::to_string(finding.line) + ":" + finding.code);
      report += "\n  " + std::to_string(finding.line) + ": " + finding.code + ": " + finding.message;
    }
    EXPECT_EQ(c.expected, found) << c.name << report;
  }
}

// The reader refuses an archive of no entries as it refuses a damaged one.
TEST(LintManifest, ArchiveWithoutEntries) {
  CScratchFolder published;
  ASSERT_TRUE(published.Valid());
  std::string error;
  ASSERT_TRUE(
      PackEntries(JoinLocalPath(published.Path(), "a.zip"), {}, {2007, 7, 18, 10, 20, 30}, false, error));
  CLintOptions options;
  options.hostSuffix = ".orbina.com";
  options.baseUrl = kBase;
  options.filesFolder = published.Path();
  const std::vector<CLintFinding> findings = LintManifest(Item(File("a.dll", At("a.zip"))), options);
  ASSERT_EQ(1u, findings.size());
  EXPECT_EQ("zip-unreadable", findings[0].code) << findings[0].message;
}

}  // namespace
