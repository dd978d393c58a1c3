#include "base/ansi_text.h"

namespace pk {
namespace {

// Bytes of the character that starts at `i`: 2 for a lead byte with a byte
// behind it, else 1.
size_t CharWidth(std::string_view text, size_t i) {
  return IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

}  // namespace

size_t CharBoundaryPrefix(std::string_view text, size_t limit) {
  size_t i = 0;
  while (i < text.size()) {
    const size_t width = CharWidth(text, i);
    if (i + width > limit) break;
    i += width;
  }
  return i;
}

std::string LowerAsciiText(std::string_view text) {
  std::string out(text);
  for (size_t i = 0; i < out.size();) {
    const size_t width = CharWidth(out, i);
    if (width == 1) out[i] = LowerAscii(out[i]);
    i += width;
  }
  return out;
}

bool TextEqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size();) {
    const size_t width = CharWidth(a, i);
    if (width == 2) {
      if (a.substr(i, 2) != b.substr(i, 2)) return false;
    } else if (LowerAscii(a[i]) != LowerAscii(b[i])) {
      return false;
    }
    i += width;
  }
  return true;
}

}  // namespace pk
