// The local portal server of the test session (tests/portal/portal_server.py), reached by the
// programs under test through the Wine prefix's proxy setting.
#pragma once

#include <string>

namespace portal {

// True inside a harness session.
bool Available();
// The Windows path of a file under the served folder, e.g. "orbina/velsetup/a.dll".
std::string PathOf(const std::string& relative);
// Writes a served file, creating its folders.
bool Put(const std::string& relative, const std::string& bytes);
// Replaces the fault rules ("<url-path> <option>..." per line); empty text removes them.
bool SetFaults(const std::string& rules);
// The request log's lines so far ("GET <target> -> <status>").
std::string RequestLog();

}  // namespace portal
