// STATIC: labels, frames and rectangles, bitmaps; clicks pass through to the
// window below unless SS_NOTIFY asks for STN_CLICKED.
#include <windows.h>

#include "controls/controls.h"
#include "controls/static_state.h"
#include "wm.h"

namespace luma::controls {
namespace {

StaticState* StateOf(HWND hwnd) { return wm::StateOf<StaticState>(hwnd); }

UINT TypeOf(HWND hwnd) { return static_cast<UINT>(GetWindowLongA(hwnd, GWL_STYLE) & SS_TYPEMASK); }

bool HasImage(UINT type) { return type == SS_ICON || type == SS_BITMAP; }

}  // namespace

LRESULT CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    StaticState* s = StateOf(hwnd);
    if (!s) return 0;
    UINT type = TypeOf(hwnd);
    switch (msg) {
    case WM_NCCREATE: {
        auto* cs = reinterpret_cast<CREATESTRUCTA*>(lParam);
        if (GetWindowLongA(hwnd, GWL_STYLE) & SS_SUNKEN)
            SetWindowLongA(hwnd, GWL_EXSTYLE, GetWindowLongA(hwnd, GWL_EXSTYLE) | WS_EX_STATICEDGE);
        if (cs && HasImage(type) && cs->lpszName) {
            // The text names the picture in the creating module's resources.
            LPCSTR name = cs->lpszName;
            if (!IS_INTRESOURCE(name) && static_cast<unsigned char>(name[0]) == 0xFF)
                name = MAKEINTRESOURCEA(static_cast<unsigned char>(name[1]) | (static_cast<unsigned char>(name[2]) << 8));
            if (type == SS_BITMAP) {
                s->image = LoadBitmapA(cs->hInstance, name);
                s->ownsImage = s->image != nullptr;
            }
            if (type == SS_ICON) s->image = LoadIconA(cs->hInstance, name);
            return TRUE;
        }
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    case WM_NCDESTROY:
        if (s->ownsImage && s->image) DeleteStaticImage(s->image);
        s->image = nullptr;
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    case WM_GETDLGCODE: return DLGC_STATIC;
    case WM_NCHITTEST:
        if (GetWindowLongA(hwnd, GWL_STYLE) & SS_NOTIFY) return HTCLIENT;
        return HTTRANSPARENT;
    case WM_LBUTTONDOWN:
    case WM_NCLBUTTONDOWN:
        if (GetWindowLongA(hwnd, GWL_STYLE) & SS_NOTIFY) wm::NotifyParent(hwnd, STN_CLICKED);
        return 0;
    case WM_LBUTTONDBLCLK:
    case WM_NCLBUTTONDBLCLK:
        if (GetWindowLongA(hwnd, GWL_STYLE) & SS_NOTIFY) wm::NotifyParent(hwnd, STN_DBLCLK);
        return 0;
    case WM_SETTEXT:
        if (HasImage(type)) return TRUE;
        DefWindowProcA(hwnd, msg, wParam, lParam);
        InvalidateRect(hwnd, nullptr, TRUE);
        return TRUE;
    case WM_SETFONT:
        if (HasImage(type)) return 0;
        s->font = reinterpret_cast<HFONT>(wParam);
        if (LOWORD(lParam)) InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(s->font);
    case WM_ENABLE: InvalidateRect(hwnd, nullptr, TRUE); return 0;
    case WM_ERASEBKGND: return 1;  // painted whole by WM_PAINT
    case WM_PRINTCLIENT:
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = wParam ? reinterpret_cast<HDC>(wParam) : BeginPaint(hwnd, &ps);
        if (dc) PaintStatic(hwnd, dc);
        if (!wParam) EndPaint(hwnd, &ps);
        return 0;
    }
    case STM_SETIMAGE:
    case STM_SETICON: {
        if ((msg == STM_SETICON || wParam == IMAGE_ICON) && type != SS_ICON) return 0;
        if (msg == STM_SETIMAGE && wParam == IMAGE_BITMAP && type != SS_BITMAP) return 0;
        HANDLE old = s->image;
        s->image = msg == STM_SETICON ? reinterpret_cast<HANDLE>(wParam) : reinterpret_cast<HANDLE>(lParam);
        s->ownsImage = false;
        InvalidateRect(hwnd, nullptr, TRUE);
        return reinterpret_cast<LRESULT>(old);
    }
    case STM_GETIMAGE:
    case STM_GETICON: return reinterpret_cast<LRESULT>(s->image);
    default: return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

}  // namespace luma::controls
