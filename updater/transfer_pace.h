// When a download has stopped being worth waiting for: no byte for a while,
// or too few bytes over a longer stretch (a server that trickles a byte now
// and then would otherwise hold the transfer open forever). The window thread
// asks this while it waits, so the rule holds even while a read is blocked.
#pragma once

#include <cstdint>
#include <deque>

namespace pk::update {

struct PaceLimits {
  uint64_t stallMs = 15000;    // no byte at all for this long
  uint64_t windowMs = 30000;   // ...or fewer than windowBytes in any stretch this long
  uint64_t windowBytes = 1024;
};

enum class PaceVerdict { Moving, Stalled, TooSlow };

class TransferPace {
 public:
  TransferPace(const PaceLimits& limits, uint64_t startMs);
  // `total`: the bytes received so far, at `nowMs` (which never goes back).
  PaceVerdict Note(uint64_t nowMs, uint64_t total);

 private:
  struct Sample {
    uint64_t ms;
    uint64_t total;
  };
  PaceLimits limits_;
  uint64_t startMs_;
  uint64_t lastProgressMs_;
  // The totals at each change within the last window, oldest first; the
  // first one lies at or before the window's start.
  std::deque<Sample> samples_;
};

}  // namespace pk::update
