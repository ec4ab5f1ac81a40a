// The update list from a served manifest: items selected by mode, files checked against what is
// installed and what lies in the temporary folder, registry edits and records, and the log lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Folders.h"
#include "Portal.h"
#include "UpdateRunSupport.h"

namespace {

const char kTime[] = "2007,7,18,10,20,30";
const char kLater[] = "2007,7,18,10,20,31";
const std::string kNotServed = "\x01";

std::string File(const std::string& name, const std::string& body = "") {
  return "<FILE NAME='" + name + "'><SOURCE>%URL%" + name + "</SOURCE><DEST>%DEST%</DEST>" + body + "</FILE>";
}
std::string Item(const std::string& name, const std::string& mode, const std::string& body,
                 const std::string& attributes = "") {
  return "<UPDATEITEM NAME='" + name + "'" + attributes + "><MODE NAME='" + mode + "'/>" + body +
         "</UPDATEITEM>";
}
std::string List(const std::string& items) { return "<UPDATELIST>" + items + "</UPDATELIST>"; }
std::string AddReg(const std::string& name, const std::string& value) {
  return "<ADDREG TYPE='string'><ROOT>HKCU</ROOT><KEY>%KEY%</KEY><VALUE_NAME>" + name +
         "</VALUE_NAME><VALUE>" + value + "</VALUE></ADDREG>";
}
std::string DelReg(const std::string& name) {
  return "<DELREG><ROOT>hkcu</ROOT><KEY>%KEY%</KEY><VALUE_NAME>" + name + "</VALUE_NAME></DELREG>";
}
std::string Tag(const char* name, const std::string& text) {
  return std::string("<") + name + ">" + text + "</" + name + ">";
}

// The system's registration tool moved aside, so that it cannot be started; put back on every path.
class CToolMissing {
 public:
  CToolMissing()
      : m_tool(SystemFolders().m_strSystem + "\\regsvr32.exe"), m_aside(m_tool + ".velsetup-update") {
    if (!FileIsPresent(m_tool)) ::MoveFileExA(m_aside.c_str(), m_tool.c_str(), 0);
    m_moved = ::MoveFileExA(m_tool.c_str(), m_aside.c_str(), 0) != FALSE;
  }
  ~CToolMissing() {
    if (m_moved) ::MoveFileExA(m_aside.c_str(), m_tool.c_str(), 0);
  }
  bool Moved() const { return m_moved; }

