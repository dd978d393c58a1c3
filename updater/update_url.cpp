#include "updater/update_url.h"

namespace pk::update {
namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A decimal number of 1 to `maxDigits` digits.
std::optional<uint32_t> Decimal(std::string_view text, size_t maxDigits) {
  if (text.empty() || text.size() > maxDigits) return std::nullopt;
  uint32_t value = 0;
  for (char c : text) {
    if (!IsDigit(c)) return std::nullopt;
    value = value * 10 + uint32_t(c - '0');
  }
  return value;
}

// 127.0.0.0/8 written as a plain dotted quad. Names such as "localhost" are
// not trusted: what they resolve to is a setting of the machine.
bool IsLoopbackV4(std::string_view host) {
  int parts = 0;
  size_t start = 0;
  for (;;) {
    size_t dot = host.find('.', start);
    std::string_view part = host.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
    auto value = Decimal(part, 3);
    if (!value || *value > 255 || (part.size() > 1 && part[0] == '0')) return false;
    if (parts == 0 && *value != 127) return false;
    ++parts;
    if (dot == std::string_view::npos) break;
    start = dot + 1;
  }
  return parts == 4;
}

bool IsLoopback(std::string_view host) { return host == "[::1]" || IsLoopbackV4(host); }

bool ValidHost(std::string_view host) {
  if (host.empty() || host.size() > 255) return false;
  if (host.front() == '[') {
    if (host.size() < 4 || host.back() != ']') return false;
    for (char c : host.substr(1, host.size() - 2)) {
      bool hex = IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
      if (!hex && c != ':' && c != '.') return false;
    }
    return true;
  }
  for (char c : host) {
    bool ok = IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' || c == '.';
    if (!ok) return false;
  }
  return host.front() != '.' && host.front() != '-';
}

}  // namespace

std::string Url::Text() const {
  bool defaultPort = port == (scheme == Scheme::Https ? 443 : 80);
  std::string text = scheme == Scheme::Https ? "https://" : "http://";
  text += host;
  if (!defaultPort) {
    text += ':';
    text += std::to_string(port);
  }
  return text + path;
}

UrlError ParseUrl(std::string_view text, Url* out) {
  if (text.size() > kMaxUrlLength) return UrlError::TooLong;
  for (char c : text) {
    auto u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u >= 0x7F || c == '\\') return UrlError::BadCharacter;
  }
  Url url;
  std::string_view rest;
  if (StartsWithNoCase(text, "https://")) {
    url.scheme = Scheme::Https;
    url.port = 443;
    rest = text.substr(8);
  } else if (StartsWithNoCase(text, "http://")) {
    url.scheme = Scheme::Http;
    url.port = 80;
    rest = text.substr(7);
  } else {
    return UrlError::UnknownScheme;
  }
  if (rest.find('#') != std::string_view::npos) return UrlError::HasFragment;

  size_t end = rest.find_first_of("/?");
  std::string_view authority = rest.substr(0, end);
  std::string_view path = end == std::string_view::npos ? std::string_view() : rest.substr(end);
  if (authority.find('@') != std::string_view::npos) return UrlError::HasUserInfo;

  // The port follows the last colon, unless that colon is inside an IPv6 literal.
  std::string_view host = authority;
  size_t colon = authority.rfind(':');
  size_t bracket = authority.rfind(']');
  if (colon != std::string_view::npos && (bracket == std::string_view::npos || colon > bracket)) {
    auto port = Decimal(authority.substr(colon + 1), 5);
    if (!port || *port == 0 || *port > 65535) return UrlError::BadPort;
    url.port = uint16_t(*port);
    host = authority.substr(0, colon);
  }
  if (!ValidHost(host)) return UrlError::BadHost;
  if (url.scheme == Scheme::Http && !IsLoopback(host)) return UrlError::PlainHttpOffLoopback;
  url.host = std::string(host);
  url.path = path.empty() ? "/" : std::string(path);
  if (url.path.front() != '/') url.path = "/" + url.path;
  *out = std::move(url);
  return UrlError::None;
}

std::optional<Url> RedirectTarget(const Url& from, std::string_view location) {
  std::string absolute;
  std::string origin = from.Text();
  origin.resize(origin.size() - from.path.size());
  if (location.substr(0, 2) == "//") {
    absolute = (from.scheme == Scheme::Https ? "https:" : "http:") + std::string(location);
  } else if (!location.empty() && location.front() == '/') {
    absolute = origin + std::string(location);
  } else {
    absolute = std::string(location);
  }
  Url target;
  if (ParseUrl(absolute, &target) != UrlError::None) return std::nullopt;
  // A redirect never changes the scheme: no downgrade to http, and no move
  // from the local test server out to the network.
  if (target.scheme != from.scheme) return std::nullopt;
  return target;
}

std::string ManifestUrlFor(std::string_view location) {
  std::string url(location);
  if (url.empty() || url.back() != '/') url += '/';
  return url + kManifestName;
}

}  // namespace pk::update
