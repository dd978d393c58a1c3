#include "codec/safe_name.h"

#include <array>

namespace pk {
namespace {

constexpr char kReplacement = '_';

bool IsRefusedAscii(unsigned char c) {
  if (c < 0x20 || c == 0x7F) return true;
  switch (c) {
    case '/': case '\\': case '<': case '>': case ':': case '"': case '|': case '?': case '*':
      return true;
    default:
      return false;
  }
}

// Length of the well-formed character at text[i] (1 for ASCII), or 0 when
// the bytes there do not form one.
size_t CharLength(std::string_view text, size_t i, NameEncoding encoding) {
  const auto c = static_cast<unsigned char>(text[i]);
  if (c < 0x80) return 1;
  auto at = [&](size_t k) { return i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0u; };
  if (encoding == NameEncoding::Gbk) {
    // Lead 0x81-0xFE, trail 0x40-0xFE except 0x7F.
    const unsigned trail = at(1);
    return c >= 0x81 && c <= 0xFE && trail >= 0x40 && trail <= 0xFE && trail != 0x7F ? 2 : 0;
  }
  // UTF-8 without overlong forms or surrogates.
  auto cont = [&](size_t k, unsigned lo = 0x80, unsigned hi = 0xBF) { return at(k) >= lo && at(k) <= hi; };
  if (c >= 0xC2 && c <= 0xDF) return cont(1) ? 2 : 0;
  if (c >= 0xE0 && c <= 0xEF) {
    const unsigned lo = c == 0xE0 ? 0xA0 : 0x80, hi = c == 0xED ? 0x9F : 0xBF;
    return cont(1, lo, hi) && cont(2) ? 3 : 0;
  }
  if (c >= 0xF0 && c <= 0xF4) {
    const unsigned lo = c == 0xF0 ? 0x90 : 0x80, hi = c == 0xF4 ? 0x8F : 0xBF;
    return cont(1, lo, hi) && cont(2) && cont(3) ? 4 : 0;
  }
  return 0;
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

}  // namespace

bool IsWindowsDeviceName(std::string_view name) {
  std::string_view base = name.substr(0, name.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  std::string lower;
  for (char c : base) lower.push_back(LowerAscii(c));
  static constexpr std::array<std::string_view, 6> kPlain = {"con", "prn", "aux", "nul", "conin$", "conout$"};
  for (std::string_view d : kPlain)
    if (lower == d) return true;
  return lower.size() == 4 && (lower.starts_with("com") || lower.starts_with("lpt")) && lower[3] >= '0' &&
         lower[3] <= '9';
}

std::string SafeNamePiece(std::string_view text, NameEncoding encoding, size_t maxBytes) {
  if (maxBytes < 2) maxBytes = 2;  // room for a device name's prefix and one character
  std::string out;
  for (size_t i = 0; i < text.size();) {
    size_t length = CharLength(text, i, encoding);
    std::string_view piece;
    char replaced;
    if (length == 0) {
      replaced = kReplacement;  // a byte that is no character
      piece = std::string_view(&replaced, 1);
      length = 1;
    } else if (length == 1) {
      const auto c = static_cast<unsigned char>(text[i]);
      replaced = IsRefusedAscii(c) ? kReplacement : char(c);
      // No leading dot (a hidden file, or "." and ".."), and no "..".
      if (replaced == '.' && (out.empty() || out.back() == '.')) replaced = kReplacement;
      piece = std::string_view(&replaced, 1);
    } else {
      piece = text.substr(i, length);
    }
    if (out.size() + piece.size() > maxBytes - 1) break;  // one byte kept for a device prefix
    out.append(piece);
    i += length;
  }
  // Windows drops trailing dots and spaces, so two names could meet there.
  for (size_t i = out.size(); i > 0 && (out[i - 1] == '.' || out[i - 1] == ' '); --i) out[i - 1] = kReplacement;
  if (out.empty()) out.push_back(kReplacement);
  if (IsWindowsDeviceName(out)) out.insert(out.begin(), kReplacement);
  return out;
}

}  // namespace pk
