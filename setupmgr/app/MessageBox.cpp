#include "MessageBox.h"

#include "SetupLog.h"
#include "resource.h"

std::string LoadResourceString(UINT id) {
  char text[1024];
  const int length = ::LoadStringA(::GetModuleHandleA(nullptr), id, text, sizeof text);
  return std::string(text, length > 0 ? static_cast<size_t>(length) : 0);
}

int ShowMessage(HWND owner, const char* text, const char* title, UINT type) {
  LogRelease();
  return ::MessageBoxA(owner, text, title, type);
}

int ShowResourceMessage(HWND owner, UINT id, UINT type) {
  if ((type & MB_ICONMASK) == 0) {
    type |= ((type & MB_TYPEMASK) == MB_YESNO) ? MB_ICONQUESTION : MB_ICONEXCLAMATION;
  }
  const std::string title = LoadResourceString(IDS_APP_TITLE);
  const std::string text = LoadResourceString(id);
  return ShowMessage(owner, text.c_str(), title.c_str(), type);
}
