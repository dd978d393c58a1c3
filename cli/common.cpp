#include "cli/commands.h"
#include "cli/console.h"

namespace pk::cli {

int UsageError(const std::string& message) {
  PrintError("pixelkite: " + message + "\nTry 'pixelkite --help'.");
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
