// The command line with which the control starts the setup manager.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Longest install parameter the setup manager accepts, in bytes of the ANSI code page.
constexpr size_t kMaxInstallParamBytes = 4095;

// Appends `argument` in double quotes, written so that the runtime's argument splitting (the
// one behind __argv and CommandLineToArgvW) gives it back byte for byte as one argument: a
// double quote becomes \", and backslashes are doubled where they precede a double quote or
// the closing quote. `argument` is a text of the ANSI code page as conversion produces it: each
// double-byte character is copied whole.
void AppendQuotedArgument(std::string& commandLine, const std::string& argument);

// "<program path>" -x "<install parameter>" -w <window handle in decimal>
std::string FormatLaunchCommandLine(const std::string& programPath, const std::string& installParam,
                                    uint32_t window);
