// The registered control driven from JScript under the Windows Script Host: ControlScript.js
// holds the calls and the answers wanted.
#include <gtest/gtest.h>

#include <sstream>

#include "Answers.h"
#include "ControlTestSupport.h"
#include "SetupRun.h"

namespace {

std::string WindowsFolder() {
  char folder[MAX_PATH] = {};
  ::GetWindowsDirectoryA(folder, MAX_PATH);
  return std::string(folder) + "\\";
}

TEST(ControlScript, PageScriptDrivesEveryMember) {
  const std::string folders[] = {SystemFolder(), WindowsFolder()};
  for (const std::string& folder : folders) {
    ASSERT_TRUE(::CopyFileW(ControlDllPath().c_str(), Widen(folder + "VelSetupCtlTest.dll").c_str(), FALSE));
    ASSERT_TRUE(WriteFileBytes(folder + "VelSetupCtlTest.txt", "no version resource"));
  }
  // Without its last backslash, which would escape the closing quote.
  const std::string system = SystemFolder().substr(0, SystemFolder().size() - 1);
  std::string output;
  {
    const CSystemSetupManager setupManager;
    const CKillBit killBit(kOtherClassId);
    CBoxAnswerer answerer({}, FindSetupManagerBox);
    EXPECT_EQ(
        RunProgram(SystemFolder() + "cscript.exe //nologo \"" + BinFolder() + "\\ControlScript.js\" \"" +
                       system + "\" \"" + InstallParam(kMissingManifestUrl, "velsetup") + "\" " +
                       ToAnsi(kOtherClassId) + " \"" + BinFolder() + "\\fixtures\"",
                   &output),
        0);
    EXPECT_TRUE(WaitForNoSetupManager());
    // The WaitUpdate run and the run started last both stop at the manifest.
    EXPECT_EQ(answerer.Texts(), std::vector<std::wstring>(2, kManifestFailedText));
  }
  for (const std::string& folder : folders) {
    ::DeleteFileA((folder + "VelSetupCtlTest.dll").c_str());
    ::DeleteFileA((folder + "VelSetupCtlTest.txt").c_str());
  }

  std::istringstream lines(output);
  size_t passed = 0;
  std::string line, last;
  while (std::getline(lines, line)) {
    if (line.compare(0, 3, "ok ") == 0) ++passed;
    if (line.compare(0, 4, "FAIL") == 0) ADD_FAILURE() << line;
    if (!line.empty()) last = line;
  }
  EXPECT_EQ(last.substr(0, last.find_last_not_of("\r") + 1), "END " + std::to_string(passed)) << output;
}

}  // namespace
