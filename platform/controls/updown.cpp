// msctls_updown32: a position in a 32-bit range moved by its arrows (mouse,
// auto-repeat on a timer, arrow keys in the buddy), UDN_DELTAPOS before each
// step and WM_VSCROLL/WM_HSCROLL after it, and the buddy's text kept as the
// position ("1,234" unless UDS_NOTHOUSANDS) and read back before each step.
#include <commctrl.h>
#include <strings.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "controls/controls.h"
#include "controls/updown_state.h"
#include "wm.h"

namespace luma::controls {
namespace {

constexpr int kDefaultWidth = 16;
constexpr int kBuddyBorder = 2;
constexpr UINT kInitialDelay = 500;
constexpr UINT kAutoPressDelay = 250;
constexpr UINT kRepeatDelay = 50;
constexpr UINT_PTR kTimerAutoRepeat = 1;  // the first delay of a held arrow
constexpr UINT_PTR kTimerAccel = 2;
constexpr UINT_PTR kTimerAutoPress = 3;
constexpr const char* kBuddyUpDownProp = "LumaBuddyUpDown";
constexpr const char* kBuddyProcProp = "LumaBuddyWndProc";

UpDownState* StateOf(HWND hwnd) { return wm::StateOf<UpDownState>(hwnd); }

DWORD StyleOf(HWND hwnd) { return static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE)); }

bool InBounds(const UpDownState* s, int value) {
    if (s->max > s->min) return s->min <= value && value <= s->max;
    return s->max <= value && value <= s->min;
}

bool BuddyIsEdit(HWND buddy) {
    char name[16];
    return GetClassNameA(buddy, name, sizeof name) && strcasecmp(name, "Edit") == 0;
}

bool HasBuddyBorder(HWND hwnd, const UpDownState* s) {
    return (StyleOf(hwnd) & (UDS_ALIGNLEFT | UDS_ALIGNRIGHT)) && s->buddy && BuddyIsEdit(s->buddy);
}

// Reads the position from the buddy's text; false (position kept) when the
// text is no number in range.
bool GetBuddyInt(HWND hwnd, UpDownState* s) {
    if (!s->buddy || !IsWindow(s->buddy) || !(StyleOf(hwnd) & UDS_SETBUDDYINT)) return false;
    char text[64];
    GetWindowTextA(s->buddy, text, sizeof text);
    std::string digits;
    for (const char* p = text; *p; ++p)
        if (*p != ',') digits += *p;
    errno = 0;
    char* end = nullptr;
    long value = std::strtol(digits.c_str(), &end, s->base);
    if (*end || errno == ERANGE || value < INT_MIN || value > INT_MAX || !InBounds(s, static_cast<int>(value)))
        return false;
    s->pos = static_cast<int>(value);
    return true;
}

std::string Format(HWND hwnd, const UpDownState* s) {
    char text[32];
    if (s->base == 16) {
        std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(s->pos));
        return text;
    }
    long long value = s->pos;
    std::snprintf(text, sizeof text, "%lld", value < 0 ? -value : value);
    std::string digits = text;
    if (!(StyleOf(hwnd) & UDS_NOTHOUSANDS)) {
        for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) digits.insert(static_cast<size_t>(i), 1, ',');
    }
    return value < 0 ? "-" + digits : digits;
}

// Shows the position in the buddy unless it already says so.
void SetBuddyInt(HWND hwnd, const UpDownState* s) {
    if (!(StyleOf(hwnd) & UDS_SETBUDDYINT) || !s->buddy || !IsWindow(s->buddy)) return;
    std::string text = Format(hwnd, s);
    char old[64];
    GetWindowTextA(s->buddy, old, sizeof old);
    if (text == old) return;
    SetWindowTextA(s->buddy, text.c_str());
}

