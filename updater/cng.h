// Hashing, signature checks and random numbers from the system's own
// cryptography (CNG), so the library carries no crypto code of its own.
#pragma once

#include <windows.h>

#include <array>
#include <optional>

#include "base/bytes.h"
#include "platform/win32/unique_handle.h"

namespace pk::update {

using Sha256Digest = std::array<uint8_t, 32>;
// An uncompressed P-256 public key: X then Y, big-endian, as CNG takes them.
using P256PublicKey = std::array<uint8_t, 64>;
// An ECDSA P-256 signature: r then s, big-endian.
using P256Signature = std::array<uint8_t, 64>;

struct CngAlgorithmTraits {
  using Handle = void*;
  static void Close(Handle h);
  static win32::HandleKind Kind(Handle) { return win32::HandleKind::Kernel; }
};
struct CngHashTraits {
  using Handle = void*;
  static void Close(Handle h);
  static win32::HandleKind Kind(Handle) { return win32::HandleKind::Kernel; }
};

// SHA-256 over data given in pieces.
class Sha256 {
 public:
  Sha256();
  // False once anything failed; Finish then gives nothing.
  bool Update(Bytes bytes);
  std::optional<Sha256Digest> Finish();

 private:
  win32::UniqueHandle<CngAlgorithmTraits> algorithm_;
  win32::UniqueHandle<CngHashTraits> hash_;
  bool ok_ = false;
};

std::optional<Sha256Digest> Sha256Of(Bytes bytes);

// True only when `signature` is a valid ECDSA P-256 signature of SHA-256(`message`) under `key`.
bool VerifyP256(const P256PublicKey& key, Bytes message, const P256Signature& signature);

// Fills `out` with random bytes from the system generator.
bool RandomBytes(MutableBytes out);

}  // namespace pk::update
