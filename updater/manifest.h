// The update manifest: a small signed text file at the update location that
// names the newest version and its installer. Lines end in LF:
//
//   pixelkite-update 1
//   product Pixelkite
//   version 5.4.1.0
//   url https://www.pixelkite.example/up/pixelkite/pixelkite-5.4.1-setup.exe
//   size 1234567
//   sha256 <64 hex digits>
//   expires 2025-07-01T00:00:00Z
//   notes <one line of release notes, GBK; the line may repeat or be absent>
//   signature <128 hex digits: ECDSA P-256 over SHA-256 of every byte above, r then s>
//
// The fields come in exactly this order, each once (notes any number of
// times). The signature covers the bytes up to and including the LF before
// "signature", and the library checks it before it reads anything else.
// A manifest is trusted only until its expiry (UTC), so that a server that
// keeps serving an old one cannot hold users on an old version for long.
// docs/updates.md describes the format for the maker.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "base/bytes.h"
#include "updater/update_url.h"

namespace pk::update {

inline constexpr size_t kMaxManifestSize = 16 * 1024;
inline constexpr size_t kMaxNotesSize = 4 * 1024;
inline constexpr size_t kMaxProductSize = 64;
inline constexpr uint64_t kMaxInstallerSize = 256ull * 1024 * 1024;
inline constexpr char kManifestHeader[] = "pixelkite-update 1";

// A dotted version of up to four parts, 0 to 65535 each, as a version record
// holds it; missing parts are 0.
struct Version {
  std::array<uint16_t, 4> parts{};
  auto operator<=>(const Version&) const = default;
  std::string Text() const;
};
bool ParseVersion(std::string_view text, Version* out);

// "YYYY-MM-DDTHH:MM:SSZ" (UTC, years 1970 to 9999) as seconds since 1970.
bool ParseUtcTime(std::string_view text, int64_t* out);

enum class ManifestError {
  None,
  TooLarge,
  NotText,          // a control byte other than LF, or no LF at the end
  NoSignature,      // the last line is not "signature <hex>"
  BadSignature,     // the signature is not 64 bytes of hex
  BadHeader,
  UnexpectedField,  // a field missing, repeated, unknown or out of order
  BadProduct,
  BadVersion,
  BadUrl,
  BadSize,
  BadHash,
  BadExpiry,
  BadNotes,
};
const char* ManifestErrorName(ManifestError error);

struct SignedManifest {
  Bytes signedBytes;  // what the signature covers (a view into the input)
  std::array<uint8_t, 64> signature{};
};

struct Manifest {
  std::string product;
  Version version;
  Url installerUrl;
  uint64_t installerSize = 0;
  std::array<uint8_t, 32> installerSha256{};
  int64_t expires = 0;  // seconds since 1970, UTC
  std::string notes;  // GBK, the notes lines joined with CRLF
};

// Finds the signature line and the bytes it covers, checking only what is
// needed for that: size, text bytes, the last line.
ManifestError SplitSignature(Bytes text, SignedManifest* out);
// Reads the fields of the signed part. Call only after the signature verified.
ManifestError ParseManifest(Bytes signedBytes, Manifest* out);

// True from the manifest's expiry on (`now` in seconds since 1970, UTC).
inline bool Expired(const Manifest& manifest, int64_t now) { return now >= manifest.expires; }

}  // namespace pk::update
