#include "ControlTestSupport.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include "SetupRun.h"
#include "UiRobot.h"
#include "WinHandles.h"

namespace {

const wchar_t kKillBitRoot[] = L"SOFTWARE\\Microsoft\\Internet Explorer\\ActiveX Compatibility\\{";

// The library is registered for the whole test program, on a thread set up for COM.
class CRegisteredControl : public ::testing::Environment {
 public:
  void SetUp() override {
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ASSERT_TRUE(RegisterControl(false));
  }
  void TearDown() override {
    RegisterControl(true);
    ::CoUninitialize();
  }
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new CRegisteredControl);

}  // namespace

std::string BinFolder() { return TestBinaryFolder(); }

std::wstring ControlDllPath() { return Widen(BinFolder() + "\\VelSetup.dll"); }

std::string SystemFolder() {
  char folder[MAX_PATH] = {};
  ::GetSystemDirectoryA(folder, MAX_PATH);
  return std::string(folder) + "\\";
}

CComPtrLite<IVelSetupCtrl> CreateControl() {
  CComPtrLite<IVelSetupCtrl> control;
  EXPECT_EQ(::CoCreateInstance(CLSID_VelSetupCtrl, nullptr, CLSCTX_INPROC_SERVER, IID_IVelSetupCtrl,
                               reinterpret_cast<void**>(control.Put())),
            S_OK);
  return control;
}

int RunProgram(const std::string& commandLine, std::string* output) {
  char temp[MAX_PATH] = {};
  ::GetTempPathA(MAX_PATH, temp);
  const std::string outputPath = std::string(temp) + "velsetup-control-output.txt";
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  CScopedFile file(::CreateFileA(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  const CScopedHandle child = StartProcess(commandLine, nullptr, file.Get());
  file.Reset();
  if (!child) return -1;
  DWORD exitCode = 0;
  const bool ended = ::WaitForSingleObject(child.Get(), 120000) == WAIT_OBJECT_0;
  if (!ended) ::TerminateProcess(child.Get(), 1);
  ::GetExitCodeProcess(child.Get(), &exitCode);
  if (output != nullptr) *output = ReadFileBytes(outputPath);
  ::DeleteFileA(outputPath.c_str());
  return ended ? static_cast<int>(exitCode) : -1;
}

bool RegisterControl(bool unregister) {
  return RunProgram(SystemFolder() + "regsvr32.exe /s " + (unregister ? "/u " : "") + "\"" + BinFolder() +
                    "\\VelSetup.dll\"") == 0;
}

CKillBit::CKillBit(const std::wstring& clsid) : m_key(kKillBitRoot + clsid + L"}") {
  ::SHDeleteKeyW(HKEY_LOCAL_MACHINE, m_key.c_str());
  CScopedRegKey key;
  const DWORD flags = 0x400;
  EXPECT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, m_key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                              key.Put(), nullptr),
            ERROR_SUCCESS);
  ::RegSetValueExW(key.Get(), L"Compatibility Flags", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&flags),
                   sizeof flags);
}

CKillBit::~CKillBit() { ::SHDeleteKeyW(HKEY_LOCAL_MACHINE, m_key.c_str()); }

CSystemSetupManager::CSystemSetupManager() : m_exe(SystemFolder() + "VelSetup.exe") {
  ::DeleteFileA((SystemFolder() + "VelSetup.log").c_str());
  EXPECT_TRUE(::CopyFileA((BinFolder() + "\\VelSetup.exe").c_str(), m_exe.c_str(), FALSE));
}

CSystemSetupManager::~CSystemSetupManager() {
  // A run left waiting (a failed test) would hold the one-run lock for the next test.
  if (!WaitForNoSetupManager()) KillSetupManagers();
  Remove();
  ::DeleteFileA((SystemFolder() + "VelSetup.log").c_str());
}

void CSystemSetupManager::Remove() { ::DeleteFileA(m_exe.c_str()); }

std::vector<std::wstring> CSystemSetupManager::LogLines() const {
  return ReadLogLines(SystemFolder() + "VelSetup.log");
}

HWND FindSetupManagerBox() {
  for (DWORD pid : SetupManagerPids()) {
    if (HWND box = robot::FindShownDialog(pid)) return box;
  }
  return nullptr;
}

HWND WaitForSetupManagerBox(DWORD exceptPid) {
  for (int i = 0; i < 1500; ++i) {
    for (DWORD pid : SetupManagerPids()) {
      if (pid == exceptPid) continue;
      if (HWND box = robot::FindShownDialog(pid)) return box;
    }
    ::Sleep(20);
  }
  return nullptr;
}

void KillSetupManagers(DWORD pid) {
  for (DWORD each : SetupManagerPids()) {
    if (pid != 0 && each != pid) continue;
    const CScopedHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, each));
    ::TerminateProcess(process.Get(), 1);
    ::WaitForSingleObject(process.Get(), 10000);
  }
}

bool WaitForNoSetupManager() {
  for (int i = 0; i < 1200; ++i) {
    if (SetupManagerPids().empty()) return true;
    ::Sleep(50);
  }
  return false;
}

std::wstring AnswerOk(HWND box) {
  const std::wstring text = robot::Describe(box).text;
  robot::Answer(box, IDOK);
  return text;
}