 private:
  std::string m_tool, m_aside;
  bool m_moved = false;
};

struct ListCase {
  const char* name;
  const char* mode;
  std::string manifest;  // kNotServed: the manifest URL answers 404
  std::vector<CPlacedFile> placed;
  bool toolMissing;
  bool built;
  const char* listed;                 // CUpdateRunFixture::Listed()
  std::vector<std::string> files;     // afterwards, below the test folder
  std::vector<std::string> registry;  // afterwards: %KEY% values and uninstall records
  std::vector<std::string> log;       // the list's lines after the manifest download
};

std::vector<ListCase> Cases() {
  const std::string v1234 = FixtureBytes("version_1_2_3_4.dll");
  const std::string v2000 = FixtureBytes("version_2_0_0_0.exe");
  const std::string noVersion = FixtureBytes("no_version.dll");
  const std::string server = FixtureBytes("com_server.dll");
  const std::string v2 = Tag("VERSION", "2,0,0,0");
  const std::string olderThanDisk =
      "[CheckUpdate] FileVersion (%DEST%\\a.dll) (U:131072:0) != (L:65538:196612)";
  const char* missingA = "[CreateUpdateList] File do not exist (%DEST%\\a.dll)";
  const char* currentA = "[CreateUpdateList] do not need to update file (%DEST%\\a.dll)";
  const char* copyA = "[CreateUpdateList] Temp File exist (%TEMP%\\a.dll)";
  const char* itemA = "[CreateUpdateList] UpdateItem = A";
  const char* recordA = "uninstall:A\\a";
  const char* copyLeft = "VelTemp/VelSetup.xml";
  // clang-format off
  return {
    // name, mode, manifest, placed, tool missing, built, listed, files, registry, log
    {"ModeSelectsLetterCaseAside", "velsetup",
     List(Item("A", "VelSetup", File("a.dll") + AddReg("a", "1")) +
          Item("B", "other", AddReg("b", "2") + DelReg("a"))),
     {}, false, true, "A[a.dll]", {}, {"a=1"}, {missingA, itemA}},
    {"EditsInDocumentOrder", "m",
     List(Item("A", "m", AddReg("v", "1") + File("a.dll") + DelReg("v") + AddReg("w", "2"))),
     {}, false, true, "A[a.dll]", {}, {"w=2"}, {missingA, itemA}},
    {"NoneSelectedStillSucceeds", "velsetup", List(Item("A", "other", File("a.dll"))),
     {}, false, true, "", {}, {}, {}},
    {"NoUpdateListKeepsCopy", "m", "<ROOT><UPDATEITEM/></ROOT>", {}, false, false, "", {copyLeft}, {},
     {"[CreateUpdateList] Invalid XML File (UPDATELIST do not exist)"}},
    {"EmptyManifestKeepsCopy", "m", "", {}, false, false, "", {copyLeft}, {},
     {"[CreateUpdateList] Invalid XML File (parse_file failed)"}},
    {"ManifestMissingRemovesOldCopy", "m", kNotServed, {{"temp/VelSetup.xml", List("")}}, false, false, "", {},
     {}, {}},
    {"SizeEqualIsCurrent", "m", List(Item("A", "m", File("a.dll", Tag("FILESIZE", "5")))),
     {{"dest/a.dll", "hello"}}, false, true, "A[]", {"Dest/a.dll"}, {recordA}, {currentA, itemA}},
    {"SizeDiffers", "m", List(Item("A", "m", File("a.dll", Tag("FILESIZE", "6")))),
     {{"dest/a.dll", "hello"}}, false, true, "A[a.dll]", {"Dest/a.dll"}, {recordA},
     {"[CheckUpdate] FileSize (%DEST%\\a.dll) (U:6) != (L:5)", itemA}},
    {"SizeWinsOverNewerVersion", "m",
     List(Item("A", "m", File("a.dll", Tag("FILESIZE", "1") + Tag("VERSION", "1,0,0,0")))),
     {{"dest/a.dll", v2000}}, false, true, "A[a.dll]", {"Dest/a.dll"}, {recordA},
     {"[CheckUpdate] FileSize (%DEST%\\a.dll) (U:1) != (L:" + std::to_string(v2000.size()) + ")", itemA}},
    {"TimeEqualIsCurrent", "m", List(Item("A", "m", File("a.dll", Tag("FILETIME", kTime)))),
     {{"dest/a.dll", "hello", kTime}}, false, true, "A[]", {"Dest/a.dll"}, {recordA}, {currentA, itemA}},
    {"TimeWinsOverNewerVersion", "m",
     List(Item("A", "m", File("a.dll", Tag("FILETIME", kLater) + Tag("VERSION", "1,0,0,0")))),
     {{"dest/a.dll", v2000, kTime}}, false, true, "A[a.dll]", {"Dest/a.dll"}, {recordA},
     {"[CDlgDownload::CheckUpdate] FileTime (%DEST%\\a.dll) (U:2007.7.18 10:20:31) != (L:2007.7.18 10:20:30)",
      itemA}},
    {"EqualTimeOlderVersion", "m", List(Item("A", "m", File("a.dll", Tag("FILETIME", kTime) + v2))),
     {{"dest/a.dll", v1234, kTime}}, false, true, "A[a.dll]", {"Dest/a.dll"}, {recordA}, {olderThanDisk, itemA}},
    {"NewerOnDiskIsCurrent", "m", List(Item("A", "m", File("a.dll", Tag("VERSION", "1,2,3,4")))),
     {{"dest/a.dll", v2000}}, false, true, "A[]", {"Dest/a.dll"}, {recordA}, {currentA, itemA}},
    {"InstalledWithoutVersionIsCurrent", "m", List(Item("A", "m", File("a.dll", v2))),
     {{"dest/a.dll", noVersion}}, false, true, "A[]", {"Dest/a.dll"}, {recordA}, {currentA, itemA}},
    {"StaleWithCurrentCopyIsReady", "m", List(Item("A", "m", File("a.dll", v2))),
     {{"dest/a.dll", v1234}, {"temp/a.dll", v2000}}, false, true, "A[a.dll*]", {"Dest/a.dll", "VelTemp/a.dll"},
     {recordA}, {olderThanDisk, copyA, itemA}},
    {"StaleWithStaleCopyDeletesIt", "m", List(Item("A", "m", File("a.dll", v2))),
     {{"dest/a.dll", v1234}, {"temp/a.dll", v1234}}, false, true, "A[a.dll]", {"Dest/a.dll"}, {recordA},
     {olderThanDisk, copyA, olderThanDisk, itemA}},
    {"CutShortCopyIsStale", "m", List(Item("A", "m", File("a.dll", v2))),
     {{"dest/a.dll", v1234}, {"temp/a.dll", v2000.substr(0, 512)}}, false, true, "A[a.dll]", {"Dest/a.dll"},
     {recordA}, {olderThanDisk, copyA, "[CheckUpdate] FileVersion (%DEST%\\a.dll) (U:131072:0) != (L:unreadable)",
     itemA}},
    {"MissingIsDownloadedDespiteCurrentCopy", "m", List(Item("A", "m", File("a.dll", v2))),
     {{"temp/a.dll", v2000}}, false, true, "A[a.dll]", {"VelTemp/a.dll"}, {}, {missingA, itemA}},
    {"SecondOfTwoNamesIsDuplicate", "m", List(Item("A", "m", File("a.dll") + File("A.DLL"))),
     {}, false, true, "A[a.dll]", {}, {},
     {missingA, "[CreateUpdateList] already exist In update array(A.DLL)",
      "[CreateUpdateList] File do not exist (%DEST%\\A.DLL)", itemA}},
    {"NoDuplicateOfACurrentFile", "m",
     List(Item("A", "m", File("a.dll", Tag("FILESIZE", "5")) + File("A.DLL", Tag("FILESIZE", "6")))),
     {{"dest/a.dll", "hello"}}, false, true, "A[A.DLL]", {"Dest/a.dll"}, {recordA},
     {currentA, "[CheckUpdate] FileSize (%DEST%\\A.DLL) (U:6) != (L:5)", itemA}},
    // The names differ only in a trail byte that is a Latin letter.
    {"DoubleByteNamesAreNoDuplicates", "m", List(Item("A", "m", File("\xB0\x41.dll") + File("\xB0\x61.dll"))),
     {}, false, true, "A[\xB0\x41.dll,\xB0\x61.dll]", {}, {},
     {"[CreateUpdateList] File do not exist (%DEST%\\\xB0\x41.dll)",
      "[CreateUpdateList] File do not exist (%DEST%\\\xB0\x61.dll)", itemA}},
    // The duplicate's check deletes the copy the listed record counted on: it is downloaded again.
    {"DuplicateDeletingTheCopyUnreadiesTheFile", "m",
     List(Item("A", "m", File("a.dll", v2) + File("A.DLL", Tag("VERSION", "3,0,0,0")))),
     {{"dest/a.dll", v1234}, {"temp/a.dll", v2000}}, false, true, "A[a.dll]", {"Dest/a.dll"}, {recordA},
     {olderThanDisk, copyA, "[CreateUpdateList] already exist In update array(A.DLL)",
      "[CheckUpdate] FileVersion (%DEST%\\A.DLL) (U:196608:0) != (L:65538:196612)",
      "[CreateUpdateList] Temp File exist (%TEMP%\\A.DLL)",
      "[CheckUpdate] FileVersion (%DEST%\\A.DLL) (U:196608:0) != (L:131072:0)", itemA}},
    {"SelfUninstallerWritesNoRecord", "m",
     List(Item("Own", "m", File("a.dll"), " SELFUNINSTALLER='1'") + Item("Rec", "m", File("b.dll"))),
     {{"dest/a.dll", "x"}, {"dest/b.dll", "x"}}, false, true, "Own[] Rec[]", {"Dest/a.dll", "Dest/b.dll"},
     {"uninstall:Rec\\b"},
     {currentA, "[CreateUpdateList] UpdateItem = Own",
      "[CreateUpdateList] do not need to update file (%DEST%\\b.dll)", "[CreateUpdateList] UpdateItem = Rec"}},
    {"RejectedFileDropsOnlyItself", "m",
     List(Item("A", "m", "<FILE NAME='x.dll'><DEST>%DEST%</DEST></FILE>" + File("a.dll"))),
     {}, false, true, "A[a.dll]", {}, {}, {"[CreateUpdateList] GetUpdateInfo Failed (A, x.dll)", missingA, itemA}},
    {"InstalledServerIsRegisteredAgain", "m", List(Item("A", "m", File("a.dll", Tag("REGISTER", "1")))),
     {{"dest/a.dll", server}}, false, true, "A[]", {"Dest/a.dll"}, {recordA},
     {"[RegisterServer] RegisterServer(%DEST%\\a.dll) Success", currentA, itemA}},
    // The failed registration deleted the file: it is installed again.
    {"FailedRegistrationCountsAsMissing", "m", List(Item("A", "m", File("a.dll", Tag("REGISTER", "1")))),
     {{"dest/a.dll", server}}, true, true, "A[a.dll]", {}, {recordA},
     {"[RegisterServer] RegisterServer(%DEST%\\a.dll) Failed", missingA, itemA}},
  };
  // clang-format on
}

TEST(UpdateList, Table) {
  ASSERT_TRUE(portal::Available()) << "run inside the harness session";
  for (const ListCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    CUpdateRunFixture run;
    std::unique_ptr<CToolMissing> toolMissing;
    if (c.toolMissing) {
      toolMissing = std::make_unique<CToolMissing>();
      ASSERT_TRUE(toolMissing->Moved());
    }
    const bool served = c.manifest != kNotServed;
    run.Prepare(c.mode, served ? &c.manifest : nullptr, {}, c.placed);
    toolMissing.reset();

    EXPECT_EQ(served ? 1 : 0, run.Fetched());
    EXPECT_EQ(c.built, run.Built());
    const std::vector<std::string> statuses =
        served ? std::vector<std::string>{"21", "22"} : std::vector<std::string>{"21"};
    EXPECT_EQ(statuses, run.Statuses());
    EXPECT_EQ(c.listed, run.Listed());
    EXPECT_EQ(c.files, run.Files());
    EXPECT_EQ(c.registry, run.Registry());

    std::vector<std::string> expected = {
        run.Expand("[DownloadIniFile] Download File %URL%list.xml -> %TEMP%\\VelSetup.xml"),
        run.Expand(served ? "[DownloadIniFile] Download File ( %URL%list.xml ) Succeed!"
                          : "[DownloadIniFile] Download File ( %URL%list.xml ) Failed!")};
    for (const std::string& line : c.log) expected.push_back(run.Expand(line));
    EXPECT_EQ(expected, LogLinesWith({"[DownloadIniFile]", "[DownloadFileList]", "[CreateUpdateList]",
                                      "[CheckUpdate]", "[CDlgDownload::CheckUpdate]", "[RegisterServer]",
                                      "[AddRegistry]", "[DeleteRegistry]", "[RegistUninstaller]"}));
  }
}

}  // namespace
