// Pictures for tests: random content, and byte access to whole blocks.
#pragma once

#include <windows.h>

#include <random>
#include <string>
#include <vector>

namespace testing_support {

// A PackedDib whose colour table and every pixel byte (row padding too) are random.
HGLOBAL RandomPackedDib(std::mt19937& random, LONG width, LONG height, int bits);

// Writes a PackedDib as a BMP file (file header, then the block), so a
// test's pictures can be looked at. Returns whether the file was written.
bool WriteBmpFile(HGLOBAL dib, const std::string& path);

// The bytes of a global block.
std::vector<BYTE> BlockBytes(HGLOBAL block);

}  // namespace testing_support