// Moves the position by delta, wrapping or stopping at the range's ends;
// false when it did not move.
bool OffsetPos(HWND hwnd, UpDownState* s, int delta) {
    long long target = static_cast<long long>(s->pos) + delta;
    if (target < INT_MIN || target > INT_MAX || !InBounds(s, static_cast<int>(target))) {
        if (StyleOf(hwnd) & UDS_WRAP) {
            long long span = static_cast<long long>(s->min) - s->max;
            long long d = delta + (delta < 0 ? -1 : 1) * (s->max < s->min ? -1 : 1) * span + (delta < 0 ? 1 : -1);
            target = static_cast<long long>(s->pos) + d;
            if (target < INT_MIN || target > INT_MAX || !InBounds(s, static_cast<int>(target)))
                target = delta > 0 ? std::min(s->min, s->max) : std::max(s->min, s->max);
        } else if ((s->max > s->min && target > s->max) || (s->max < s->min && target < s->max)) {
            target = s->max;
        } else {
            target = s->min;
        }
    }
    bool moved = target != s->pos;
    s->pos = static_cast<int>(target);
    return moved;
}

void DoAction(HWND hwnd, int delta, int action) {
    UpDownState* s = StateOf(hwnd);
    if (!s) return;
    delta *= ((action & kFlagIncrement) ? 1 : -1) * (s->max < s->min ? -1 : 1);
    if ((action & kFlagIncrement) && (action & kFlagDecrement)) delta = 0;
    NMUPDOWN notify{};
    notify.hdr.hwndFrom = hwnd;
    notify.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(hwnd));
    notify.hdr.code = UDN_DELTAPOS;
    notify.iPos = s->pos;
    notify.iDelta = delta;
    HWND parent = GetParent(hwnd);
    if (!SendMessageA(parent, WM_NOTIFY, notify.hdr.idFrom, reinterpret_cast<LPARAM>(&notify))) {
        // The parent allowed the step, perhaps with a delta of its own.
        if ((s = StateOf(hwnd)) && OffsetPos(hwnd, s, notify.iDelta)) SetBuddyInt(hwnd, s);
    }
    if (!(s = StateOf(hwnd))) return;
    SendMessageA(parent, (StyleOf(hwnd) & UDS_HORZ) ? WM_HSCROLL : WM_VSCROLL,
                 MAKELONG(SB_THUMBPOSITION, static_cast<WORD>(s->pos)), reinterpret_cast<LPARAM>(hwnd));
}

bool Enabled(HWND hwnd, const UpDownState* s) {
    if (StyleOf(hwnd) & WS_DISABLED) return false;
    return !s->buddy || IsWindowEnabled(s->buddy);
}

bool CancelMode(HWND hwnd) {
    UpDownState* s = StateOf(hwnd);
    if (!s || !(s->flags & kFlagPressed)) return false;
    KillTimer(hwnd, kTimerAutoRepeat);
    KillTimer(hwnd, kTimerAccel);
    KillTimer(hwnd, kTimerAutoPress);
    if (GetCapture() == hwnd) {
        NMHDR hdr{hwnd, static_cast<UINT_PTR>(GetDlgCtrlID(hwnd)), NM_RELEASEDCAPTURE};
        SendMessageA(GetParent(hwnd), WM_NOTIFY, hdr.idFrom, reinterpret_cast<LPARAM>(&hdr));
        ReleaseCapture();
    }
    if ((s = StateOf(hwnd))) s->flags &= ~kFlagPressed;
    InvalidateRect(hwnd, nullptr, FALSE);
    return true;
}

int ArrowAt(HWND hwnd, const UpDownState* s, POINT pt) {
    RECT r;
    UpDownArrowRect(hwnd, s, &r, kFlagIncrement);
    if (PtInRect(&r, pt)) return kFlagIncrement;
    UpDownArrowRect(hwnd, s, &r, kFlagDecrement);
    if (PtInRect(&r, pt)) return kFlagDecrement;
    return 0;
}

LRESULT KeyPressed(HWND hwnd, WPARAM key) {
    int arrow;
    if (key == VK_UP)
        arrow = kFlagIncrement;
    else if (key == VK_DOWN)
        arrow = kFlagDecrement;
    else
        return 1;
    UpDownState* s = StateOf(hwnd);
    if (!s) return 1;
    GetBuddyInt(hwnd, s);
    s->flags &= ~kFlagArrow;
    s->flags |= kFlagPressed | arrow;
    InvalidateRect(hwnd, nullptr, FALSE);
    SetTimer(hwnd, kTimerAutoPress, kAutoPressDelay, nullptr);
    DoAction(hwnd, 1, arrow);
    return 0;
}

