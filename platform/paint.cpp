// Painting of windows. A top-level window owns a 24-bit picture of its
// whole rectangle, and it and its children draw on it as windows share the
// screen on Windows: a window's DC starts at its own corner and reaches only
// its own area within its parents' client areas. Update regions are kept as
// one bounding rectangle per window; WM_PAINT goes to parents before their
// children and to transparent windows after what lies beneath them;
// BeginPaint sends WM_NCPAINT and WM_ERASEBKGND in Windows' order.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "gdi/dc.h"
#include "gdi/device.h"
#include "gdi/surface.h"
#include "luma/driver.h"
#include "wm.h"

namespace luma::wm {

struct Picture {
    std::vector<BYTE> pixels;
    int width = 0;
    int height = 0;
    int stride = 0;

    gdi::Surface Surface() {
        gdi::Surface s;
        s.top = pixels.data();
        s.stride = stride;
        s.width = width;
        s.height = height;
        s.bits = 24;
        s.kernels = gdi::KernelsFor(24);
        return s;
    }
};

namespace {

struct WindowDc {
    HWND hwnd = nullptr;
    std::shared_ptr<Picture> picture;  // keeps the pixels while the DC lives
    RECT area{};                       // what the DC may reach, in window coordinates
};

std::map<HDC, WindowDc>& windowDcs() {
    static auto* dcs = new std::map<HDC, WindowDc>;
    return *dcs;
}

Window* RootOf(Window* w) {
    while (w && w->parent && !IsDesktop(w->parent)) w = w->parent;
    return w;
}

std::shared_ptr<Picture> MakePicture(int width, int height, const Picture* old) {
    auto p = std::make_shared<Picture>();
    p->width = std::max(width, 0);
    p->height = std::max(height, 0);
    p->stride = static_cast<int>(gdi::DibStride(std::max(p->width, 1), 24));
    p->pixels.assign(static_cast<size_t>(p->stride) * static_cast<size_t>(std::max(p->height, 1)), 0);
    if (old) {
        // Windows keeps what was on the screen where the window still is.
        int rows = std::min(old->height, p->height);
        size_t bytes = static_cast<size_t>(std::min(old->width, p->width)) * 3;
        for (int y = 0; y < rows; ++y)
            std::memcpy(&p->pixels[static_cast<size_t>(y) * p->stride], &old->pixels[static_cast<size_t>(y) * old->stride],
                        bytes);
    }
    return p;
}

std::shared_ptr<Picture> PictureOf(Window* root) {
    auto& p = root->paint.picture;
    if (!p || p->width != root->Width() || p->height != root->Height())
        p = MakePicture(root->Width(), root->Height(), p.get());
    return p;
}

// The window's rectangle in the coordinates of its top-level window.
RECT RectInRoot(const Window* w, const Window* root) {
    RECT mine = ScreenRect(w);
    RECT top = ScreenRect(root);
    OffsetRect(&mine, -top.left, -top.top);
    return mine;
}

// What the window can show of itself: its own rectangle within the client
// areas of every parent, in root coordinates.
RECT VisibleInRoot(Window* w, Window* root, bool client) {
    RECT r = RectInRoot(w, root);
    if (client) {
        RECT c = ClientRectOf(w);
        OffsetRect(&c, r.left + w->client.left, r.top + w->client.top);
        r = c;
    }
    RECT top = ScreenRect(root);
    for (Window* a = w->parent; a && !IsDesktop(a); a = a->parent) {
        RECT area = ClientRectOf(a);
        POINT o = ClientOrigin(a);
        OffsetRect(&area, o.x - top.left, o.y - top.top);
        IntersectRect(&r, &r, &area);
        if (a == root) break;
    }
    return r;
}

// A DC on the window's part of its top-level picture. limit (device
// coordinates of the new DC) narrows what it may reach.
HDC MakeWindowDc(Window* w, bool client, const RECT* limit) {
    Window* root = RootOf(w);
    if (!root) return nullptr;
    std::shared_ptr<Picture> picture = PictureOf(root);
    RECT rect = RectInRoot(w, root);
    POINT origin{rect.left, rect.top};
    if (client) {
        origin.x += w->client.left;
        origin.y += w->client.top;
    }
    RECT visible = VisibleInRoot(w, root, client);
    OffsetRect(&visible, -origin.x, -origin.y);
    if (limit) IntersectRect(&visible, &visible, limit);
    if (IsRectEmpty(&visible)) visible = RECT{0, 0, 0, 0};
    gdi::Surface surface = picture->Surface();
    if (origin.x < 0 || origin.y < 0 || origin.x > surface.width || origin.y > surface.height) {
        // The window lies beyond its top-level window's corner: nothing of it shows.
        origin = POINT{0, 0};
        visible = RECT{0, 0, 0, 0};
    }
    HDC dc = gdi::CreateDeviceDc(&surface, origin, visible);
    if (!dc) return nullptr;
    RECT area = visible;
    OffsetRect(&area, origin.x - rect.left, origin.y - rect.top);
    windowDcs()[dc] = WindowDc{w->handle, picture, area};
    return dc;
}

// The screen, for GetDC(NULL): a picture of its own that lives as long as the process.
const gdi::Surface* ScreenSurface() {
    static std::vector<BYTE> pixels;
    static gdi::Surface surface;
    if (pixels.empty()) {
        size_t stride = gdi::DibStride(gdi::kScreenWidth, gdi::kScreenBits);
        pixels.assign(stride * gdi::kScreenHeight, 0);
        surface.top = pixels.data();
        surface.stride = static_cast<std::ptrdiff_t>(stride);
        surface.width = gdi::kScreenWidth;
        surface.height = gdi::kScreenHeight;
        surface.bits = gdi::kScreenBits;
        surface.kernels = gdi::KernelsFor(gdi::kScreenBits);
    }
    return &surface;
}

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

// Transparent siblings above a window show it through themselves: once it
// is painted they paint again over it.
void RefreshTransparentAbove(Window* w, const RECT& paintedClient) {
    Window* parent = w->parent;
    if (!parent || IsDesktop(parent)) return;
    RECT painted = paintedClient;
    OffsetRect(&painted, w->rect.left + w->client.left, w->rect.top + w->client.top);
    for (Window* sibling : parent->children) {
        if (sibling == w) break;  // those after it lie beneath
        if (!(sibling->exStyle & WS_EX_TRANSPARENT) || !(sibling->style & WS_VISIBLE)) continue;
        RECT overlap;
        if (!IntersectRect(&overlap, &painted, &sibling->rect)) continue;
        OffsetRect(&overlap, -(sibling->rect.left + sibling->client.left), -(sibling->rect.top + sibling->client.top));
        InvalidateWindow(sibling, &overlap, false, true);
    }
}

void Gradient(HDC dc, const RECT& r, COLORREF from, COLORREF to) {
    int width = r.right - r.left;
    if (width <= 0) return;
    for (int x = 0; x < width; ++x) {
        int d = std::max(width - 1, 1);
        auto mix = [&](int a, int b) { return a + (b - a) * x / d; };
        HBRUSH brush = CreateSolidBrush(RGB(mix(GetRValue(from), GetRValue(to)), mix(GetGValue(from), GetGValue(to)),
                                            mix(GetBValue(from), GetBValue(to))));
        RECT column{r.left + x, r.top, r.left + x + 1, r.bottom};
        FillRect(dc, &column, brush);
        DeleteObject(brush);
    }
}

void CloseButton(HDC dc, const RECT& r) {
    RECT face = r;
    DrawEdge(dc, &face, EDGE_RAISED, BF_RECT | BF_SOFT | BF_MIDDLE | BF_ADJUST);
    // The cross, two pixels thick, as the classic caption glyph draws it.
    int size = std::min(face.right - face.left, face.bottom - face.top) - 4;
    if (size < 3) return;
    int x0 = face.left + (face.right - face.left - size) / 2;
    int y0 = face.top + (face.bottom - face.top - size) / 2;
    COLORREF ink = GetSysColor(COLOR_BTNTEXT);
    for (int i = 0; i < size; ++i) {
        SetPixelV(dc, x0 + i, y0 + i, ink);
        SetPixelV(dc, x0 + i + 1, y0 + i, ink);
        SetPixelV(dc, x0 + size - 1 - i, y0 + i, ink);
        SetPixelV(dc, x0 + size - i, y0 + i, ink);
    }
}

}  // namespace

void InvalidateWindow(Window* w, const RECT* client, bool erase, bool children) {
    if (!w || IsDesktop(w) || !IsVisible(w)) return;
    RECT area = client ? *client : ClientRectOf(w);
    AddUpdate(w, area, erase);
    if (!children) return;
    // Children repaint over what their parent paints: a picture shared by
    // the whole window keeps nothing of theirs apart.
    for (Window* c : w->children) {
        if (!(c->style & WS_VISIBLE)) continue;
        RECT overlap;
        if (!IntersectRect(&overlap, &area, &c->rect)) continue;
        RECT frame = overlap;
        OffsetRect(&overlap, -(c->rect.left + c->client.left), -(c->rect.top + c->client.top));
        if (frame.left < c->rect.left + c->client.left || frame.top < c->rect.top + c->client.top ||
            frame.right > c->rect.left + c->client.right || frame.bottom > c->rect.top + c->client.bottom)
            InvalidateFrame(c);
        InvalidateWindow(c, &overlap, true, true);
    }
}

void InvalidateFrame(Window* w) {
    if (!w || IsDesktop(w)) return;
    if (w->client.left != 0 || w->client.top != 0 || w->client.right != w->Width() || w->client.bottom != w->Height())
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
    std::vector<HWND> opaque, transparent;
    for (HWND child : ChildrenOf(hwnd)) {
        Window* c = Lookup(child);
        if (c) (c->exStyle & WS_EX_TRANSPARENT ? transparent : opaque).push_back(child);
    }
    for (HWND child : opaque) PaintNow(child, true);
    for (HWND child : transparent) PaintNow(child, true);
}

void ResizePicture(Window* w) {
    if (w && w->IsTopLevel() && w->paint.picture) PictureOf(w);
}

void DrawNonClient(HWND hwnd) {
    Window* w = Lookup(hwnd);
    if (!w) return;
    HDC dc = GetWindowDC(hwnd);
    if (!dc) return;
    RECT r{0, 0, w->Width(), w->Height()};
    DWORD style = w->style, exStyle = w->exStyle;
    bool dialogFrame = (exStyle & WS_EX_DLGMODALFRAME) || (style & (WS_THICKFRAME | WS_DLGFRAME));
    if ((exStyle & (WS_EX_STATICEDGE | WS_EX_DLGMODALFRAME)) == WS_EX_STATICEDGE) {
        DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
    } else if (dialogFrame) {
        DrawEdge(dc, &r, EDGE_RAISED, BF_RECT | BF_ADJUST);
    }
    if (style & WS_THICKFRAME) {
        int extra = GetSystemMetrics(SM_CXFRAME) - GetSystemMetrics(SM_CXDLGFRAME);
        for (int i = 0; i < extra; ++i) {
            FrameRect(dc, &r, GetSysColorBrush(w->paint.active ? COLOR_ACTIVEBORDER : COLOR_INACTIVEBORDER));
            InflateRect(&r, -1, -1);
        }
    }
    if ((style & (WS_BORDER | WS_DLGFRAME)) || (exStyle & WS_EX_DLGMODALFRAME)) {
        // A dialog frame ends in the face colour; a plain border is the window frame colour.
        FrameRect(dc, &r, GetSysColorBrush((dialogFrame || (style & WS_DLGFRAME)) ? COLOR_3DFACE : COLOR_WINDOWFRAME));
        InflateRect(&r, -1, -1);
    }
    if ((style & WS_CAPTION) == WS_CAPTION) {
        bool small = exStyle & WS_EX_TOOLWINDOW;
        int height = GetSystemMetrics(small ? SM_CYSMCAPTION : SM_CYCAPTION);
        RECT bar{r.left, r.top, r.right, r.top + height - 1};
        bool active = w->paint.active;
        Gradient(dc, bar, GetSysColor(active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION),
                 GetSysColor(active ? COLOR_GRADIENTACTIVECAPTION : COLOR_GRADIENTINACTIVECAPTION));
        RECT line{r.left, bar.bottom, r.right, bar.bottom + 1};
        FillRect(dc, &line, GetSysColorBrush(COLOR_3DFACE));
        RECT text = bar;
        text.left += 3;
        if (style & WS_SYSMENU) {
            int bw = GetSystemMetrics(small ? SM_CXSMSIZE : SM_CXSIZE) - 2;
            int bh = GetSystemMetrics(small ? SM_CYSMSIZE : SM_CYSIZE) - 4;
            RECT button{bar.right - 2 - bw, bar.top + 2, bar.right - 2, bar.top + 2 + bh};
            CloseButton(dc, button);
            text.right = button.left - 2;
        }
        HFONT font = CreateFontA(-11, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, 0,
                                 DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "MS Sans Serif");
        HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
        int oldMode = SetBkMode(dc, TRANSPARENT);
        COLORREF oldColor = SetTextColor(dc, GetSysColor(active ? COLOR_CAPTIONTEXT : COLOR_INACTIVECAPTIONTEXT));
        DrawTextA(dc, w->text.c_str(), -1, &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
        SetTextColor(dc, oldColor);
        SetBkMode(dc, oldMode);
        if (oldFont) SelectObject(dc, oldFont);
        if (font) DeleteObject(font);
        r.top += height;
    }
    if (exStyle & WS_EX_CLIENTEDGE) {
        RECT edge = w->client;
        InflateRect(&edge, GetSystemMetrics(SM_CXEDGE), GetSystemMetrics(SM_CYEDGE));
        DrawEdge(dc, &edge, EDGE_SUNKEN, BF_RECT);
    }
    if (style & (WS_VSCROLL | WS_HSCROLL)) {
        RECT bars = w->client;
        if (style & WS_VSCROLL) {
            RECT v{w->client.right, w->client.top, w->client.right + GetSystemMetrics(SM_CXVSCROLL), w->client.bottom};
            FillRect(dc, &v, GetSysColorBrush(COLOR_SCROLLBAR));
        }
        if (style & WS_HSCROLL) {
            RECT h{w->client.left, w->client.bottom, w->client.right, w->client.bottom + GetSystemMetrics(SM_CYHSCROLL)};
            FillRect(dc, &h, GetSysColorBrush(COLOR_SCROLLBAR));
        }
        (void)bars;
    }
    ReleaseDC(hwnd, dc);
}

void EraseBackground(HWND hwnd, HDC dc) {
    Window* w = Lookup(hwnd);
    if (!w || !w->cls || !w->cls->background || !dc) return;
    RECT r;
    GetClientRect(hwnd, &r);
    FillRect(dc, &r, w->cls->background);
}

HBRUSH ControlColor(HWND, UINT msg, HDC dc) {
    if (msg == WM_CTLCOLORSCROLLBAR) {
        if (dc) {
            SetBkColor(dc, GetSysColor(COLOR_3DHILIGHT));
            SetTextColor(dc, GetSysColor(COLOR_3DFACE));
        }
        return GetSysColorBrush(COLOR_SCROLLBAR);
    }
    if (dc) SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    if (msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORLISTBOX) {
        if (dc) SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        return GetSysColorBrush(COLOR_WINDOW);
    }
    if (dc) SetBkColor(dc, GetSysColor(COLOR_3DFACE));
    return GetSysColorBrush(COLOR_3DFACE);
}

HFONT CreateDialogFont(const char* faceName, int pointSize) {
    // Points become pixels at 96 dots per inch, rounded as MulDiv rounds.
    int pixels = MulDivDialog(pointSize, 96, 72);
    return CreateFontA(-pixels, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, 0,
                       PROOF_QUALITY, DEFAULT_PITCH | FF_DONTCARE, faceName);
}

void DeleteObjectFont(HFONT font) {
    if (font) DeleteObject(font);
}

bool MeasureDialogFont(HFONT font, SIZE* units) {
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) return false;
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICA tm{};
    SIZE extent{};
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    bool ok = old && GetTextMetricsA(dc, &tm) && GetTextExtentPoint32A(dc, kAlphabet, 52, &extent);
    if (old) SelectObject(dc, old);
    DeleteDC(dc);
    if (!ok || extent.cx <= 0) return false;
    // The average width of the letters, rounded, as Windows derives base units.
    units->cx = (extent.cx / 26 + 1) / 2;
    units->cy = tm.tmHeight;
    return true;
}

int FontHeight(HWND, HFONT font) {
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) return 13;
    HGDIOBJ old = SelectObject(dc, font ? static_cast<HGDIOBJ>(font) : GetStockObject(SYSTEM_FONT));
    TEXTMETRICA tm{};
    int height = GetTextMetricsA(dc, &tm) ? tm.tmHeight : 13;
    if (old) SelectObject(dc, old);
    DeleteDC(dc);
    return height;
}

