// Finds the dialogs and message boxes a process under test shows, reads their texts as UTF-16
// and presses their buttons, as a person would; answers message boxes from a thread of its own.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace robot {

struct ShownDialog {
  HWND hwnd = nullptr;
  std::wstring title;
  std::wstring text;  // a message box's message; empty for other dialogs
};

// Waits until process `pid` shows a visible dialog window, pumping this thread's messages
// meanwhile. Fails the current test with a clear message when none comes within the timeout.
ShownDialog WaitForDialog(DWORD pid, DWORD timeoutMs = 15000);

// The visible dialog the process shows now, or null.
HWND FindShownDialog(DWORD pid);
// Reads a dialog's title and, for a message box, its message.
ShownDialog Describe(HWND dialog);

// Presses the button with that control identifier (IDOK, IDYES, ...), or with that text
// ("&" accelerators ignored). Fails the test when the dialog has no such button.
void PressButton(HWND dialog, int id);
void PressButton(HWND dialog, const std::wstring& text);
// Presses `id` (OK, or else No, when the box has no such button) and waits until the box is gone,
// so that it is not taken for the next one.
void Answer(HWND box, int id);

std::wstring WindowText(HWND hwnd);

// Message boxes only (dialogs with a message text), so that a box is told apart from the dialog
// that shows it.
HWND FindShownMessageBox(DWORD pid);
ShownDialog WaitForMessageBox(DWORD pid, DWORD timeoutMs = 15000);

// A list view of another process, read and clicked as a person would. Texts travel through a
// buffer inside that process; the check state needs none.
int ListRowCount(HWND list);
bool ListRowChecked(HWND list, int row);
std::wstring ListCellText(HWND list, int row, int column);
// The cell's rectangle in the list's client coordinates; empty when it cannot be read.
RECT ListCellRect(HWND list, int row, int column);
// A left click (button down and up) in the middle of the cell.
void ClickListCell(HWND list, int row, int column);

}  // namespace robot

// Answers message boxes from a thread of its own until Stop(): the boxes `find` returns (this
// process's when null), the given buttons pressed in turn, later boxes OK; each box is kept.
class CBoxAnswerer {
 public:
  struct Box {
    std::wstring title;
    std::wstring text;
  };
  explicit CBoxAnswerer(std::vector<int> answers = {}, HWND (*find)() = nullptr);
  ~CBoxAnswerer() { Stop(); }
  CBoxAnswerer(const CBoxAnswerer&) = delete;
  CBoxAnswerer& operator=(const CBoxAnswerer&) = delete;
  std::vector<Box> Stop();  // ends the thread; the boxes seen
  std::vector<std::wstring> Texts() { return TextsOf(Stop()); }
  static std::vector<std::wstring> TextsOf(const std::vector<Box>& boxes);

 private:
  void Run();
  std::vector<int> m_answers;
  HWND (*m_find)();
  std::atomic<bool> m_stop{false};
  std::vector<Box> m_boxes;
  std::thread m_thread;
};
