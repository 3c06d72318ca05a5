#include "tests/effects/marker_effect_test.h"

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <climits>

#include "dialog/main_dialog.h"
#include "dialog/marker_window.h"
#include "effects/source_image.h"
#include "image/packed_dib.h"
#include "luma/automation.h"

namespace marker_tests {

namespace automation = luma::automation;

std::filesystem::path OutputFolder() {
    std::filesystem::path folder = std::filesystem::path(LUMAFEX_BINARY_DIR) / "effects_test_output";
    std::filesystem::create_directories(folder);
    return folder;
}

void WritePng(HGLOBAL dib, const std::string& name) {
    GlobalLockGuard<BYTE> bits(dib);
    DibLayout layout;
    if (!bits || !DibLayout::From(bits.get(), layout)) return;
    std::vector<png_byte> rgb;
    for (LONG y = 0; y < layout.height; ++y)
        for (LONG x = 0; x < layout.width; ++x) {
            DWORD v = GetDibPixel(bits.get(), x, y);
            rgb.insert(rgb.end(), {static_cast<png_byte>(v), static_cast<png_byte>(v >> 8), static_cast<png_byte>(v >> 16)});
        }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(layout.width);
    image.height = static_cast<png_uint_32>(layout.height);
    image.format = PNG_FORMAT_RGB;
    std::filesystem::path path = name;
    if (!path.has_parent_path()) path = OutputFolder() / path;
    png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr);
}

RECT ChangedArea(HGLOBAL a, HGLOBAL b) {
    constexpr LONG kFar = 0x7FFFFFFF;
    RECT area{kFar, kFar, -kFar, -kFar};
    GlobalLockGuard<BYTE> x(a), y(b);
    SIZE size = PictureSize(a);
    for (LONG row = 0; row < size.cy; ++row)
        for (LONG col = 0; col < size.cx; ++col)
            if (GetDibPixel(x.get(), col, row) != GetDibPixel(y.get(), col, row)) {
                area.left = std::min(area.left, col);
                area.top = std::min(area.top, row);
                area.right = std::max(area.right, col + 1);
                area.bottom = std::max(area.bottom, row + 1);
            }
    if (area.left == kFar) return RECT{0, 0, 0, 0};
    return area;
}

long ChangedPixels(HGLOBAL a, HGLOBAL b) {
    GlobalLockGuard<BYTE> x(a), y(b);
    SIZE size = PictureSize(a);
    long changed = 0;
    for (LONG row = 0; row < size.cy; ++row)
        for (LONG col = 0; col < size.cx; ++col)
            changed += GetDibPixel(x.get(), col, row) != GetDibPixel(y.get(), col, row);
    return changed;
}

DWORD PixelAt(HGLOBAL dib, LONG x, LONG y) {
    GlobalLockGuard<BYTE> bits(dib);
    return bits ? GetDibPixel(bits.get(), x, y) : kNoPixel;
}

SIZE PictureSize(HGLOBAL dib) {
    GlobalLockGuard<BITMAPINFOHEADER> header(dib);
    return header ? SIZE{header->biWidth, header->biHeight} : SIZE{0, 0};
}

void MarkerEffectTest::UsePicture(LONG width, LONG height) {
    HGLOBAL picture = CreatePackedDib(width, height, nullptr, 24);
    {
        GlobalLockGuard<BYTE> bits(picture);
        for (LONG y = 0; y < height; ++y)
            for (LONG x = 0; x < width; ++x) {
                const bool grid = x % 8 == 0 || y % 8 == 0;
                SetDibPixel(bits.get(), x, y,
                            grid ? RGB(250, 250, 250)
                                 : RGB(40 + 160 * x / width, 30 + 120 * y / height, 90 + ((x * 7 + y * 3) & 63)));
            }
    }
    const std::string path = "/pictures/pattern.bmp";
    if (auto old = host->pictures.find(path); old != host->pictures.end()) GlobalFree(old->second);
    host->pictures[path] = picture;
    ASSERT_EQ(LoadSourcePicture(dialog, path.c_str()), 1);
}

void MarkerEffectTest::UsePlainPicture(LONG width, LONG height, COLORREF colour) {
    HGLOBAL picture = CreatePackedDib(width, height, nullptr, 24);
    {
        GlobalLockGuard<BYTE> bits(picture);
        FillDibRect(bits.get(), 0, 0, width, height, colour);
    }
    const std::string path = "/pictures/plain.bmp";
    if (auto old = host->pictures.find(path); old != host->pictures.end()) GlobalFree(old->second);
    host->pictures[path] = picture;
    ASSERT_EQ(LoadSourcePicture(dialog, path.c_str()), 1);
}

HWND MarkerEffectTest::ShowEffect(const char* name, int markerId) {
    ShowWindow(dialog, SW_SHOW);
    automation::Pump();
    testing_support::ChooseEffect(dialog, name);
    return FindMarkerWindow(dialog, markerId);
}

void MarkerEffectTest::DragMarker(HWND window, int index, POINT to) {
    RECT client;
    GetClientRect(window, &client);
    POINT from;
    ASSERT_EQ(GetMarkerPosition(window, index, client.right, client.bottom, &from), 1);
    ASSERT_TRUE(automation::MouseDown(window, from, dialog));
    ASSERT_TRUE(automation::MouseMove(window, to, dialog));
    ASSERT_TRUE(automation::MouseUp(window, to, dialog));
}

GlobalBlock MarkerEffectTest::Source() const { return GlobalBlock(GetSourceImageCopy()); }

void MarkerEffectTest::ExpectDragMovesTheFirstElement(int effect, const char* name, int markerId) {
    UsePicture(200, 150);
    HWND markers = ShowEffect(name, markerId);
    ASSERT_NE(markers, nullptr);
    GlobalBlock source = Source();
    GlobalBlock before = Preview(effect);
    RECT client;
    GetClientRect(markers, &client);
    DragMarker(markers, 0, POINT{client.right * 3 / 4, client.bottom * 3 / 4});
    GlobalBlock after = Preview(effect);
    ASSERT_TRUE(before && after);
    POINT moved;
    GetMarkerPosition(markers, 0, 200, 150, &moved);
    RECT was = ChangedArea(source.get(), before.get()), now = ChangedArea(source.get(), after.get());
    ASSERT_FALSE(IsRectEmpty(&was));
    EXPECT_TRUE(PtInRect(&was, POINT{50, 37}));  // the default place, (W/4, H/4)
    EXPECT_FALSE(PtInRect(&now, POINT{50, 37}));
    EXPECT_TRUE(PtInRect(&now, moved));
}

}  // namespace marker_tests
