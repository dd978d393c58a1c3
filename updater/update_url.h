// Addresses the update library may fetch from. Only https is trusted on the
// network; plain http is allowed to the loopback address alone, so a local
// server can stand in for the maker's site. Everything else is refused before
// a connection is made.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pk::update {

enum class Scheme { Http, Https };

enum class UrlError {
  None,
  TooLong,
  BadCharacter,       // control characters, spaces, backslashes, bytes over 0x7E
  UnknownScheme,      // neither http:// nor https://
  HasUserInfo,        // user:password@host
  BadHost,
  BadPort,
  HasFragment,
  PlainHttpOffLoopback,  // http:// to anything but 127.x.x.x or [::1]
};

struct Url {
  Scheme scheme = Scheme::Https;
  std::string host;  // as written; an IPv6 literal keeps its brackets
  uint16_t port = 443;
  std::string path;  // path and query, always starting with '/'

  std::string Text() const;
};

inline constexpr size_t kMaxUrlLength = 2048;

// Parses `text` and applies the policy above.
UrlError ParseUrl(std::string_view text, Url* out);

// Where a redirect from `from` with the Location header `location` leads, if
// the library follows it: an absolute, scheme-relative or host-relative
// target that passes the policy and keeps the scheme of `from`.
std::optional<Url> RedirectTarget(const Url& from, std::string_view location);

// The manifest's address inside an update location ("https://host/up/x/").
std::string ManifestUrlFor(std::string_view location);

inline constexpr char kManifestName[] = "manifest.txt";

}  // namespace pk::update
