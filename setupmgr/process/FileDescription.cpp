#include "FileDescription.h"

#include <windows.h>

#include <vector>

#include "ForeignText.h"
#include "Translation.h"

namespace {

// The value of a version block entry, bounded by the length the system reports and by the end
// of the block it lies in. Null when the entry is missing or lies outside the block.
const char* QueryValue(const std::vector<char>& block, const std::string& name, size_t& reported,
                       size_t& available) {
  void* value = nullptr;
  UINT length = 0;
  if (!::VerQueryValueA(block.data(), name.c_str(), &value, &length) || value == nullptr) return nullptr;
  const char* at = static_cast<const char*>(value);
  if (at < block.data() || at >= block.data() + block.size()) return nullptr;
  reported = length;
  available = static_cast<size_t>(block.data() + block.size() - at);
  return at;
}

}  // namespace

std::string GetFileDescription(const char* path) {
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeA(path, &ignored);
  if (size == 0) return std::string();
  std::vector<char> block(size);
  if (!::GetFileVersionInfoA(path, 0, size, block.data())) return std::string();

  size_t reported = 0, available = 0;
  const char* table = QueryValue(block, "\\VarFileInfo\\Translation", reported, available);
  if (table == nullptr) return std::string();
  const std::vector<CTranslation> translations = ReadTranslations(table, reported, available);
  const int chosen = ChooseTranslation(translations, ::GetUserDefaultLangID());
  if (chosen < 0) return std::string();

  const char* text = QueryValue(block, DescriptionQuery(translations[chosen]), reported, available);
  if (text == nullptr) return std::string();
  return BoundedText(text, reported, available < kMaxDescriptionLength ? available : kMaxDescriptionLength);
}
