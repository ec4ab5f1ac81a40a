// The setup log of the unit tests: lines are kept in memory instead of a file.
#pragma once

#include <string>
#include <vector>

// Lines written so far, without the "\r\n"; cleared by LogInit.
const std::vector<std::string>& CapturedLogLines();
