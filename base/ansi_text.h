// Rules of the program's 8-bit text: GBK (code page 936), whatever the
// system's own code page. A byte of 0x81 or above leads a double-byte
// character whose trail byte may look like an ASCII letter or a path
// separator, so such pairs are never split, lowered or compared apart.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pk {

inline bool IsLeadByte(unsigned char c) { return c >= 0x81; }

// Length of the longest prefix of `text` of at most `limit` bytes that does
// not split a double-byte character.
size_t CharBoundaryPrefix(std::string_view text, size_t limit);

// `text` with its ASCII capitals lowered; double-byte characters unchanged.
std::string LowerAsciiText(std::string_view text);

// True when the texts are equal but for the case of ASCII letters; both
// bytes of a double-byte character compare exactly.
bool TextEqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

}  // namespace pk
