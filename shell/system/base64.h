#pragma once

#include <cstddef>
#include <string>

// Base64 with the RFC 4648 alphabet ("+", "/") and "=" padding, no line breaks.
std::string Base64Encode(const void* bytes, size_t length);

// Decodes the run of alphabet characters that starts after any leading blanks and tabs; the
// run ends at the first other character ("=" and the end of the text included) and the rest
// is ignored. A last group of two or three characters gives one or two bytes; a single
// character left over gives nothing.
std::string Base64Decode(const std::string& text);
