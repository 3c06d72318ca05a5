#include "controls/direction_pad.h"

#include <strings.h>

#include <cstdio>

#include "controls/subclass.h"
#include "image/gdi_guards.h"
#include "image/packed_dib.h"
#include "plugin/guards.h"
#include "plugin/lifecycle.h"
#include "settings/bound_controls.h"
#include "settings/text_parse.h"

namespace {

constexpr char kOriginalProcedure[] = "LumafexPadProcedure";
constexpr char kCellChosen[] = "LumafexPadCellChosen";

// Kept in a 16-byte moveable block held as the window's user data.
struct PadState {
    DWORD value;
    DWORD* bound;
};
static_assert(sizeof(PadState) == 16);

constexpr int kCell = 25;
constexpr POINT kFourWayCells[4] = {{25, 0}, {50, 25}, {0, 25}, {25, 50}};
constexpr POINT kTwoWayCells[2] = {{0, 0}, {25, 0}};

const POINT* Cells(int ways) { return ways == 4 ? kFourWayCells : kTwoWayCells; }

RECT CellRect(int ways, int cell) {
    POINT corner = Cells(ways)[cell];
    return RECT{corner.x, corner.y, corner.x + kCell, corner.y + kCell};
}

HGLOBAL StateBlock(HWND window) { return reinterpret_cast<HGLOBAL>(GetWindowLongPtrA(window, GWLP_USERDATA)); }

// The text mirrors the value so that the dialog item reads it back.
void ShowValue(HWND window, DWORD value) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
    SetWindowTextA(window, text);
}

// Repaints the cells showing the old and the new value.
void SetValue(int ways, HWND window, DWORD value) {
    GlobalLockGuard<PadState> state(StateBlock(window));
    if (!state) return;
    for (DWORD cell : {state->value, value}) {
        if (cell >= static_cast<DWORD>(ways)) continue;
        RECT area = CellRect(ways, static_cast<int>(cell));
        InvalidateRect(window, &area, FALSE);
    }
    state->value = value;
    if (state->bound) *state->bound = value;
    ShowValue(window, value);
}

void RepaintOverParent(HWND window) {
    RECT area;
    GetWindowRect(window, &area);
    HWND parent = GetParent(window);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&area), 2);
    InvalidateRect(parent, &area, TRUE);
}

// Copies glyph cell of the strip to (x, y).
void DrawGlyph(HDC dc, HGLOBAL strip, int cell, int x, int y) {
    GlobalLockGuard<BITMAPINFO> picture(strip);
    if (!picture) return;
    const LONG h = picture->bmiHeader.biHeight;
    const int side = static_cast<int>(h) - 4;
    if (side <= 0) return;
    const BYTE* bits = reinterpret_cast<const BYTE*>(picture.get()) + sizeof(BITMAPINFOHEADER);
    // The square's top is 2 rows down; bottom-up pictures count rows from the bottom.
    StretchDIBits(dc, x, y, side, side, static_cast<int>(h) * cell + 2, static_cast<int>(h) - 2 - side, side, side,
                  bits, picture.get(), DIB_RGB_COLORS, SRCCOPY);
}

void Paint(int ways, HWND window) {
    DWORD value = 0xFFFFFFFF;
    {
        GlobalLockGuard<PadState> state(StateBlock(window));
        if (state) value = state->value;
    }
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (dc) {
        const int glyphs = ways == 4 ? kFourWayGlyphs : kTwoWayGlyphs;
        GlobalBlock pressedStrip, raisedStrip;
        for (int i = 0; i < ways; ++i) {
            RECT cell = CellRect(ways, i);
            const bool pressed = static_cast<DWORD>(i) == value;
            int d;
            if (pressed) {
                FillRect(dc, &cell, GetSysColorBrush(COLOR_BTNSHADOW));
                FrameRect(dc, &cell, GetSysColorBrush(COLOR_3DDKSHADOW));
                d = 2;
                if (!pressedStrip) pressedStrip.reset(LoadGlyphStrip(glyphs, GetSysColor(COLOR_BTNSHADOW)));
            } else {
                FillRect(dc, &cell, GetSysColorBrush(COLOR_BTNFACE));
                RECT edge = cell;
                DrawEdge(dc, &edge, EDGE_RAISED, BF_RECT);
                d = 1;
                if (!raisedStrip) raisedStrip.reset(LoadGlyphStrip(glyphs, GetSysColor(COLOR_BTNFACE)));
            }
            DrawGlyph(dc, pressed ? pressedStrip.get() : raisedStrip.get(), i, cell.left + 1 + d, cell.top + 1 + d);
        }
    }
    EndPaint(window, &paint);
}

// The number the pad's dialog item shows.
DWORD TextValue(HWND window) {
    char text[32] = {};
    GetDlgItemTextA(GetParent(window), GetDlgCtrlID(window), text, sizeof text);
    return ParseSettingNumber(text);
}

LRESULT PassOn(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCDESTROY) RemovePropA(window, kCellChosen);
    return CallKeptProcedure(kOriginalProcedure, window, message, wParam, lParam);
}

