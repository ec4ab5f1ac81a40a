#include "UpdateFile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakeSystem.h"
#include "LogCapture.h"
#include "PathMacros.h"
#include "SetupLog.h"
#include "XmlLookup.h"

namespace {

// The fields that differ from a new record, as "Field=value" words.
std::string Describe(const CUpdateFile& f) {
  std::string out;
  auto add = [&out](const char* key, const std::string& value) {
    out += std::string(key) + "=" + value + " ";
  };
  auto opt = [&add](const char* key, const std::optional<std::string>& value) {
    if (value) add(key, *value);
  };
  auto num = [&add](const char* key, unsigned long long value) {
    if (value != 0) add(key, std::to_string(value));
  };
  add("Name", f.m_strName);
  add("Source", f.m_strSource);
  opt("Win9x", f.m_strSourceWin9x);
  add("Local", f.m_strLocalPath);
  opt("ClassID", f.m_strClassID);
  opt("Param", f.m_strParam);
  num("Execute", static_cast<unsigned>(f.m_nExecute));
  num("VerMS", f.m_dwVersionMS);
  num("VerLS", f.m_dwVersionLS);
  num("Size", static_cast<unsigned>(f.m_nFileSize));
  num("Register", f.m_bRegister);
  num("Reboot", f.m_bReboot);
  num("Shared", f.m_bSharedDll);
  num("Main", f.m_bMainFile);
  opt("DelClass", f.m_strDeleteRegClass);
  opt("DelKey", f.m_strDeleteRegKey);
  opt("RunFile", f.m_strRunFile);
  opt("RunSource", f.m_strRunSource);
  opt("RunDest", f.m_strRunDest);
  opt("RunParam", f.m_strRunParam);
  num("RunMS", f.m_dwRunVersionMS);
  num("RunLS", f.m_dwRunVersionLS);
  num("Time", f.m_ftFileTime);
  if (!out.empty()) out.pop_back();
  return out;
}

struct Case {
  const char* name;
  const char* xml;  // holds the FILE element
  bool accepted;
  const char* fields;  // Describe() of an accepted record
  std::vector<const char*> log;
  std::vector<const char*> created;
};

const Case kCases[] = {
    {"AllFields",
     "<FILE NAME='a.dll'><SOURCE>http://u.orbina.com/orbina/velsetup/a.zip</SOURCE>"
     "<SOURCE_WIN9X>http://u.orbina.com/orbina/velsetup/a9.zip</SOURCE_WIN9X><DEST>[PROGRAMS]\\Orbina</DEST>"
     "<VERSION>1,2,3,4</VERSION><FILESIZE>12kB</FILESIZE><FILETIME>2007,7,18,10,20,30</FILETIME>"
     "<REGISTER>1</REGISTER><DELETEREGCLASS>C1</DELETEREGCLASS><DELETEREGKEY>HKEY_CURRENT_USER\\K</"
     "DELETEREGKEY>"
     "<REBOOT>1</REBOOT><EXECUTE>6</EXECUTE><PARAM>/s</PARAM><SHAREDDLL>1</SHAREDDLL><MAINFILE>1</MAINFILE>"
     "<CLASSID>C2</CLASSID></FILE>",
     true,
     "Name=a.dll Source=http://u.orbina.com/orbina/velsetup/a.zip "
     "Win9x=http://u.orbina.com/orbina/velsetup/a9.zip "
     "Local=C:\\PF\\\\Orbina\\a.dll ClassID=C2 Param=/s Execute=6 VerMS=65538 VerLS=196612 Size=12 "
     "Register=1 "
     "Reboot=1 Shared=1 Main=1 DelClass=C1 DelKey=HKEY_CURRENT_USER\\K Time=128291952300000000",
     {"[VelSetup][GetUpdateInfo] Version = 1,2,3,4 (FileName = a.dll)",
      "[VelSetup][GetUpdateInfo] FileSize = 12 (FileName = a.dll)",
      "[VelSetup][GetUpdateInfo] FileTime = 2007,7,18,10,20,30 (FileName = a.dll)",
      "[VelSetup][GetUpdateInfo] Register = 1 (FileName = a.dll)",
      "[VelSetup][GetUpdateInfo] DeleteRegClass=C1 (FileName = a.dll)",
      "[VelSetup][GetUpdateInfo] DeleteRegKey=HKEY_CURRENT_USER\\K (FileName = a.dll)",
      "[VelSetup][GetUpdateInfo] Reboot = 1 (FileName = a.dll)",
      "[VelSetup][GetUpdateInfo] ExecuteOption = 6 (FileName = a.dll)",
      "[VelSetup][GetUpdateInfo] ExecuteParam = /s (FileName  = a.dll)",
      "[VelSetup][GetUpdateInfo] SharedDll = 1 (FileName = a.dll)",
      "[VelSetup][GetUpdateInfo] ClassID=C2 (FileName = a.dll)"},
     {"C:\\PF\\\\Orbina"}},
    {"NoSourceLeavesDestAlone",
     "<FILE NAME='a.dll'><DEST>[WINDOWS]</DEST></FILE>",
     false,
     "",
     {"[VelSetup][GetUpdateInfo] Source do not exist (FileName = a.dll)"},
     {}},
    {"NoDest",
     "<FILE NAME='a.dll'><SOURCE>s</SOURCE></FILE>",
     false,
     "",
     {"[VelSetup][GetUpdateInfo] Dest do not exist (FileName = a.dll)"},
     {}},
    {"EmptyElementsArePresentAndFlagsNeedExactlyOne",
     "<FILE NAME='b.exe'><SOURCE/><DEST>[windows]</DEST><REGISTER>true</REGISTER><REBOOT> 1</REBOOT>"
     "<SHAREDDLL>01</SHAREDDLL><PARAM></PARAM></FILE>",
     true,
     "Name=b.exe Source= Local=C:\\WIN\\b.exe Param=",
     {"[VelSetup][GetUpdateInfo] FileSize = 0 (FileName = b.exe)",
      "[VelSetup][GetUpdateInfo] Register = 0 (FileName = b.exe)",
      "[VelSetup][GetUpdateInfo] Reboot = 0 (FileName = b.exe)",
      "[VelSetup][GetUpdateInfo] ExecuteOption = 0 (FileName = b.exe)",
      "[VelSetup][GetUpdateInfo] ExecuteParam =  (FileName  = b.exe)",
      "[VelSetup][GetUpdateInfo] SharedDll = 0 (FileName = b.exe)"},
     {"C:\\WIN"}},
    // A lookup finds the first descendant in document order: RUNFILE's PARAM comes first.
    {"RunFileFieldsAndNestedLookups",
     "<FILE NAME='c.dll'><X><SOURCE>s<!-- c -->t</SOURCE></X><DEST>[SYSTEM]\\</DEST>"
     "<RUNFILE NAME='setup.exe'><PARAM>inner</PARAM><RUNSOURCE>r</RUNSOURCE><RUNDEST>[DESKTOP]</RUNDEST>"
     "<RUNPARAM>/q &amp;</RUNPARAM><RUNVERSION>2,0,0,1</RUNVERSION></RUNFILE><PARAM>outer</PARAM></FILE>",
     true,
     "Name=c.dll Source=s Local=C:\\WIN\\SYS\\\\c.dll Param=inner RunFile=setup.exe RunSource=r "
     "RunDest=C:\\DESK "
     "RunParam=/q &amp; RunMS=131072 RunLS=1",
     {"[VelSetup][GetUpdateInfo] FileSize = 0 (FileName = c.dll)",
      "[VelSetup][GetUpdateInfo] Register = 0 (FileName = c.dll)",
      "[VelSetup][GetUpdateInfo] Reboot = 0 (FileName = c.dll)",
      "[VelSetup][GetUpdateInfo] ExecuteOption = 0 (FileName = c.dll)",
      "[VelSetup][GetUpdateInfo] ExecuteParam = inner (FileName  = c.dll)",
      "[VelSetup][GetUpdateInfo] SharedDll = 0 (FileName = c.dll)",
      "[VelSetup][ParseRunFileElement] RunFile=setup.exe", "[VelSetup][GetUpdateInfo] RunFileSource = r",
      "[VelSetup][GetUpdateInfo] RunFileDest = C:\\DESK", "[VelSetup][GetUpdateInfo] RunParam = /q &amp;",
      "[VelSetup][GetUpdateInfo] Version = 2,0,0,1 (FileName = c.dll)"},
     {"C:\\WIN\\SYS\\"}},
    {"InvalidFileTimeIsNoTime",
     "<FILE NAME='d'><SOURCE>s</SOURCE><DEST>D:\\x</DEST><FILETIME>2007,13,1,0,0,0</FILETIME></FILE>",
     true,
     "Name=d Source=s Local=D:\\x\\d",
     {"[VelSetup][GetUpdateInfo] FileSize = 0 (FileName = d)",
      "[VelSetup][GetUpdateInfo] FileTime = 2007,13,1,0,0,0 (FileName = d)",
      "[VelSetup][GetUpdateInfo] Invalid FileTime = 2007,13,1,0,0,0 (FileName = d)",
      "[VelSetup][GetUpdateInfo] Register = 0 (FileName = d)",
      "[VelSetup][GetUpdateInfo] Reboot = 0 (FileName = d)",
      "[VelSetup][GetUpdateInfo] ExecuteOption = 0 (FileName = d)",
      "[VelSetup][GetUpdateInfo] SharedDll = 0 (FileName = d)"},
     {"D:\\x"}},
    {"NameLeavingTheFolderRefused",
     "<FILE NAME='..\\..\\evil.dll'><SOURCE>s</SOURCE><DEST>D:\\x</DEST></FILE>",
     false,
     "",
     {"[VelSetup][GetUpdateInfo] Invalid file name (FileName = ..\\..\\evil.dll)"},
     {}},
    {"MissingNameRefused",
     "<FILE><SOURCE>s</SOURCE><DEST>D:\\x</DEST></FILE>",
     false,
     "",
     {"[VelSetup][GetUpdateInfo] Invalid file name (FileName = )"},
     {}},
    // A trail byte may be a Latin letter; the name is plain.
    {"DoubleByteNameKept",
     "<FILE NAME='\xB0\x61.dll'><SOURCE>s</SOURCE><DEST>D:\\x</DEST></FILE>",
     true,
     "Name=\xB0\x61.dll Source=s Local=D:\\x\\\xB0\x61.dll",
     {"[VelSetup][GetUpdateInfo] FileSize = 0 (FileName = \xB0\x61.dll)",
      "[VelSetup][GetUpdateInfo] Register = 0 (FileName = \xB0\x61.dll)",
      "[VelSetup][GetUpdateInfo] Reboot = 0 (FileName = \xB0\x61.dll)",
      "[VelSetup][GetUpdateInfo] ExecuteOption = 0 (FileName = \xB0\x61.dll)",
      "[VelSetup][GetUpdateInfo] SharedDll = 0 (FileName = \xB0\x61.dll)"},
     {"D:\\x"}},
    // Neither a byte-order mark nor a declared encoding makes the reader convert the names.
    {"DeclarationAndByteOrderMarkKeepBytes",
     "\xEF\xBB\xBF<?xml version='1.0' encoding='euc-kr'?><FILE NAME='\xC6\xC4.dll'><SOURCE>s</SOURCE>"
     "<DEST>D:\\\xB0\xA1</DEST></FILE>",
     true, "Name=\xC6\xC4.dll Source=s Local=D:\\\xB0\xA1\\\xC6\xC4.dll",
     {"[VelSetup][GetUpdateInfo] FileSize = 0 (FileName = \xC6\xC4.dll)",
      "[VelSetup][GetUpdateInfo] Register = 0 (FileName = \xC6\xC4.dll)",
      "[VelSetup][GetUpdateInfo] Reboot = 0 (FileName = \xC6\xC4.dll)",
      "[VelSetup][GetUpdateInfo] ExecuteOption = 0 (FileName = \xC6\xC4.dll)",
      "[VelSetup][GetUpdateInfo] SharedDll = 0 (FileName = \xC6\xC4.dll)"},
     {"D:\\\xB0\xA1"}},
    {"DestWithEmptyMacroRefused",
     "<FILE NAME='e'><SOURCE>s</SOURCE><DEST>[DOWNLOADED]\\x</DEST></FILE>",
     false,
     "",
     {"[VelSetup][ExpandPathMacros] [DOWNLOADED] has no value ([DOWNLOADED]\\x)",
      "[VelSetup][GetUpdateInfo] Invalid Dest [DOWNLOADED]\\x (FileName = e)"},
     {}},
    {"EmptyDestRefused",
     "<FILE NAME='e'><SOURCE>s</SOURCE><DEST></DEST></FILE>",
     false,
     "",
     {"[VelSetup][ExpandPathMacros] Empty path ()", "[VelSetup][GetUpdateInfo] Invalid Dest  (FileName = e)"},
     {}},
    {"RunDestWithEmptyMacroRefused",
     "<FILE NAME='f'><SOURCE>s</SOURCE><DEST>D:\\x</DEST><RUNFILE "
     "NAME='r.exe'><RUNDEST>[DOWNLOADED]</RUNDEST>"
     "</RUNFILE></FILE>",
     false,
     "",
     {"[VelSetup][GetUpdateInfo] FileSize = 0 (FileName = f)",
      "[VelSetup][GetUpdateInfo] Register = 0 (FileName = f)",
      "[VelSetup][GetUpdateInfo] Reboot = 0 (FileName = f)",
      "[VelSetup][GetUpdateInfo] ExecuteOption = 0 (FileName = f)",
      "[VelSetup][GetUpdateInfo] SharedDll = 0 (FileName = f)",
      "[VelSetup][ParseRunFileElement] RunFile=r.exe",
      "[VelSetup][ExpandPathMacros] [DOWNLOADED] has no value ([DOWNLOADED])",
      "[VelSetup][ParseRunFileElement] Invalid RunDest [DOWNLOADED] (FileName = f)"},
     {"D:\\x"}},
    {"RunFileNameLeavingTheFolderRefused",
     "<FILE NAME='g'><SOURCE>s</SOURCE><DEST>D:\\x</DEST><RUNFILE NAME='../r.exe'><RUNSOURCE>r</RUNSOURCE>"
     "</RUNFILE></FILE>",
     false,
     "",
     {"[VelSetup][GetUpdateInfo] FileSize = 0 (FileName = g)",
      "[VelSetup][GetUpdateInfo] Register = 0 (FileName = g)",
      "[VelSetup][GetUpdateInfo] Reboot = 0 (FileName = g)",
      "[VelSetup][GetUpdateInfo] ExecuteOption = 0 (FileName = g)",
      "[VelSetup][GetUpdateInfo] SharedDll = 0 (FileName = g)",
      "[VelSetup][ParseRunFileElement] RunFile=../r.exe", "[VelSetup][GetUpdateInfo] RunFileSource = r",
      "[VelSetup][ParseRunFileElement] Invalid run file name (FileName = g)"},
     {"D:\\x"}},
};

class UpdateFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LogInit(0, 2);
    FakeSystem() = {};
    CFolderValues& folders = MacroFolders();
    folders = {};
    folders.m_strProgramFiles = "C:\\PF";
    folders.m_strWindows = "C:\\WIN";
    folders.m_strSystem = "C:\\WIN\\SYS";
    folders.m_strDesktop = "C:\\DESK";
  }
  void TearDown() override { MacroFolders() = {}; }
};

