// What the running program says of itself in its version record: the
// product's name and version. The manifest must name the same product and a
// greater version before anything is downloaded.
#pragma once

#include <string>

#include "updater/manifest.h"

namespace pk::update {

struct HostProgram {
  std::string product;  // ProductName of the first translation
  Version version;      // the fixed record's product version
};

// Reads the record of the executable that started the process; false when
// it has none or it is incomplete (then no update is ever offered).
bool ReadHostProgram(HostProgram* out);

}  // namespace pk::update
