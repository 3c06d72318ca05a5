// BUTTON: push and default push buttons, check boxes (plain, automatic,
// three-state), radio buttons, group boxes and owner-drawn buttons, with
// Windows' pressed/checked/focus state and its notifications.
#include <windows.h>

#include "controls/button_state.h"
#include "controls/controls.h"
#include "wm.h"

namespace luma::controls {
namespace {

constexpr LONG kStateMask = kButtonStateMask;

ButtonState* StateOf(HWND hwnd) { return wm::StateOf<ButtonState>(hwnd); }

UINT TypeOf(LONG style) { return static_cast<UINT>(style & BS_TYPEMASK); }

UINT MaxCheckState(UINT type) {
    switch (type) {
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON: return BST_CHECKED;
    case BS_3STATE:
    case BS_AUTO3STATE: return BST_INDETERMINATE;
    default: return BST_UNCHECKED;
    }
}

bool Paints(UINT type) { return type != BS_PUSHBOX && type <= BS_OWNERDRAW; }

// State changes paint at once, as on Windows, not through WM_PAINT.
void Repaint(HWND hwnd, UINT action) {
    if (!IsWindowVisible(hwnd) || !Paints(TypeOf(GetWindowLongA(hwnd, GWL_STYLE)))) return;
    HDC dc = GetDC(hwnd);
    if (!dc) return;
    PaintButton(hwnd, dc, action);
    ReleaseDC(hwnd, dc);
}

// Checks hwnd and clears every other automatic radio button of its group.
void CheckAutoRadioButton(HWND hwnd) {
    HWND parent = GetParent(hwnd);
    HWND start = hwnd, sibling = hwnd;
    do {
        if (!sibling) break;
        if (SendMessageA(sibling, WM_GETDLGCODE, 0, 0) == (DLGC_BUTTON | DLGC_RADIOBUTTON))
            SendMessageA(sibling, BM_SETCHECK, sibling == hwnd ? BST_CHECKED : BST_UNCHECKED, 0);
        sibling = GetNextDlgGroupItem(parent, sibling, FALSE);
    } while (sibling != start);
}

LRESULT Press(HWND hwnd) {
    SetCapture(hwnd);
    SetFocus(hwnd);
    if (ButtonState* s = StateOf(hwnd)) s->state |= kButtonPressed;
    SendMessageA(hwnd, BM_SETSTATE, TRUE, 0);
    return 0;
}

LRESULT Release(HWND hwnd, UINT msg, POINT pt) {
    ButtonState* s = StateOf(hwnd);
    if (!s || !(s->state & kButtonPressed)) return 0;
    s->state &= kStateMask;
    if (!(s->state & BST_PUSHED)) {
        ReleaseCapture();
        return 0;
    }
    SendMessageA(hwnd, BM_SETSTATE, FALSE, 0);
    RECT client;
    GetClientRect(hwnd, &client);
    if (msg == WM_KEYUP || PtInRect(&client, pt)) {
        s = StateOf(hwnd);
        LONG state = s ? s->state : 0;
        switch (TypeOf(GetWindowLongA(hwnd, GWL_STYLE))) {
        case BS_AUTOCHECKBOX: SendMessageA(hwnd, BM_SETCHECK, !(state & BST_CHECKED), 0); break;
        case BS_AUTORADIOBUTTON: CheckAutoRadioButton(hwnd); break;
        case BS_AUTO3STATE:
            SendMessageA(hwnd, BM_SETCHECK, (state & BST_INDETERMINATE) ? 0 : ((state & 3) + 1), 0);
            break;
        default: break;
        }
        ReleaseCapture();
        wm::NotifyParent(hwnd, BN_CLICKED);
    } else {
        ReleaseCapture();
    }
    return 0;
}

}  // namespace

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!IsWindow(hwnd)) return 0;
    LONG style = GetWindowLongA(hwnd, GWL_STYLE);
    UINT type = TypeOf(style);
    POINT pt{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
    switch (msg) {
    case WM_GETDLGCODE:
        switch (type) {
        case BS_USERBUTTON:
        case BS_PUSHBUTTON: return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
        case BS_DEFPUSHBUTTON: return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON: return DLGC_BUTTON | DLGC_RADIOBUTTON;
        case BS_GROUPBOX: return DLGC_STATIC;
        default: return DLGC_BUTTON;
        }
    case WM_ENABLE: Repaint(hwnd, ODA_DRAWENTIRE); return 0;
    case WM_CREATE:
        if (type > BS_OWNERDRAW) return -1;
        if (type == BS_USERBUTTON) SetWindowLongA(hwnd, GWL_STYLE, (style & ~BS_TYPEMASK) | BS_PUSHBUTTON);
        StateOf(hwnd)->state = BST_UNCHECKED;
        return 0;
    case WM_ERASEBKGND:
        // An owner-drawn button starts from its parent's button colour; the
        // others fill their own background when they paint.
        if (type == BS_OWNERDRAW) {
            HWND parent = GetParent(hwnd);
            if (!parent) parent = hwnd;
            auto brush = reinterpret_cast<HBRUSH>(SendMessageA(parent, WM_CTLCOLORBTN, wParam, reinterpret_cast<LPARAM>(hwnd)));
            if (!brush)
                brush = reinterpret_cast<HBRUSH>(DefWindowProcA(parent, WM_CTLCOLORBTN, wParam, reinterpret_cast<LPARAM>(hwnd)));
            RECT client;
            GetClientRect(hwnd, &client);
            if (wParam && brush) FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
        }
        return 1;
    case WM_PRINTCLIENT:
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = wParam ? reinterpret_cast<HDC>(wParam) : BeginPaint(hwnd, &ps);
        if (dc && Paints(type)) PaintButton(hwnd, dc, ODA_DRAWENTIRE);
        if (!wParam) EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_KEYDOWN:
        if (wParam == VK_SPACE) {
            SendMessageA(hwnd, BM_SETSTATE, TRUE, 0);
            if (ButtonState* s = StateOf(hwnd)) s->state |= kButtonPressed;
            SetCapture(hwnd);
        }
        return 0;
    case WM_LBUTTONDBLCLK:
        if ((style & BS_NOTIFY) || type == BS_RADIOBUTTON || type == BS_USERBUTTON || type == BS_OWNERDRAW) {
            wm::NotifyParent(hwnd, BN_DOUBLECLICKED);
            return 0;
        }
        return Press(hwnd);
    case WM_LBUTTONDOWN: return Press(hwnd);
    case WM_KEYUP:
        if (wParam != VK_SPACE) return 0;
        return Release(hwnd, msg, pt);
    case WM_LBUTTONUP: return Release(hwnd, msg, pt);
    case WM_CAPTURECHANGED: {
        if (hwnd == reinterpret_cast<HWND>(lParam)) return 0;
        ButtonState* s = StateOf(hwnd);
        if (s && (s->state & kButtonPressed)) {
            s->state &= kStateMask;
            if (s->state & BST_PUSHED) SendMessageA(hwnd, BM_SETSTATE, FALSE, 0);
        }
        return 0;
    }
    case WM_MOUSEMOVE:
        if ((wParam & MK_LBUTTON) && GetCapture() == hwnd) {
            RECT client;
            GetClientRect(hwnd, &client);
            SendMessageA(hwnd, BM_SETSTATE, PtInRect(&client, pt), 0);
        }
        return 0;
    case WM_SETTEXT:
        DefWindowProcA(hwnd, WM_SETTEXT, wParam, lParam);
        if (type == BS_GROUPBOX)
            InvalidateRect(hwnd, nullptr, TRUE);
        else
            Repaint(hwnd, ODA_DRAWENTIRE);
        return 1;
    case WM_SETFONT:
        StateOf(hwnd)->font = reinterpret_cast<HFONT>(wParam);
        if (lParam) InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(StateOf(hwnd)->font);
    case WM_SETFOCUS:
        StateOf(hwnd)->state |= BST_FOCUS;
        Repaint(hwnd, ODA_FOCUS);
        if (style & BS_NOTIFY) wm::NotifyParent(hwnd, BN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS: {
        ButtonState* s = StateOf(hwnd);
        LONG state = s->state;
        s->state = state & ~BST_FOCUS;
        Repaint(hwnd, ODA_FOCUS);
        if ((state & kButtonPressed) && GetCapture() == hwnd) ReleaseCapture();
        if (style & BS_NOTIFY) wm::NotifyParent(hwnd, BN_KILLFOCUS);
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    }
    case WM_SYSCOLORCHANGE: InvalidateRect(hwnd, nullptr, FALSE); return 0;
    case BM_SETSTYLE: {
        LONG newStyle = (style & ~BS_TYPEMASK) | static_cast<LONG>(wParam & BS_TYPEMASK);
        if (newStyle != style) SetWindowLongA(hwnd, GWL_STYLE, newStyle);
        if (lParam) InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    }
    case BM_CLICK:
        SendMessageA(hwnd, WM_LBUTTONDOWN, 0, 0);
        SendMessageA(hwnd, WM_LBUTTONUP, 0, 0);
        return 0;
    case BM_SETIMAGE: {
        if ((style & BS_BITMAP) && wParam != IMAGE_BITMAP) return 0;
        if ((style & BS_ICON) && wParam != IMAGE_ICON) return 0;
        if (!(style & (BS_BITMAP | BS_ICON))) return 0;
        ButtonState* s = StateOf(hwnd);
        HANDLE old = s->image;
        s->image = reinterpret_cast<HANDLE>(lParam);
        InvalidateRect(hwnd, nullptr, FALSE);
        return reinterpret_cast<LRESULT>(old);
    }
    case BM_GETIMAGE: return reinterpret_cast<LRESULT>(StateOf(hwnd)->image);
    case BM_GETCHECK: return StateOf(hwnd)->state & 3;
    case BM_SETCHECK: {
        UINT check = static_cast<UINT>(wParam);
        if (check > MaxCheckState(type)) check = MaxCheckState(type);
        if (type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON) {
            // A checked radio button is the tab stop of its group.
            LONG s2 = GetWindowLongA(hwnd, GWL_STYLE);
            LONG wanted = check ? (s2 | WS_TABSTOP) : (s2 & ~WS_TABSTOP);
            if (wanted != s2) SetWindowLongA(hwnd, GWL_STYLE, wanted);
        }
        ButtonState* s = StateOf(hwnd);
        if (static_cast<UINT>(s->state & 3) != check) {
            s->state = (s->state & ~3) | static_cast<LONG>(check);
            wm::Notify(hwnd, kCheckChanged);
            Repaint(hwnd, ODA_SELECT);
        }
        return 0;
    }
    case BM_GETSTATE: return StateOf(hwnd)->state & (kStateMask | BST_PUSHED | BST_FOCUS);
    case BM_SETSTATE: {
        ButtonState* s = StateOf(hwnd);
        LONG before = s->state;
        if (wParam)
            s->state |= BST_PUSHED;
        else
            s->state &= ~BST_PUSHED;
        if (before != s->state) wm::Notify(hwnd, kPressedChanged);
        Repaint(hwnd, ODA_SELECT);
        return 0;
    }
    case WM_NCHITTEST:
        if (type == BS_GROUPBOX) return HTTRANSPARENT;
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    default: return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

}  // namespace luma::controls
