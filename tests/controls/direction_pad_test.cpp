#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "controls/direction_pad.h"
#include "dialog/main_dialog.h"
#include "image/packed_dib.h"
#include "luma/automation.h"
#include "plugin/guards.h"
#include "plugin/lifecycle.h"
#include "settings/bound_controls.h"
#include "settings/settings.h"
#include "tests/support/dialog_fixture.h"
#include "tests/support/pictures.h"

namespace {

namespace automation = luma::automation;
using testing_support::TextOf;

constexpr int kWavePad = 832;        // four-way
constexpr int kHyperspacePad = 309;  // two-way

// The raw pixels of a glyph resource: (colour, alpha) at (x, y).
struct RawGlyphs {
    LONG width = 0, height = 0;
    std::vector<DWORD> pixels;  // 0xAABBGGRR, top row first
};

RawGlyphs ReadRaw(int id) {
    RawGlyphs raw;
    HRSRC resource = FindResourceA(PluginModule(), MAKEINTRESOURCE(id), RT_RCDATA);
    if (!resource) return raw;
    const BYTE* bytes = static_cast<const BYTE*>(LockResource(LoadResource(PluginModule(), resource)));
    BITMAPINFOHEADER header;
    std::memcpy(&header, bytes + 14, sizeof header);
    if (header.biBitCount != 32) return raw;
    raw.width = header.biWidth;
    raw.height = header.biHeight;
    const BYTE* rows = bytes + 14 + 40;
    for (LONG y = 0; y < raw.height; ++y) {
        const BYTE* row = rows + static_cast<std::size_t>(raw.height - 1 - y) * raw.width * 4;
        for (LONG x = 0; x < raw.width; ++x) {
            const BYTE* p = row + x * 4;
            raw.pixels.push_back(p[2] | (p[1] << 8) | (p[0] << 16) | (static_cast<DWORD>(p[3]) << 24));
        }
    }
    return raw;
}

TEST(GlyphStrips, EveryPixelIsComposedOverTheBackgroundByItsAlpha) {
    for (auto [id, cells] : {std::pair{kFourWayGlyphs, 4}, std::pair{kTwoWayGlyphs, 2}}) {
        RawGlyphs raw = ReadRaw(id);
        ASSERT_EQ(raw.width, 24 * cells);
        ASSERT_EQ(raw.height, 24);
        for (COLORREF background : {RGB(0, 0, 0), RGB(255, 255, 255), RGB(90, 160, 30)}) {
            GlobalBlock strip(LoadGlyphStrip(id, background));
            GlobalLockGuard<BITMAPINFOHEADER> dib(strip.get());
            ASSERT_TRUE(dib);
            ASSERT_EQ(dib->biBitCount, 24);
            ASSERT_EQ(dib->biWidth, raw.width);
            ASSERT_EQ(dib->biHeight, raw.height);
            int mismatches = 0, partial = 0;
            for (LONG y = 0; y < raw.height; ++y) {
                for (LONG x = 0; x < raw.width; ++x) {
                    DWORD p = raw.pixels[y * raw.width + x];
                    DWORD a = p >> 24;
                    if (a > 0 && a < 255) ++partial;
                    DWORD expected = 0;
                    for (int shift = 0; shift < 24; shift += 8)
                        expected |= (((p >> shift) & 0xFF) * a / 255 + ((background >> shift) & 0xFF) * (255 - a) / 255)
                                    << shift;
                    if (GetDibPixel(dib.get(), x, y) != expected) ++mismatches;
                }
            }
            EXPECT_EQ(mismatches, 0) << id;
            EXPECT_GT(partial, 0) << "the arrows have smooth edges";
        }
        // Every cell has its arrow.
        GlobalBlock strip(LoadGlyphStrip(id, RGB(255, 255, 255)));
        GlobalLockGuard<BYTE> dib(strip.get());
        for (int cell = 0; cell < cells; ++cell) {
            int inked = 0;
            for (LONG y = 2; y < 22; ++y)
                for (LONG x = 2; x < 22; ++x) inked += GetDibPixel(dib.get(), cell * 24 + x, y) != 0xFFFFFF;
            EXPECT_GT(inked, 60) << id << " cell " << cell;
        }
    }
}

TEST(GlyphStrips, TheFaceColourStandsInForAllOnesAndAMissingResourceGivesNone) {
    GlobalBlock face(LoadGlyphStrip(kFourWayGlyphs, kButtonFaceBackground));
    GlobalBlock explicitFace(LoadGlyphStrip(kFourWayGlyphs, GetSysColor(COLOR_BTNFACE)));
    ASSERT_TRUE(face && explicitFace);
    ASSERT_EQ(GlobalSize(face.get()), GlobalSize(explicitFace.get()));
    GlobalLockGuard<BYTE> a(face.get()), b(explicitFace.get());
    EXPECT_EQ(std::memcmp(a.get(), b.get(), GlobalSize(face.get())), 0);
    EXPECT_EQ(LoadGlyphStrip(4711, 0), nullptr);
}

// Records the commands the main dialog receives.
WNDPROC dialogProcedure = nullptr;
std::vector<WPARAM> commands;
LRESULT CALLBACK Recorder(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) commands.push_back(wParam);
    return CallWindowProcA(dialogProcedure, window, message, wParam, lParam);
}

