// The description a program gives of itself in its version resource.
#pragma once

#include <string>

// Longest description taken, in bytes; a longer one is cut between characters.
constexpr size_t kMaxDescriptionLength = 259;

// The "FileDescription" of the file's version resource in the translation that suits the user's
// language best; empty when the file has no version resource, no translation table or no
// description.
std::string GetFileDescription(const char* path);