LRESULT CALLBACK BuddyProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto next = reinterpret_cast<WNDPROC>(GetPropA(hwnd, kBuddyProcProp));
    if (msg == WM_KEYDOWN && (wParam == VK_UP || wParam == VK_DOWN)) {
        HWND updown = reinterpret_cast<HWND>(GetPropA(hwnd, kBuddyUpDownProp));
        if (updown && IsWindow(updown) && (StyleOf(updown) & UDS_ARROWKEYS)) {
            UpDownState* s = StateOf(updown);
            if (s && Enabled(updown, s)) KeyPressed(updown, wParam);
        }
    }
    if (msg == WM_NCDESTROY) {
        // The buddy goes first: hand the procedure back so nothing calls us after.
        RemovePropA(hwnd, kBuddyUpDownProp);
        RemovePropA(hwnd, kBuddyProcProp);
        if (reinterpret_cast<WNDPROC>(GetWindowLongPtrA(hwnd, GWLP_WNDPROC)) == BuddyProc)
            SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(next));
    }
    return CallWindowProcA(next, hwnd, msg, wParam, lParam);
}

HWND SetBuddy(HWND hwnd, HWND buddy) {
    UpDownState* s = StateOf(hwnd);
    HWND old = s->buddy;
    if (!buddy || !IsWindow(buddy)) {
        if (old && IsWindow(old)) RemovePropA(old, kBuddyUpDownProp);
        s->buddy = nullptr;
        return old;
    }
    if (old && IsWindow(old)) RemovePropA(old, kBuddyUpDownProp);
    s->buddy = buddy;
    SetPropA(buddy, kBuddyUpDownProp, hwnd);
    DWORD style = StyleOf(hwnd);
    if ((style & UDS_ARROWKEYS) && !GetPropA(buddy, kBuddyProcProp)) {
        // Arrow keys in the buddy step the control: its procedure goes first.
        LONG_PTR previous = SetWindowLongPtrA(buddy, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(BuddyProc));
        SetPropA(buddy, kBuddyProcProp, reinterpret_cast<HANDLE>(previous));
    }
    if (!(style & (UDS_ALIGNLEFT | UDS_ALIGNRIGHT))) return old;
    RECT budRect;
    GetWindowRect(buddy, &budRect);
    MapWindowPoints(HWND_DESKTOP, GetParent(buddy), reinterpret_cast<POINT*>(&budRect), 2);
    RECT mine;
    GetWindowRect(hwnd, &mine);
    int width = mine.right - mine.left > 0 ? mine.right - mine.left : kDefaultWidth;
    int x;
    if (style & UDS_ALIGNLEFT) {
        x = budRect.left;
        budRect.left += width;
    } else {
        budRect.right -= width;
        x = budRect.right;
    }
    SetWindowPos(buddy, nullptr, budRect.left, budRect.top, budRect.right - budRect.left, budRect.bottom - budRect.top,
                 SWP_NOACTIVATE | SWP_NOZORDER);
    // Beside an edit the control overlaps its border so the two look like one.
    if (HasBuddyBorder(hwnd, StateOf(hwnd))) {
        if (style & UDS_ALIGNLEFT)
            width += kBuddyBorder;
        else
            x -= kBuddyBorder;
    }
    SetWindowPos(hwnd, nullptr, x, budRect.top, width, budRect.bottom - budRect.top, SWP_NOACTIVATE | SWP_NOZORDER);
    return old;
}

// The step for a button held since pressedAt: the last acceleration whose
// time has come.
int HeldStep(const UpDownState* s) {
    unsigned long long held = wm::Now() - s->pressedAt;
    int step = 1;
    for (const UDACCEL& a : s->accel)
        if (static_cast<unsigned long long>(a.nSec) * 1000 <= held) step = static_cast<int>(a.nInc);
    return step;
}

