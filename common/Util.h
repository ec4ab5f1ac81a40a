// File-system and clock services of the setup manager that the operating-system-free logic
// calls. Windows builds implement them over the system (Util.cpp); the native builds of the
// tests and fuzz targets link a stand-in (tests/unit/FakeSystem.cpp).
#pragma once

class CUtil {
 public:
  // Creates the folder and every missing parent; the part before the first backslash (the
  // drive) is never created. True when the folder exists afterwards.
  static bool CreateRecursiveDirectory(const char* path);

  // The calling thread's last system error code.
  static unsigned long LastError();

  // Minutes to add to a local time to get UTC, with the daylight-saving state of this moment.
  static long CurrentTimeZoneBias();
};
