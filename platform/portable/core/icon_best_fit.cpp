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

#include "base/icon_directory.h"

namespace pk::portable {
namespace {

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
  auto header = ReadIconDirHeader(groupDirectory);
  if (!header || header->reserved != 0 || (header->type & 3) == 0) return 0;
  const Bytes entries = GroupDirectoryEntries(groupDirectory);

  // Smallest size cost first; every entry at that cost is a candidate.
  int64_t best = std::numeric_limits<int64_t>::max();
  std::vector<Candidate> ties;
  // Only the entries that lie whole inside the bytes, whatever the count says.
  for (uint32_t i = 0; i < header->count; ++i) {
    auto e = ReadIconDirEntry(entries, IconDirKind::Group, i);
    if (!e) break;
    // A width or height byte of 0 means 256, on each axis on its own.
    const int64_t w = e->width ? e->width : 256;
    const int64_t h = e->height ? e->height : 256;
    const int64_t cost = AxisCost(w, width) + AxisCost(h, height);
    const Candidate c{e->bitCount, e->id};
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
