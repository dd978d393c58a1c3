#include "updater/transfer_pace.h"

namespace pk::update {

TransferPace::TransferPace(const PaceLimits& limits, uint64_t startMs)
    : limits_(limits), startMs_(startMs), lastProgressMs_(startMs) {
  samples_.push_back({startMs, 0});
}

PaceVerdict TransferPace::Note(uint64_t nowMs, uint64_t total) {
  if (total > samples_.back().total) {
    lastProgressMs_ = nowMs;
    samples_.push_back({nowMs, total});
  }
  if (nowMs - lastProgressMs_ >= limits_.stallMs) return PaceVerdict::Stalled;
  if (nowMs - startMs_ < limits_.windowMs) return PaceVerdict::Moving;
  uint64_t windowStart = nowMs - limits_.windowMs;
  while (samples_.size() >= 2 && samples_[1].ms <= windowStart) samples_.pop_front();
  // samples_.front() is the total as it stood when the window began.
  return total - samples_.front().total < limits_.windowBytes ? PaceVerdict::TooSlow : PaceVerdict::Moving;
}

}  // namespace pk::update
