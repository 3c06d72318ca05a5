// Painting of windows: update regions (kept as one bounding rectangle per
// window), WM_PAINT generation, BeginPaint/EndPaint with WM_NCPAINT and
// WM_ERASEBKGND in Windows' order.
#include <windows.h>

#include "wm.h"

namespace luma::wm {
namespace {

void AddUpdate(Window* w, const RECT& area, bool erase) {
    RECT client = ClientRectOf(w);
    RECT r;
    if (!IntersectRect(&r, &area, &client)) return;
    if (w->paint.update) {
        RECT u;
        UnionRect(&u, &*w->paint.update, &r);
        w->paint.update = u;
    } else {
        w->paint.update = r;
    }
    if (erase) w->paint.erase = true;
}

bool NeedsPaint(const Window* w) { return IsVisible(w) && (w->paint.update || w->paint.frame); }

Window* FindPaint(Window* w, bool transparent) {
    for (Window* c : w->children) {
        if (!(c->style & WS_VISIBLE)) continue;
        bool isTransparent = (c->exStyle & WS_EX_TRANSPARENT) != 0;
        if (isTransparent == transparent && NeedsPaint(c)) return c;
        if (Window* found = FindPaint(c, transparent)) return found;
    }
    return nullptr;
}

}  // namespace

void InvalidateWindow(Window* w, const RECT* client, bool erase, bool children) {
    if (!w || IsDesktop(w) || !IsVisible(w)) return;
    RECT area = client ? *client : ClientRectOf(w);
    AddUpdate(w, area, erase);
    if (!children || (w->style & WS_CLIPCHILDREN)) return;
    for (Window* c : w->children) {
        if (!(c->style & WS_VISIBLE)) continue;
        RECT overlap;
        if (!IntersectRect(&overlap, &area, &c->rect)) continue;
        OffsetRect(&overlap, -(c->rect.left + c->client.left), -(c->rect.top + c->client.top));
        InvalidateFrame(c);
        InvalidateWindow(c, &overlap, true, true);
    }
}

void InvalidateFrame(Window* w) {
    if (!w || IsDesktop(w)) return;
    if (w->client.left != 0 || w->client.top != 0 || w->client.right != w->Width() ||
        w->client.bottom != w->Height())
        w->paint.frame = true;
}

Window* NextWindowToPaint() {
    Window* desktop = Desktop();
    if (Window* w = FindPaint(desktop, false)) return w;
    return FindPaint(desktop, true);
}

void PaintNow(HWND hwnd, bool children) {
    Window* w = Lookup(hwnd);
    if (!w) return;
    if (NeedsPaint(w)) {
        if (w->paint.update) {
            SendMessageA(hwnd, WM_PAINT, 0, 0);
        } else {
            w->paint.frame = false;
            SendMessageA(hwnd, WM_NCPAINT, 1, 0);
        }
        if ((w = Lookup(hwnd)) && (w->paint.update || w->paint.frame)) {
            w->paint.frame = false;
            w->paint.update.reset();
            w->paint.erase = false;
        }
    }
    if (!children) return;
    for (HWND child : ChildrenOf(hwnd)) PaintNow(child, true);
}

void ResizePicture(Window*) {}

void DrawNonClient(HWND) {}

void EraseBackground(HWND, HDC) {}

HBRUSH ControlColor(HWND, UINT, HDC) { return nullptr; }

HFONT CreateDialogFont(const char*, int) { return nullptr; }

void DeleteObjectFont(HFONT) {}

bool MeasureDialogFont(HFONT, SIZE*) { return false; }

void FillDialogBackground(HWND, HDC, HBRUSH) {}

int FontHeight(HWND, HFONT font) { return font ? 13 : 16; }

void RepaintControl(HWND hwnd, UINT) { InvalidateRect(hwnd, nullptr, FALSE); }

}  // namespace luma::wm

using namespace luma::wm;