LRESULT PadMessage(int ways, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const char* prefix = ways == 4 ? "SCRL4D" : "SCRL2D";
    switch (message) {
    case kPadCreateMessage: {
        GlobalBlock block(GlobalAlloc(GHND, sizeof(PadState)));
        if (!block) return 0;
        {
            GlobalLockGuard<PadState> state(block.get());
            if (!state) return 0;
            state->value = static_cast<DWORD>(wParam);
            state->bound = reinterpret_cast<DWORD*>(lParam);
        }
        if (HGLOBAL old = StateBlock(window)) GlobalFree(old);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(block.release()));
        ShowValue(window, static_cast<DWORD>(wParam));
        InvalidateRect(window, nullptr, TRUE);
        return 1;
    }
    case kPadReadBackMessage:
        SetValue(ways, window, TextValue(window));
        return 0;
    case kWriteLineMessage:
        if (lParam)
            std::fprintf(reinterpret_cast<std::FILE*>(lParam), "%s%d=%lu\r\n", prefix, GetDlgCtrlID(window),
                         static_cast<unsigned long>(TextValue(window)));
        return 0;
    case kReadLineMessage: {
        const char* line = reinterpret_cast<const char*>(lParam);
        if (!line || strncasecmp(line, prefix, 6) != 0) return 0;
        const char* value = DocumentLineValue(line);
        if (!value) return 0;
        SetValue(ways, window, ParseSettingNumber(value));
        return 1;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        SetCapture(window);
        POINT point{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
        int cell = DirectionPadCell(ways, point);
        if (cell >= 0) {
            SetValue(ways, window, static_cast<DWORD>(cell));
            SetPropA(window, kCellChosen, reinterpret_cast<HANDLE>(1));
        }
        return 0;
    }
    case WM_LBUTTONUP:
        if (GetCapture() == window) ReleaseCapture();
        // A chosen cell is a click, so the dialog updates its preview.
        if (RemovePropA(window, kCellChosen))
            SendMessageA(GetParent(window), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(window), BN_CLICKED),
                         reinterpret_cast<LPARAM>(window));
        return 0;
    case WM_PAINT:
        Paint(ways, window);
        return 0;
    case WM_SETTEXT:
        // The text only mirrors the value; the button class would paint a
        // push button over the cells.
        return DefWindowProcA(window, message, wParam, lParam);
    case WM_MOUSEMOVE:
        // A pad has no pressed look of the button's own to follow the mouse.
        return 0;
    case WM_ENABLE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case BM_SETSTATE:
    case BM_SETCHECK:
    case BM_SETSTYLE: {
        // The class paints its own look at once; the parent's background
        // and the cells go back over it.
        LRESULT result = PassOn(window, message, wParam, lParam);
        RepaintOverParent(window);
        return result;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_NCPAINT:
        return 0;
    case WM_DESTROY:
        if (HGLOBAL block = StateBlock(window)) {
            {
                GlobalLockGuard<PadState> state(block);
                if (state && state->bound) *state->bound = state->value;
            }
            GlobalFree(block);
            SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        }
        break;
    }
    return PassOn(window, message, wParam, lParam);
}

LRESULT CALLBACK FourWayPadProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return PadMessage(4, window, message, wParam, lParam);
}

LRESULT CALLBACK TwoWayPadProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return PadMessage(2, window, message, wParam, lParam);
}

}  // namespace

SIZE DirectionPadSize(int ways) { return ways == 4 ? SIZE{75, 75} : SIZE{50, 25}; }

int DirectionPadCell(int ways, POINT point) {
    for (int i = 0; i < ways; ++i) {
        RECT cell = CellRect(ways, i);
        if (PtInRect(&cell, point)) return i;
    }
    return -1;
}

HGLOBAL LoadGlyphStrip(int resourceId, COLORREF background) {
    if (background == kButtonFaceBackground) background = GetSysColor(COLOR_BTNFACE);
    HMODULE module = PluginModule();
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCE(resourceId), RT_RCDATA);
    HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
    const BYTE* bytes = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    const DWORD size = resource ? SizeofResource(module, resource) : 0;
    constexpr DWORD kFileHeader = 14;
    if (!bytes || size <= kFileHeader + sizeof(BITMAPINFOHEADER) || bytes[0] != 'B' || bytes[1] != 'M') return nullptr;
    // A block of its own keeps the header aligned whatever the resource's place.
    GlobalBlock file(GlobalBlockFromMemory(bytes + kFileHeader, size - kFileHeader));
    GlobalLockGuard<BYTE> glyphs(file.get());
    DibLayout in;
    if (!glyphs || !PackedDibFits(glyphs.get(), size - kFileHeader) || !DibLayout::From(glyphs.get(), in) ||
        (in.bits != 24 && in.bits != 32))
        return nullptr;
    GlobalBlock strip(CreatePackedDib(in.width, in.height, nullptr, 24));
    GlobalLockGuard<BYTE> out(strip.get());
    DibLayout target;
    if (!out || !DibLayout::From(out.get(), target)) return nullptr;
    for (LONG y = 0; y < in.height; ++y) {
        const BYTE* source = in.Row(glyphs.get(), y);
        BYTE* row = target.Row(out.get(), y);
        for (LONG x = 0; x < in.width; ++x) {
            DWORD pixel = in.Read(source, x);
            DWORD a = in.bits == 32 ? pixel >> 24 : 255;
            DWORD composed = 0;
            for (int shift = 0; shift < 24; shift += 8) {
                DWORD c = (pixel >> shift) & 0xFF, b = (background >> shift) & 0xFF;
                composed |= (c * a / 255 + b * (255 - a) / 255) << shift;
            }
            target.Write(row, x, composed);
        }
    }
    return strip.release();
}

void BindDirectionPad(HWND button, int ways, DWORD* setting) {
    if (!button || !setting) return;
    SubclassControl(button, kOriginalProcedure, ways == 4 ? FourWayPadProc : TwoWayPadProc);
    SIZE size = DirectionPadSize(ways);
    SetWindowPos(button, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageA(button, kPadCreateMessage, *setting, reinterpret_cast<LPARAM>(setting));
}

int DirectionPadValue(HWND window) {
    auto procedure = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC));
    if (procedure != FourWayPadProc && procedure != TwoWayPadProc) return -1;
    GlobalLockGuard<PadState> state(StateBlock(window));
    return state ? static_cast<int>(state->value) : -1;
}
