// How the main dialog looks: the tinted texture, the emblem's frames, the
// owner-drawn fields and colour buttons, checked on headless screenshots.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "dialog/dialog_look.h"
#include "dialog/main_dialog.h"
#include "image/packed_dib.h"
#include "luma/automation.h"
#include "plugin/guards.h"
#include "settings/settings.h"
#include "tests/support/dialog_fixture.h"
#include "tests/support/pictures.h"

namespace {

namespace automation = luma::automation;

std::vector<BYTE> ResourceFile(const char* name) {
    std::ifstream in(std::string(LUMAFEX_SOURCE_DIR "/resources/bitmaps/") + name, std::ios::binary);
    return std::vector<BYTE>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A pixel of a BMP file's picture (counted from the top), as 0x00BBGGRR, and its alpha.
struct FilePixel {
    COLORREF colour;
    int alpha;
};
FilePixel PixelOfFile(const std::vector<BYTE>& file, LONG x, LONG y) {
    BITMAPINFOHEADER header;
    std::memcpy(&header, file.data() + 14, sizeof header);
    DWORD offset;
    std::memcpy(&offset, file.data() + 10, 4);
    const std::size_t stride = DibStride(header.biWidth, header.biBitCount);
    const BYTE* row = file.data() + offset + stride * static_cast<std::size_t>(header.biHeight - 1 - y);
    if (header.biBitCount == 8) {
        const BYTE* entry = file.data() + 14 + header.biSize + 4 * row[x];
        return {RGB(entry[2], entry[1], entry[0]), 255};
    }
    const BYTE* p = row + 4 * x;
    return {RGB(p[2], p[1], p[0]), p[3]};
}

class Look : public testing_support::MainDialogTest {
protected:
    void Open(const std::string& config) {
        std::ofstream(folder / "config" / "Vellumark" / "lumaplug.ini", std::ios::binary) << config;
        OpenDialog();
        ShowWindow(dialog, SW_SHOW);
        automation::Pump();
    }
    GlobalBlock Shot(int id) const { return GlobalBlock(automation::Render(GetDlgItem(dialog, id))); }
    // The whole dialog, with the offset of its client area in the picture.
    GlobalBlock Shot(POINT& client) const {
        RECT window;
        GetWindowRect(dialog, &window);
        POINT origin{0, 0};
        ClientToScreen(dialog, &origin);
        client = POINT{origin.x - window.left, origin.y - window.top};
        return GlobalBlock(automation::Render(dialog));
    }
    static DWORD Pixel(HGLOBAL shot, LONG x, LONG y) {
        GlobalLockGuard<BYTE> bytes(shot);
        return GetDibPixel(bytes.get(), x, y);
    }
};

TEST(Texture, TheTintIsTheFaceUnlessTheFaceIsVeryBright) {
    EXPECT_EQ(TextureTint(RGB(192, 192, 192), RGB(128, 128, 128)), RGB(192, 192, 192));
    // Brightness (77 r + 150 g + 28 b) / 255: exactly 200 keeps the face.
    EXPECT_EQ(TextureTint(RGB(200, 200, 200), RGB(0, 0, 0)), RGB(200, 200, 200));
    EXPECT_EQ(TextureTint(RGB(240, 230, 255), RGB(128, 100, 30)), RGB(165, 143, 105));
}

TEST(Texture, TintingShiftsTableEntriesOrPixelsAndClamps) {
    const BYTE palette[6] = {250, 10, 128, 0, 0, 0};
    GlobalBlock paletted(CreatePackedDib(2, 2, palette, 1));
    GlobalBlock trueColour(CreatePackedDib(2, 1, nullptr, 24));
    {
        GlobalLockGuard<BYTE> p(paletted.get()), t(trueColour.get());
        SetDibPixel(t.get(), 0, 0, RGB(250, 10, 128));
        SetDibPixel(t.get(), 1, 0, RGB(0, 0, 0));
        TintPackedDib(p.get(), RGB(200, 30, 130));
        TintPackedDib(t.get(), RGB(200, 30, 130));
        DibLayout layout;
        DibLayout::From(p.get(), layout);
        const RGBQUAD* table = layout.Table(p.get());
        EXPECT_EQ(RGB(table[0].rgbRed, table[0].rgbGreen, table[0].rgbBlue), RGB(255, 0, 130));
        EXPECT_EQ(RGB(table[1].rgbRed, table[1].rgbGreen, table[1].rgbBlue), RGB(72, 0, 2));
        EXPECT_EQ(GetDibPixel(t.get(), 0, 0), RGB(255, 0, 130));
        EXPECT_EQ(GetDibPixel(t.get(), 1, 0), RGB(72, 0, 2));
        EXPECT_EQ(GetDibPixel(p.get(), 0, 0), 0u) << "pixels of a paletted picture stay";
    }
}

TEST_F(Look, TheBackgroundIsTheTintedTextureTiledFromTheCorner) {
    Open("SolidBackground = 0\r\n");
    const auto file = ResourceFile("dialog_texture.bmp");
    const COLORREF tint = TextureTint(GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_BTNSHADOW));
    auto tinted = [&](LONG x, LONG y) {
        COLORREF c = PixelOfFile(file, x % 64, y % 64).colour;
        auto shift = [](int channel, int t) { return static_cast<BYTE>(std::clamp(channel + t - 128, 0, 255)); };
        return RGB(shift(GetRValue(c), GetRValue(tint)), shift(GetGValue(c), GetGValue(tint)),
                   shift(GetBValue(c), GetBValue(tint)));
    };
    POINT client;
    GlobalBlock shot = Shot(client);
    // Below the emblem and right of it, where no control stands.
    int matches = 0;
    for (LONG y = 470; y < 490; ++y)
        for (LONG x = 100; x < 200; ++x) matches += Pixel(shot.get(), client.x + x, client.y + y) == tinted(x, y);
    EXPECT_EQ(matches, 2000);
    // Static texts show the texture between their letters.
    HWND label = GetDlgItem(dialog, kPictureLabel);
    RECT box;
    GetWindowRect(label, &box);
    POINT corner{box.right - 1, box.bottom - 1};
    ScreenToClient(dialog, &corner);
    EXPECT_EQ(Pixel(shot.get(), client.x + corner.x, client.y + corner.y), tinted(corner.x, corner.y));
}

TEST_F(Look, ASolidBackgroundIsTheButtonFace) {
    Open("SolidBackground = 1\r\n");
    POINT client;
    GlobalBlock shot = Shot(client);
    for (LONG x = 100; x < 200; x += 7) EXPECT_EQ(Pixel(shot.get(), client.x + x, client.y + 480), GetSysColor(COLOR_BTNFACE));
}

TEST_F(Look, TheEmblemShowsItsFramesInTurn) {
    Open("SolidBackground = 0\r\n");
    const auto file = ResourceFile("emblem.bmp");
    HWND emblem = GetDlgItem(dialog, kEmblem);
    RECT box;
    GetClientRect(emblem, &box);
    EXPECT_EQ(box.right, 50);
    EXPECT_EQ(box.bottom, 50);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    // Frame f's pixel (x, y) over the face colour, as the emblem must show it at (x + 1, y + 1).
    auto blended = [&](int frame, LONG x, LONG y) {
        FilePixel p = PixelOfFile(file, x, frame * 48 + y);
        auto mix = [&](int c, int b) { return static_cast<BYTE>(c * p.alpha / 255 + b * (255 - p.alpha) / 255); };
        return RGB(mix(GetRValue(p.colour), GetRValue(face)), mix(GetGValue(p.colour), GetGValue(face)),
                   mix(GetBValue(p.colour), GetBValue(face)));
    };
    auto showsFrame = [&](int frame) {
        GlobalBlock shot = Shot(kEmblem);
        for (LONG y = 0; y < 48; y += 3)
            for (LONG x = 0; x < 48; x += 3)
                if (Pixel(shot.get(), x + 1, y + 1) != blended(frame, x, y)) return false;
        return true;
    };
    EXPECT_TRUE(showsFrame(0));
    {
        GlobalBlock shot = Shot(kEmblem);
        EXPECT_EQ(Pixel(shot.get(), 0, 0), GetSysColor(COLOR_BTNSHADOW)) << "framed without a solid background";
    }
    automation::Wait(60);
    EXPECT_TRUE(showsFrame(1));
    automation::Wait(60 * 14);
    EXPECT_TRUE(showsFrame(15));
    automation::Wait(60);
    EXPECT_TRUE(showsFrame(0)) << "after the last frame comes the first";
}

TEST(EmblemStrip, AMissingOrForeignResourceGivesNothing) {
    EXPECT_EQ(LoadBlendedStrip(4242, 0), nullptr);
    GlobalBlock strip(LoadBlendedStrip(kEmblemFrames, RGB(0, 0, 0)));
    ASSERT_TRUE(strip);
    GlobalLockGuard<BITMAPINFOHEADER> header(strip.get());
    EXPECT_EQ(header->biWidth, 48);
    EXPECT_EQ(header->biHeight, 48 * 16);
    EXPECT_EQ(header->biBitCount, 24);
}

TEST_F(Look, ThePictureFieldsAreFramedWhiteFieldsOfOneLine) {
    Open("FileNamePath = /a/very/long/folder/name/that/goes/on/and/on/and/on/to/the/picture.png\r\n");
    for (int id : {kPictureSizeField, kPicturePathField}) {
        GlobalBlock shot = Shot(id);
        RECT box;
        GetClientRect(GetDlgItem(dialog, id), &box);
        EXPECT_EQ(Pixel(shot.get(), 0, 0), GetSysColor(COLOR_BTNSHADOW));
        EXPECT_EQ(Pixel(shot.get(), box.right - 1, box.bottom - 1), GetSysColor(COLOR_BTNSHADOW));
        EXPECT_EQ(Pixel(shot.get(), 2, box.bottom / 2), GetSysColor(COLOR_HIGHLIGHTTEXT)) << "inset by 4";
        bool text = false;
        for (LONG x = 4; x < 40; ++x)
            for (LONG y = 2; y < box.bottom - 2; ++y) text |= Pixel(shot.get(), x, y) == GetSysColor(COLOR_BTNTEXT);
        EXPECT_TRUE(text) << id;
    }
}

TEST_F(Look, AColourButtonShowsItsColourAndTheFaceWhileDisabled) {
    Open("");
    const int colour2 = 114;
    SetDlgItemTextA(dialog, colour2, std::to_string(RGB(10, 200, 30)).c_str());
    InvalidateRect(GetDlgItem(dialog, colour2), nullptr, FALSE);
    RECT box;
    GetClientRect(GetDlgItem(dialog, colour2), &box);
    {
        GlobalBlock shot = Shot(colour2);
        EXPECT_EQ(Pixel(shot.get(), box.right / 2, box.bottom / 2), RGB(10, 200, 30));
        EXPECT_EQ(Pixel(shot.get(), 0, 0), GetSysColor(COLOR_3DLIGHT)) << "raised";
        EXPECT_EQ(Pixel(shot.get(), box.right - 1, box.bottom - 1), GetSysColor(COLOR_3DDKSHADOW));
    }
    EnableWindow(GetDlgItem(dialog, colour2), FALSE);
    GlobalBlock shot = Shot(colour2);
    EXPECT_EQ(Pixel(shot.get(), box.right / 2, box.bottom / 2), GetSysColor(COLOR_BTNFACE));
}

}  // namespace
