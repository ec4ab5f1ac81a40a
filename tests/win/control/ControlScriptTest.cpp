// The registered control driven from JScript under the Windows Script Host by its ProgID.
#include <gtest/gtest.h>

#include <sstream>

#include "Answers.h"
#include "ControlTestSupport.h"
#include "SetupRun.h"

namespace {

const std::pair<const char*, const char*> kExpected[] = {
    {"IsLoaded", "1"},
    {"GetStatus.idle", "0"},
    {"InstallParam.empty", "error 80070057"},
    {"InstallParam.read", "error 80020003"},  // write-only
    {"TestMode", "set"},
    {"CheckObjInstall.registered", "1"},
    {"CheckObjInstall.unregistered", "0"},
    {"CheckObjInstall.malformed", "2"},
    {"CheckObjInstall.killed", "0"},
    {"CheckObjInstall.braces", "error 80070057"},
    {"CheckObjInstall.empty", "error 80070057"},
    {"GetFileVersion", "1,0,0,10"},
    {"GetFileVersion.missing", "0,0,0,0"},
    {"GetFileVersion.unc", "0,0,0,0"},
    {"GetFileVersion.device", "0,0,0,0"},
    {"GetFileVersion.empty", "error 80070057"},
    {"CheckUpdate.equal", "0"},
    {"CheckUpdate.newer", "0"},
    {"CheckUpdate.older", "1"},
    {"CheckUpdate.missing", "1"},
    {"CheckUpdate.unc", "1"},
    {"CheckUpdate.empty", "error 80070057"},
    {"InstallParam", "set"},
    {"WaitUpdate", "101"},
    {"GetStatus.after", "101"},
    {"StartUpdate", "0"},
    {"GetStatus.started", "20"},
    {"END", nullptr},
};

TEST(ControlScript, PageScriptDrivesEveryMember) {
  const std::string versioned = SystemFolder() + "VelSetupCtlScript.dll";
  ASSERT_TRUE(::CopyFileW(ControlDllPath().c_str(), Widen949(versioned).c_str(), FALSE));
  std::string output;
  {
    const CSystemSetupManager setupManager;
    const CKillBit killBit(kOtherClassId);
    CMessageBoxAnswerer answerer;
    const std::string param = InstallParam(kMissingManifestUrl, "velsetup");
    EXPECT_EQ(RunProgram(SystemFolder() + "cscript.exe //nologo \"" + BinFolder() +
                             "\\ControlScript.js\" \"" + param + "\" " + ToAnsi(kOtherClassId),
                         &output),
              0);
    EXPECT_TRUE(WaitForNoSetupManager());
    // The failed WaitUpdate run and the run started last both stop at the manifest.
    EXPECT_EQ(answerer.Texts(), std::vector<std::wstring>(2, kManifestFailedText));
  }
  ::DeleteFileA(versioned.c_str());

  std::vector<std::string> lines;
  std::istringstream stream(output);
  for (std::string line; std::getline(stream, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  std::vector<std::string> expected;
  for (const auto& row : kExpected)
    expected.push_back(row.second ? std::string(row.first) + "=" + row.second : row.first);
  EXPECT_EQ(lines, expected);
}

}  // namespace
