// Sizes the host accepts, from a file or from the plug-in.
#pragma once

#include <cstdint>

// Longest side of a decoded picture or an animation canvas.
inline constexpr std::int64_t kMaxPictureSide = 16384;

// Largest decoded picture, in bytes of its 24-bit rows.
inline constexpr std::uint64_t kMaxDecodedBytes = std::uint64_t{1} << 30;

// Pixels of all frames of one animation together: the writers that must hold
// every frame keep them at four bytes a pixel, so this is 1 GiB as well.
inline constexpr std::uint64_t kMaxAnimationPixels = std::uint64_t{1} << 28;
