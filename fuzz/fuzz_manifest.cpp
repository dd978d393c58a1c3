// The update manifest and the address rules on arbitrary bytes: finding the
// signature, reading the fields and parsing addresses never touch memory
// outside the input, and whatever is accepted keeps the rules the update
// library relies on.
#include <cstdlib>
#include <string>

#include "updater/manifest.h"
#include "updater/update_url.h"

using namespace pk::update;

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

// An accepted address is one the policy accepts again, written the same way.
void CheckUrl(const Url& url) {
  Url again;
  Require(ParseUrl(url.Text(), &again) == UrlError::None);
  Require(again.Text() == url.Text());
  Require(url.scheme == Scheme::Https || url.host == "[::1]" || url.host.rfind("127.", 0) == 0);
  Require(!url.path.empty() && url.path.front() == '/');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  pk::Bytes bytes(data, size);
  SignedManifest split;
  if (SplitSignature(bytes, &split) == ManifestError::None) {
    Require(size <= kMaxManifestSize);
    Require(split.signedBytes.data() == data && split.signedBytes.size() < size);
    Require(split.signedBytes.empty() || split.signedBytes.back() == '\n');
  }
  // The library reads fields only from a verified signed part; the reader
  // must be safe on anything all the same.
  Manifest manifest;
  if (ParseManifest(bytes, &manifest) == ManifestError::None) {
    Require(!manifest.product.empty() && manifest.product.size() <= kMaxProductSize);
    Require(manifest.installerSize > 0 && manifest.installerSize <= kMaxInstallerSize);
    Require(manifest.notes.size() <= kMaxNotesSize);
    Require(manifest.expires >= 0);
    Version again;
    Require(ParseVersion(manifest.version.Text(), &again) && again == manifest.version);
    CheckUrl(manifest.installerUrl);
  }
  std::string text(reinterpret_cast<const char*>(data), size);
  Url url;
  if (ParseUrl(text, &url) == UrlError::None) CheckUrl(url);
  for (const char* base : {"http://127.0.0.1:8080/up/manifest.txt", "https://www.pixelkite.example/up/manifest.txt"}) {
    Url from;
    Require(ParseUrl(base, &from) == UrlError::None);
    if (auto to = RedirectTarget(from, text)) {
      CheckUrl(*to);
      Require(to->scheme == from.scheme);
    }
  }
  Version version;
  (void)ParseVersion(text, &version);
  int64_t seconds = 0;
  if (ParseUtcTime(text, &seconds)) Require(seconds >= 0 && seconds < 253402300800);
  return 0;
}
