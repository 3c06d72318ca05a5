// Focus, activation and mouse capture in Windows' message order; the state
// of keys and of the mouse cursor; system cursors, beeps and metrics.
#include <windows.h>

#include <array>

#include "wm.h"

namespace luma::wm {

InputState& Input() {
    static InputState* state = new InputState;
    return *state;
}

namespace {

HWND SetFocusWindow(HWND hwnd) {
    InputState& in = Input();
    HWND previous = in.focus;
    if (previous == hwnd) return previous;
    in.focus = hwnd;
    if (previous) {
        SendMessageA(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
        Notify(previous, kFocusChanged);
    }
    if (in.focus != hwnd) return previous;  // moved on while the old window lost it
    if (hwnd) {
        SendMessageA(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
        Notify(hwnd, kFocusChanged);
    }
    return previous;
}

bool CanActivate(const Window* w) {
    return w && !w->destroying && (w->style & WS_VISIBLE) && !(w->style & WS_DISABLED);
}

}  // namespace

void ActivateWindow(HWND top, bool byMouse) {
    InputState& in = Input();
    HWND previous = in.active;
    if (previous == top) return;
    if (previous && Lookup(previous)) {
        SendMessageA(previous, WM_NCACTIVATE, FALSE, reinterpret_cast<LPARAM>(top));
        if (Lookup(previous))
            SendMessageA(previous, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, IsIconic(previous) ? 1 : 0),
                         reinterpret_cast<LPARAM>(top));
    }
    in.active = top;
    if (!top) {
        SetFocusWindow(nullptr);
        return;
    }
    if (!Lookup(top)) return;
    SendMessageA(top, WM_NCACTIVATE, TRUE, reinterpret_cast<LPARAM>(previous));
    if (!Lookup(top)) return;
    SendMessageA(top, WM_ACTIVATE, MAKEWPARAM(byMouse ? WA_CLICKACTIVE : WA_ACTIVE, 0),
                 reinterpret_cast<LPARAM>(previous));
    if (in.active != top || !Lookup(top)) return;
    if (!in.focus || GetAncestor(in.focus, GA_ROOT) != top) SetFocusWindow(top);
}

void ActivateOtherWindow(HWND leaving) {
    Window* w = Lookup(leaving);
    HWND next = nullptr;
    if (w && w->owner && CanActivate(Lookup(w->owner))) next = w->owner;
    if (!next) {
        for (HWND top : TopLevelWindows()) {
            Window* t = Lookup(top);
            if (top != leaving && CanActivate(t) && !(t->owner == leaving)) {
                next = top;
                break;
            }
        }
    }
    if (Input().active == leaving) ActivateWindow(next, false);
}

void ForgetWindow(HWND hwnd) {
    InputState& in = Input();
    if (in.focus == hwnd) in.focus = nullptr;
    if (in.capture == hwnd) in.capture = nullptr;
    if (in.active == hwnd) in.active = nullptr;
    if (in.lastDownWindow == hwnd) in.lastDownValid = false;
}

}  // namespace luma::wm

using namespace luma::wm;

namespace {

struct SystemCursor {
    WORD id;
};

// System cursors and icons are fixed records; their handles are their addresses.
constexpr std::array<WORD, 14> kCursorIds = {32512, 32513, 32514, 32515, 32516, 32642, 32643,
                                             32644, 32645, 32646, 32648, 32649, 32650, 32651};
constexpr std::array<WORD, 5> kIconIds = {32512, 32513, 32514, 32515, 32516};

SystemCursor* Cursors() {
    static SystemCursor cursors[kCursorIds.size()];
    static bool ready = false;
    if (!ready) {
        for (size_t i = 0; i < kCursorIds.size(); ++i) cursors[i].id = kCursorIds[i];
        ready = true;
    }
    return cursors;
}

SystemCursor* Icons() {
    static SystemCursor icons[kIconIds.size()];
    static bool ready = false;
    if (!ready) {
        for (size_t i = 0; i < kIconIds.size(); ++i) icons[i].id = kIconIds[i];
        ready = true;
    }
    return icons;
}

bool IsKeyDown(int key) {
    const BYTE* keys = Input().keys;
    if (key == VK_SHIFT) return (keys[VK_SHIFT] | keys[VK_LSHIFT] | keys[VK_RSHIFT]) & 0x80;
    if (key == VK_CONTROL) return (keys[VK_CONTROL] | keys[VK_LCONTROL] | keys[VK_RCONTROL]) & 0x80;
    if (key < 0 || key > 255) return false;
    return keys[key] & 0x80;
}

}  // namespace

namespace luma {

void SetKeyDown(UINT virtualKey, bool down) {
    if (virtualKey > 255) return;
    BYTE& k = wm::Input().keys[virtualKey];
    if (down) {
        if (!(k & 0x80)) k ^= 0x01;  // toggled on each press
        k |= 0x80;
    } else {
        k &= static_cast<BYTE>(~0x80);
    }
}

}  // namespace luma

extern "C" {

HWND WINAPI SetFocus(HWND hwnd) {
    InputState& in = Input();
    HWND previous = in.focus;
    if (!hwnd) {
        SetFocusWindow(nullptr);
        return previous;
    }
    Window* w = Find(hwnd);
    if (!w || IsDesktop(w)) return nullptr;
    if (hwnd == previous) return previous;
    // A window can take the focus only when it and its parents are enabled.
    Window* top = w;
    for (;;) {
        if (top->style & (WS_MINIMIZE | WS_DISABLED)) return nullptr;
        if (!top->parent || IsDesktop(top->parent)) {
            if (top->IsChild()) return nullptr;
            break;
        }
        top = top->parent;
    }
    HWND topHandle = top->handle;
    if (topHandle != in.active) {
        ActivateWindow(topHandle, false);
        if (!Lookup(hwnd) || in.active != topHandle) return nullptr;
    }
    SetFocusWindow(hwnd);
    return previous;
}

HWND WINAPI GetFocus(void) { return Input().focus; }

HWND WINAPI SetActiveWindow(HWND hwnd) {
    HWND previous = Input().active;
    if (hwnd) {
        Window* w = Find(hwnd);
        if (!w || !w->IsTopLevel()) return nullptr;
    }
    ActivateWindow(hwnd, false);
    return previous;
}

HWND WINAPI GetActiveWindow(void) { return Input().active; }

BOOL WINAPI SetForegroundWindow(HWND hwnd) {
    Window* w = Find(hwnd);
    if (!w) return FALSE;
    HWND top = GetAncestor(hwnd, GA_ROOT);
    ActivateWindow(top, false);
    return TRUE;
}

HWND WINAPI GetForegroundWindow(void) { return Input().active; }

HWND WINAPI SetCapture(HWND hwnd) {
    InputState& in = Input();
    HWND previous = in.capture;
    if (hwnd && !Find(hwnd)) return nullptr;
    if (previous == hwnd) return previous;
    in.capture = hwnd;
    if (previous && Lookup(previous))
        SendMessageA(previous, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
    return previous;
}

BOOL WINAPI ReleaseCapture(void) {
    InputState& in = Input();
    HWND previous = in.capture;
    in.capture = nullptr;
    if (previous && Lookup(previous)) SendMessageA(previous, WM_CAPTURECHANGED, 0, 0);
    return TRUE;
}

HWND WINAPI GetCapture(void) { return Input().capture; }

SHORT WINAPI GetKeyState(int key) {
    SHORT state = IsKeyDown(key) ? static_cast<SHORT>(0x8000) : 0;
    if (key >= 0 && key < 256 && (Input().keys[key] & 0x01)) state |= 1;
    return state;
}

SHORT WINAPI GetAsyncKeyState(int key) { return IsKeyDown(key) ? static_cast<SHORT>(0x8000) : 0; }

BOOL WINAPI GetCursorPos(LPPOINT point) {
    if (!point) return FALSE;
    *point = Input().cursor;
    return TRUE;
}

BOOL WINAPI SetCursorPos(int x, int y) {
    SIZE screen = luma::CurrentDriver().ScreenSize();
    Input().cursor = POINT{std::clamp(x, 0, static_cast<int>(screen.cx) - 1), std::clamp(y, 0, static_cast<int>(screen.cy) - 1)};
    return TRUE;
}

HCURSOR WINAPI SetCursor(HCURSOR cursor) {
    InputState& in = Input();
    HCURSOR previous = in.cursorShape;
    in.cursorShape = cursor;
    if (previous != cursor) luma::CurrentDriver().CursorChanged(cursor);
    return previous;
}

HCURSOR WINAPI GetCursor(void) { return Input().cursorShape; }

int WINAPI ShowCursor(BOOL show) {
    InputState& in = Input();
    in.cursorCount += show ? 1 : -1;
    return in.cursorCount;
}

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
    if (!instance && IS_INTRESOURCE(name)) {
        WORD id = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name));
        for (size_t i = 0; i < kCursorIds.size(); ++i)
            if (kCursorIds[i] == id) return reinterpret_cast<HCURSOR>(&Cursors()[i]);
    }
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}

HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name) {
    if (!instance && IS_INTRESOURCE(name)) {
        WORD id = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name));
        for (size_t i = 0; i < kIconIds.size(); ++i)
            if (kIconIds[i] == id) return reinterpret_cast<HICON>(&Icons()[i]);
    }
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}

BOOL WINAPI DestroyCursor(HCURSOR) { return TRUE; }  // system cursors are shared and never freed
BOOL WINAPI DestroyIcon(HICON) { return TRUE; }

BOOL WINAPI MessageBeep(UINT type) {
    luma::CurrentDriver().Beep(type);
    return TRUE;
}

UINT WINAPI GetDoubleClickTime(void) { return 500; }

int WINAPI GetSystemMetrics(int index) {
    SIZE screen = luma::CurrentDriver().ScreenSize();
    // The classic scheme at 96 dots per inch.
    switch (index) {
    case SM_CXSCREEN:
    case SM_CXFULLSCREEN:
    case SM_CXVIRTUALSCREEN:
    case SM_CXMAXIMIZED:
    case SM_CXMAXTRACK: return screen.cx;
    case SM_CYSCREEN:
    case SM_CYVIRTUALSCREEN:
    case SM_CYMAXIMIZED:
    case SM_CYMAXTRACK: return screen.cy;
    case SM_CYFULLSCREEN: return screen.cy - 19;
    case SM_XVIRTUALSCREEN:
    case SM_YVIRTUALSCREEN: return 0;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVSCROLL:
    case SM_CXHSCROLL:
    case SM_CYVTHUMB:
    case SM_CXHTHUMB: return 16;
    case SM_CYCAPTION: return 19;
    case SM_CYSMCAPTION: return 15;
    case SM_CXBORDER:
    case SM_CYBORDER: return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME: return 3;
    case SM_CXFRAME:
    case SM_CYFRAME: return 4;
    case SM_CXEDGE:
    case SM_CYEDGE: return 2;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR: return 32;
    case SM_CXSMICON:
    case SM_CYSMICON: return 16;
    case SM_CYMENU: return 19;
    case SM_CXSIZE:
    case SM_CYSIZE: return 18;
    case SM_CXSMSIZE:
    case SM_CYSMSIZE: return 12;
    case SM_CXMENUSIZE:
    case SM_CYMENUSIZE: return 18;
    case SM_CXMENUCHECK:
    case SM_CYMENUCHECK: return 13;
    case SM_CXMIN: return 112;
    case SM_CYMIN: return 27;
    case SM_CXMINTRACK: return 112;
    case SM_CYMINTRACK: return 27;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
    case SM_CXDRAG:
    case SM_CYDRAG: return 4;
    case SM_CXICONSPACING:
    case SM_CYICONSPACING: return 75;
    case SM_MOUSEPRESENT:
    case SM_MOUSEWHEELPRESENT:
    case SM_CMONITORS:
    case SM_SAMEDISPLAYFORMAT: return 1;
    case SM_CMOUSEBUTTONS: return 3;
    case SM_SWAPBUTTON:
    case SM_DEBUG:
    case SM_MENUDROPALIGNMENT:
    case SM_CYKANJIWINDOW: return 0;
    default: return 0;
    }
}

}  // extern "C"
