// The fixed file version of a Windows program or library, read from the bytes of its file:
// resource directory, the version resource, its fixed-information part. Needs no operating
// system; every offset the file gives is checked against the bytes at hand.
#pragma once

#include <cstddef>
#include <cstdint>

// True, with the file version's halves, when the image holds a version resource whose fixed
// information the setup manager would accept: the part lies whole inside the root block and
// carries the signature. The version resource is the one of identifier 1, as the system's reader
// asks for it, in the first language the file lists.
bool ReadPeFileVersion(const uint8_t* data, size_t size, uint32_t& ms, uint32_t& ls);
