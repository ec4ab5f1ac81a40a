// The XML reading shared by the install parameter and the manifest. Texts are kept byte for
// byte in the system's ANSI code page; no lookup recurses on the document's depth.
#pragma once

#include <cstddef>

#include <pugixml.hpp>

// Minimal parsing: no entity decoding, no trimming, comments, CDATA sections, processing
// instructions and the declaration dropped, and the bytes kept as they are whatever the text
// declares or begins with. A malformed text is not rejected: what cannot be read is not found.
constexpr unsigned kMinimalParse = pugi::parse_minimal;
void LoadMinimal(pugi::xml_document& document, const void* data, size_t size);

// The first element of that name below `root`, in document order (depth first, children in
// order); null when there is none.
pugi::xml_node FirstDescendant(const pugi::xml_node& root, const char* name);

// An element's value: the text of its first child as written, empty when it has none.
inline const char* ElementText(const pugi::xml_node& element) { return element.first_child().value(); }
