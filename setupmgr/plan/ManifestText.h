// The text forms inside a manifest: booleans, comma-separated field lists, versions and file
// times.
#pragma once

#include <cstdint>

// True only for the exact text "1".
bool IsTrueText(const char* text);

// Reads up to `count` fields separated by ","; each is read like atol, missing fields are 0 and
// extra fields are ignored.
void ReadFieldList(const char* text, int* fields, int count);

// "a,b,c,d": each field reduced to its low 16 bits, packed as MS = a:b and LS = c:d.
void ReadVersionText(const char* text, uint32_t& ms, uint32_t& ls);

// "year,month,day,hour,minute,second" as a local time, turned into a UTC file time (100 ns
// units since 1601) with `biasMinutes` (UTC = local + bias). False, and `fileTime` 0, for a text
// that is not a valid date and time of the years 1900 to 3000.
bool ReadFileTimeText(const char* text, long biasMinutes, uint64_t& fileTime);
