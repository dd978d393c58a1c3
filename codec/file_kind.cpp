#include "codec/file_kind.h"

#include <array>

namespace pk {
namespace {

// Extensions under which Windows keeps modules that may carry icons: programs,
// libraries, control panel items, controls, screen savers, filters, drivers,
// the resource-only .mun files and 16-bit icon libraries.
constexpr std::array<std::string_view, 16> kModuleExtensions = {
    "exe", "dll", "icl", "cpl", "ocx", "scr", "mun", "ax", "drv", "sys", "acm", "tlb", "ds", "com", "mui", "msstyles"};

bool LooksLikeModule(ByteReader r) {
  // "MZ" and, when the new header lies among the bytes we have, its "PE\0\0"
  // or "NE" there. A new header further in is left to the module reader.
  if (r.size() < 2 || r.bytes()[0] != 'M' || r.bytes()[1] != 'Z') return false;
  auto newHeader = r.U32(0x3C);
  if (!newHeader) return r.size() < 0x40;  // a stub cut short: let the reader refuse it
  auto sig = r.Sub(*newHeader, 2);
  if (!sig) return true;
  return ((*sig)[0] == 'P' && (*sig)[1] == 'E') || ((*sig)[0] == 'N' && (*sig)[1] == 'E');
}

bool LooksLikeIconFile(ByteReader r) {
  // Reserved 0, type 1, at least one entry whose image lies behind the directory.
  auto reserved = r.U16(0), type = r.U16(2), count = r.U16(4);
  if (!reserved || *reserved != 0 || !type || *type != 1 || !count || *count == 0) return false;
  auto entryReserved = r.U8(6 + 3);
  auto size = r.U32(6 + 8), offset = r.U32(6 + 12);
  if (!entryReserved || !size || !offset) return false;
  return *entryReserved == 0 && *size != 0 && *offset >= 6 + 16u * *count;
}

bool LooksLikeBitmap(ByteReader r) {
  auto type = r.U16(0), reserved1 = r.U16(6), reserved2 = r.U16(8);
  return type && *type == 0x4D42 && reserved1 && *reserved1 == 0 && reserved2 && *reserved2 == 0;
}

}  // namespace

FileKind SniffFileKind(Bytes head) {
  ByteReader r(head);
  if (LooksLikeModule(r)) return FileKind::Module;
  if (LooksLikeIconFile(r)) return FileKind::IconFile;
  if (LooksLikeBitmap(r)) return FileKind::Bitmap;
  return FileKind::Unknown;
}

FileKind KindOfExtension(std::string_view extension) {
  if (extension == "ico") return FileKind::IconFile;
  if (extension == "bmp") return FileKind::Bitmap;
  for (std::string_view e : kModuleExtensions)
    if (extension == e) return FileKind::Module;
  return FileKind::Unknown;
}

FileKind ClassifyFile(Bytes head, std::string_view extension) {
  FileKind kind = SniffFileKind(head);
  return kind != FileKind::Unknown ? kind : KindOfExtension(extension);
}

std::string LowerExtension(std::string_view path) {
  size_t slash = path.find_last_of("/\\");
  size_t dot = path.find_last_of('.');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return {};
  std::string ext(path.substr(dot + 1));
  for (char& c : ext)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return ext;
}

}  // namespace pk