TEST_F(UpdateFileTest, Table) {
  for (const Case& c : kCases) {
    SetUp();
    pugi::xml_document document;
    LoadMinimal(document, c.xml, std::char_traits<char>::length(c.xml));
    CUpdateFile file;
    EXPECT_EQ(c.accepted, file.GetUpdateInfo(FirstDescendant(document, "FILE"))) << c.name;
    if (c.accepted) {
      EXPECT_EQ(c.fields, Describe(file)) << c.name;
    }
    EXPECT_EQ(std::vector<std::string>(c.log.begin(), c.log.end()), CapturedLogLines()) << c.name;
    EXPECT_EQ(std::vector<std::string>(c.created.begin(), c.created.end()), FakeSystem().createdFolders)
        << c.name;
  }
}

TEST_F(UpdateFileTest, FolderThatCannotBeCreatedIsLoggedAndKept) {
  FakeSystem().createResult = false;
  FakeSystem().lastError = 5;
  pugi::xml_document document;
  const char xml[] = "<FILE NAME='a'><SOURCE>s</SOURCE><DEST>Q:\\x</DEST></FILE>";
  LoadMinimal(document, xml, sizeof xml - 1);
  CUpdateFile file;
  EXPECT_TRUE(file.GetUpdateInfo(document.first_child()));
  EXPECT_EQ("Q:\\x\\a", file.m_strLocalPath);
  EXPECT_EQ("[VelSetup][GetUpdateInfo] CUtil::CreateRecursiveDirectory(Q:\\x) Failed, Error Code = 5",
            CapturedLogLines().at(0));
}

