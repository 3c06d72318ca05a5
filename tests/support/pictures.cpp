#include "tests/support/pictures.h"

#include <cstring>
#include <fstream>

#include "image/packed_dib.h"
#include "luma/automation.h"
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

ClientShot::ClientShot(ClientShot&& other) noexcept : picture(other.picture), origin(other.origin) {
    other.picture = nullptr;
}

ClientShot::~ClientShot() {
    if (picture) GlobalFree(picture);
}

COLORREF ClientShot::At(int x, int y) const {
    GlobalLockGuard<BYTE> bits(picture);
    return bits ? GetDibPixel(bits.get(), origin.x + x, origin.y + y) : kNoPixel;
}

ClientShot ShootClient(HWND window) {
    ClientShot shot;
    HWND top = GetAncestor(window, GA_ROOT);
    shot.picture = luma::automation::Render(top);
    RECT box;
    GetWindowRect(top, &box);
    ClientToScreen(window, &shot.origin);
    shot.origin.x -= box.left;
    shot.origin.y -= box.top;
    return shot;
}

void SaveBitmapFile(HGLOBAL dib, const std::string& folder, const std::string& name) {
    const std::filesystem::path place = std::filesystem::path(LUMAFEX_BINARY_DIR) / folder;
    std::filesystem::create_directories(place);
    GlobalLockGuard<BYTE> bytes(dib);
    if (!bytes) return;
    const SIZE_T size = GlobalSize(dib);
    DibLayout layout;
    if (!DibLayout::From(bytes.get(), layout)) return;
    BITMAPFILEHEADER header{};
    header.bfType = 0x4D42;  // "BM"
    header.bfSize = static_cast<DWORD>(sizeof header + size);
    header.bfOffBits = static_cast<DWORD>(sizeof header + sizeof(BITMAPINFOHEADER) + layout.tableBytes);
    std::ofstream file(place / name, std::ios::binary);
    file.write(reinterpret_cast<const char*>(&header), sizeof header);
    file.write(reinterpret_cast<const char*>(bytes.get()), static_cast<std::streamsize>(size));
}

}  // namespace testing_support
