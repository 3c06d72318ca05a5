#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "controls/host_button.h"
#include "image/gdi_guards.h"
#include "image/packed_dib.h"
#include "luma/automation.h"
#include "plugin/guards.h"
#include "plugin/host_interface.h"
#include "plugin/lifecycle.h"
#include "plugin/message_dialog.h"
#include "tests/support/pictures.h"

namespace {

namespace automation = luma::automation;
using testing_support::ClientShot;
using testing_support::ShootClient;

// Colours of the test scheme, all different so every pixel tells its source.
constexpr COLORREF kFace = RGB(200, 180, 160);
constexpr COLORREF kShadow = RGB(100, 90, 80);
constexpr COLORREF kHighlight = RGB(250, 240, 230);
constexpr COLORREF kDark = RGB(20, 40, 60);
constexpr COLORREF kText = RGB(0, 0, 0);

// The stated shade: line i of n from a to b, per channel a + i (b - a) / n, truncated.
COLORREF Shade(COLORREF a, COLORREF b, int i, int n) {
    auto channel = [&](int x, int y) { return static_cast<int>(x + i * static_cast<double>(y - x) / n); };
    return RGB(channel(GetRValue(a), GetRValue(b)), channel(GetGValue(a), GetGValue(b)),
               channel(GetBValue(a), GetBValue(b)));
}

void SaveShot(HGLOBAL picture, const std::string& name) {
    testing_support::SaveBitmapFile(picture, "controls_test_output", name);
}

std::vector<UINT> commands;

INT_PTR CALLBACK RecordingProc(HWND, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) return TRUE;
    if (message == WM_COMMAND) {
        commands.push_back(static_cast<UINT>(wParam));
        return TRUE;
    }
    return FALSE;
}

class HostButtons : public ::testing::Test {
protected:
    void SetUp() override {
        automation::Reset();
        commands.clear();
        const INT ids[] = {COLOR_BTNFACE, COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT, COLOR_3DDKSHADOW, COLOR_BTNTEXT};
        const COLORREF colours[] = {kFace, kShadow, kHighlight, kDark, kText};
        for (INT id : ids) saved_.emplace_back(id, GetSysColor(id));
        SetSysColors(5, ids, colours);
        host_.size = sizeof host_;
        host_.version = 16 << 8;
        SetCurrentHostContext(&host_);
    }
    void TearDown() override {
        if (dialog_) DestroyWindow(dialog_);
        for (auto [id, colour] : saved_) SetSysColors(1, &id, &colour);
        SetCurrentHostContext(nullptr);
        automation::Reset();
    }

    // The plug-in's message box with its OK button in the look.
    HWND OpenBox(DWORD look) {
        host_.buttonStyle = look;
        dialog_ = CreateDialogParamA(PluginModule(), kMessageBoxTemplate, nullptr, RecordingProc, 0);
        EXPECT_NE(dialog_, nullptr);
        made_ = MakeHostStyleButton(dialog_, IDOK);
        ShowWindow(dialog_, SW_SHOW);
        automation::Pump();
        return GetDlgItem(dialog_, IDOK);
    }

    // Pixels of colour inside the button, as (x, y) pairs.
    std::set<std::pair<int, int>> PixelsOf(const ClientShot& shot, HWND button, COLORREF colour) {
        RECT r;
        GetClientRect(button, &r);
        std::set<std::pair<int, int>> found;
        for (int y = 0; y < r.bottom; ++y)
            for (int x = 0; x < r.right; ++x)
                if (shot.At(x, y) == colour) found.insert({x, y});
        return found;
    }

    // The caption's ink pressed is its ink released moved by (dx, dy).
    void ExpectCaptionMoved(const ClientShot& up, const ClientShot& down, HWND button, int dx, int dy) {
        auto inkUp = PixelsOf(up, button, kText), inkDown = PixelsOf(down, button, kText);
        ASSERT_FALSE(inkUp.empty());
        std::set<std::pair<int, int>> moved;
        for (auto [x, y] : inkUp) moved.insert({x + dx, y + dy});
        EXPECT_EQ(inkDown, moved);
    }

    HostContext host_{};
    HWND dialog_ = nullptr;
    int made_ = -1;
    std::vector<std::pair<INT, COLORREF>> saved_;
};

