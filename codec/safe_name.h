// Pieces of output file names made from text we do not control: resource
// names out of modules and the names of input files. The result is safe as
// part of one file name on every common file system.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pk {

// How the text's multi-byte characters are formed: the program's 8-bit code
// page (GBK, and Windows file names) or UTF-8 (file names elsewhere).
enum class NameEncoding { Gbk, Utf8 };

// Longest piece, in bytes: a name made of a stem, a group and a size stays
// well below the 255 bytes that file systems allow for one name, and leaves
// room for the folder within the 260 bytes of a Windows path.
inline constexpr size_t kMaxNamePieceBytes = 64;

// `text` made safe as part of a file name: no path separators or other
// characters Windows refuses (< > : " | ? *), no control characters, no bytes
// that do not form a character of `encoding`, no leading dot, no "..", no
// trailing dot or space, not a Windows device name (CON, NUL, COM1, ...,
// checked on the part before the first dot), never empty, at most `maxBytes`
// bytes cut on a character boundary. Multi-byte characters are kept whole,
// so a GBK trail byte that equals '\' stays part of its character.
std::string SafeNamePiece(std::string_view text, NameEncoding encoding, size_t maxBytes = kMaxNamePieceBytes);

// True when `name` up to its first dot, trailing spaces aside, is a name that
// Windows takes for a device whatever the folder or extension.
bool IsWindowsDeviceName(std::string_view name);

}  // namespace pk
