#include <commctrl.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "luma/automation.h"
#include "luma/driver.h"
#include "tests/user/support.h"
#include "tests/user/test_dialog.h"

namespace user_tests {
namespace {

namespace automation = luma::automation;
using Strings = std::vector<std::string>;

// A rendered window: a 24-bit bottom-up packed DIB read pixel by pixel.
class Shot {
public:
    explicit Shot(HWND hwnd) : block_(automation::Render(hwnd)) {
        if (!block_) return;
        auto* bytes = static_cast<const BYTE*>(GlobalLock(block_));
        std::memcpy(&header_, bytes, sizeof header_);
        stride_ = (header_.biWidth * 3 + 3) & ~3;
        pixels_.assign(bytes + sizeof header_, bytes + GlobalSize(block_));
        GlobalUnlock(block_);
    }
    ~Shot() {
        if (block_) GlobalFree(block_);
    }
    Shot(const Shot&) = delete;
    Shot& operator=(const Shot&) = delete;

    bool ok() const { return block_ != nullptr; }
    int width() const { return header_.biWidth; }
    int height() const { return header_.biHeight; }
    const BITMAPINFOHEADER& header() const { return header_; }
    COLORREF At(int x, int y) const {
        const BYTE* p = &pixels_[static_cast<size_t>(height() - 1 - y) * stride_ + static_cast<size_t>(x) * 3];
        return RGB(p[2], p[1], p[0]);
    }
    int Count(const RECT& r, COLORREF color) const {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) n += At(x, y) == color;
        return n;
    }
    const std::vector<BYTE>& pixels() const { return pixels_; }

private:
    HGLOBAL block_;
    BITMAPINFOHEADER header_{};
    int stride_ = 0;
    std::vector<BYTE> pixels_;
};

COLORREF Sys(int index) { return GetSysColor(index); }

// A control's window rectangle in the coordinates of its dialog's picture.
RECT InPicture(HWND dialog, int id) {
    RECT r, top;
    GetWindowRect(GetDlgItem(dialog, id), &r);
    GetWindowRect(dialog, &top);
    OffsetRect(&r, -top.left, -top.top);
    return r;
}

class Painting : public Clean {};

LRESULT CALLBACK PaintNothing(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Log().push_back({hwnd, msg, wParam, lParam});
    if (msg == WM_PAINT) return 0;  // never validates
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

TEST_F(Painting, PaintMessagesInWindowsOrder) {
    HWND top = MakeWindow(WS_POPUP | WS_VISIBLE, nullptr, 0, RECT{0, 0, 200, 100});
    HWND child = MakeWindow(WS_CHILD | WS_VISIBLE | WS_BORDER, top, 1, RECT{10, 10, 60, 40});
    ClearLog();
    automation::Pump();
    EXPECT_EQ(Names(child), (Strings{"WM_PAINT", "WM_NCPAINT", "WM_ERASEBKGND"}))
        << "BeginPaint draws the frame, then the background";
    auto firstTop = std::find_if(Log().begin(), Log().end(), [&](const Logged& l) { return l.hwnd == top; });
    auto firstChild = std::find_if(Log().begin(), Log().end(), [&](const Logged& l) { return l.hwnd == child; });
    EXPECT_LT(firstTop, firstChild) << "a parent paints before its children";
    ClearLog();
    automation::Pump();
    EXPECT_TRUE(Log().empty()) << "painted windows are valid";
    RECT part{5, 5, 10, 10};
    InvalidateRect(child, &part, FALSE);
    RECT update;
    EXPECT_TRUE(GetUpdateRect(child, &update, FALSE));
    EXPECT_TRUE(EqualRect(&update, &part));
    UpdateWindow(child);
    EXPECT_EQ(Names(child), (Strings{"WM_PAINT"})) << "no erase asked for, none sent";
    EXPECT_FALSE(GetUpdateRect(child, &update, FALSE));
    ClearLog();
    InvalidateRect(child, nullptr, TRUE);
    ValidateRect(child, nullptr);
    automation::Pump();
    EXPECT_TRUE(Names(child).empty());
    DestroyWindow(top);
}

TEST_F(Painting, AProcedureThatNeverPaintsIsAskedOnce) {
    HWND top = MakeWindow(WS_POPUP | WS_VISIBLE, nullptr, 0, RECT{0, 0, 50, 50});
    SetWindowLongPtrA(top, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PaintNothing));
    InvalidateRect(top, nullptr, TRUE);
    ClearLog();
    automation::Pump();
    EXPECT_EQ(Names(top), (Strings{"WM_PAINT"}));
    DestroyWindow(top);
}

TEST_F(Painting, WindowDcsDrawOnTheirPartOfTheTopLevelPicture) {
    HWND top = MakeWindow(WS_POPUP | WS_VISIBLE, nullptr, 0, RECT{100, 100, 300, 200});
    HWND child = MakeWindow(WS_CHILD | WS_VISIBLE, top, 1, RECT{20, 30, 60, 50});
    automation::Pump();
    size_t dcs = luma::LiveDeviceContexts();
    HDC dc = GetDC(child);
    ASSERT_TRUE(dc);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    RECT everywhere{-50, -50, 500, 500};
    FillRect(dc, &everywhere, red);  // reaches only the child's client area
    DeleteObject(red);
    EXPECT_EQ(ReleaseDC(child, dc), 1);
    EXPECT_EQ(luma::LiveDeviceContexts(), dcs);
    Shot shot(top);
    ASSERT_TRUE(shot.ok());
    EXPECT_EQ(shot.width(), 200);
    EXPECT_EQ(shot.height(), 100);
    EXPECT_EQ(shot.Count(RECT{0, 0, 200, 100}, RGB(255, 0, 0)), 40 * 20);
    EXPECT_EQ(shot.At(20, 30), RGB(255, 0, 0));
    EXPECT_EQ(shot.At(59, 49), RGB(255, 0, 0));
    EXPECT_NE(shot.At(60, 49), RGB(255, 0, 0));
    // A child reaches no further than its parent's client area.
    HWND spill = MakeWindow(WS_CHILD | WS_VISIBLE, top, 2, RECT{180, 80, 260, 140});
    HDC spillDc = GetDC(spill);
    HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
    FillRect(spillDc, &everywhere, green);
    DeleteObject(green);
    ReleaseDC(spill, spillDc);
    Shot second(top);
    EXPECT_EQ(second.Count(RECT{0, 0, 200, 100}, RGB(0, 255, 0)), 20 * 20);
    // Each window's view of the picture starts at its own corner.
    luma::WindowPicture view = luma::GetWindowPicture(child);
    ASSERT_TRUE(view.bits);
    EXPECT_EQ(view.width, 40);
    EXPECT_EQ(view.height, 20);
    EXPECT_EQ(view.bits[2], 255) << "red in BGR order";
    DestroyWindow(top);
    EXPECT_EQ(luma::LiveDeviceContexts(), dcs);
}

TEST_F(Painting, ClassBrushErasesAndFramesAreDrawn) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = "UserTestsWhite";
    ASSERT_TRUE(RegisterClassA(&wc));
    HWND top = CreateWindowExA(0, "UserTestsWhite", "", WS_POPUP | WS_VISIBLE | WS_BORDER, 0, 0, 30, 20, nullptr,
                               nullptr, nullptr, nullptr);
    Shot shot(top);
    ASSERT_TRUE(shot.ok());
    EXPECT_EQ(shot.At(0, 0), Sys(COLOR_WINDOWFRAME)) << "a plain border";
    EXPECT_EQ(shot.At(29, 19), Sys(COLOR_WINDOWFRAME));
    EXPECT_EQ(shot.Count(RECT{1, 1, 29, 19}, Sys(COLOR_WINDOW)), 28 * 18) << "the class brush erased the client area";
    DestroyWindow(top);
    UnregisterClassA("UserTestsWhite", GetModuleHandleA(nullptr));
}