extern "C" {

HDC WINAPI BeginPaint(HWND hwnd, LPPAINTSTRUCT paint) {
    Window* w = Find(hwnd);
    if (!w || !paint) return nullptr;
    if (w->paint.frame) {
        w->paint.frame = false;
        SendMessageA(hwnd, WM_NCPAINT, 1, 0);
        if (!(w = Lookup(hwnd))) return nullptr;
    }
    *paint = PAINTSTRUCT{};
    paint->rcPaint = w->paint.update.value_or(RECT{0, 0, 0, 0});
    bool erase = w->paint.erase;
    w->paint.update.reset();
    w->paint.erase = false;
    w->paint.painting = true;
    HDC dc = nullptr;
    paint->hdc = dc;
    paint->fErase = erase;
    if (erase) paint->fErase = !SendMessageA(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    return dc;
}

BOOL WINAPI EndPaint(HWND hwnd, const PAINTSTRUCT* paint) {
    Window* w = Lookup(hwnd);
    if (!paint) return FALSE;
    if (w) w->paint.painting = false;
    return TRUE;
}

BOOL WINAPI InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
    if (!hwnd) {
        for (HWND top : TopLevelWindows())
            if (Window* t = Lookup(top)) {
                InvalidateFrame(t);
                InvalidateWindow(t, nullptr, erase, true);
            }
        return TRUE;
    }
    Window* w = Find(hwnd);
    if (!w) return FALSE;
    InvalidateWindow(w, rect, erase != FALSE, true);
    return TRUE;
}

BOOL WINAPI ValidateRect(HWND hwnd, const RECT* rect) {
    Window* w = Find(hwnd);
    if (!w) return FALSE;
    if (!rect) {
        w->paint.update.reset();
        w->paint.erase = false;
        return TRUE;
    }
    // A bounding rectangle cannot lose a middle part; it shrinks only when covered.
    if (w->paint.update) {
        RECT rest;
        if (!SubtractRect(&rest, &*w->paint.update, rect))
            w->paint.update.reset();
        else
            w->paint.update = rest;
    }
    return TRUE;
}

BOOL WINAPI GetUpdateRect(HWND hwnd, LPRECT rect, BOOL erase) {
    Window* w = Find(hwnd);
    if (!w) return FALSE;
    if (!w->paint.update) {
        if (rect) SetRectEmpty(rect);
        return FALSE;
    }
    if (rect) *rect = *w->paint.update;
    if (erase && w->paint.erase) {
        w->paint.erase = false;
        SendMessageA(hwnd, WM_ERASEBKGND, 0, 0);
    }
    return TRUE;
}

BOOL WINAPI UpdateWindow(HWND hwnd) {
    Window* w = Find(hwnd);
    if (!w) return FALSE;
    PaintNow(hwnd, true);
    return TRUE;
}

BOOL WINAPI RedrawWindow(HWND hwnd, const RECT* rect, HRGN, UINT flags) {
    Window* w = hwnd ? Find(hwnd) : Desktop();
    if (!w) return FALSE;
    bool children = (flags & RDW_ALLCHILDREN) || (!(flags & RDW_NOCHILDREN) && !(w->style & WS_CLIPCHILDREN));
    if (flags & RDW_INVALIDATE) {
        if (flags & RDW_FRAME) InvalidateFrame(w);
        if (IsDesktop(w)) {
            for (HWND top : TopLevelWindows()) RedrawWindow(top, nullptr, nullptr, flags);
        } else {
            InvalidateWindow(w, rect, (flags & RDW_ERASE) != 0, children);
        }
    }
    if (flags & RDW_VALIDATE) {
        if (flags & RDW_NOFRAME) w->paint.frame = false;
        ValidateRect(hwnd, rect);
    }
    if ((flags & (RDW_UPDATENOW | RDW_ERASENOW)) && hwnd) PaintNow(hwnd, children);
    return TRUE;
}

}  // extern "C"
