#include "tests/effects/frame_png.h"

#include <png.h>

#include <filesystem>
#include <vector>

#include "image/packed_dib.h"
#include "plugin/guards.h"

namespace testing_support {

bool WriteFramePng(HGLOBAL dib, const std::string& name) {
    GlobalLockGuard<BYTE> bytes(dib);
    DibLayout layout;
    if (!bytes || !DibLayout::From(bytes.get(), layout) || layout.bits < 24) return false;
    std::vector<png_byte> pixels;
    pixels.reserve(static_cast<std::size_t>(layout.width) * layout.height * 3);
    for (LONG y = 0; y < layout.height; ++y) {
        const BYTE* row = layout.Row(bytes.get(), y);
        for (LONG x = 0; x < layout.width; ++x) {
            const DWORD value = layout.Read(row, x);
            for (int shift : {0, 8, 16}) pixels.push_back(static_cast<png_byte>(value >> shift));
        }
    }
    const std::filesystem::path folder = std::filesystem::path(LUMAFEX_BINARY_DIR) / "effects_test_output";
    std::filesystem::create_directories(folder);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(layout.width);
    image.height = static_cast<png_uint_32>(layout.height);
    image.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&image, (folder / name).c_str(), 0, pixels.data(), 0, nullptr) != 0;
}

}  // namespace testing_support
