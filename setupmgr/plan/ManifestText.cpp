#include "ManifestText.h"

#include <cstring>
#include <string>

#include "Decimal.h"

namespace {

bool IsCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

std::string Trim(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsCSpace(text[begin])) ++begin;
  while (end > begin && IsCSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1 January 1601 to the given date.
int64_t DaysSince1601(int year, int month, int day) {
  const int64_t years = year - 1601;
  int64_t days = years * 365 + years / 4 - years / 100 + years / 400;
  for (int m = 1; m < month; ++m) days += DaysInMonth(year, m);
  return days + day - 1;
}

}  // namespace

bool IsTrueText(const char* text) { return text != nullptr && std::strcmp(text, "1") == 0; }

void ReadFieldList(const char* text, int* fields, int count) {
  std::string rest = text != nullptr ? text : "";
  bool more = true;
  for (int i = 0; i < count; ++i) {
    if (!more) {
      fields[i] = 0;
      continue;
    }
    const size_t comma = rest.find(',');
    fields[i] = ParseAtoi(rest.substr(0, comma).c_str());
    if (comma == std::string::npos) {
      more = false;
    } else {
      rest = Trim(rest.substr(comma + 1));
    }
  }
}

void ReadVersionText(const char* text, uint32_t& ms, uint32_t& ls) {
  int fields[4];
  ReadFieldList(text, fields, 4);
  const auto low16 = [](int value) { return static_cast<uint32_t>(value) & 0xFFFFu; };
  ms = (low16(fields[0]) << 16) | low16(fields[1]);
  ls = (low16(fields[2]) << 16) | low16(fields[3]);
}

bool ReadFileTimeText(const char* text, long biasMinutes, uint64_t& fileTime) {
  fileTime = 0;
  int f[6];
  ReadFieldList(text, f, 6);
  const int year = f[0], month = f[1], day = f[2], hour = f[3], minute = f[4], second = f[5];
  if (year < 1900 || year > 3000 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) ||
      hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
    return false;
  }
  const int64_t localSeconds = DaysSince1601(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
  const int64_t utcSeconds = localSeconds + static_cast<int64_t>(biasMinutes) * 60;
  if (utcSeconds <= 0) return false;
  fileTime = static_cast<uint64_t>(utcSeconds) * 10000000u;
  return true;
}
