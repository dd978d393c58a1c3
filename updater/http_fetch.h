// One GET over WinHTTP with the limits an updater needs: short timeouts, a
// cap on the body, no automatic redirects (each hop is checked against the
// address policy here), and a flag that stops the transfer between reads.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>

#include "base/bytes.h"
#include "updater/update_url.h"

namespace pk::update {

enum class FetchError {
  None,
  Network,       // no session, no connection, a timeout, a broken transfer
  HttpStatus,    // an answer other than 200 or a redirect
  Redirect,      // a redirect refused by the address policy, or too many
  TooLarge,      // more than maxBytes announced or received
  Truncated,     // fewer bytes than the Content-Length announced
  Cancelled,
  Sink,          // the receiver refused a piece (a failed write)
};
const char* FetchErrorName(FetchError error);

struct FetchOptions {
  DWORD timeoutMs = 3000;  // each of resolve, connect, send, response headers, every read
  uint64_t maxBytes = 0;
  const std::atomic<bool>* cancel = nullptr;
  int maxRedirects = 3;
};

// Receives the body piece by piece; false stops the transfer.
using BodySink = std::function<bool(Bytes piece)>;

FetchError HttpGet(const Url& url, const FetchOptions& options, const BodySink& sink);

}  // namespace pk::update
