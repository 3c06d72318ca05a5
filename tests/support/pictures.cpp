#include "tests/support/pictures.h"

#include <cstring>
#include <fstream>

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

bool WriteBmpFile(HGLOBAL dib, const std::string& path) {
    std::vector<BYTE> bytes = BlockBytes(dib);
    if (bytes.size() < sizeof(BITMAPINFOHEADER)) return false;
    BITMAPINFOHEADER header;
    std::memcpy(&header, bytes.data(), sizeof header);
    const DWORD table = static_cast<DWORD>(DibTableBytes(header.biBitCount));
    const DWORD offset = 14 + sizeof header + table;
    const DWORD size = 14 + static_cast<DWORD>(bytes.size());
    BYTE file[14] = {'B', 'M'};
    std::memcpy(file + 2, &size, 4);
    std::memcpy(file + 10, &offset, 4);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(file), sizeof file);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::vector<BYTE> BlockBytes(HGLOBAL block) {
    std::vector<BYTE> out(GlobalSize(block));
    GlobalLockGuard<BYTE> bytes(block);
    if (bytes && !out.empty()) std::memcpy(out.data(), bytes.get(), out.size());
    return out;
}

}  // namespace testing_support
