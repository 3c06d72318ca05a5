// user32's drawing helpers and the system colours.
#include <algorithm>
#include <memory>
#include <mutex>

#include "gdi/dc.h"
#include "gdi/paint.h"

using namespace luma::gdi;

namespace {

constexpr int kSysColorCount = COLOR_MENUBAR + 1;

// The classic Windows scheme.
constexpr COLORREF kDefaultColors[kSysColorCount] = {
    RGB(192, 192, 192),  // COLOR_SCROLLBAR
    RGB(0, 128, 128),    // COLOR_BACKGROUND
    RGB(0, 0, 128),      // COLOR_ACTIVECAPTION
    RGB(128, 128, 128),  // COLOR_INACTIVECAPTION
    RGB(192, 192, 192),  // COLOR_MENU
    RGB(255, 255, 255),  // COLOR_WINDOW
    RGB(0, 0, 0),        // COLOR_WINDOWFRAME
    RGB(0, 0, 0),        // COLOR_MENUTEXT
    RGB(0, 0, 0),        // COLOR_WINDOWTEXT
    RGB(255, 255, 255),  // COLOR_CAPTIONTEXT
    RGB(192, 192, 192),  // COLOR_ACTIVEBORDER
    RGB(192, 192, 192),  // COLOR_INACTIVEBORDER
    RGB(128, 128, 128),  // COLOR_APPWORKSPACE
    RGB(0, 0, 128),      // COLOR_HIGHLIGHT
    RGB(255, 255, 255),  // COLOR_HIGHLIGHTTEXT
    RGB(192, 192, 192),  // COLOR_BTNFACE
    RGB(128, 128, 128),  // COLOR_BTNSHADOW
    RGB(128, 128, 128),  // COLOR_GRAYTEXT
    RGB(0, 0, 0),        // COLOR_BTNTEXT
    RGB(192, 192, 192),  // COLOR_INACTIVECAPTIONTEXT
    RGB(255, 255, 255),  // COLOR_BTNHIGHLIGHT
    RGB(0, 0, 0),        // COLOR_3DDKSHADOW
    RGB(223, 223, 223),  // COLOR_3DLIGHT
    RGB(0, 0, 0),        // COLOR_INFOTEXT
    RGB(255, 255, 225),  // COLOR_INFOBK
    RGB(180, 180, 180),  // 25, unused
    RGB(0, 0, 255),      // COLOR_HOTLIGHT
    RGB(16, 132, 208),   // COLOR_GRADIENTACTIVECAPTION
    RGB(181, 181, 181),  // COLOR_GRADIENTINACTIVECAPTION
    RGB(0, 0, 128),      // COLOR_MENUHILIGHT
    RGB(192, 192, 192),  // COLOR_MENUBAR
};

struct SysColors {
    std::mutex lock;
    COLORREF colors[kSysColorCount];
    HBRUSH brushes[kSysColorCount] = {};
    SysColors() {
        std::copy(std::begin(kDefaultColors), std::end(kDefaultColors), colors);
        // The brushes belong to the system: they follow SetSysColors and
        // DeleteObject leaves them alone.
        for (int i = 0; i < kSysColorCount; ++i) {
            auto brush = std::make_unique<Brush>();
            brush->log.lbStyle = BS_SOLID;
            brush->log.lbColor = colors[i];
            brushes[i] = static_cast<HBRUSH>(RegisterSystemObject(std::move(brush)));
        }
    }
};

SysColors& sysColors() {
    static SysColors s;
    return s;
}

// FillRect and FrameRect also take a system colour index plus one.
HBRUSH resolveBrush(HBRUSH brush) {
    auto value = reinterpret_cast<UINT_PTR>(brush);
    if (value >= 1 && value <= kSysColorCount) return GetSysColorBrush(static_cast<int>(value - 1));
    return brush;
}

BOOL patBltWith(HDC hdc, HBRUSH brush, int x, int y, int w, int h) {
    HGDIOBJ previous = SelectObject(hdc, brush);
    if (!previous) return FALSE;
    BOOL ok = PatBlt(hdc, x, y, w, h, PATCOPY);
    SelectObject(hdc, previous);
    return ok;
}

// One ring of an edge: top and left in one colour, then bottom and right in
// another over the corners they share.
void ring(HDC hdc, const RECT& r, UINT flags, int ltColor, int rbColor) {
    HGDIOBJ oldPen = SelectObject(hdc, GetStockObject(DC_PEN));
    COLORREF oldColor = SetDCPenColor(hdc, 0);
    POINT oldPos;
    MoveToEx(hdc, 0, 0, &oldPos);
    if (ltColor >= 0) {
        SetDCPenColor(hdc, GetSysColor(ltColor));
        if (flags & BF_TOP) {
            MoveToEx(hdc, r.left, r.top, nullptr);
            LineTo(hdc, r.right, r.top);
        }
        if (flags & BF_LEFT) {
            MoveToEx(hdc, r.left, r.top, nullptr);
            LineTo(hdc, r.left, r.bottom);
        }
    }
    if (rbColor >= 0) {
        SetDCPenColor(hdc, GetSysColor(rbColor));
        if (flags & BF_BOTTOM) {
            MoveToEx(hdc, r.left, r.bottom - 1, nullptr);
            LineTo(hdc, r.right, r.bottom - 1);
        }
        if (flags & BF_RIGHT) {
            MoveToEx(hdc, r.right - 1, r.top, nullptr);
            LineTo(hdc, r.right - 1, r.bottom);
        }
    }
    MoveToEx(hdc, oldPos.x, oldPos.y, nullptr);
    SetDCPenColor(hdc, oldColor);
    SelectObject(hdc, oldPen);
}

}  // namespace

