// File versions as the control's pages write and read them.
#pragma once

#include <cstdint>
#include <string>

// Two 32-bit words, most significant first: major.minor in m_ms, build.revision in m_ls.
struct CFileVersion {
  uint32_t m_ms = 0;
  uint32_t m_ls = 0;
};

// Reads "a,b,c,d": each part up to the next comma is read like atol and the rest is trimmed of
// spaces at both ends; a text with fewer parts repeats its last one ("1,2" reads as 1,2,2,2).
// Each word is the first number shifted left by 16 bits with the low 16 bits of the second.
CFileVersion ParseVersionText(const std::string& text);

// "a,b,c,d", each field an unsigned 16-bit number.
std::string FormatVersion(const CFileVersion& version);

// True when `installed` is lower than `wanted`, comparing m_ms and then m_ls, unsigned.
bool IsOlderVersion(const CFileVersion& installed, const CFileVersion& wanted);
