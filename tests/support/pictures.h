// Pictures for tests: random content, and byte access to whole blocks.
#pragma once

#include <windows.h>

#include <filesystem>
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

// A screenshot of a window's top-level window, read in the client
// coordinates of the window.
struct ClientShot {
    HGLOBAL picture = nullptr;  // owned
    POINT origin{0, 0};         // the client area's top-left corner in the picture
    ClientShot() = default;
    ClientShot(ClientShot&& other) noexcept;
    ClientShot& operator=(ClientShot&&) = delete;
    ~ClientShot();
    // The pixel at client point (x, y).
    COLORREF At(int x, int y) const;
};
ClientShot ShootClient(HWND window);

// Writes a PackedDib as a BMP file into build/<folder>/name, so a test's
// screenshots can be looked at.
void SaveBitmapFile(HGLOBAL dib, const std::string& folder, const std::string& name);

}  // namespace testing_support
