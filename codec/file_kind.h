// What a file is, told from its first bytes: a module (PE or NE, "MZ"), an
// icon file or a bitmap file. Modules come with many extensions (.cpl, .ocx,
// .scr, .mun, ...), so the content decides; the extension only breaks ties
// when the bytes say nothing (an empty, short or damaged file).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "base/bytes.h"

namespace pk {

enum class FileKind { Unknown, Module, IconFile, Bitmap };

// How many leading bytes SniffFileKind looks at; fewer are fine for a short file.
inline constexpr size_t kSniffBytes = 512;

// The kind the bytes show, or Unknown.
FileKind SniffFileKind(Bytes head);

// The kind an extension (lower case, without the dot) names: "ico", "bmp", or
// one of the module extensions; Unknown for any other.
FileKind KindOfExtension(std::string_view extension);

// The content's kind, else the extension's.
FileKind ClassifyFile(Bytes head, std::string_view extension);

// The file's extension in lower case, without the dot; empty when it has none.
std::string LowerExtension(std::string_view path);

}  // namespace pk
