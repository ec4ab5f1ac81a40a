// Texts that a page hands to the control, converted to the ANSI code page.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <cstddef>
#include <string>

enum class PageTextResult {
  kOk,
  kEmpty,  // a null or empty text
  kUnfit,  // longer than allowed after conversion, holding a NUL, or not convertible
};

// Converts `text` without best-fit substitutes, so that no character turns into a different
// one of the ANSI code page (a full-width quotation mark into "). `maxBytes` bounds the result.
PageTextResult PageTextToAnsi(BSTR text, size_t maxBytes, std::string& ansi);
