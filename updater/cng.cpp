#include "updater/cng.h"

#include <bcrypt.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace pk::update {
namespace {

bool Succeeded(NTSTATUS status) { return status >= 0; }

struct CngKeyTraits {
  using Handle = void*;
  static void Close(Handle h) { ::BCryptDestroyKey(h); }
  static win32::HandleKind Kind(Handle) { return win32::HandleKind::Kernel; }
};

win32::UniqueHandle<CngAlgorithmTraits> OpenAlgorithm(const wchar_t* name) {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  if (!Succeeded(::BCryptOpenAlgorithmProvider(&algorithm, name, nullptr, 0))) return {};
  return win32::UniqueHandle<CngAlgorithmTraits>(algorithm);
}

}  // namespace

void CngAlgorithmTraits::Close(Handle h) { ::BCryptCloseAlgorithmProvider(h, 0); }
void CngHashTraits::Close(Handle h) { ::BCryptDestroyHash(h); }

Sha256::Sha256() : algorithm_(OpenAlgorithm(BCRYPT_SHA256_ALGORITHM)) {
  BCRYPT_HASH_HANDLE hash = nullptr;
  // The system allocates the hash object itself when given no buffer.
  if (algorithm_ && Succeeded(::BCryptCreateHash(algorithm_.Get(), &hash, nullptr, 0, nullptr, 0, 0))) {
    hash_.Reset(hash);
    ok_ = true;
  }
}

bool Sha256::Update(Bytes bytes) {
  // BCryptHashData takes a 32-bit length.
  while (ok_ && !bytes.empty()) {
    ULONG piece = ULONG(std::min<size_t>(bytes.size(), 1u << 30));
    ok_ = Succeeded(::BCryptHashData(hash_.Get(), const_cast<PUCHAR>(bytes.data()), piece, 0));
    bytes = bytes.subspan(piece);
  }
  return ok_;
}

std::optional<Sha256Digest> Sha256::Finish() {
  Sha256Digest digest{};
  if (!ok_ || !Succeeded(::BCryptFinishHash(hash_.Get(), digest.data(), ULONG(digest.size()), 0))) {
    return std::nullopt;
  }
  ok_ = false;
  return digest;
}

std::optional<Sha256Digest> Sha256Of(Bytes bytes) {
  Sha256 hash;
  hash.Update(bytes);
  return hash.Finish();
}

bool VerifyP256(const P256PublicKey& key, Bytes message, const P256Signature& signature) {
  auto digest = Sha256Of(message);
  if (!digest) return false;
  auto algorithm = OpenAlgorithm(BCRYPT_ECDSA_P256_ALGORITHM);
  if (!algorithm) return false;
  // BCRYPT_ECCKEY_BLOB, then X and Y.
  std::vector<uint8_t> blob(sizeof(BCRYPT_ECCKEY_BLOB) + key.size());
  BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, 32};
  std::memcpy(blob.data(), &header, sizeof header);
  std::memcpy(blob.data() + sizeof header, key.data(), key.size());
  BCRYPT_KEY_HANDLE imported = nullptr;
  if (!Succeeded(::BCryptImportKeyPair(algorithm.Get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, &imported, blob.data(),
                                       ULONG(blob.size()), 0))) {
    return false;
  }
  win32::UniqueHandle<CngKeyTraits> publicKey(imported);
  NTSTATUS status = ::BCryptVerifySignature(publicKey.Get(), nullptr, digest->data(), ULONG(digest->size()),
                                            const_cast<PUCHAR>(signature.data()), ULONG(signature.size()), 0);
  // Anything but success (a bad signature, a refused key) is a refusal.
  return status == 0;
}

bool RandomBytes(MutableBytes out) {
  return Succeeded(::BCryptGenRandom(nullptr, out.data(), ULONG(out.size()), BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}

}  // namespace pk::update
