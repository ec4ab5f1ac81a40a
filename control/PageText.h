// Texts that a page hands to the control, converted to the ANSI code page.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <cstddef>
#include <string>

enum class PageTextResult {
  kOk,
  kEmpty,  // a null or empty text
  kUnfit,  // longer than allowed after conversion, holding a NUL, or not in the code page
};

// Converts `text` to exactly the same characters in the ANSI code page: a character the code
// page lacks makes the text unfit, rather than turning into "?" or into a look-alike (a
// full-width quotation mark into "). `maxBytes` bounds the result.
PageTextResult PageTextToAnsi(BSTR text, size_t maxBytes, std::string& ansi);
