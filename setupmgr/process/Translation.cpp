#include "Translation.h"

#include <cstdio>
#include <cstring>

std::vector<CTranslation> ReadTranslations(const void* data, size_t reported, size_t available) {
  std::vector<CTranslation> table;
  if (data == nullptr) return table;
  const size_t bytes = reported < available ? reported : available;
  const auto* cursor = static_cast<const unsigned char*>(data);
  for (size_t at = 0; at + 4 <= bytes; at += 4) {
    // Little-endian words, read bytewise: the value need not be aligned.
    CTranslation pair;
    pair.m_wLanguage = static_cast<uint16_t>(cursor[at] | (cursor[at + 1] << 8));
    pair.m_wCodePage = static_cast<uint16_t>(cursor[at + 2] | (cursor[at + 3] << 8));
    table.push_back(pair);
  }
  return table;
}

namespace {

int FindLanguage(const std::vector<CTranslation>& table, uint16_t language, uint16_t mask) {
  for (size_t i = 0; i < table.size(); ++i) {
    if ((table[i].m_wLanguage & mask) == (language & mask)) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace

int ChooseTranslation(const std::vector<CTranslation>& table, uint16_t userLanguage) {
  if (table.empty()) return -1;
  const struct {
    uint16_t language;
    uint16_t mask;
  } searches[] = {
      {userLanguage, 0xFFFF}, {userLanguage, 0x00FF}, {0, 0xFFFF}, {0, 0x00FF}, {9, 0xFFFF}, {9, 0x00FF}};
  for (const auto& search : searches) {
    const int found = FindLanguage(table, search.language, search.mask);
    if (found >= 0) return found;
  }
  return 0;
}

std::string DescriptionQuery(const CTranslation& translation) {
  char query[64];
  std::snprintf(query, sizeof query, "\\StringFileInfo\\%04X%04X\\FileDescription",
                static_cast<unsigned>(translation.m_wLanguage),
                static_cast<unsigned>(translation.m_wCodePage));
  return query;
}
