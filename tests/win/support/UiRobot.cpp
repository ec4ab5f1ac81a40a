#include "UiRobot.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "Pump.h"
#include "WinHandles.h"

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

BOOL CALLBACK FindMessageBoxOfProcess(HWND hwnd, LPARAM lParam) {
  if (::GetDlgItem(hwnd, kMessageBoxTextId) == nullptr) return TRUE;
  return FindDialogOfProcess(hwnd, lParam);
}

// A block of memory inside the process that owns a window, freed on every path.
class CRemoteBuffer {
 public:
  CRemoteBuffer(HWND window, size_t size) : m_size(size) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    m_process.Reset(::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid));
    if (m_process) {
      m_address = ::VirtualAllocEx(m_process.Get(), nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
  }
  ~CRemoteBuffer() {
    if (m_address != nullptr) ::VirtualFreeEx(m_process.Get(), m_address, 0, MEM_RELEASE);
  }
  CRemoteBuffer(const CRemoteBuffer&) = delete;
  CRemoteBuffer& operator=(const CRemoteBuffer&) = delete;

  bool Valid() const { return m_address != nullptr; }
  char* At(size_t offset) const { return static_cast<char*>(m_address) + offset; }
  bool Write(size_t offset, const void* data, size_t size) const {
    SIZE_T written = 0;
    return offset + size <= m_size &&
           ::WriteProcessMemory(m_process.Get(), At(offset), data, size, &written) && written == size;
  }
  bool Read(size_t offset, void* data, size_t size) const {
    SIZE_T read = 0;
    return offset + size <= m_size && ::ReadProcessMemory(m_process.Get(), At(offset), data, size, &read) &&
           read == size;
  }

 private:
  CScopedHandle m_process;
  void* m_address = nullptr;
  size_t m_size;
};

// SendMessage with a timeout: a hung process fails the test instead of hanging it. Not
// SMTO_ABORTIFHUNG: a thread that worked for seconds before showing its box counts as hung until
// its dialog loop first asks for a message, and the box would be read as empty.
constexpr UINT kSendFlags = SMTO_NORMAL;
constexpr UINT kSendTimeoutMs = 5000;

LRESULT SendTimed(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  if (!::SendMessageTimeoutW(hwnd, message, wParam, lParam, kSendFlags, kSendTimeoutMs, &result)) {
    ADD_FAILURE() << "message " << message << " got no answer";
    return 0;
  }
  return static_cast<LRESULT>(result);
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
  if (!::SendMessageTimeoutW(hwnd, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text), kSendFlags,
                             kSendTimeoutMs, &length)) {
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

HWND FindShownMessageBox(DWORD pid) {
  Search search = {pid, nullptr};
  ::EnumWindows(FindMessageBoxOfProcess, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

ShownDialog WaitForMessageBox(DWORD pid, DWORD timeoutMs) {
  const DWORD start = ::GetTickCount();
  HWND box;
  while ((box = FindShownMessageBox(pid)) == nullptr) {
    if (::GetTickCount() - start > timeoutMs) {
      ADD_FAILURE() << "process " << pid << " showed no message box within " << timeoutMs << " ms";
      return ShownDialog();
    }
    PumpMessagesFor(50);
  }
  return Describe(box);
}

int ListRowCount(HWND list) { return static_cast<int>(SendTimed(list, LVM_GETITEMCOUNT, 0, 0)); }

bool ListRowChecked(HWND list, int row) {
  const LRESULT state = SendTimed(list, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK);
  return ((state & LVIS_STATEIMAGEMASK) >> 12) == 2;
}

std::wstring ListCellText(HWND list, int row, int column) {
  constexpr int kChars = 512;
  const CRemoteBuffer remote(list, sizeof(LVITEMW) + kChars * sizeof(wchar_t));
  if (!remote.Valid()) {
    ADD_FAILURE() << "no buffer in the list's process";
    return std::wstring();
  }
  LVITEMW item = {};
  item.iSubItem = column;
  item.pszText = reinterpret_cast<wchar_t*>(remote.At(sizeof item));
  item.cchTextMax = kChars;
  if (!remote.Write(0, &item, sizeof item)) return std::wstring();
  const LRESULT length = SendTimed(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(remote.At(0)));
  std::vector<wchar_t> text(kChars, L'\0');
  if (length <= 0 || !remote.Read(sizeof item, text.data(), text.size() * sizeof(wchar_t)))
    return std::wstring();
  return std::wstring(text.data(), static_cast<size_t>(length < kChars ? length : kChars - 1));
}

RECT ListCellRect(HWND list, int row, int column) {
  RECT rect = {LVIR_LABEL, column, 0, 0};  // the label: column 0's own part, not the whole row
  const CRemoteBuffer remote(list, sizeof rect);
  if (!remote.Valid() || !remote.Write(0, &rect, sizeof rect) ||
      !SendTimed(list, LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(remote.At(0))) ||
      !remote.Read(0, &rect, sizeof rect)) {
    ADD_FAILURE() << "no rectangle for row " << row << ", column " << column;
    return RECT{};
  }
  return rect;
}

void ClickListCell(HWND list, int row, int column) {
  const RECT cell = ListCellRect(list, row, column);
  const LPARAM point = MAKELPARAM((cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2);
  // Posted, as the input arrives, so the robot never waits on the process under test.
  ::PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, point);
  ::PostMessageW(list, WM_LBUTTONUP, 0, point);
}

void PressButton(HWND dialog, int id) {
  const HWND button = ::GetDlgItem(dialog, id);
  if (button == nullptr) {
    ADD_FAILURE() << "the dialog has no button with identifier " << id;
    return;
  }
  Click(dialog, button);
}

void Answer(HWND box, int id) {
  if (::GetDlgItem(box, id) == nullptr) id = ::GetDlgItem(box, IDOK) ? IDOK : IDNO;
  PressButton(box, id);
  for (int i = 0; i < 500 && ::IsWindow(box) && ::IsWindowVisible(box); ++i) ::Sleep(20);
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

CBoxAnswerer::CBoxAnswerer(std::vector<int> answers, HWND (*find)())
    : m_answers(std::move(answers)), m_find(find), m_thread(&CBoxAnswerer::Run, this) {}

std::vector<CBoxAnswerer::Box> CBoxAnswerer::Stop() {
  m_stop = true;
  if (m_thread.joinable()) m_thread.join();
  return m_boxes;
}

std::vector<std::wstring> CBoxAnswerer::TextsOf(const std::vector<Box>& boxes) {
  std::vector<std::wstring> texts;
  for (const Box& box : boxes) texts.push_back(box.text);
  return texts;
}

void CBoxAnswerer::Run() {
  size_t next = 0;
  while (!m_stop) {
    const HWND box = m_find ? m_find() : robot::FindShownDialog(::GetCurrentProcessId());
    if (box == nullptr) {
      ::Sleep(20);
      continue;
    }
    const robot::ShownDialog shown = robot::Describe(box);
    m_boxes.push_back({shown.title, shown.text});
    robot::Answer(box, next < m_answers.size() ? m_answers[next++] : IDOK);
  }
}
