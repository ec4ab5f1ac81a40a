// The setup manager's log and system services, as the manifest tool provides them to the
// setup manager's own manifest reading: failures are kept for the report, folders are never
// created, and the time zone is the one the tool is told.
#pragma once

#include <string>
#include <vector>

// The level-1 lines written since the last call, without the log's "[VelSetup]" prefix; the
// list is emptied.
std::vector<std::string> TakeFailureLines();

// The time zone in which manifest times are read: UTC = local + bias.
void SetToolTimeZoneBias(long biasMinutes);

// The folders a typical installation gives the path macros, so that DEST is expanded and its
// length checked as on such a computer.
void SetTypicalMacroFolders();