void FillDialogBackground(HWND hwnd, HDC dc, HBRUSH brush) {
    if (!dc) return;
    RECT r;
    GetClientRect(hwnd, &r);
    DPtoLP(dc, reinterpret_cast<POINT*>(&r), 2);
    FillRect(dc, &r, brush);
}

}  // namespace luma::wm

namespace luma {

WindowPicture GetWindowPicture(HWND hwnd) {
    wm::Window* w = wm::Lookup(hwnd);
    wm::Window* root = w ? wm::RootOf(w) : nullptr;
    if (!root || !root->paint.picture) return {};
    wm::Picture& p = *root->paint.picture;
    RECT r = wm::RectInRoot(w, root);
    RECT bounds{0, 0, p.width, p.height};
    RECT shown;
    if (!IntersectRect(&shown, &r, &bounds)) return {};
    WindowPicture out;
    out.bits = &p.pixels[static_cast<size_t>(shown.top) * p.stride + static_cast<size_t>(shown.left) * 3];
    out.width = shown.right - shown.left;
    out.height = shown.bottom - shown.top;
    out.stride = p.stride;
    return out;
}

}  // namespace luma

using namespace luma::wm;

extern "C" {

HDC WINAPI GetDC(HWND hwnd) {
    if (!hwnd || hwnd == GetDesktopWindow()) {
        const luma::gdi::Surface* screen = ScreenSurface();
        return screen ? luma::gdi::CreateDeviceDc(screen, POINT{0, 0}, screen->Bounds()) : nullptr;
    }
    Window* w = Find(hwnd);
    return w ? MakeWindowDc(w, true, nullptr) : nullptr;
}

HDC WINAPI GetWindowDC(HWND hwnd) {
    if (!hwnd || hwnd == GetDesktopWindow()) return GetDC(nullptr);
    Window* w = Find(hwnd);
    return w ? MakeWindowDc(w, false, nullptr) : nullptr;
}

int WINAPI ReleaseDC(HWND, HDC dc) {
    auto& dcs = windowDcs();
    auto it = dcs.find(dc);
    if (it != dcs.end()) {
        WindowDc record = it->second;
        dcs.erase(it);
        DeleteDC(dc);
        if (Lookup(record.hwnd) && !IsRectEmpty(&record.area))
            luma::CurrentDriver().WindowPainted(record.hwnd, record.area);
        return 1;
    }
    luma::gdi::Dc* d = luma::gdi::FindDc(dc);
    if (!d || d->memory) return 0;
    return DeleteDC(dc) ? 1 : 0;
}

HDC WINAPI BeginPaint(HWND hwnd, LPPAINTSTRUCT paint) {
    Window* w = Find(hwnd);
    if (!w || !paint) return nullptr;
    if (w->paint.frame) {
        w->paint.frame = false;
        SendMessageA(hwnd, WM_NCPAINT, 1, 0);
        if (!(w = Lookup(hwnd))) return nullptr;
    }
    *paint = PAINTSTRUCT{};
    RECT area = w->paint.update.value_or(RECT{0, 0, 0, 0});
    bool erase = w->paint.erase;
    w->paint.update.reset();
    w->paint.erase = false;
    HDC dc = MakeWindowDc(w, true, &area);
    paint->hdc = dc;
    paint->rcPaint = area;
    paint->fErase = erase;
    if (erase && dc) paint->fErase = !SendMessageA(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    return dc;
}

BOOL WINAPI EndPaint(HWND hwnd, const PAINTSTRUCT* paint) {
    if (!paint) return FALSE;
    if (paint->hdc) ReleaseDC(hwnd, paint->hdc);
    if (Window* w = Lookup(hwnd); w && !IsRectEmpty(&paint->rcPaint)) RefreshTransparentAbove(w, paint->rcPaint);
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
        HDC dc = MakeWindowDc(w, true, &*w->paint.update);
        SendMessageA(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
        if (dc) ReleaseDC(hwnd, dc);
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
    bool children = (flags & RDW_ALLCHILDREN) || !(flags & RDW_NOCHILDREN);
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