TEST_F(HostButtons, ButtonStyleZeroKeepsTheSystemLook) {
    HWND button = OpenBox(0);
    EXPECT_EQ(made_, 0);
    EXPECT_EQ(GetWindowLongA(button, GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    EXPECT_EQ(HostButtonLook(button), 0);
    host_.buttonStyle = 4;  // no such look
    EXPECT_EQ(MakeHostStyleButton(dialog_, IDOK), 0);
    host_.buttonStyle = 1;
    EXPECT_EQ(MakeHostStyleButton(dialog_, 4711), 0);  // no such control
    SetCurrentHostContext(nullptr);
    EXPECT_EQ(MakeHostStyleButton(dialog_, IDOK), 0);
}

TEST_F(HostButtons, LookOnePaintsShadedEdgesAndSinksWhenPressed) {
    HWND button = OpenBox(1);
    ASSERT_EQ(made_, 1);
    EXPECT_EQ(GetWindowLongA(button, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
    EXPECT_EQ(HostButtonLook(button), 1);
    RECT r;
    GetClientRect(button, &r);
    const int w = r.right, h = r.bottom;

    ClientShot up = ShootClient(button);
    SaveShot(up.picture, "host_button_look1_released.bmp");
    EXPECT_EQ(up.At(10, 0), kHighlight);
    EXPECT_EQ(up.At(10, 1), Shade(kHighlight, kFace, 1, 4));
    EXPECT_EQ(up.At(10, h - 1), Shade(kFace, kShadow, 3, 4));
    EXPECT_EQ(up.At(0, 5), kHighlight);
    EXPECT_EQ(up.At(w - 1, 5), Shade(kFace, kShadow, 2, 3));
    EXPECT_EQ(up.At(3, h / 2), kFace);
    for (POINT p : {POINT{0, 0}, POINT{w - 1, 0}, POINT{0, h - 1}, POINT{w - 1, h - 1}, POINT{w - 1, 2}})
        EXPECT_EQ(up.At(p.x, p.y), kFace) << p.x << "," << p.y;

    ASSERT_TRUE(automation::MouseDown(button, POINT{w / 2, h / 2}, dialog_));
    ClientShot down = ShootClient(button);
    SaveShot(down.picture, "host_button_look1_pressed.bmp");
    EXPECT_EQ(down.At(10, 0), kShadow);
    EXPECT_EQ(down.At(10, 1), kShadow);
    EXPECT_EQ(down.At(10, 2), kHighlight);
    EXPECT_EQ(down.At(0, 10), kShadow);
    EXPECT_EQ(down.At(1, 10), kShadow);
    EXPECT_EQ(down.At(2, 10), kHighlight);
    EXPECT_EQ(down.At(10, h - 2), kFace);
    EXPECT_EQ(down.At(10, h - 1), Shade(kFace, kShadow, 1, 4));
    EXPECT_EQ(down.At(0, 0), kFace);
    // The caption sinks with the face.
    ExpectCaptionMoved(up, down, button, 2, 2);

    EXPECT_TRUE(commands.empty());
    ASSERT_TRUE(automation::MouseUp(button, POINT{w / 2, h / 2}, dialog_));
    ClientShot again = ShootClient(button);
    EXPECT_EQ(again.At(10, 0), kHighlight);
    EXPECT_EQ(PixelsOf(again, button, kText), PixelsOf(up, button, kText));
    // The click still reaches the dialog.
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0], MAKEWPARAM(IDOK, BN_CLICKED));
}

TEST_F(HostButtons, LookTwoSwapsItsLightAndShadowWhenPressed) {
    HWND button = OpenBox(2);
    ASSERT_EQ(made_, 1);
    RECT r;
    GetClientRect(button, &r);
    const int w = r.right, h = r.bottom;

    ClientShot up = ShootClient(button);
    SaveShot(up.picture, "host_button_look2_released.bmp");
    EXPECT_EQ(up.At(10, 0), kHighlight);
    EXPECT_EQ(up.At(10, 1), kHighlight);
    EXPECT_EQ(up.At(10, 2), kHighlight);
    EXPECT_EQ(up.At(10, 3), Shade(kHighlight, kShadow, 1, h - 4));
    EXPECT_EQ(up.At(10, h - 1), kShadow);
    EXPECT_EQ(up.At(10, h - 2), kShadow);
    EXPECT_EQ(up.At(0, 5), kHighlight);
    EXPECT_EQ(up.At(w - 1, 5), kShadow);
    EXPECT_EQ(up.At(0, 0), kFace);
    EXPECT_EQ(up.At(w - 1, h - 1), kFace);

    ASSERT_TRUE(automation::MouseDown(button, POINT{w / 2, h / 2}, dialog_));
    ClientShot down = ShootClient(button);
    SaveShot(down.picture, "host_button_look2_pressed.bmp");
    EXPECT_EQ(down.At(10, 0), kShadow);
    EXPECT_EQ(down.At(10, 2), kShadow);
    EXPECT_EQ(down.At(10, 3), Shade(kShadow, kHighlight, 1, h - 4));
    EXPECT_EQ(down.At(10, h - 1), kHighlight);
    EXPECT_EQ(down.At(w - 1, 5), kHighlight);
    EXPECT_EQ(down.At(0, 0), kFace);
    // The caption moves down by 2 only.
    ExpectCaptionMoved(up, down, button, 0, 2);
    ASSERT_TRUE(automation::MouseUp(button, POINT{w / 2, h / 2}, dialog_));
    EXPECT_EQ(ShootClient(button).At(10, 0), kHighlight);
    EXPECT_EQ(commands.size(), 1u);
}

TEST_F(HostButtons, LookThreeIsRoundedWithAGlowBelowItsMiddle) {
    HWND button = OpenBox(3);
    ASSERT_EQ(made_, 1);
    RECT r;
    GetClientRect(button, &r);
    const int w = r.right, h = r.bottom;
    const int split = h * 55 / 100;
    const COLORREF glow = RGB(20 * 128 / 255 + 127, 40 * 128 / 255 + 127, 60 * 128 / 255 + 127);

    ClientShot up = ShootClient(button);
    SaveShot(up.picture, "host_button_look3_released.bmp");
    EXPECT_EQ(up.At(10, 0), kShadow);
    EXPECT_EQ(up.At(10, h - 1), kShadow);
    EXPECT_EQ(up.At(0, 5), kShadow);
    EXPECT_EQ(up.At(w - 1, 5), kShadow);
    EXPECT_EQ(up.At(10, 1), Shade(kHighlight, kShadow, 1, split));
    EXPECT_EQ(up.At(10, split), glow);
    EXPECT_EQ(up.At(10, h - 2), Shade(glow, kFace, h - 2 - split, h - split));
    // The corner pixels are left out of the painting.
    EXPECT_NE(up.At(0, 0), kShadow);
    EXPECT_NE(up.At(w - 1, h - 1), kShadow);

    ASSERT_TRUE(automation::MouseDown(button, POINT{w / 2, h / 2}, dialog_));
    ClientShot down = ShootClient(button);
    SaveShot(down.picture, "host_button_look3_pressed.bmp");
    EXPECT_EQ(down.At(10, 1), kShadow);
    EXPECT_EQ(down.At(10, 2), kHighlight);
    EXPECT_EQ(down.At(1, 10), kShadow);
    EXPECT_EQ(down.At(10, split + 2), glow);
    ExpectCaptionMoved(up, down, button, 2, 2);
    ASSERT_TRUE(automation::MouseUp(button, POINT{w / 2, h / 2}, dialog_));
    EXPECT_EQ(ShootClient(button).At(10, 2), Shade(kHighlight, kShadow, 2, split));
    EXPECT_EQ(commands.size(), 1u);
}

TEST_F(HostButtons, ADisabledButtonsCaptionIsDrawnInTheShadowColour) {
    for (DWORD look : {1u, 2u, 3u}) {
        HWND button = OpenBox(look);
        RECT r;
        GetClientRect(button, &r);
        auto inkEnabled = PixelsOf(ShootClient(button), button, kText);
        EXPECT_FALSE(inkEnabled.empty()) << look;
        EnableWindow(button, FALSE);
        automation::Pump();
        ClientShot shot = ShootClient(button);
        EXPECT_TRUE(PixelsOf(shot, button, kText).empty()) << look;
        // Where the caption stood, it now stands in the shadow colour.
        for (auto [x, y] : inkEnabled) EXPECT_EQ(shot.At(x, y), kShadow) << look << ": " << x << "," << y;
        DestroyWindow(dialog_);
        dialog_ = nullptr;
    }
}

TEST_F(HostButtons, MessageBoxesGiveTheirButtonsTheHostsLook) {
    host_.buttonStyle = 2;
    std::vector<int> looks;
    automation::CurrentScript()
        .Do("read the looks",
            [&] {
                HWND box = automation::ActiveWindow();
                for (int id : {IDYES, IDNO, IDCANCEL}) looks.push_back(HostButtonLook(GetDlgItem(box, id)));
                return true;
            })
        .Click("No");
    EXPECT_EQ(QuestionDialog(nullptr, "Save the changes?", kYesNoCancelTemplate), IDNO);
    EXPECT_EQ(looks, (std::vector<int>{2, 2, 2}));
    EXPECT_FALSE(automation::GetReport().scriptRanOut);
}

TEST(ShadeLines, RowsAndColumnsStepTowardsTheSecondColourTruncated) {
    SurfaceGuard surface;
    ASSERT_TRUE(surface.Open(8, 6));
    ShadeLines(surface.dc(), RECT{0, 0, 8, 4}, RGB(10, 20, 30), RGB(20, 10, 30), kShadeRows);
    ShadeLines(surface.dc(), RECT{2, 4, 6, 6}, RGB(0, 100, 7), RGB(3, 97, 7), kShadeColumns);
    GlobalBlock picture(surface.Take());
    GlobalLockGuard<BYTE> bits(picture.get());
    const COLORREF rows[] = {RGB(10, 20, 30), RGB(12, 17, 30), RGB(15, 15, 30), RGB(17, 12, 30)};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) EXPECT_EQ(GetDibPixel(bits.get(), x, y), rows[y]) << x << "," << y;
    const COLORREF columns[] = {RGB(0, 100, 7), RGB(0, 99, 7), RGB(1, 98, 7), RGB(2, 97, 7)};
    for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(GetDibPixel(bits.get(), 2 + x, 4), columns[x]) << x;
        EXPECT_EQ(GetDibPixel(bits.get(), 2 + x, 5), columns[x]) << x;
    }
    EXPECT_EQ(GetDibPixel(bits.get(), 1, 4), 0u);
    EXPECT_EQ(GetDibPixel(bits.get(), 6, 5), 0u);
}

}  // namespace
