// COMBOBOX (drop-down list kind, the one the plug-in uses; the others keep
// their items the same way): items and selection, the list opened by a
// click and closed by a click on an item, and CBN_DROPDOWN, CBN_SELCHANGE,
// CBN_SELENDOK or CBN_SELENDCANCEL and CBN_CLOSEUP as Windows sends them.
// The open list belongs to the control: it holds the mouse while open
// instead of being a window of its own.
#include <windows.h>
#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "controls/combo_state.h"
#include "controls/controls.h"
#include "fault.h"
#include "wm.h"

namespace luma::controls {
namespace {

constexpr int kBorder = 2;

ComboState* StateOf(HWND hwnd) { return wm::StateOf<ComboState>(hwnd); }

void Notify(HWND hwnd, UINT code) { wm::NotifyParent(hwnd, code); }

int TextAreaHeight(HWND hwnd, const ComboState* s) {
    if (s->editHeight) return s->editHeight;
    return wm::FontHeight(hwnd, s->font) + 4;
}

int VisibleRows(const ComboState* s) {
    int rows = std::max(1, (s->listHeight - 2) / std::max(1, s->itemHeight));
    return std::min(rows, std::max(1, static_cast<int>(s->items.size())));
}

void SetSelection(HWND hwnd, ComboState* s, int index) {
    if (s->selection == index) return;
    s->selection = index;
    wm::Notify(hwnd, kSelectionChanged);
    InvalidateRect(hwnd, nullptr, FALSE);
}

// Selects index as a person would; false when the selection stayed.
bool UserSelect(HWND hwnd, ComboState* s, int index) {
    int count = static_cast<int>(s->items.size());
    if (count == 0) return false;
    index = std::clamp(index, 0, count - 1);
    if (index == s->selection) return false;
    SetSelection(hwnd, s, index);
    if (index < s->top) s->top = index;
    if (index >= s->top + VisibleRows(s)) s->top = index - VisibleRows(s) + 1;
    Notify(hwnd, CBN_SELCHANGE);
    return true;
}

void DropDown(HWND hwnd) {
    Notify(hwnd, CBN_DROPDOWN);
    ComboState* s = StateOf(hwnd);
    if (!s || !IsWindow(hwnd)) return;
    s->dropped = true;
    s->selectionAtDrop = s->selection;
    if (s->selection >= 0) {
        if (s->selection < s->top || s->selection >= s->top + VisibleRows(s)) s->top = s->selection;
    }
    wm::Notify(hwnd, kPressedChanged);
    InvalidateRect(hwnd, nullptr, FALSE);
}

void RollUp(HWND hwnd, bool ok) {
    Notify(hwnd, ok ? CBN_SELENDOK : CBN_SELENDCANCEL);
    ComboState* s = StateOf(hwnd);
    if (!s || !IsWindow(hwnd)) return;
    if (s->dropped) {
        s->dropped = false;
        s->tracking = false;
        if (GetCapture() == hwnd) ReleaseCapture();
        if (!(s = StateOf(hwnd))) return;
        wm::Notify(hwnd, kPressedChanged);
        InvalidateRect(hwnd, nullptr, FALSE);
        Notify(hwnd, CBN_CLOSEUP);
    }
}

// The item under a client point of the open list, or -1.
int ItemAt(HWND hwnd, const ComboState* s, POINT pt) {
    RECT client;
    GetClientRect(hwnd, &client);
    int width = std::max(static_cast<int>(client.right), s->droppedWidth);
    int listTop = client.bottom + 1;
    if (pt.x < 0 || pt.x >= width || pt.y < listTop) return -1;
    int row = (pt.y - listTop) / std::max(1, s->itemHeight);
    if (row >= VisibleRows(s)) return -1;
    int index = s->top + row;
    return index < static_cast<int>(s->items.size()) ? index : -1;
}

bool InCombo(HWND hwnd, POINT pt) {
    RECT client;
    GetClientRect(hwnd, &client);
    return PtInRect(&client, pt);
}

int Insert(HWND hwnd, ComboState* s, int index, const char* text, bool sorted) {
    if (!luma::detail::AllocationMayProceed()) {
        Notify(hwnd, static_cast<UINT>(CBN_ERRSPACE));
        return CB_ERRSPACE;
    }
    std::string item = text ? text : "";
    int count = static_cast<int>(s->items.size());
    if (sorted) {
        index = 0;
        while (index < count && strcasecmp(s->items[static_cast<size_t>(index)].text.c_str(), item.c_str()) <= 0) ++index;
    } else if (index < 0 || index > count) {
        if (index > count) return CB_ERR;
        index = count;
    }
    s->items.insert(s->items.begin() + index, ComboItem{item, 0});
    if (s->selection >= index) ++s->selection;
    wm::Notify(hwnd, kItemsChanged);
    InvalidateRect(hwnd, nullptr, FALSE);
    return index;
}

int Find(const ComboState* s, int after, const char* text, bool exact) {
    int count = static_cast<int>(s->items.size());
    if (!text || count == 0) return CB_ERR;
    size_t len = std::strlen(text);
    int start = (after < -1 || after >= count) ? -1 : after;
    for (int i = 1; i <= count; ++i) {
        int index = (start + i) % count;
        const std::string& item = s->items[static_cast<size_t>(index)].text;
        bool match = exact ? strcasecmp(item.c_str(), text) == 0
                           : item.size() >= len && strncasecmp(item.c_str(), text, len) == 0;
        if (match) return index;
    }
    return CB_ERR;
}

LRESULT KeyDown(HWND hwnd, ComboState* s, WPARAM key) {
    int rows = VisibleRows(s);
    switch (key) {
    case VK_F4:
        if (s->dropped)
            RollUp(hwnd, true);
        else
            DropDown(hwnd);
        return 0;
    case VK_RETURN:
        if (s->dropped) RollUp(hwnd, true);
        return 0;
    case VK_ESCAPE:
        if (s->dropped) RollUp(hwnd, false);
        return 0;
    case VK_DOWN:
        if (s->extendedUI && !s->dropped) {
            DropDown(hwnd);
            return 0;
        }
        [[fallthrough]];
    case VK_RIGHT: UserSelect(hwnd, s, s->selection < 0 ? 0 : s->selection + 1); return 0;
    case VK_UP:
    case VK_LEFT: UserSelect(hwnd, s, s->selection < 0 ? 0 : s->selection - 1); return 0;
    case VK_HOME: UserSelect(hwnd, s, 0); return 0;
    case VK_END: UserSelect(hwnd, s, static_cast<int>(s->items.size()) - 1); return 0;
    case VK_PRIOR: UserSelect(hwnd, s, s->selection - (rows - 1)); return 0;
    case VK_NEXT: UserSelect(hwnd, s, s->selection + (rows - 1)); return 0;
    default: return 0;
    }
}

}  // namespace

LRESULT CALLBACK ComboProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    ComboState* s = StateOf(hwnd);
    if (!s) return 0;
    POINT pt{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
    switch (msg) {
    case WM_NCCREATE: {
        // A combo box draws its own frame; border styles would add a second one.
        LONG style = GetWindowLongA(hwnd, GWL_STYLE);
        SetWindowLongA(hwnd, GWL_STYLE, style & ~(WS_BORDER | WS_HSCROLL | WS_VSCROLL));
        SetWindowLongA(hwnd, GWL_EXSTYLE, GetWindowLongA(hwnd, GWL_EXSTYLE) & ~WS_EX_CLIENTEDGE);
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    case WM_CREATE: {
        auto* cs = reinterpret_cast<CREATESTRUCTA*>(lParam);
        s->sorted = cs && (cs->style & CBS_SORT);
        s->itemHeight = wm::FontHeight(hwnd, nullptr);
        RECT r;
        GetWindowRect(hwnd, &r);
        // The height asked for includes the open list.
        SetWindowPos(hwnd, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW | SWP_FRAMECHANGED);
        return 0;
    }
    case WM_WINDOWPOSCHANGING: {
        auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
        if (pos && !(pos->flags & SWP_NOSIZE)) {
            int comboHeight = TextAreaHeight(hwnd, s) + 2 * kBorder;
            if (pos->cy != comboHeight) {
                s->listHeight = std::max(0, pos->cy - comboHeight);
                pos->cy = comboHeight;
            }
        }
        return 0;
    }
    case WM_GETDLGCODE: {
        LRESULT code = DLGC_WANTARROWS | DLGC_WANTCHARS;
        auto* m = reinterpret_cast<MSG*>(lParam);
        if (m && m->message == WM_KEYDOWN && (m->wParam == VK_RETURN || m->wParam == VK_ESCAPE) && s->dropped)
            code |= DLGC_WANTMESSAGE;
        return code;
    }
    case WM_SETFONT: {
        s->font = reinterpret_cast<HFONT>(wParam);
        s->itemHeight = wm::FontHeight(hwnd, s->font);
        RECT r;
        GetWindowRect(hwnd, &r);
        int comboHeight = TextAreaHeight(hwnd, s) + 2 * kBorder;
        SetWindowPos(hwnd, nullptr, 0, 0, r.right - r.left, comboHeight,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | (LOWORD(lParam) ? 0 : SWP_NOREDRAW));
        return 0;
    }
    case WM_GETFONT: return reinterpret_cast<LRESULT>(s->font);
    case WM_SETFOCUS:
        s->focused = true;
        InvalidateRect(hwnd, nullptr, FALSE);
        Notify(hwnd, CBN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS: {
        if (s->dropped) RollUp(hwnd, false);
        if (!(s = StateOf(hwnd))) return 0;
        s->focused = false;
        InvalidateRect(hwnd, nullptr, FALSE);
        Notify(hwnd, CBN_KILLFOCUS);
        return 0;
    }
    case WM_ENABLE:
        if (!wParam && s->dropped) RollUp(hwnd, false);
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_CANCELMODE:
        if (s->dropped) RollUp(hwnd, false);
        return 0;
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lParam) != hwnd && s->dropped) RollUp(hwnd, false);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (!s->dropped) {
            SetFocus(hwnd);
            if (!(s = StateOf(hwnd)) || !s->focused) return 0;
            s->tracking = true;
            SetCapture(hwnd);
            DropDown(hwnd);
            return 0;
        }
        if (int item = ItemAt(hwnd, s, pt); item >= 0) {
            s->tracking = true;
            UserSelect(hwnd, s, item);
            return 0;
        }
        // A click on the box closes the list as chosen; a click elsewhere cancels it.
        RollUp(hwnd, InCombo(hwnd, pt));
        return 0;
    case WM_MOUSEMOVE:
        if (s->dropped && (wParam & MK_LBUTTON)) {
            int item = ItemAt(hwnd, s, pt);
            if (item >= 0) UserSelect(hwnd, s, item);
        }
        return 0;
    case WM_LBUTTONUP:
        if (s->dropped) {
            s->tracking = false;
            if (ItemAt(hwnd, s, pt) >= 0) RollUp(hwnd, true);
        }
        return 0;
    case WM_KEYDOWN: return KeyDown(hwnd, s, wParam);
    case WM_SYSKEYDOWN:
        if ((wParam == VK_DOWN || wParam == VK_UP) && (GetKeyState(VK_MENU) < 0)) {
            if (s->dropped)
                RollUp(hwnd, true);
            else
                DropDown(hwnd);
            return 0;
        }
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    case WM_CHAR: {
        char c = static_cast<char>(wParam);
        if (static_cast<unsigned char>(c) < 0x20) return 0;
        char prefix[2] = {c, 0};
        int index = Find(s, s->selection, prefix, false);
        if (index >= 0) UserSelect(hwnd, s, index);
        return 0;
    }
    case WM_GETTEXT: {
        char* buffer = reinterpret_cast<char*>(lParam);
        if (!buffer || wParam == 0) return 0;
        std::string text = s->selection >= 0 ? s->items[static_cast<size_t>(s->selection)].text : std::string();
        size_t n = std::min(text.size(), static_cast<size_t>(wParam) - 1);
        text.copy(buffer, n);
        buffer[n] = '\0';
        return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH:
        return s->selection >= 0 ? static_cast<LRESULT>(s->items[static_cast<size_t>(s->selection)].text.size()) : 0;
    case WM_SETTEXT: return CB_ERR;  // a drop-down list has no text of its own
    case WM_ERASEBKGND: return 1;
    case WM_PRINTCLIENT:
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = wParam ? reinterpret_cast<HDC>(wParam) : BeginPaint(hwnd, &ps);
        if (dc) PaintCombo(hwnd, dc);
        if (!wParam) EndPaint(hwnd, &ps);
        return 0;
    }
    case CB_ADDSTRING: return Insert(hwnd, s, -1, reinterpret_cast<const char*>(lParam), s->sorted);
    case CB_INSERTSTRING:
        return Insert(hwnd, s, static_cast<int>(static_cast<INT_PTR>(wParam)), reinterpret_cast<const char*>(lParam), false);
    case CB_DELETESTRING: {
        int index = static_cast<int>(static_cast<INT_PTR>(wParam));
        if (index < 0 || index >= static_cast<int>(s->items.size())) return CB_ERR;
        s->items.erase(s->items.begin() + index);
        if (s->selection == index)
            s->selection = -1;
        else if (s->selection > index)
            --s->selection;
        if (s->top > 0 && s->top >= static_cast<int>(s->items.size())) s->top = static_cast<int>(s->items.size()) - 1;
        wm::Notify(hwnd, kItemsChanged | kSelectionChanged);
        InvalidateRect(hwnd, nullptr, FALSE);
        return static_cast<LRESULT>(s->items.size());
    }
    case CB_RESETCONTENT:
        s->items.clear();
        s->selection = -1;
        s->top = 0;
        wm::Notify(hwnd, kItemsChanged | kSelectionChanged);
        InvalidateRect(hwnd, nullptr, FALSE);
        return CB_OKAY;
    case CB_GETCOUNT: return static_cast<LRESULT>(s->items.size());
    case CB_GETCURSEL: return s->selection;
    case CB_SETCURSEL: {
        int index = static_cast<int>(static_cast<INT_PTR>(wParam));
        if (index == -1) {
            SetSelection(hwnd, s, -1);
            return CB_ERR;
        }
        if (index < 0 || index >= static_cast<int>(s->items.size())) return CB_ERR;
        SetSelection(hwnd, s, index);
        if (index < s->top || index >= s->top + VisibleRows(s)) s->top = index;
        return index;
    }
    case CB_GETLBTEXT: {
        int index = static_cast<int>(static_cast<INT_PTR>(wParam));
        if (index < 0 || index >= static_cast<int>(s->items.size()) || !lParam) return CB_ERR;
        const std::string& text = s->items[static_cast<size_t>(index)].text;
        std::memcpy(reinterpret_cast<char*>(lParam), text.c_str(), text.size() + 1);
        return static_cast<LRESULT>(text.size());
    }
    case CB_GETLBTEXTLEN: {
        int index = static_cast<int>(static_cast<INT_PTR>(wParam));
        if (index < 0 || index >= static_cast<int>(s->items.size())) return CB_ERR;
        return static_cast<LRESULT>(s->items[static_cast<size_t>(index)].text.size());
    }
    case CB_FINDSTRING:
        return Find(s, static_cast<int>(static_cast<INT_PTR>(wParam)), reinterpret_cast<const char*>(lParam), false);
    case CB_FINDSTRINGEXACT:
        return Find(s, static_cast<int>(static_cast<INT_PTR>(wParam)), reinterpret_cast<const char*>(lParam), true);
    case CB_SELECTSTRING: {
        int index = Find(s, static_cast<int>(static_cast<INT_PTR>(wParam)), reinterpret_cast<const char*>(lParam), false);
        if (index >= 0) SetSelection(hwnd, s, index);
        return index;
    }
    case CB_GETITEMDATA: {
        int index = static_cast<int>(static_cast<INT_PTR>(wParam));
        if (index < 0 || index >= static_cast<int>(s->items.size())) return CB_ERR;
        return static_cast<LRESULT>(s->items[static_cast<size_t>(index)].data);
    }
    case CB_SETITEMDATA: {
        int index = static_cast<int>(static_cast<INT_PTR>(wParam));
        if (index < 0 || index >= static_cast<int>(s->items.size())) return CB_ERR;
        s->items[static_cast<size_t>(index)].data = static_cast<ULONG_PTR>(lParam);
        return TRUE;
    }
    case CB_SHOWDROPDOWN:
        if (wParam && !s->dropped)
            DropDown(hwnd);
        else if (!wParam && s->dropped)
            RollUp(hwnd, false);
        return TRUE;
    case CB_GETDROPPEDSTATE: return s->dropped;
    case CB_GETDROPPEDCONTROLRECT: {
        RECT* r = reinterpret_cast<RECT*>(lParam);
        if (!r) return CB_ERR;
        RECT mine;
        GetWindowRect(hwnd, &mine);
        // The combo box's top-left corner and the list's bottom-right one.
        *r = RECT{mine.left, mine.top, mine.left + std::max(static_cast<int>(mine.right - mine.left), s->droppedWidth),
                  mine.bottom + s->listHeight};
        return CB_OKAY;
    }
    case CB_SETITEMHEIGHT: {
        int height = static_cast<int>(lParam);
        if (height <= 0 || height > 255) return CB_ERR;
        if (static_cast<INT>(wParam) == -1) {
            s->editHeight = height;
            RECT r;
            GetWindowRect(hwnd, &r);
            SetWindowPos(hwnd, nullptr, 0, 0, r.right - r.left, height + 2 * kBorder,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        } else {
            s->itemHeight = height;
        }
        return CB_OKAY;
    }
    case CB_GETITEMHEIGHT:
        return static_cast<INT>(wParam) == -1 ? TextAreaHeight(hwnd, s) : s->itemHeight;
    case CB_SETEXTENDEDUI: s->extendedUI = wParam != 0; return CB_OKAY;
    case CB_GETEXTENDEDUI: return s->extendedUI;
    case CB_GETTOPINDEX: return s->top;
    case CB_SETTOPINDEX: {
        int index = static_cast<int>(static_cast<INT_PTR>(wParam));
        if (index < 0 || index >= static_cast<int>(s->items.size())) return CB_ERR;
        s->top = index;
        return CB_OKAY;
    }
    case CB_GETDROPPEDWIDTH: {
        RECT r;
        GetWindowRect(hwnd, &r);
        return std::max(static_cast<int>(r.right - r.left), s->droppedWidth);
    }
    case CB_SETDROPPEDWIDTH: {
        s->droppedWidth = static_cast<int>(wParam);
        RECT r;
        GetWindowRect(hwnd, &r);
        return std::max(static_cast<int>(r.right - r.left), s->droppedWidth);
    }
    case CB_LIMITTEXT: return TRUE;
    case CB_INITSTORAGE: return static_cast<LRESULT>(wParam);
    default: return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

}  // namespace luma::controls
