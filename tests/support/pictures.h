// Pictures for tests: random content, and byte access to whole blocks.
#pragma once

#include <windows.h>

#include <random>
#include <vector>

namespace testing_support {

// A PackedDib whose colour table and every pixel byte (row padding too) are random.
HGLOBAL RandomPackedDib(std::mt19937& random, LONG width, LONG height, int bits);

// The bytes of a global block.
std::vector<BYTE> BlockBytes(HGLOBAL block);

}  // namespace testing_support