class DirectionPads : public testing_support::MainDialogTest {
protected:
    void SetUp() override {
        MainDialogTest::SetUp();
        OpenDialog();
        ShowWindow(dialog, SW_SHOW);
        automation::Pump();
        commands.clear();
        dialogProcedure =
            reinterpret_cast<WNDPROC>(SetWindowLongPtrA(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Recorder)));
    }
    void TearDown() override {
        SetWindowLongPtrA(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(dialogProcedure));
        MainDialogTest::TearDown();
    }

    HWND Show(const char* effect, int pad) {
        testing_support::ChooseEffect(dialog, effect);
        return GetDlgItem(dialog, pad);
    }

    int PadCommands(int id) const {
        int n = 0;
        for (WPARAM w : commands) n += w == MAKEWPARAM(id, BN_CLICKED);
        return n;
    }

    // Each cell: pressed in shadow inside a dark frame with its glyph 2 in,
    // or raised in the face colour with its glyph 1 in.
    void ExpectCells(HWND pad, int ways, int value) {
        static constexpr POINT kFour[] = {{25, 0}, {50, 25}, {0, 25}, {25, 50}};
        static constexpr POINT kTwo[] = {{0, 0}, {25, 0}};
        const POINT* cells = ways == 4 ? kFour : kTwo;
        testing_support::ClientShot shot = testing_support::ShootClient(pad);
        testing_support::SaveBitmapFile(shot.picture, "controls_test_output",
                                        "pad" + std::to_string(ways) + "_value" + std::to_string(value) + ".bmp");
        const int glyphs = ways == 4 ? kFourWayGlyphs : kTwoWayGlyphs;
        GlobalBlock pressedStrip(LoadGlyphStrip(glyphs, GetSysColor(COLOR_BTNSHADOW)));
        GlobalBlock raisedStrip(LoadGlyphStrip(glyphs, GetSysColor(COLOR_BTNFACE)));
        if (ways == 4) {
            // Corners and middle belong to no cell: the dialog shows through.
            for (POINT p : {POINT{3, 3}, POINT{71, 3}, POINT{3, 71}, POINT{71, 71}, POINT{37, 37}})
                EXPECT_EQ(shot.At(p.x, p.y), shot.At(-3, 37)) << p.x << "," << p.y;
        }
        for (int i = 0; i < ways; ++i) {
            const POINT c = cells[i];
            const bool pressed = i == value;
            if (pressed) {
                EXPECT_EQ(shot.At(c.x, c.y), GetSysColor(COLOR_3DDKSHADOW)) << i;
                EXPECT_EQ(shot.At(c.x + 24, c.y + 24), GetSysColor(COLOR_3DDKSHADOW)) << i;
                EXPECT_EQ(shot.At(c.x + 1, c.y + 1), GetSysColor(COLOR_BTNSHADOW)) << i;
            } else {
                EXPECT_EQ(shot.At(c.x, c.y), GetSysColor(COLOR_3DLIGHT)) << i;
                EXPECT_EQ(shot.At(c.x + 24, c.y + 24), GetSysColor(COLOR_3DDKSHADOW)) << i;
            }
            const int d = pressed ? 2 : 1;
            GlobalLockGuard<BYTE> strip(pressed ? pressedStrip.get() : raisedStrip.get());
            int wrong = 0;
            for (int y = 0; y < 20; ++y)
                for (int x = 0; x < 20; ++x)
                    wrong += shot.At(c.x + 1 + d + x, c.y + 1 + d + y) != GetDibPixel(strip.get(), 24 * i + 2 + x, 2 + y);
            EXPECT_EQ(wrong, 0) << "glyph of cell " << i;
        }
    }
};

