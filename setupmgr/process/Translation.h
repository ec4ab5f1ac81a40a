// The translation table of a version resource and the choice of the string block a program's
// description is read from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct CTranslation {
  uint16_t m_wLanguage;
  uint16_t m_wCodePage;
};

// The pairs of a "\VarFileInfo\Translation" value: `reported` bytes as the system gave them,
// never more than the `available` bytes that lie in the version block; a partial pair is dropped.
std::vector<CTranslation> ReadTranslations(const void* data, size_t reported, size_t available);

// The pair to read, searched in this order: the user's language; its low 8 bits; language 0,
// then low 8 bits 0; language 9, then low 8 bits 9; else the first pair. -1 for an empty table.
int ChooseTranslation(const std::vector<CTranslation>& table, uint16_t userLanguage);

// "\StringFileInfo\LLLLCCCC\FileDescription", language and code page in upper-case hexadecimal.
std::string DescriptionQuery(const CTranslation& translation);
