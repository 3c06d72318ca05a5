#include "gdi/paint.h"

#include "gdi/shapes.h"

namespace luma::gdi {

namespace {

// Windows' 8 x 8 hatch patterns, one byte per row, left pixel in the top bit.
constexpr BYTE kHatches[6][8] = {
    {0x00, 0x00, 0x00, 0xff, 0x00, 0x00, 0x00, 0x00},  // HS_HORIZONTAL
    {0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08},  // HS_VERTICAL
    {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01},  // HS_FDIAGONAL
    {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80},  // HS_BDIAGONAL
    {0x08, 0x08, 0x08, 0xff, 0x08, 0x08, 0x08, 0x08},  // HS_CROSS
    {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81},  // HS_DIAGCROSS
};

int wrap(int v, int n) {
    int r = v % n;
    return r < 0 ? r + n : r;
}

}  // namespace

DWORD ForegroundPixel(const Dc& dc, const Surface& s, COLORREF color) {
    color &= 0x00FFFFFF;
    if (s.bits != 1 || !s.table || s.tableSize < 2) return ColorToPixel(s, color);
    RGBQUAD q{GetBValue(color), GetGValue(color), GetRValue(color), 0};
    auto same = [&](const RGBQUAD& t) {
        return t.rgbRed == q.rgbRed && t.rgbGreen == q.rgbGreen && t.rgbBlue == q.rgbBlue;
    };
    if (same(s.table[0])) return 0;
    if (same(s.table[1])) return 1;
    DWORD bg = ColorToPixel(s, dc.state.bkColor & 0x00FFFFFF);
    return color == (dc.state.bkColor & 0x00FFFFFF) ? bg : !bg;
}

Fill SolidFill(const Dc& dc, const Surface& s, COLORREF color, int rop2) {
    Fill f;
    f.type = Fill::Solid;
    Rop2Masks(rop2, ForegroundPixel(dc, s, color), f.andMask, f.xorMask);
    f.rop2 = rop2;
    return f;
}

Fill BrushFill(const Dc& dc, const Surface& s, HBRUSH handle, int rop2) {
    const Brush* brush = FindAs<Brush>(handle, Kind::Brush);
    Fill f;
    if (!brush) return f;
    COLORREF color = brush->dcBrush ? dc.state.dcBrushColor : brush->log.lbColor;
    switch (brush->log.lbStyle) {
    case BS_SOLID: return SolidFill(dc, s, color, rop2);
    case BS_HATCHED:
        f.type = Fill::Pattern;
        f.brush = brush;
        f.fgPixel = ForegroundPixel(dc, s, color);
        f.bgPixel = ColorToPixel(s, dc.state.bkColor & 0x00FFFFFF);
        f.bgTransparent = dc.state.bkMode == TRANSPARENT;
        f.origin = dc.state.brushOrigin;
        f.rop2 = rop2;
        return f;
    case BS_PATTERN:
    case BS_DIBPATTERN:
    case BS_DIBPATTERNPT:
        if (brush->patternWidth <= 0 || brush->patternHeight <= 0) return f;
        f.type = Fill::Pattern;
        f.brush = brush;
        // Monochrome patterns draw their clear bits in the text colour and
        // their set bits in the background colour.
        f.fgPixel = ColorToPixel(s, dc.state.textColor & 0x00FFFFFF);
        f.bgPixel = ColorToPixel(s, dc.state.bkColor & 0x00FFFFFF);
        f.origin = dc.state.brushOrigin;
        f.rop2 = rop2;
        return f;
    default: return f;
    }
}

PenInfo CurrentPen(const Dc& dc) {
    PenInfo info;
    const Pen* pen = FindAs<Pen>(dc.state.pen, Kind::Pen);
    if (!pen) {
        info.style = PS_NULL;
        return info;
    }
    info.style = static_cast<int>(pen->log.lopnStyle & PS_STYLE_MASK);
    info.color = pen->dcPen ? dc.state.dcPenColor : pen->log.lopnColor;
    if (info.style == PS_NULL) {
        info.width = 0;
        return info;
    }
    info.width = dc.DeviceWidth(pen->log.lopnWidth.x);
    return info;
}

Fill PenFill(const Dc& dc, const Surface& s, int rop2) {
    PenInfo pen = CurrentPen(dc);
    if (pen.null()) return Fill{};
    return SolidFill(dc, s, pen.color, rop2);
}

void PaintRects(const Surface& s, const std::vector<RECT>& rects, const Fill& f) {
    if (f.type == Fill::None) return;
    if (f.type == Fill::Solid) {
        for (const RECT& r : rects) s.kernels->fillRect(s, r, f.andMask, f.xorMask);
        return;
    }
    for (const RECT& r : rects) {
        for (int y = r.top; y < r.bottom; ++y) {
            for (int x = r.left; x < r.right; ++x) {
                DWORD value;
                if (!PatternValue(f, s, x, y, value)) continue;
                DWORD a, xo;
                Rop2Masks(f.rop2, value, a, xo);
                s.kernels->setPixel(s, x, y, (s.kernels->getPixel(s, x, y) & a) ^ xo);
            }
        }
    }
}

bool PatternValue(const Fill& f, const Surface& s, int x, int y, DWORD& value) {
    if (f.type == Fill::Solid) {
        // Solid fills keep the brush value in the masks of R2_COPYPEN.
        value = f.xorMask;
        return true;
    }
    if (f.type != Fill::Pattern) return false;
    const Brush& b = *f.brush;
    bool hatched = b.log.lbStyle == BS_HATCHED;
    int pw = hatched ? 8 : b.patternWidth;
    int ph = hatched ? 8 : b.patternHeight;
    int px = wrap(x - f.origin.x, pw);
    int py = wrap(y - f.origin.y, ph);
    if (hatched) {
        int hatch = static_cast<int>(b.log.lbHatch <= HS_DIAGCROSS ? b.log.lbHatch : 0);
        bool set = (kHatches[hatch][py] >> (7 - px)) & 1;
        if (!set && f.bgTransparent) return false;
        value = set ? f.fgPixel : f.bgPixel;
    } else if (b.monoPattern) {
        value = b.pattern[static_cast<std::size_t>(py) * pw + px] ? f.bgPixel : f.fgPixel;
    } else {
        value = ColorToPixel(s, b.pattern[static_cast<std::size_t>(py) * pw + px]);
    }
    return true;
}

void PaintRegion(const Dc& dc, const Surface& s, const Region& region, const Fill& f) {
    if (f.type == Fill::None || region.Empty()) return;
    Region visible = region.Intersect(dc.DrawableRegion());
    PaintRects(s, visible.Rects(), f);
}

void PaintThinLine(const Surface& s, const Region& drawable, POINT a, POINT b, DWORD andMask, DWORD xorMask) {
    RECT box{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x) + 1, std::max(a.y, b.y) + 1};
    for (const RECT& r : drawable.Rects()) {
        if (r.top >= box.bottom) break;
        if (r.bottom <= box.top || r.right <= box.left || r.left >= box.right) continue;
        ForEachLinePixel(a, b, r, [&](int x, int y, int) {
            s.kernels->setPixel(s, x, y, (s.kernels->getPixel(s, x, y) & andMask) ^ xorMask);
        });
    }
}

void PaintDashedLine(const Surface& s, const Region& drawable, POINT a, POINT b, const Dashes& d, long& phase) {
    LineSteps steps = LineStepsFor(a, b);
    RECT box{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x) + 1, std::max(a.y, b.y) + 1};
    for (const RECT& r : drawable.Rects()) {
        if (r.top >= box.bottom) break;
        if (r.bottom <= box.top || r.right <= box.left || r.left >= box.right) continue;
        ForEachLinePixel(a, b, r, [&](int x, int y, int i) {
            long at = (phase + i) % d.total;
            bool mark = true;
            for (int k = 0; k < d.count; ++k) {
                if (at < d.lengths[k]) break;
                at -= d.lengths[k];
                mark = !mark;
            }
            if (!mark && !d.gapsDrawn) return;
            DWORD andMask = mark ? d.markAnd : d.gapAnd, xorMask = mark ? d.markXor : d.gapXor;
            s.kernels->setPixel(s, x, y, (s.kernels->getPixel(s, x, y) & andMask) ^ xorMask);
        });
    }
    phase = (phase + steps.length) % d.total;
}

}  // namespace luma::gdi
