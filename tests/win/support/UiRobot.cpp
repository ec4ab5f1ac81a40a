#include "UiRobot.h"

#include <gtest/gtest.h>

#include "Pump.h"

namespace robot {

namespace {

constexpr int kMessageBoxTextId = 0xFFFF;  // the static that holds a message box's message

struct Search {
  DWORD pid;
  HWND found;
};

bool IsDialogClass(HWND hwnd) {
  char className[32] = {};
  ::GetClassNameA(hwnd, className, sizeof className);
  return lstrcmpA(className, "#32770") == 0;
}

BOOL CALLBACK FindDialogOfProcess(HWND hwnd, LPARAM lParam) {
  auto* search = reinterpret_cast<Search*>(lParam);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(hwnd, &pid);
  if (pid == search->pid && ::IsWindowVisible(hwnd) && IsDialogClass(hwnd)) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

std::wstring WithoutAccelerator(std::wstring text) {
  for (size_t at = text.find(L'&'); at != std::wstring::npos; at = text.find(L'&', at)) text.erase(at, 1);
  return text;
}

struct ButtonSearch {
  std::wstring text;
  HWND found;
};

BOOL CALLBACK FindButtonByText(HWND hwnd, LPARAM lParam) {
  auto* search = reinterpret_cast<ButtonSearch*>(lParam);
  if (WithoutAccelerator(WindowText(hwnd)) == search->text) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

void Click(HWND dialog, HWND button) {
  const int id = ::GetDlgCtrlID(button);
  // Posted, the way a click arrives, so the robot never waits on the process under test.
  ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

}  // namespace

std::wstring WindowText(HWND hwnd) {
  wchar_t text[2048] = {};
  // WM_GETTEXT with a timeout: a hung process must fail the test, not hang it.
  DWORD_PTR length = 0;
  if (!::SendMessageTimeoutW(hwnd, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                             &length)) {
    return std::wstring();
  }
  return std::wstring(text, length);
}

HWND FindShownDialog(DWORD pid) {
  Search search = {pid, nullptr};
  ::EnumWindows(FindDialogOfProcess, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

ShownDialog Describe(HWND dialog) {
  ShownDialog shown;
  shown.hwnd = dialog;
  shown.title = WindowText(dialog);
  if (HWND text = ::GetDlgItem(dialog, kMessageBoxTextId)) shown.text = WindowText(text);
  return shown;
}

ShownDialog WaitForDialog(DWORD pid, DWORD timeoutMs) {
  const DWORD start = ::GetTickCount();
  HWND dialog;
  while ((dialog = FindShownDialog(pid)) == nullptr) {
    if (::GetTickCount() - start > timeoutMs) {
      ADD_FAILURE() << "process " << pid << " showed no dialog within " << timeoutMs << " ms";
      return ShownDialog();
    }
    PumpMessagesFor(50);
  }
  return Describe(dialog);
}

void PressButton(HWND dialog, int id) {
  const HWND button = ::GetDlgItem(dialog, id);
  if (button == nullptr) {
    ADD_FAILURE() << "the dialog has no button with identifier " << id;
    return;
  }
  Click(dialog, button);
}

void PressButton(HWND dialog, const std::wstring& text) {
  ButtonSearch search = {WithoutAccelerator(text), nullptr};
  ::EnumChildWindows(dialog, FindButtonByText, reinterpret_cast<LPARAM>(&search));
  if (search.found == nullptr) {
    ADD_FAILURE() << "the dialog has no button with that text";
    return;
  }
  Click(dialog, search.found);
}

}  // namespace robot
