// Small Windows images built byte by byte, with a version resource laid out as a resource
// compiler lays it out, and the knobs to break each part of the way to it.
#pragma once

#include <cstdint>
#include <string>

struct CPeImageSpec {
  bool pe32Plus = true;
  bool resources = true;        // a resource directory at all
  uint32_t typeId = 16;         // RT_VERSION
  uint32_t nameId = 1;          // VS_VERSION_INFO
  bool namedTypeFirst = false;  // a type entry named by a string ahead of the numbered ones
  bool secondLanguage = false;  // a second language whose version is ms + 1
  uint32_t ms = 0x00010002;
  uint32_t ls = 0x00030004;
  uint32_t signature = 0xFEEF04BD;
  uint16_t valueLength = 52;
  int rootLengthChange = 0;  // added to the version block's own length
  int dataSizeChange = 0;    // added to the size the resource data entry announces
  uint32_t rvaCount = 16;    // NumberOfRvaAndSizes
  uint32_t resourceRvaChange = 0;
};

std::string BuildPeImage(const CPeImageSpec& spec);

// Offsets in the image that BuildPeImage writes, for damage done to the bytes afterwards.
constexpr size_t kPeHeaderOffset = 0x40;
constexpr size_t kResourceFileOffset = 0x400;  // the resource directory's first byte