TEST_F(DirectionPads, PaintTheChosenCellPressedAndTheOthersRaised) {
    HWND pad = Show("Wave", kWavePad);
    ASSERT_NE(pad, nullptr);
    RECT r;
    GetClientRect(pad, &r);
    EXPECT_EQ(r.right, 75);
    EXPECT_EQ(r.bottom, 75);
    ExpectCells(pad, 4, static_cast<int>(Style019Direction));
    ASSERT_TRUE(automation::MouseDown(pad, POINT{10, 40}, dialog));  // left cell
    ASSERT_TRUE(automation::MouseUp(pad, POINT{10, 40}, dialog));
    EXPECT_EQ(DirectionPadValue(pad), 2);
    ExpectCells(pad, 4, 2);

    HWND scroll = Show("Hyperspace", kHyperspacePad);
    ASSERT_NE(scroll, nullptr);
    GetClientRect(scroll, &r);
    EXPECT_EQ(r.right, 50);
    EXPECT_EQ(r.bottom, 25);
    ExpectCells(scroll, 2, static_cast<int>(Style005Scroll));
    ASSERT_TRUE(automation::MouseDown(scroll, POINT{3, 20}, dialog));
    ASSERT_TRUE(automation::MouseUp(scroll, POINT{3, 20}, dialog));
    ExpectCells(scroll, 2, 0);
}

TEST_F(DirectionPads, AClickInACellTellsTheDialogAndACornerClickKeepsTheValue) {
    HWND pad = Show("Wave", kWavePad);
    ASSERT_NE(pad, nullptr);
    ASSERT_TRUE(automation::MouseDown(pad, POINT{37, 70}, dialog));  // bottom cell
    EXPECT_EQ(GetCapture(), pad);
    ASSERT_TRUE(automation::MouseUp(pad, POINT{37, 70}, dialog));
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(DirectionPadValue(pad), 3);
    EXPECT_EQ(Style019Direction, 3u);
    EXPECT_EQ(TextOf(pad), "3");
    EXPECT_EQ(PadCommands(kWavePad), 1);
    for (POINT corner : {POINT{2, 2}, POINT{72, 3}, POINT{4, 70}, POINT{70, 70}, POINT{37, 37}}) {
        ASSERT_TRUE(automation::MouseDown(pad, corner, dialog));
        ASSERT_TRUE(automation::MouseUp(pad, corner, dialog));
        EXPECT_EQ(DirectionPadValue(pad), 3) << corner.x << "," << corner.y;
    }
    EXPECT_EQ(PadCommands(kWavePad), 1);
    EXPECT_EQ(Style019Direction, 3u);
}

TEST_F(DirectionPads, DocumentLinesTakeAnyCaseAndBlanksAndKeepTheirPrefix) {
    HWND pad = Show("Wave", kWavePad);
    HWND scroll = GetDlgItem(dialog, kHyperspacePad);
    ASSERT_TRUE(pad && scroll);
    EXPECT_EQ(SendMessageA(scroll, kReadLineMessage, 0, reinterpret_cast<LPARAM>("scrl2d309 = = 0")), 1);
    EXPECT_EQ(DirectionPadValue(scroll), 0);
    EXPECT_EQ(Style005Scroll, 0u);
    EXPECT_EQ(SendMessageA(scroll, kReadLineMessage, 0, reinterpret_cast<LPARAM>("SCRL4D309=1")), 0);
    EXPECT_EQ(SendMessageA(pad, kReadLineMessage, 0, reinterpret_cast<LPARAM>("Scrl4D832 =2")), 1);
    EXPECT_EQ(TextOf(pad), "2");

    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    SendMessageA(pad, kWriteLineMessage, 0, reinterpret_cast<LPARAM>(file));
    SendMessageA(scroll, kWriteLineMessage, 0, reinterpret_cast<LPARAM>(file));
    std::rewind(file);
    char text[64] = {};
    std::size_t n = std::fread(text, 1, sizeof text - 1, file);
    std::fclose(file);
    EXPECT_EQ(std::string(text, n), "SCRL4D832=2\r\nSCRL2D309=0\r\n");
}

TEST_F(DirectionPads, TheValueShownIsReadBackAndStoredWhenThePadGoes) {
    HWND pad = Show("Wave", kWavePad);
    ASSERT_NE(pad, nullptr);
    SetWindowTextA(pad, "1");
    SendMessageA(pad, kPadReadBackMessage, 0, 0);
    EXPECT_EQ(DirectionPadValue(pad), 1);
    EXPECT_EQ(Style019Direction, 1u);
    Style019Direction = 0;  // changed behind the pad's back
    Style005Scroll = 1;
    HWND scroll = GetDlgItem(dialog, kHyperspacePad);
    SendMessageA(scroll, kReadLineMessage, 0, reinterpret_cast<LPARAM>("SCRL2D309=0"));
    Style005Scroll = 1;
    SetWindowLongPtrA(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(dialogProcedure));
    CloseDialog();
    EXPECT_EQ(Style019Direction, 1u);
    EXPECT_EQ(Style005Scroll, 0u);
}

}  // namespace
