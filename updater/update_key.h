// The public half of the key that signs update manifests. It is built into
// the library (the build generates its definition from a key file); the
// private half never leaves the maker's signing machine.
#pragma once

#include "updater/cng.h"

namespace pk::update {

extern const P256PublicKey kUpdatePublicKey;

}  // namespace pk::update
