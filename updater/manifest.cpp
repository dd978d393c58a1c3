#include "updater/manifest.h"

#include <string_view>

namespace pk::update {
namespace {

std::string_view AsText(Bytes bytes) {
  return std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Exactly 2 * N hex digits.
template <size_t N>
bool ParseHex(std::string_view text, std::array<uint8_t, N>* out) {
  if (text.size() != 2 * N) return false;
  for (size_t i = 0; i < N; ++i) {
    int high = HexDigit(text[2 * i]), low = HexDigit(text[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    (*out)[i] = uint8_t(high * 16 + low);
  }
  return true;
}

// Text in the program's code page: printable ASCII and GBK double-byte
// characters (lead 0x81-0xFE, trail 0x40-0xFE but 0x7F).
bool IsGbkText(std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x7F) continue;
    if (c < 0x81 || c == 0xFF || i + 1 == text.size()) return false;
    auto trail = static_cast<unsigned char>(text[++i]);
    if (trail < 0x40 || trail == 0x7F || trail == 0xFF) return false;
  }
  return true;
}

// The lines of a text that ends in LF, one after the other.
class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {}
  bool AtEnd() const { return pos_ >= text_.size(); }
  // The next line without its LF.
  std::string_view Next() {
    size_t end = text_.find('\n', pos_);
    std::string_view line = text_.substr(pos_, end - pos_);
    pos_ = end + 1;
    return line;
  }

 private:
  std::string_view text_;
  size_t pos_ = 0;
};

// The value of a line "key value" (possibly empty); nullopt for another key.
std::optional<std::string_view> Field(std::string_view line, std::string_view key) {
  if (line.size() <= key.size() || line.substr(0, key.size()) != key || line[key.size()] != ' ') {
    return std::nullopt;
  }
  return line.substr(key.size() + 1);
}

}  // namespace

std::string Version::Text() const {
  return std::to_string(parts[0]) + "." + std::to_string(parts[1]) + "." + std::to_string(parts[2]) + "." +
         std::to_string(parts[3]);
}

bool ParseVersion(std::string_view text, Version* out) {
  Version version;
  size_t index = 0, start = 0;
  for (;;) {
    if (index == 4) return false;
    size_t dot = text.find('.', start);
    std::string_view part = text.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
    if (part.empty() || part.size() > 5) return false;
    uint32_t value = 0;
    for (char c : part) {
      if (c < '0' || c > '9') return false;
      value = value * 10 + uint32_t(c - '0');
    }
    if (value > 0xFFFF) return false;
    version.parts[index++] = uint16_t(value);
    if (dot == std::string_view::npos) break;
    start = dot + 1;
  }
  *out = version;
  return true;
}

const char* ManifestErrorName(ManifestError error) {
  switch (error) {
    case ManifestError::None: return "none";
    case ManifestError::TooLarge: return "too large";
    case ManifestError::NotText: return "not text";
    case ManifestError::NoSignature: return "no signature";
    case ManifestError::BadSignature: return "bad signature field";
    case ManifestError::BadHeader: return "bad header";
    case ManifestError::UnexpectedField: return "unexpected field";
    case ManifestError::BadProduct: return "bad product";
    case ManifestError::BadVersion: return "bad version";
    case ManifestError::BadUrl: return "bad url";
    case ManifestError::BadSize: return "bad size";
    case ManifestError::BadHash: return "bad sha256";
    case ManifestError::BadNotes: return "bad notes";
  }
  return "?";
}

ManifestError SplitSignature(Bytes bytes, SignedManifest* out) {
  if (bytes.size() > kMaxManifestSize) return ManifestError::TooLarge;
  for (uint8_t b : bytes) {
    if ((b < 0x20 && b != '\n') || b == 0x7F) return ManifestError::NotText;
  }
  if (bytes.empty() || bytes.back() != '\n') return ManifestError::NotText;
  std::string_view text = AsText(bytes);
  // The last line: everything after the LF before the final one.
  size_t lastStart = text.rfind('\n', text.size() - 2);
  lastStart = lastStart == std::string_view::npos ? 0 : lastStart + 1;
  auto hex = Field(text.substr(lastStart, text.size() - 1 - lastStart), "signature");
  if (!hex || lastStart == 0) return ManifestError::NoSignature;
  SignedManifest split;
  if (!ParseHex(*hex, &split.signature)) return ManifestError::BadSignature;
  split.signedBytes = bytes.first(lastStart);
  *out = split;
  return ManifestError::None;
}

ManifestError ParseManifest(Bytes signedBytes, Manifest* out) {
  std::string_view text = AsText(signedBytes);
  if (text.size() > kMaxManifestSize) return ManifestError::TooLarge;
  if (text.empty() || text.back() != '\n') return ManifestError::NotText;
  LineReader lines(text);
  if (lines.Next() != kManifestHeader) return ManifestError::BadHeader;

  Manifest manifest;
  auto next = [&](std::string_view key) -> std::optional<std::string_view> {
    if (lines.AtEnd()) return std::nullopt;
    return Field(lines.Next(), key);
  };

  auto product = next("product");
  if (!product) return ManifestError::UnexpectedField;
  if (product->empty() || product->size() > kMaxProductSize || !IsGbkText(*product)) return ManifestError::BadProduct;
  manifest.product = std::string(*product);

  auto version = next("version");
  if (!version) return ManifestError::UnexpectedField;
  if (!ParseVersion(*version, &manifest.version)) return ManifestError::BadVersion;

  auto url = next("url");
  if (!url) return ManifestError::UnexpectedField;
  if (ParseUrl(*url, &manifest.installerUrl) != UrlError::None) return ManifestError::BadUrl;

  auto size = next("size");
  if (!size) return ManifestError::UnexpectedField;
  if (size->empty() || size->size() > 10 || (*size)[0] == '0') return ManifestError::BadSize;
  for (char c : *size) {
    if (c < '0' || c > '9') return ManifestError::BadSize;
    manifest.installerSize = manifest.installerSize * 10 + uint64_t(c - '0');
  }
  if (manifest.installerSize > kMaxInstallerSize) return ManifestError::BadSize;

  auto sha = next("sha256");
  if (!sha) return ManifestError::UnexpectedField;
  if (!ParseHex(*sha, &manifest.installerSha256)) return ManifestError::BadHash;

  // Notes lines may be empty ("notes " alone) to separate paragraphs.
  for (size_t count = 0; !lines.AtEnd(); ++count) {
    auto note = Field(lines.Next(), "notes");
    if (!note) return ManifestError::UnexpectedField;
    if (!IsGbkText(*note)) return ManifestError::BadNotes;
    if (count > 0) manifest.notes += "\r\n";
    manifest.notes += *note;
    if (manifest.notes.size() > kMaxNotesSize) return ManifestError::BadNotes;
  }
  *out = std::move(manifest);
  return ManifestError::None;
}

}  // namespace pk::update
