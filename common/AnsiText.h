// Texts in the system's ANSI code page. In code page 949 the second byte of a double-byte
// character may be a Latin letter, so case folding and case-insensitive comparison go through
// the system's own functions and never fold a trail byte. Native builds (tests, fuzzing) follow
// the rules of code page 949.
#pragma once

#include <string>

// True when the byte starts a double-byte character.
bool IsAnsiLeadByte(unsigned char byte);

// Case-insensitive equality of two texts (modes, names, extensions, root names).
bool EqualNoCase(const char* left, const char* right);

// The text with its single-byte letters in upper case; double-byte characters are kept as
// they are.
std::string UpperCaseAnsi(const std::string& text);
