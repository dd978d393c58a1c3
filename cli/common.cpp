#include <cctype>

#include "cli/commands.h"

namespace pk::cli {

std::string LowerExtension(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string ext = path.substr(dot + 1);
  for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

SourceKind KindOfPath(const std::string& path) {
  std::string ext = LowerExtension(path);
  if (ext == "ico") return SourceKind::IconFile;
  if (ext == "bmp") return SourceKind::Bitmap;
  if (ext == "exe" || ext == "dll" || ext == "icl") return SourceKind::Module;
  return SourceKind::Unknown;
}

int UsageError(const std::string& message) {
  std::fprintf(stderr, "pixelkite: %s\nTry 'pixelkite --help'.\n", message.c_str());
  return kExitUsage;
}

void PrintJsonString(std::FILE* out, const std::string& text) {
  std::fputc('"', out);
  for (unsigned char c : text) {
    switch (c) {
      case '"': std::fputs("\\\"", out); break;
      case '\\': std::fputs("\\\\", out); break;
      case '\n': std::fputs("\\n", out); break;
      case '\r': std::fputs("\\r", out); break;
      case '\t': std::fputs("\\t", out); break;
      default:
        if (c < 0x20)
          std::fprintf(out, "\\u%04x", c);
        else
          std::fputc(c, out);
    }
  }
  std::fputc('"', out);
}

}  // namespace pk::cli
