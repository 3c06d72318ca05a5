#include "host/cli/still_picture.h"

#include <png.h>

#include <algorithm>
#include <vector>

#include "host/core/host_error.h"
#include "host/core/output_file.h"
#include "image/packed_dib.h"
#include "plugin/guards.h"

void WritePicturePng(HGLOBAL dib, RECT area, const std::string& path) {
    GlobalLockGuard<BYTE> bits(dib);
    DibLayout layout;
    if (!bits || !PackedDibFits(bits.get(), GlobalSize(dib)) || !DibLayout::From(bits.get(), layout) || layout.bits != 24)
        throw HostError("The dialog's picture could not be read.");
    area.left = std::clamp<LONG>(area.left, 0, layout.width);
    area.right = std::clamp<LONG>(area.right, area.left, layout.width);
    area.top = std::clamp<LONG>(area.top, 0, layout.height);
    area.bottom = std::clamp<LONG>(area.bottom, area.top, layout.height);
    const LONG width = area.right - area.left;
    const LONG height = area.bottom - area.top;
    if (width == 0 || height == 0) throw HostError("There is nothing of the dialog to picture there.");

    std::vector<BYTE> rgb(static_cast<std::size_t>(width) * height * 3);
    for (LONG y = 0; y < height; ++y) {
        const BYTE* row = layout.Row(bits.get(), area.top + y);
        BYTE* out = rgb.data() + static_cast<std::size_t>(y) * width * 3;
        for (LONG x = 0; x < width; ++x) {
            const DWORD pixel = layout.Read(row, area.left + x);
            out[3 * x] = GetRValue(pixel);
            out[3 * x + 1] = GetGValue(pixel);
            out[3 * x + 2] = GetBValue(pixel);
        }
    }

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB;
    png_alloc_size_t size = 0;
    const png_int_32 stride = static_cast<png_int_32>(width * 3);
    if (!png_image_write_get_memory_size(image, size, 0, rgb.data(), stride, nullptr))
        throw HostError(std::string("Cannot make the PNG picture: ") + image.message + ".");
    std::vector<BYTE> encoded(size);
    if (!png_image_write_to_memory(&image, encoded.data(), &size, 0, rgb.data(), stride, nullptr))
        throw HostError(std::string("Cannot make the PNG picture: ") + image.message + ".");
    png_image_free(&image);

    OutputFile file = OutputFile::Replacing(path);
    file.Write(encoded.data(), size);
    file.Commit();
}
