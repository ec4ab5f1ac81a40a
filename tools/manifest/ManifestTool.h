// The command line of velsetup-manifest. Exit codes: 0 done and nothing found, 1 findings
// (lint, or build's check of what it wrote), 2 a usage, input or output error.
#pragma once

#include <string>
#include <vector>

constexpr int kExitClean = 0;
constexpr int kExitFindings = 1;
constexpr int kExitError = 2;

// Runs one command; `args` excludes the program name. What goes to standard output and standard
// error is appended to `out` and `err`.
int RunManifestTool(const std::vector<std::string>& args, std::string& out, std::string& err);
