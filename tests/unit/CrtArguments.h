// The runtime's splitting of a narrow command line into arguments (the rules behind __argv), as
// the setup manager's start-up receives them.
#pragma once

#include <string>
#include <vector>

// The program name runs to its closing quote (or the first blank when unquoted). After it,
// blanks separate arguments outside quotes; 2n backslashes before a double quote give n
// backslashes and the quote opens or closes; 2n+1 give n backslashes and a literal quote; other
// backslashes are literal; double-byte characters are taken whole.
std::vector<std::string> SplitCrtArguments(const std::string& commandLine);
