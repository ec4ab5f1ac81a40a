// Whether a COM class is installed, as a page asks it.
#pragma once

#include <string>

// `objectId` is a class identifier without braces. 2 when it is not one; 0 when no object of
// the class can be created in process, or when the browser has disabled the class (its
// "Compatibility Flags" hold 0x400), which is then not created at all; 1 when an object was
// created (and released at once).
int QueryObjectInstalled(const std::string& objectId);
