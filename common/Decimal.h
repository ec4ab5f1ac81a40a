// Decimal number reading shared by the install parameter, the manifest and the command line.
#pragma once

#include <cstdint>

// Reads like atoi: optional leading white space, an optional sign, then decimal digits up to
// the first other character; text without leading digits gives 0. Values beyond the range of
// int saturate instead of overflowing.
int ParseAtoi(const char* text);

// The same scan kept modulo 2^32, for a window handle that the control wrote with "%u": every
// value from 0 to 4294967295 reads back exactly.
uint32_t ParseHandleValue(const char* text);
