#include "Decimal.h"

#include <climits>

namespace {

struct DecimalScan {
  bool negative = false;
  uint32_t low32 = 0;   // the value modulo 2^32
  uint64_t capped = 0;  // the value, capped at 2^32 (enough to tell every int overflow)
};

bool IsCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

DecimalScan Scan(const char* text) {
  constexpr uint64_t kCap = uint64_t{1} << 32;
  DecimalScan scan;
  if (text == nullptr) return scan;
  while (IsCSpace(*text)) ++text;
  if (*text == '+' || *text == '-') scan.negative = (*text++ == '-');
  for (; *text >= '0' && *text <= '9'; ++text) {
    const unsigned digit = static_cast<unsigned>(*text - '0');
    scan.low32 = scan.low32 * 10u + digit;
    scan.capped = scan.capped >= kCap ? kCap : scan.capped * 10u + digit;
  }
  return scan;
}

}  // namespace

int ParseAtoi(const char* text) {
  const DecimalScan scan = Scan(text);
  if (scan.negative) {
    return scan.capped > uint64_t{INT_MAX} + 1 ? INT_MIN
                                               : static_cast<int>(-static_cast<int64_t>(scan.capped));
  }
  return scan.capped > uint64_t{INT_MAX} ? INT_MAX : static_cast<int>(scan.capped);
}

uint32_t ParseHandleValue(const char* text) {
  const DecimalScan scan = Scan(text);
  return scan.negative ? 0u - scan.low32 : scan.low32;
}
