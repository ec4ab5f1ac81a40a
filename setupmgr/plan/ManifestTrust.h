// The texts a signed manifest and its files are checked with: SHA-256 digests written as hex, the
// serial of an UPDATELIST, the detached signature's size, and the name a manifest URL's serial is
// kept under. Needs no operating system, so that it is unit-tested and fuzzed natively.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

using CSha256Digest = std::array<uint8_t, 32>;

// A detached signature is a few hundred bytes; anything longer is refused unread.
constexpr size_t kMaxSignatureSize = 4096;

// Exactly 64 hex digits, letter case aside; nothing else, not even a blank.
bool ReadSha256Text(std::string_view text, CSha256Digest& digest);
// The digest as 64 lower-case hex digits.
std::string Sha256Text(const CSha256Digest& digest);

// A serial: 1 to 20 decimal digits whose value fits 64 bits; no sign, no blank.
bool ReadSerialText(std::string_view text, uint64_t& serial);

// The name a manifest URL's highest serial is kept under: the URL from its host on, letters in
// lower case, escapes decoded, query and fragment dropped, empty and "." path segments dropped.
// Spellings a server reads as the same file share one name, so that no other spelling of the URL
// lets an older manifest in again.
std::string SerialStoreName(std::string_view url);
