#include "updater/http_fetch.h"

#include <winhttp.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/win32/unique_handle.h"

namespace pk::update {
namespace {

struct InternetTraits {
  using Handle = HINTERNET;
  static void Close(Handle h) { ::WinHttpCloseHandle(h); }
  static win32::HandleKind Kind(Handle) { return win32::HandleKind::Kernel; }
};
using UniqueInternet = win32::UniqueHandle<InternetTraits>;

std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

bool Cancelled(const FetchOptions& options) { return options.cancel && options.cancel->load(); }

// A numeric header of the answer, if present.
std::optional<DWORD> NumberHeader(HINTERNET request, DWORD which) {
  DWORD value = 0, size = sizeof value;
  if (!::WinHttpQueryHeaders(request, which | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX, &value,
                             &size, WINHTTP_NO_HEADER_INDEX)) {
    return std::nullopt;
  }
  return value;
}

// The Location header as 8-bit text; non-ASCII makes it unusable (empty).
std::string LocationHeader(HINTERNET request) {
  wchar_t buffer[kMaxUrlLength + 1] = {};
  DWORD size = sizeof buffer - sizeof buffer[0];
  if (!::WinHttpQueryHeaders(request, WINHTTP_QUERY_LOCATION, WINHTTP_HEADER_NAME_BY_INDEX, buffer, &size,
                             WINHTTP_NO_HEADER_INDEX)) {
    return {};
  }
  std::string text;
  for (size_t i = 0; i < size / sizeof(wchar_t); ++i) {
    if (buffer[i] == 0 || buffer[i] > 0x7E) return {};
    text += char(buffer[i]);
  }
  return text;
}

bool IsRedirect(DWORD status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// One request without following redirects. `status` gets the answer's code;
// for a 200 the body goes to `sink`, for a redirect `location` gets its target.
FetchError FetchOnce(const Url& url, const FetchOptions& options, const BodySink& sink, DWORD* status,
                     std::string* location) {
  // The loopback test server must not be reached through a proxy; the real
  // site may need the one the system is configured with.
  bool loopback = url.scheme == Scheme::Http;
  UniqueInternet session(::WinHttpOpen(L"Pixelkite-Updater/1.0",
                                       loopback ? WINHTTP_ACCESS_TYPE_NO_PROXY : WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                       WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session) return FetchError::Network;
  int t = int(options.timeoutMs);
  ::WinHttpSetTimeouts(session.Get(), t, t, t, t);
  DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
  ::WinHttpSetOption(session.Get(), WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof never);

  std::string host = url.host;
  if (!host.empty() && host.front() == '[') host = host.substr(1, host.size() - 2);
  UniqueInternet connection(::WinHttpConnect(session.Get(), Widen(host).c_str(), url.port, 0));
  if (!connection) return FetchError::Network;
  const wchar_t* accept[] = {L"*/*", nullptr};
  DWORD flags = WINHTTP_FLAG_REFRESH | (url.scheme == Scheme::Https ? WINHTTP_FLAG_SECURE : 0);
  UniqueInternet request(::WinHttpOpenRequest(connection.Get(), L"GET", Widen(url.path).c_str(), nullptr,
                                              WINHTTP_NO_REFERER, accept, flags));
  if (!request) return FetchError::Network;
  // Redirects are never followed by WinHTTP itself: each hop is checked here.
  DWORD disable = WINHTTP_DISABLE_REDIRECTS;
  ::WinHttpSetOption(request.Get(), WINHTTP_OPTION_DISABLE_FEATURE, &disable, sizeof disable);
  // The timeouts above do not bound the wait for the answer's headers
  // everywhere (Wine's WinHTTP ignores them there); this option does.
  DWORD headersTimeout = options.timeoutMs;
  ::WinHttpSetOption(request.Get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &headersTimeout,
                     sizeof headersTimeout);

  if (Cancelled(options)) return FetchError::Cancelled;
  if (!::WinHttpSendRequest(request.Get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
      !::WinHttpReceiveResponse(request.Get(), nullptr)) {
    return FetchError::Network;
  }
  auto code = NumberHeader(request.Get(), WINHTTP_QUERY_STATUS_CODE);
  if (!code) return FetchError::Network;
  *status = *code;
  if (IsRedirect(*code)) {
    *location = LocationHeader(request.Get());
    return FetchError::None;
  }
  if (*code != 200) return FetchError::HttpStatus;

  auto announced = NumberHeader(request.Get(), WINHTTP_QUERY_CONTENT_LENGTH);
  if (announced && *announced > options.maxBytes) return FetchError::TooLarge;
  uint64_t received = 0;
  std::vector<uint8_t> buffer(64 * 1024);
  for (;;) {
    if (Cancelled(options)) return FetchError::Cancelled;
    // Ask for what has arrived only: a read of a full buffer would wait for
    // all of it, and a cancel would wait with it on a slow line.
    DWORD available = 0;
    if (!::WinHttpQueryDataAvailable(request.Get(), &available)) return FetchError::Network;
    if (available == 0) break;
    if (Cancelled(options)) return FetchError::Cancelled;
    DWORD got = 0;
    DWORD want = std::min<DWORD>(available, DWORD(buffer.size()));
    if (!::WinHttpReadData(request.Get(), buffer.data(), want, &got)) return FetchError::Network;
    if (got == 0) break;
    received += got;
    if (received > options.maxBytes) return FetchError::TooLarge;
    if (!sink(Bytes(buffer.data(), got))) return FetchError::Sink;
  }
  if (announced && received != *announced) return FetchError::Truncated;
  return FetchError::None;
}

}  // namespace

const char* FetchErrorName(FetchError error) {
  switch (error) {
    case FetchError::None: return "none";
    case FetchError::Network: return "network";
    case FetchError::HttpStatus: return "http status";
    case FetchError::Redirect: return "redirect refused";
    case FetchError::TooLarge: return "too large";
    case FetchError::Truncated: return "truncated";
    case FetchError::Cancelled: return "cancelled";
    case FetchError::Sink: return "write failed";
  }
  return "?";
}

FetchError HttpGet(const Url& start, const FetchOptions& options, const BodySink& sink) {
  Url url = start;
  for (int hop = 0;; ++hop) {
    DWORD status = 0;
    std::string location;
    FetchError error = FetchOnce(url, options, sink, &status, &location);
    if (error != FetchError::None || !IsRedirect(status)) return error;
    if (hop == options.maxRedirects) return FetchError::Redirect;
    auto next = RedirectTarget(url, location);
    if (!next) return FetchError::Redirect;
    url = *next;
  }
}

}  // namespace pk::update
