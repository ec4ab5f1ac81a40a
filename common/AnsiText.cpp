#include "AnsiText.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// Upper-cases the Latin letters, stepping over double-byte characters whole.
std::string FoldSingleByteLetters(const std::string& text) {
  std::string result = text;
  for (size_t i = 0; i < result.size(); ++i) {
    const unsigned char byte = static_cast<unsigned char>(result[i]);
    if (IsAnsiLeadByte(byte) && i + 1 < result.size()) {
      ++i;
    } else if (byte >= 'a' && byte <= 'z') {
      result[i] = static_cast<char>(byte - 'a' + 'A');
    }
  }
  return result;
}

}  // namespace

#ifdef _WIN32

bool IsAnsiLeadByte(unsigned char byte) { return ::IsDBCSLeadByte(byte) != FALSE; }

bool EqualNoCase(const char* left, const char* right) {
  return ::CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, left, -1, right, -1) == CSTR_EQUAL;
}

#else

bool IsAnsiLeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

bool EqualNoCase(const char* left, const char* right) {
  return FoldSingleByteLetters(left) == FoldSingleByteLetters(right);
}

#endif

std::string UpperCaseAnsi(const std::string& text) { return FoldSingleByteLetters(text); }
