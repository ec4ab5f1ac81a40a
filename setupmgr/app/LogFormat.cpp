#include "LogFormat.h"

#include <cstdio>

namespace {

constexpr char kLinePrefix[] = "[VelSetup]";

// Largest length <= limit that does not end inside a double-byte character.
size_t CharacterSafeCut(const char* text, size_t length, size_t limit, LeadByteTest isLeadByte) {
  if (length <= limit) return length;
  if (isLeadByte == nullptr) return limit;
  size_t end = 0;
  while (end < limit) {
    const size_t width = isLeadByte(static_cast<unsigned char>(text[end])) ? 2 : 1;
    if (end + width > limit) break;
    end += width;
  }
  return end;
}

}  // namespace

std::string FormatLogLine(LeadByteTest isLeadByte, const char* format, va_list args) {
  char message[kLogMessageLimit + 2];  // one spare byte tells that the message was longer
  const int written = std::vsnprintf(message, sizeof message, format, args);
  size_t length = written < 0 ? 0 : static_cast<size_t>(written);
  if (length >= sizeof message) length = sizeof message - 1;
  length = CharacterSafeCut(message, length, kLogMessageLimit, isLeadByte);

  std::string line(kLinePrefix);
  line.append(message, length);
  line.append("\r\n");
  return line;
}

std::string FormatStartMessage(int year, int month, int day, int hour, int minute, int second,
                               unsigned char level) {
  char message[96];
  std::snprintf(message, sizeof message, "===== Start [ %d-%d-%d, %d:%d:%d ] Level = %d =====", year, month,
                day, hour, minute, second, static_cast<int>(level));
  return message;
}