TEST_F(UpdateFileTest, LocalPathLongerThanTheBufferRefused) {
  const std::string dest(250, 'd');
  const std::string xml =
      "<FILE NAME='0123456789.dll'><SOURCE>s</SOURCE><DEST>C:\\" + dest + "</DEST></FILE>";
  pugi::xml_document document;
  LoadMinimal(document, xml.data(), xml.size());
  CUpdateFile file;
  EXPECT_FALSE(file.GetUpdateInfo(document.first_child()));
  EXPECT_TRUE(FakeSystem().createdFolders.empty());
}

// No lookup walks the depth on the call stack: a very deep document is read, not a crash.
TEST_F(UpdateFileTest, DeeplyNestedManifestIsRead) {
  const int depth = 300000;
  std::string xml;
  for (int i = 0; i < depth; ++i) xml += "<A>";
  xml += "<FILE NAME='z'><B><SOURCE>s</SOURCE></B><DEST>D:\\x</DEST></FILE>";
  pugi::xml_document document;
  LoadMinimal(document, xml.data(), xml.size());
  const pugi::xml_node element = FirstDescendant(document, "FILE");
  ASSERT_TRUE(element);
  CUpdateFile file;
  EXPECT_TRUE(file.GetUpdateInfo(element));
  EXPECT_FALSE(FirstDescendant(document, "NOTHERE"));
}

}  // namespace
