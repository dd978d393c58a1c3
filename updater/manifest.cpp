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

bool ParseUtcTime(std::string_view text, int64_t* out) {
  // Fixed width, every separator in its place.
  constexpr std::string_view kForm = "dddd-dd-ddTdd:dd:ddZ";
  if (text.size() != kForm.size()) return false;
  for (size_t i = 0; i < kForm.size(); ++i) {
    if (kForm[i] == 'd' ? (text[i] < '0' || text[i] > '9') : text[i] != kForm[i]) return false;
  }
  auto number = [&](size_t at, size_t digits) {
    int value = 0;
    for (size_t i = at; i < at + digits; ++i) value = value * 10 + (text[i] - '0');
    return value;
  };
  int year = number(0, 4), month = number(5, 2), day = number(8, 2);
  int hour = number(11, 2), minute = number(14, 2), second = number(17, 2);
  static constexpr int kDaysIn[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
  if (year < 1970 || month < 1 || month > 12 || day < 1 || day > kDaysIn[month - 1] ||
      (month == 2 && day == 29 && !leap) || hour > 23 || minute > 59 || second > 59) {
    return false;
  }
  // Days since 1970-01-01 by the civil calendar, counting years from March.
  int y = month <= 2 ? year - 1 : year;
  int era = y / 400, yearOfEra = y - era * 400;
  int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  int64_t days = int64_t(era) * 146097 + dayOfEra - 719468;
  *out = days * 86400 + hour * 3600 + minute * 60 + second;
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
    case ManifestError::BadExpiry: return "bad expires";
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

  auto expires = next("expires");
  if (!expires) return ManifestError::UnexpectedField;
  if (!ParseUtcTime(*expires, &manifest.expires)) return ManifestError::BadExpiry;

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
