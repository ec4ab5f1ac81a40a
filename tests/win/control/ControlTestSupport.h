// Helpers of the control's tests under Wine: the registered library, controls made by COM, the
// real VelSetup.exe in the system folder, and a person who answers its message boxes.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ComSupport.h"
#include "SetupRun.h"
#include "UiRobot.h"
#include "VelSetup_h.h"

inline const wchar_t kControlClsid[] = L"DC5A1831-DD51-47DC-B476-D9BB6A135C13";
// A class the Wine prefix registers in process (the file system object).
inline const wchar_t kOtherClassId[] = L"0D43FE01-F093-11CF-8940-00A0C9054228";
// On the trusted host but not served, so that every update run fails at the manifest.
inline const char kMissingManifestUrl[] = "http://update.orbina.com/orbina/velsetup/ctltest/missing.xml";

class CBstr {
 public:
  explicit CBstr(const std::wstring& text)
      : m_bstr(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  ~CBstr() { ::SysFreeString(m_bstr); }
  CBstr(const CBstr&) = delete;
  CBstr& operator=(const CBstr&) = delete;
  BSTR Get() const { return m_bstr; }

 private:
  BSTR m_bstr;
};

std::string BinFolder();
std::wstring ControlDllPath();
std::string SystemFolder();  // ends in "\"

CComPtrLite<IVelSetupCtrl> CreateControl();

// Runs a program of the prefix and waits for it; its exit code, or -1 when it could not start
// or did not end in time. The standard output goes to `output` when given.
int RunProgram(const std::string& commandLine, std::string* output = nullptr);
// regsvr32 /s [/u] on the built library.
bool RegisterControl(bool unregister);

// Marks a class as disabled in the browser ("Compatibility Flags" 0x400) while it lives.
class CKillBit {
 public:
  explicit CKillBit(const std::wstring& clsid);
  ~CKillBit();
  CKillBit(const CKillBit&) = delete;
  CKillBit& operator=(const CKillBit&) = delete;

 private:
  std::wstring m_key;
};

// The built VelSetup.exe in the system folder, where the control starts it, with a fresh log.
class CSystemSetupManager {
 public:
  CSystemSetupManager();
  ~CSystemSetupManager();
  CSystemSetupManager(const CSystemSetupManager&) = delete;
  CSystemSetupManager& operator=(const CSystemSetupManager&) = delete;

  void Remove();
  std::vector<std::wstring> LogLines() const;

 private:
  std::string m_exe;
};

// The setup manager's visible message box, or null.
HWND FindSetupManagerBox();
// Waits up to half a minute for a message box of a setup manager other than `exceptPid`.
HWND WaitForSetupManagerBox(DWORD exceptPid);
// Ends the setup manager `pid`, or every one, and waits for the end.
void KillSetupManagers(DWORD pid = 0);
// Waits until no VelSetup.exe runs any more; false after a minute.
bool WaitForNoSetupManager();

// Presses OK on a message box and returns its text.
std::wstring AnswerOk(HWND box);
