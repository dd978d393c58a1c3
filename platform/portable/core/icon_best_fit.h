// The choice LookupIconIdFromDirectory makes among the images of a group-icon
// directory, for platforms without that call.
#pragma once

#include <cstdint>

#include "base/bytes.h"

namespace pk::portable {

inline constexpr int kDefaultIconSize = 32;    // SM_CXICON / SM_CYICON at 96 DPI
inline constexpr int kDefaultDisplayBits = 32;  // today's desktops

// The id of the entry of `groupDirectory` (6-byte header, 14-byte entries) that
// best fits an icon of width x height at `displayBits` bits per pixel; 0 when
// the header is not an icon or cursor directory or no entry qualifies. Only
// the entries that lie wholly inside the bytes are considered.
uint16_t ChooseBestIconId(Bytes groupDirectory, int width = kDefaultIconSize,
                          int height = kDefaultIconSize, int displayBits = kDefaultDisplayBits);

}  // namespace pk::portable