LRESULT CALLBACK Marker(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_ERASEBKGND) return 1;  // see-through
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT box{2, 2, 8, 8};
        InvertRect(dc, &box);
        EndPaint(hwnd, &ps);
        Log().push_back({hwnd, msg, 0, 0});
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

TEST_F(Painting, TransparentWindowPaintsOverWhatIsBeneath) {
    HWND top = MakeWindow(WS_POPUP | WS_VISIBLE, nullptr, 0, RECT{0, 0, 100, 100});
    HWND below = CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 10, 10, 40, 40, top, nullptr,
                                 nullptr, nullptr);
    HWND marker = MakeWindow(WS_CHILD | WS_VISIBLE, top, 3, RECT{10, 10, 50, 50}, WS_EX_TRANSPARENT);
    SetWindowLongPtrA(marker, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Marker));
    SetWindowPos(marker, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ClearLog();
    Shot shot(top);
    ASSERT_TRUE(shot.ok());
    // The button's face, inverted where the marker drew, and untouched elsewhere.
    COLORREF face = Sys(COLOR_BTNFACE);
    COLORREF inverted = RGB(255 - GetRValue(face), 255 - GetGValue(face), 255 - GetBValue(face));
    EXPECT_EQ(shot.At(15, 15), inverted);
    EXPECT_EQ(shot.At(30, 30), face);
    // Repainting what lies beneath brings the transparent window back on top of it.
    ClearLog();
    InvalidateRect(below, nullptr, TRUE);
    automation::Pump();
    EXPECT_EQ(Names(marker), (Strings{"WM_PAINT"}));
    Shot again(top);
    EXPECT_EQ(again.At(15, 15), inverted);
    DestroyWindow(top);
}

