#include "MessageBox.h"

#include "resource.h"

std::string LoadResourceString(UINT id) {
  char text[1024];
  const int length = ::LoadStringA(::GetModuleHandleA(nullptr), id, text, sizeof text);
  return std::string(text, length > 0 ? static_cast<size_t>(length) : 0);
}

int ShowResourceMessage(HWND owner, UINT id, UINT type) {
  if ((type & MB_ICONMASK) == 0) {
    type |= ((type & MB_TYPEMASK) == MB_YESNO) ? MB_ICONQUESTION : MB_ICONEXCLAMATION;
  }
  const std::string title = LoadResourceString(IDS_APP_TITLE);
  const std::string text = LoadResourceString(id);
  return ::MessageBoxA(owner, text.c_str(), title.c_str(), type);
}
