// The golden value of a build: one SHA-256 pins every byte and delay of its
// frames, so any unintended change shows.
#pragma once

#include <string>

#include "tests/support/effect_harness.h"

namespace testing_support {

// SHA-256 over every frame in order, its delay (4 bytes, little-endian) and
// then every byte of its picture, as 64 lower-case hex digits; empty when a
// frame cannot be read.
std::string BuildSha256(const BuiltFrames& frames);

}  // namespace testing_support