void Timer(HWND hwnd, WPARAM id) {
    UpDownState* s = StateOf(hwnd);
    if (!s) return;
    if (id == kTimerAutoPress) {
        KillTimer(hwnd, kTimerAutoPress);
        s->flags &= ~(kFlagPressed | kFlagArrow);
        InvalidateRect(hwnd, nullptr, FALSE);
        return;
    }
    if (id == kTimerAutoRepeat) {
        // Held past the first delay: repeat quickly from now on.
        KillTimer(hwnd, kTimerAutoRepeat);
        SetTimer(hwnd, kTimerAccel, kRepeatDelay, nullptr);
    }
    if ((s->flags & kFlagMouseIn) && (s->flags & kFlagPressed)) DoAction(hwnd, HeldStep(s), s->flags & kFlagArrow);
}

}  // namespace

LRESULT CALLBACK UpDownProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    UpDownState* s = StateOf(hwnd);
    if (!s) return 0;
    POINT pt{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
    switch (msg) {
    case WM_CREATE: {
        // The control draws its own border.
        SetWindowLongA(hwnd, GWL_STYLE, GetWindowLongA(hwnd, GWL_STYLE) & ~WS_BORDER);
        s->accel = {{0, 1}, {2, 5}, {5, 20}};
        if (StyleOf(hwnd) & UDS_AUTOBUDDY) SetBuddy(hwnd, GetWindow(hwnd, GW_HWNDPREV));
        return 0;
    }
    case WM_DESTROY:
        if (s->buddy && IsWindow(s->buddy)) RemovePropA(s->buddy, kBuddyUpDownProp);
        return 0;
    case WM_ENABLE:
        if (StyleOf(hwnd) & WS_DISABLED) CancelMode(hwnd);
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_TIMER: Timer(hwnd, wParam); return 0;
    case WM_CANCELMODE: return CancelMode(hwnd);
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lParam) != hwnd) CancelMode(hwnd);
        return 0;
    case WM_LBUTTONUP:
        if (GetCapture() != hwnd) return 0;
        if ((s->flags & kFlagMouseIn) && (s->flags & kFlagArrow)) {
            SendMessageA(GetParent(hwnd), (StyleOf(hwnd) & UDS_HORZ) ? WM_HSCROLL : WM_VSCROLL,
                         MAKELONG(SB_ENDSCROLL, static_cast<WORD>(s->pos)), reinterpret_cast<LPARAM>(hwnd));
            if ((s = StateOf(hwnd)) && s->buddy && BuddyIsEdit(s->buddy)) SendMessageA(s->buddy, EM_SETSEL, 0, -1);
        }
        CancelMode(hwnd);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_MOUSEMOVE: {
        if (!Enabled(hwnd, s)) return 0;
        int before = s->flags;
        int arrow = ArrowAt(hwnd, s, pt);
        s->flags &= ~(kFlagMouseIn | kFlagArrow);
        if (arrow) s->flags |= kFlagMouseIn | arrow;
        if (before != s->flags) InvalidateRect(hwnd, nullptr, FALSE);
        if (msg == WM_MOUSEMOVE || !(s->flags & kFlagMouseIn)) return 0;
        if (s->buddy && BuddyIsEdit(s->buddy)) SetFocus(s->buddy);
        if (!(s = StateOf(hwnd))) return 0;
        GetBuddyInt(hwnd, s);
        s->flags |= kFlagPressed;
        s->pressedAt = wm::Now();
        InvalidateRect(hwnd, nullptr, FALSE);
        DoAction(hwnd, 1, s->flags & kFlagArrow);
        if (!IsWindow(hwnd)) return 0;
        SetCapture(hwnd);
        SetTimer(hwnd, kTimerAutoRepeat, kInitialDelay, nullptr);
        return 0;
    }
    case WM_KEYDOWN:
        if ((StyleOf(hwnd) & UDS_ARROWKEYS) && Enabled(hwnd, s)) return KeyPressed(hwnd, wParam);
        return 0;
    case WM_ERASEBKGND: return 1;
    case WM_PRINTCLIENT:
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = wParam ? reinterpret_cast<HDC>(wParam) : BeginPaint(hwnd, &ps);
        if (dc) PaintUpDown(hwnd, dc);
        if (!wParam) EndPaint(hwnd, &ps);
        return 0;
    }
    case UDM_GETACCEL: {
        if (wParam == 0 && lParam == 0) return static_cast<LRESULT>(s->accel.size());
        if (!lParam) return 0;
        size_t n = std::min(static_cast<size_t>(wParam), s->accel.size());
        std::copy_n(s->accel.begin(), n, reinterpret_cast<UDACCEL*>(lParam));
        return static_cast<LRESULT>(n);
    }
    case UDM_SETACCEL: {
        if (wParam && !lParam) return FALSE;
        const UDACCEL* accel = reinterpret_cast<const UDACCEL*>(lParam);
        s->accel.assign(accel, accel + wParam);
        return TRUE;
    }
    case UDM_GETBASE: return s->base;
    case UDM_SETBASE: {
        if (wParam != 10 && wParam != 16) return 0;
        int old = s->base;
        s->base = static_cast<int>(wParam);
        SetBuddyInt(hwnd, s);
        return old;
    }
    case UDM_GETBUDDY: return reinterpret_cast<LRESULT>(s->buddy);
    case UDM_SETBUDDY: return reinterpret_cast<LRESULT>(SetBuddy(hwnd, reinterpret_cast<HWND>(wParam)));
    case UDM_GETPOS: {
        bool ok = !s->buddy || !(StyleOf(hwnd) & UDS_SETBUDDYINT) || GetBuddyInt(hwnd, s);
        return MAKELONG(static_cast<WORD>(s->pos), ok ? 0 : 1);
    }
    case UDM_SETPOS: {
        int value = static_cast<SHORT>(LOWORD(lParam));
        int old = s->pos;
        if (!InBounds(s, value)) value = std::clamp(value, std::min(s->min, s->max), std::max(s->min, s->max));
        s->pos = value;
        SetBuddyInt(hwnd, s);
        return old;
    }
    case UDM_GETRANGE: return MAKELONG(static_cast<WORD>(s->max), static_cast<WORD>(s->min));
    case UDM_SETRANGE:
        s->max = static_cast<SHORT>(LOWORD(lParam));
        s->min = static_cast<SHORT>(HIWORD(lParam));
        return 0;
    case UDM_GETRANGE32:
        if (wParam) *reinterpret_cast<int*>(wParam) = s->min;
        if (lParam) *reinterpret_cast<int*>(lParam) = s->max;
        return 0;
    case UDM_SETRANGE32:
        s->min = static_cast<int>(wParam);
        s->max = static_cast<int>(lParam);
        return 0;
    case UDM_GETPOS32: {
        bool ok = !s->buddy || !(StyleOf(hwnd) & UDS_SETBUDDYINT) || GetBuddyInt(hwnd, s);
        if (lParam) *reinterpret_cast<BOOL*>(lParam) = ok ? FALSE : TRUE;
        return s->pos;
    }
    case UDM_SETPOS32: {
        int value = static_cast<int>(lParam);
        int old = s->pos;
        if (!InBounds(s, value)) value = std::clamp(value, std::min(s->min, s->max), std::max(s->min, s->max));
        s->pos = value;
        SetBuddyInt(hwnd, s);
        return old;
    }
    default: return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

void UpDownArrowRect(HWND hwnd, const UpDownState* s, RECT* rect, int arrow) {
    DWORD style = StyleOf(hwnd);
    GetClientRect(hwnd, rect);
    if (HasBuddyBorder(hwnd, s)) {
        if (style & UDS_ALIGNLEFT)
            rect->left += kBuddyBorder;
        else
            rect->right -= kBuddyBorder;
        InflateRect(rect, 0, -kBuddyBorder);
    }
    if (style & UDS_HORZ) {
        int len = rect->right - rect->left + 1;
        if (arrow & kFlagIncrement) rect->left = rect->left + len / 2;
        if (arrow & kFlagDecrement) rect->right = rect->left + len / 2 - 1;
    } else {
        int len = rect->bottom - rect->top + 1;
        if (arrow & kFlagIncrement) rect->bottom = rect->top + len / 2 - 1;
        if (arrow & kFlagDecrement) rect->top = rect->top + len / 2;
    }
}

}  // namespace luma::controls
