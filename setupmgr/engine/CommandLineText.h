// The command lines the engine starts programs with. Needs no operating system.
#pragma once

#include <cstddef>
#include <string>

#include "PathMacros.h"

// Longest command line, in characters: the registration tool's run on the longest path the
// program accepts, both paths quoted ("<tool>" /u /s "<file>").
constexpr size_t kMaxCommandLineLength = 2 * (kMaxPathLength + 2) + sizeof(" /u /s ") - 1;

// A path as one word of a command line: in quotation marks when it holds a blank, so that the
// system neither starts another program nor splits the argument.
std::string QuotePath(const std::string& path);

// "<program> <arguments>", or the program alone when the arguments are absent or empty; the
// program path is quoted as QuotePath does. False when the line would be longer than
// kMaxCommandLineLength: a line is refused, never cut.
bool FormatCommandLine(const char* program, const char* arguments, std::string& commandLine);
