// Texts handed over by other programs or by the system on their behalf (module paths, version
// resources): never trusted to be terminated or to fit.
#pragma once

#include <cstddef>
#include <string>

// The text at `data`: at most `reported` bytes (the length the system gave), at most `capacity`
// bytes (the buffer it lies in), ending at the first NUL. A cut never splits a double-byte
// character: its lead byte is dropped too.
std::string BoundedText(const char* data, size_t reported, size_t capacity);
