// The setup log: one plain-text file beside the program, "VelSetup.log", every line mirrored to
// the debugger output. Level 0 is the start line, 1 failures, 2 trace.
#pragma once

#define LOG_FLAG_DEBUGGER 0x01

// Enables the log for the rest of the process and writes the start line.
void LogInit(unsigned char flags, unsigned char level);

// Writes one line if its level is at or below the configured level. printf-style format, no
// floating point. Never fails visibly: a line that cannot be written is lost.
void LogWrite(unsigned char level, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

// Lets go of the log file until the next line, so that while the program waits for a person
// nothing holds it: another program may move or delete it meanwhile without losing later lines.
void LogRelease();
