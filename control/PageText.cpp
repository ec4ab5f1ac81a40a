#include "PageText.h"

#include <cwchar>

PageTextResult PageTextToAnsi(BSTR text, size_t maxBytes, std::string& ansi) {
  ansi.clear();
  const UINT length = text != nullptr ? ::SysStringLen(text) : 0;
  if (length == 0) return PageTextResult::kEmpty;
  if (std::wmemchr(text, L'\0', length) != nullptr) return PageTextResult::kUnfit;
  const int size = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, static_cast<int>(length),
                                         nullptr, 0, nullptr, nullptr);
  if (size <= 0 || static_cast<size_t>(size) > maxBytes) return PageTextResult::kUnfit;
  ansi.resize(static_cast<size_t>(size));
  BOOL substituted = FALSE;
  if (::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, static_cast<int>(length), &ansi[0], size,
                            nullptr, &substituted) != size ||
      substituted) {
    ansi.clear();
    return PageTextResult::kUnfit;
  }
  return PageTextResult::kOk;
}
