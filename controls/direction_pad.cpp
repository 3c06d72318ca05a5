#include "controls/direction_pad.h"

#include <strings.h>

#include <cstdio>

#include "plugin/guards.h"
#include "settings/bound_controls.h"
#include "settings/text_parse.h"

namespace {

constexpr char kOriginalProcedure[] = "LumafexPadProcedure";

// Kept in a 16-byte moveable block held as the window's user data.
struct PadState {
    DWORD value;
    DWORD* bound;
};
static_assert(sizeof(PadState) == 16);

constexpr int kCell = 25;

HGLOBAL StateBlock(HWND window) { return reinterpret_cast<HGLOBAL>(GetWindowLongPtrA(window, GWLP_USERDATA)); }

// The text mirrors the value so that the dialog item reads it back.
void ShowValue(HWND window, DWORD value) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
    SetWindowTextA(window, text);
}

void SetValue(HWND window, DWORD value) {
    GlobalLockGuard<PadState> state(StateBlock(window));
    if (!state) return;
    state->value = value;
    if (state->bound) *state->bound = value;
    ShowValue(window, value);
    InvalidateRect(window, nullptr, TRUE);
}

// The number the pad's dialog item shows.
DWORD TextValue(HWND window) {
    char text[32] = {};
    GetDlgItemTextA(GetParent(window), GetDlgCtrlID(window), text, sizeof text);
    return ParseSettingNumber(text);
}

LRESULT PassOn(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto original = reinterpret_cast<WNDPROC>(GetPropA(window, kOriginalProcedure));
    if (message == WM_NCDESTROY) RemovePropA(window, kOriginalProcedure);
    return original ? CallWindowProcA(original, window, message, wParam, lParam)
                    : DefWindowProcA(window, message, wParam, lParam);
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
        SetValue(window, TextValue(window));
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
        SetValue(window, ParseSettingNumber(value));
        return 1;
    }
    case WM_LBUTTONDOWN: {
        SetCapture(window);
        POINT point{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
        int cell = DirectionPadCell(ways, point);
        if (cell >= 0) SetValue(window, static_cast<DWORD>(cell));
        return 0;
    }
    case WM_LBUTTONUP:
        if (GetCapture() == window) ReleaseCapture();
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
    static constexpr POINT kFourWay[4] = {{25, 0}, {50, 25}, {0, 25}, {25, 50}};
    static constexpr POINT kTwoWay[2] = {{0, 0}, {25, 0}};
    const POINT* cells = ways == 4 ? kFourWay : kTwoWay;
    for (int i = 0; i < ways; ++i)
        if (point.x >= cells[i].x && point.x < cells[i].x + kCell && point.y >= cells[i].y &&
            point.y < cells[i].y + kCell)
            return i;
    return -1;
}

void BindDirectionPad(HWND button, int ways, DWORD* setting) {
    if (!button || !setting) return;
    if (!GetPropA(button, kOriginalProcedure)) {
        SetPropA(button, kOriginalProcedure, reinterpret_cast<HANDLE>(GetWindowLongPtrA(button, GWLP_WNDPROC)));
    }
    SetWindowLongPtrA(button, GWLP_WNDPROC,
                      reinterpret_cast<LONG_PTR>(ways == 4 ? FourWayPadProc : TwoWayPadProc));
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