extern "C" {

DWORD WINAPI GetSysColor(int index) {
    if (index < 0 || index >= kSysColorCount) return 0;
    SysColors& s = sysColors();
    std::lock_guard guard(s.lock);
    return s.colors[index];
}

HBRUSH WINAPI GetSysColorBrush(int index) {
    if (index < 0 || index >= kSysColorCount) return nullptr;
    return sysColors().brushes[index];
}

BOOL WINAPI SetSysColors(int count, const INT* indexes, const COLORREF* colors) {
    if (count < 0 || (count > 0 && (!indexes || !colors))) return FALSE;
    SysColors& s = sysColors();
    std::lock_guard guard(s.lock);
    for (int i = 0; i < count; ++i) {
        int index = indexes[i];
        if (index < 0 || index >= kSysColorCount) continue;
        s.colors[index] = colors[i] & 0x00FFFFFF;
        if (auto* brush = FindAs<Brush>(s.brushes[index], Kind::Brush)) brush->log.lbColor = s.colors[index];
    }
    return TRUE;
}

int WINAPI FillRect(HDC hdc, const RECT* rect, HBRUSH brush) {
    if (!rect) return FALSE;
    brush = resolveBrush(brush);
    if (!FindAs<Brush>(brush, Kind::Brush)) return FALSE;
    return patBltWith(hdc, brush, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top);
}

int WINAPI FrameRect(HDC hdc, const RECT* rect, HBRUSH brush) {
    if (!rect || rect->left >= rect->right || rect->top >= rect->bottom) return FALSE;
    brush = resolveBrush(brush);
    if (!FindAs<Brush>(brush, Kind::Brush)) return FALSE;
    int w = rect->right - rect->left, h = rect->bottom - rect->top;
    HGDIOBJ previous = SelectObject(hdc, brush);
    if (!previous) return FALSE;
    PatBlt(hdc, rect->left, rect->top, 1, h, PATCOPY);
    PatBlt(hdc, rect->right - 1, rect->top, 1, h, PATCOPY);
    PatBlt(hdc, rect->left, rect->top, w, 1, PATCOPY);
    PatBlt(hdc, rect->left, rect->bottom - 1, w, 1, PATCOPY);
    SelectObject(hdc, previous);
    return TRUE;
}

BOOL WINAPI InvertRect(HDC hdc, const RECT* rect) {
    if (!rect) return FALSE;
    return PatBlt(hdc, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, DSTINVERT);
}

BOOL WINAPI DrawFocusRect(HDC hdc, const RECT* rect) {
    Dc* dc = FindDc(hdc);
    if (!dc || !rect) return FALSE;
    const Surface* s = dc->Target();
    if (!s) return TRUE;
    POINT a = dc->ToDevice(POINT{rect->left, rect->top}), b = dc->ToDevice(POINT{rect->right, rect->bottom});
    RECT box{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
    if (box.left == box.right || box.top == box.bottom) return TRUE;
    --box.right;
    --box.bottom;
    // The outline is walked as Rectangle walks it, from the top right
    // corner leftwards, inverting every other pixel along the way; the
    // count carries on round the corners.
    const POINT corners[4] = {{box.right, box.top}, {box.left, box.top}, {box.left, box.bottom}, {box.right, box.bottom}};
    Region drawable = dc->DrawableRegion();
    long step = 0;
    for (int side = 0; side < 4; ++side) {
        POINT from = corners[side], to = corners[(side + 1) % 4];
        int dx = (to.x > from.x) - (to.x < from.x), dy = (to.y > from.y) - (to.y < from.y);
        int length = std::max(std::abs(to.x - from.x), std::abs(to.y - from.y));
        for (int k = 0; k < length; ++k, ++step) {
            if (step % 2) continue;
            int x = from.x + dx * k, y = from.y + dy * k;
            if (!drawable.Contains(x, y)) continue;
            s->kernels->setPixel(*s, x, y, ~s->kernels->getPixel(*s, x, y));
        }
    }
    return TRUE;
}

BOOL WINAPI DrawEdge(HDC hdc, LPRECT rect, UINT edge, UINT flags) {
    if (!FindDc(hdc) || !rect) return FALSE;
    RECT inner = *rect;
    UINT outer = edge & BDR_OUTER, innerBits = edge & BDR_INNER;
    auto colorsFor = [&](UINT bits, bool isOuter, int& lt, int& rb) {
        lt = rb = -1;
        bool soft = flags & BF_SOFT;
        if (flags & BF_MONO) {
            lt = rb = isOuter ? COLOR_WINDOWFRAME : COLOR_WINDOW;
        } else if (flags & BF_FLAT) {
            lt = rb = isOuter ? COLOR_BTNSHADOW : COLOR_BTNFACE;
        } else if (bits == BDR_RAISEDOUTER) {
            lt = soft ? COLOR_BTNHIGHLIGHT : COLOR_3DLIGHT;
            rb = COLOR_3DDKSHADOW;
        } else if (bits == BDR_SUNKENOUTER) {
            lt = soft ? COLOR_3DDKSHADOW : COLOR_BTNSHADOW;
            rb = COLOR_BTNHIGHLIGHT;
        } else if (bits == BDR_RAISEDINNER) {
            lt = soft ? COLOR_3DLIGHT : COLOR_BTNHIGHLIGHT;
            rb = COLOR_BTNSHADOW;
        } else if (bits == BDR_SUNKENINNER) {
            lt = soft ? COLOR_BTNSHADOW : COLOR_3DDKSHADOW;
            rb = COLOR_3DLIGHT;
        }
    };
    // The outer border sits on the rectangle, the inner one a pixel inside;
    // a lone border of either kind takes the outer place.
    UINT rings[2];
    int count = 0;
    if (outer) rings[count++] = outer;
    if (innerBits) rings[count++] = innerBits;
    if ((flags & (BF_MONO | BF_FLAT)) && count == 0) return TRUE;
    for (int i = 0; i < count; ++i) {
        int lt, rb;
        colorsFor(rings[i], i == 0, lt, rb);
        ring(hdc, inner, flags, lt, rb);
        if (flags & BF_LEFT) ++inner.left;
        if (flags & BF_TOP) ++inner.top;
        if (flags & BF_RIGHT) --inner.right;
        if (flags & BF_BOTTOM) --inner.bottom;
    }
    if (flags & BF_MIDDLE) {
        if (inner.left < inner.right && inner.top < inner.bottom)
            FillRect(hdc, &inner, GetSysColorBrush(COLOR_BTNFACE));
    }
    if (flags & BF_ADJUST) *rect = inner;
    return TRUE;
}

}  // extern "C"
