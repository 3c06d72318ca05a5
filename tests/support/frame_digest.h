// SHA-256 digests of built frames: one golden value pins every byte and
// delay of an effect's build, so any unintended change shows.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

#include "tests/support/effect_harness.h"

namespace testing_support {

// SHA-256 of bytes, as 64 lower-case hex digits.
std::string Sha256Hex(const void* bytes, std::size_t size);

// SHA-256 over every frame of a build in order: each frame's delay (4 bytes,
// little-endian) followed by all bytes of its block.
std::string FramesDigest(const BuiltFrames& frames);

}  // namespace testing_support
