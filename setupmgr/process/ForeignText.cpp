#include "ForeignText.h"

#include "AnsiText.h"

std::string BoundedText(const char* data, size_t reported, size_t capacity) {
  if (data == nullptr) return std::string();
  const size_t limit = reported < capacity ? reported : capacity;
  size_t length = 0;
  while (length < limit && data[length] != '\0') {
    if (IsAnsiLeadByte(static_cast<unsigned char>(data[length]))) {
      if (length + 1 >= limit || data[length + 1] == '\0') break;
      ++length;
    }
    ++length;
  }
  return std::string(data, length);
}
