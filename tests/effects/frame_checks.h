// For the effect tests: source pictures, pixels and delays of built frames,
// one hash over a whole build, and PNG copies of frames to look at.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/effect_harness.h"
#include "tests/support/test_host.h"

namespace frame_checks {

// 24-bit pictures: one colour, or random pixels from seed.
HGLOBAL SolidPicture(LONG width, LONG height, COLORREF colour);
HGLOBAL NoisePicture(unsigned seed, LONG width, LONG height);

// The pixel value at (x, y) of a picture.
DWORD Pixel(HGLOBAL picture, LONG x, LONG y);

// Width and height of a picture.
SIZE PictureSize(HGLOBAL picture);

// The progress reports (frame, frames) the host has had, in order.
std::vector<std::pair<std::int64_t, std::int64_t>> ProgressReports(const testing_support::TestHost& host);

std::vector<DWORD> Delays(const testing_support::BuiltFrames& frames);

// FNV-1a over every frame's hash and delay, in order: a golden value for a build.
std::uint64_t BuildHash(const testing_support::BuiltFrames& frames);

// Writes a picture as build/effects_test_output/<name>.png.
void WritePng(HGLOBAL picture, const std::string& name);

}  // namespace frame_checks
