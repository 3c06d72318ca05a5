#include "tests/support/pictures.h"

#include <cstring>

#include "image/packed_dib.h"
#include "plugin/guards.h"

namespace testing_support {

HGLOBAL RandomPackedDib(std::mt19937& random, LONG width, LONG height, int bits) {
    HGLOBAL dib = CreatePackedDib(width, height, nullptr, bits);
    if (!dib) return nullptr;
    SIZE_T size = GlobalSize(dib);
    GlobalLockGuard<BYTE> bytes(dib);
    std::uniform_int_distribution<int> byte(0, 255);
    for (SIZE_T i = sizeof(BITMAPINFOHEADER); i < size; ++i) bytes.get()[i] = static_cast<BYTE>(byte(random));
    // The reserved byte of each table entry stays zero, as CreatePackedDib writes it.
    for (SIZE_T i = 0; i < DibTableBytes(bits); i += 4) bytes.get()[sizeof(BITMAPINFOHEADER) + i + 3] = 0;
    return dib;
}

std::vector<BYTE> BlockBytes(HGLOBAL block) {
    std::vector<BYTE> out(GlobalSize(block));
    GlobalLockGuard<BYTE> bytes(block);
    if (bytes && !out.empty()) std::memcpy(out.data(), bytes.get(), out.size());
    return out;
}

}  // namespace testing_support