TEST_F(Painting, BitmapsFromResourcesAndFiles) {
    size_t gdi = luma::LiveGdiObjects();
    HBITMAP bitmap = LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(501));
    ASSERT_TRUE(bitmap);
    BITMAP info{};
    ASSERT_TRUE(GetObjectA(bitmap, sizeof info, &info));
    EXPECT_EQ(info.bmWidth, 3);
    EXPECT_EQ(info.bmHeight, 2);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 0, 0)) << "the file's top row is red, green, blue";
    EXPECT_EQ(GetPixel(dc, 2, 0), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(dc, 1, 1), RGB(40, 50, 60));
    SelectObject(dc, old);
    DeleteObject(bitmap);
    // A DIB section keeps the resource's own format; sizes scale the picture.
    auto section = static_cast<HBITMAP>(
        LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(501), IMAGE_BITMAP, 6, 4, LR_CREATEDIBSECTION));
    ASSERT_TRUE(section);
    DIBSECTION ds{};
    ASSERT_EQ(GetObjectA(section, sizeof ds, &ds), static_cast<int>(sizeof ds));
    EXPECT_EQ(ds.dsBm.bmWidth, 6);
    EXPECT_EQ(ds.dsBmih.biBitCount, 24);
    old = SelectObject(dc, section);
    EXPECT_EQ(GetPixel(dc, 5, 0), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(dc, 0, 3), RGB(10, 20, 30));
    SelectObject(dc, old);
    DeleteObject(section);
    std::string file = std::string(LUMAFEX_SOURCE_DIR) + "/tests/user/data/swatch.bmp";
    auto fromFile = static_cast<HBITMAP>(LoadImageA(nullptr, file.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    ASSERT_TRUE(fromFile);
    old = SelectObject(dc, fromFile);
    EXPECT_EQ(GetPixel(dc, 1, 0), RGB(0, 255, 0));
    SelectObject(dc, old);
    DeleteObject(fromFile);
    DeleteDC(dc);
    EXPECT_EQ(LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(502)), nullptr) << "RCDATA is no bitmap";
    EXPECT_EQ(LoadImageA(nullptr, "/no/such/file.bmp", IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr);
    EXPECT_EQ(luma::LiveGdiObjects(), gdi);
}

class Screenshot : public Clean {
protected:
    void SetUp() override {
        Clean::SetUp();
        gdi_ = luma::LiveGdiObjects();
        dialog_ = CreateDialogParamA(GetModuleHandleA(nullptr), kTestDialogName, nullptr, TestDialogProc,
                                     reinterpret_cast<LPARAM>(&seen_));
        ASSERT_TRUE(dialog_);
        ShowWindow(dialog_, SW_SHOW);
        automation::Pump();
    }
    void TearDown() override {
        DestroyWindow(dialog_);
        EXPECT_EQ(luma::LiveGdiObjects(), gdi_) << "GDI objects left behind";
        Clean::TearDown();
    }
    POINT ClientOrigin() const {
        POINT o{0, 0};
        ClientToScreen(dialog_, &o);
        RECT top;
        GetWindowRect(dialog_, &top);
        return POINT{o.x - top.left, o.y - top.top};
    }
    Observed seen_;
    HWND dialog_ = nullptr;
    size_t gdi_ = 0;
};

TEST_F(Screenshot, TestDialogInTheClassicLook) {
    Shot shot(dialog_);
    ASSERT_TRUE(shot.ok());
    RECT window;
    GetWindowRect(dialog_, &window);
    ASSERT_EQ(shot.width(), window.right - window.left);
    ASSERT_EQ(shot.height(), window.bottom - window.top);
    EXPECT_EQ(shot.header().biBitCount, 24);
    int w = shot.width(), h = shot.height();
    // The dialog frame: a raised edge and a ring of the face colour.
    EXPECT_EQ(shot.At(0, 0), Sys(COLOR_3DLIGHT));
    EXPECT_EQ(shot.At(1, 1), Sys(COLOR_3DHILIGHT));
    EXPECT_EQ(shot.At(2, 2), Sys(COLOR_3DFACE));
    EXPECT_EQ(shot.At(w - 1, h - 1), Sys(COLOR_3DDKSHADOW));
    EXPECT_EQ(shot.At(w - 2, h - 2), Sys(COLOR_3DSHADOW));
    // The caption of the active dialog runs from the caption colour towards its gradient colour.
    EXPECT_EQ(shot.At(3, 3), Sys(COLOR_ACTIVECAPTION));
    EXPECT_NE(shot.At(w - 40, 3), Sys(COLOR_ACTIVECAPTION));
    int captionText = shot.Count(RECT{3, 3, w / 2, 21}, Sys(COLOR_CAPTIONTEXT));
    EXPECT_GT(captionText, 20) << "the title is written in the caption text colour";
    POINT client = ClientOrigin();
    EXPECT_EQ(client.x, 3);
    EXPECT_EQ(client.y, 3 + GetSystemMetrics(SM_CYCAPTION));
    EXPECT_EQ(shot.At(client.x + 2, client.y + 2), Sys(COLOR_3DFACE)) << "the dialog erases with the face colour";
    // The owner-drawn button shows what WM_DRAWITEM painted, with the DRAWITEMSTRUCT Windows fills.
    RECT swatch = InPicture(dialog_, kSwatchButton);
    EXPECT_EQ(shot.Count(swatch, kSwatchColor), (swatch.right - swatch.left) * (swatch.bottom - swatch.top));
    ASSERT_GE(seen_.drawItems, 1);
    EXPECT_EQ(seen_.lastDraw.CtlType, static_cast<UINT>(ODT_BUTTON));
    EXPECT_EQ(seen_.lastDraw.CtlID, static_cast<UINT>(kSwatchButton));
    EXPECT_EQ(seen_.lastDraw.itemAction, static_cast<UINT>(ODA_DRAWENTIRE));
    EXPECT_EQ(seen_.lastDraw.itemState, 0u);
    EXPECT_EQ(seen_.lastDraw.hwndItem, GetDlgItem(dialog_, kSwatchButton));
    EXPECT_EQ(seen_.lastDraw.rcItem.right, swatch.right - swatch.left);
    EXPECT_EQ(seen_.lastDraw.rcItem.bottom, swatch.bottom - swatch.top);
    // The default push button wears a black ring outside its raised edge; the others do not.
    RECT ok = InPicture(dialog_, IDOK);
    EXPECT_EQ(shot.At(ok.left, ok.top), Sys(COLOR_WINDOWFRAME));
    EXPECT_EQ(shot.At(ok.left + 1, ok.top + 1), Sys(COLOR_3DHILIGHT));
    EXPECT_EQ(shot.At(ok.right - 2, ok.bottom - 2), Sys(COLOR_3DDKSHADOW));
    EXPECT_EQ(shot.At(ok.right - 3, ok.bottom - 3), Sys(COLOR_3DSHADOW));
    RECT cancel = InPicture(dialog_, IDCANCEL);
    EXPECT_EQ(shot.At(cancel.left, cancel.top), Sys(COLOR_3DHILIGHT));
    EXPECT_EQ(shot.At(cancel.right - 1, cancel.bottom - 1), Sys(COLOR_3DDKSHADOW));
    EXPECT_GT(shot.Count(cancel, Sys(COLOR_BTNTEXT)), 10) << "the caption of the button";
    // The edit field sits in a sunken edge, white inside.
    RECT edit = InPicture(dialog_, kAmountEdit);
    EXPECT_EQ(shot.At(edit.left, edit.top), Sys(COLOR_3DSHADOW));
    EXPECT_EQ(shot.At(edit.left + 1, edit.top + 1), Sys(COLOR_3DDKSHADOW));
    EXPECT_EQ(shot.At(edit.left, edit.bottom - 1), Sys(COLOR_3DHILIGHT));
    EXPECT_EQ(shot.At(edit.right - 5, edit.bottom - 4), Sys(COLOR_WINDOW));
    EXPECT_GT(shot.Count(edit, Sys(COLOR_WINDOWTEXT)), 10) << "the text \"12\"";
    // The label before it is written in the window text colour.
    RECT spin = InPicture(dialog_, kAmountSpin);
    RECT label{client.x + 10, edit.top, edit.left - 2, edit.bottom};
    EXPECT_GT(shot.Count(label, Sys(COLOR_WINDOWTEXT)), 10);
    // The up-down draws two raised arrow buttons with black arrows.
    EXPECT_GT(shot.Count(spin, Sys(COLOR_BTNTEXT)), 4);
    // The drop-down list: a sunken box, empty while nothing is selected, and its button.
    RECT list = InPicture(dialog_, kEffectList);
    EXPECT_EQ(shot.At(list.left, list.top), Sys(COLOR_3DSHADOW));
    EXPECT_EQ(shot.At(list.left + 5, list.top + 5), Sys(COLOR_WINDOW));
    RECT button{list.right - 2 - GetSystemMetrics(SM_CXVSCROLL), list.top + 2, list.right - 2, list.bottom - 2};
    EXPECT_EQ(shot.At(button.left, button.top), Sys(COLOR_3DLIGHT)) << "raised";
    RECT face = button;
    InflateRect(&face, -2, -2);  // inside the raised edge, whose dark side is black too
    EXPECT_EQ(shot.Count(face, Sys(COLOR_BTNTEXT)), 7 + 5 + 3 + 1) << "the classic down arrow";
    // Identical state, identical picture.
    Shot twice(dialog_);
    EXPECT_EQ(shot.pixels(), twice.pixels());
}

TEST_F(Screenshot, StateChangesShowInThePicture) {
    RECT check = InPicture(dialog_, kDitherCheck);
    RECT box{check.left, check.top, check.left + 13, check.bottom};
    Shot before(dialog_);
    int blackBefore = before.Count(box, Sys(COLOR_WINDOWTEXT));
    ASSERT_TRUE(automation::SetCheck(kDitherCheck, true));
    Shot checked(dialog_);
    EXPECT_EQ(checked.Count(box, Sys(COLOR_WINDOWTEXT)), blackBefore + 21) << "seven bars three pixels tall";
    // Pressing the owner-drawn button: WM_DRAWITEM says selected and focused, and it shows.
    RECT swatch = InPicture(dialog_, kSwatchButton);
    ASSERT_TRUE(automation::MouseDown(kSwatchButton, POINT{5, 5}));
    EXPECT_TRUE(seen_.lastDraw.itemState & ODS_SELECTED);
    EXPECT_EQ(seen_.lastDraw.itemAction, static_cast<UINT>(ODA_SELECT));
    Shot pressed(dialog_);
    EXPECT_EQ(pressed.At((swatch.left + swatch.right) / 2, (swatch.top + swatch.bottom) / 2), kSwatchPressed);
    ASSERT_TRUE(automation::MouseUp(kSwatchButton, POINT{5, 5}));
    EXPECT_FALSE(seen_.lastDraw.itemState & ODS_SELECTED);
    EXPECT_TRUE(seen_.lastDraw.itemState & ODS_FOCUS);
    EXPECT_TRUE(seen_.Saw("command 105 0")) << "BN_CLICKED still reaches the dialog";
    Shot released(dialog_);
    EXPECT_EQ(released.At((swatch.left + swatch.right) / 2, (swatch.top + swatch.bottom) / 2), kSwatchColor);
    EXPECT_LT(released.Count(swatch, kSwatchColor), (swatch.right - swatch.left) * (swatch.bottom - swatch.top))
        << "its focus rectangle";
    // A pressed default button turns flat, framed in the shadow colour.
    RECT ok = InPicture(dialog_, IDOK);
    ASSERT_TRUE(automation::MouseDown(IDOK, POINT{3, 3}));
    Shot down(dialog_);
    EXPECT_EQ(down.At(ok.left, ok.top), Sys(COLOR_WINDOWFRAME));
    EXPECT_EQ(down.At(ok.left + 1, ok.top + 1), Sys(COLOR_3DSHADOW));
    ASSERT_TRUE(automation::MouseUp(IDOK, POINT{200, 3}));  // released outside: no click
    EXPECT_FALSE(seen_.Saw("command 1 0"));
}

TEST_F(Screenshot, HiddenWindowsHaveNoPicture) {
    ShowWindow(dialog_, SW_HIDE);
    EXPECT_EQ(automation::Render(dialog_), nullptr);
    EXPECT_EQ(automation::Render(nullptr), nullptr);
}

}  // namespace
}  // namespace user_tests
