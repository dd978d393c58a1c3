// Windows does not do what its documentation says ("closest without exceeding
// the requested size"): measured behaviour shows a larger image winning over a
// smaller one at the same distance. The model here reproduces the measured
// choices: a size cost that punishes being too small twice as hard as being
// too large, then a preference for the display's depth.
#include "platform/portable/core/icon_best_fit.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <vector>

namespace pk::portable {
namespace {

constexpr size_t kHeaderSize = 6;
constexpr size_t kEntrySize = 14;

struct Candidate {
  uint16_t bitCount;
  uint16_t id;
};

// Cost of one axis: an image larger than wanted loses detail when shrunk, one
// smaller is blown up, which looks worse, so it costs double.
int64_t AxisCost(int64_t image, int64_t wanted) {
  return image >= wanted ? image - wanted : 2 * (wanted - image);
}

}  // namespace

uint16_t ChooseBestIconId(Bytes groupDirectory, int width, int height, int displayBits) {
  ByteReader r(groupDirectory);
  auto reserved = r.U16(0), type = r.U16(2), count = r.U16(4);
  if (!reserved || !type || !count || *reserved != 0 || (*type & 3) == 0) return 0;
  const size_t present = (groupDirectory.size() - kHeaderSize) / kEntrySize;
  const size_t n = std::min<size_t>(*count, present);

  // Smallest size cost first; every entry at that cost is a candidate.
  int64_t best = std::numeric_limits<int64_t>::max();
  std::vector<Candidate> ties;
  for (size_t i = 0; i < n; ++i) {
    const uint8_t* e = groupDirectory.data() + kHeaderSize + i * kEntrySize;
    // A width or height byte of 0 means 256, on each axis on its own.
    const int64_t w = e[0] ? e[0] : 256;
    const int64_t h = e[1] ? e[1] : 256;
    const int64_t cost = AxisCost(w, width) + AxisCost(h, height);
    const Candidate c{LoadU16(e + 6), LoadU16(e + 12)};
    if (cost < best) {
      best = cost;
      ties.assign(1, c);
    } else if (cost == best) {
      ties.push_back(c);
    }
  }
  if (ties.empty()) return 0;
  if (ties.size() == 1) return ties[0].id;

  // Among equally good sizes: the display's own depth; else the deepest below
  // it; else the shallowest. On a true-colour display, paletted images (8 bits
  // or fewer) are passed over when a deeper one is on offer.
  uint16_t deepest = 0;
  for (const Candidate& c : ties) deepest = std::max(deepest, c.bitCount);
  const bool avoidPaletted = displayBits > 8 && deepest > 8;
  auto allowed = [&](const Candidate& c) { return !(avoidPaletted && c.bitCount <= 8); };

  for (const Candidate& c : ties)
    if (c.bitCount == displayBits) return c.id;
  const Candidate* pick = nullptr;
  for (const Candidate& c : ties)
    if (allowed(c) && c.bitCount < displayBits && (!pick || c.bitCount > pick->bitCount)) pick = &c;
  if (pick) return pick->id;
  for (const Candidate& c : ties)
    if (allowed(c) && (!pick || c.bitCount < pick->bitCount)) pick = &c;
  return pick ? pick->id : 0;
}

}  // namespace pk::portable
