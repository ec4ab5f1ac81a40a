// Text forms of the setup log, independent of where the lines go.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>

constexpr size_t kLogMessageLimit = 1023;    // characters of one formatted message
constexpr uint64_t kLogResetSize = 3145728;  // a file this large is emptied by the next line
constexpr char kLogFileName[] = "VelSetup.log";

// Tells whether a byte starts a double-byte character of the ANSI code page.
using LeadByteTest = bool (*)(unsigned char);

// "[VelSetup]" + the formatted message + "\r\n". A message longer than kLogMessageLimit is cut
// there, and one character earlier when the cut would split a double-byte character.
std::string FormatLogLine(LeadByteTest isLeadByte, const char* format, va_list args);

// The start line's message: "===== Start [ 2007-7-18, 8:5:3 ] Level = 2 =====".
std::string FormatStartMessage(int year, int month, int day, int hour, int minute, int second,
                               unsigned char level);

inline bool LogLineWanted(unsigned char lineLevel, unsigned char configuredLevel) {
  return lineLevel <= configuredLevel;
}

inline bool LogNeedsReset(uint64_t fileSize) { return fileSize >= kLogResetSize; }
