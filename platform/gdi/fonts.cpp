// Fonts and text output.
#include <algorithm>
#include <cstring>
#include <new>

#include "gdi/dc.h"
#include "gdi/paint.h"
#include "text.h"

using namespace luma::gdi;
using luma::text::FontInstance;

namespace {

std::shared_ptr<FontInstance> fontOf(const Dc& dc) {
    Font* font = FindAs<Font>(dc.state.font, Kind::Font);
    if (!font) font = FindAs<Font>(StockObject(SYSTEM_FONT), Kind::Font);
    if (!font) return nullptr;
    if (!font->instance) font->instance = FontInstance::Open(font->log);
    return font->instance;
}

int textWidth(FontInstance& font, const std::u32string& text, const INT* dx) {
    int width = 0;
    for (std::size_t i = 0; i < text.size(); ++i) width += dx ? dx[i] : font.GlyphFor(text[i]).advance;
    return width;
}

}  // namespace

extern "C" {

HFONT WINAPI CreateFontIndirectA(const LOGFONTA* log) {
    if (!log) return nullptr;
    std::unique_ptr<Font> font;
    try {
        font = std::make_unique<Font>();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    font->log = *log;
    font->log.lfFaceName[LF_FACESIZE - 1] = 0;
    return static_cast<HFONT>(Register(std::move(font)));
}

HFONT WINAPI CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                         DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                         DWORD quality, DWORD pitchAndFamily, LPCSTR faceName) {
    LOGFONTA log{};
    log.lfHeight = height;
    log.lfWidth = width;
    log.lfEscapement = escapement;
    log.lfOrientation = orientation;
    log.lfWeight = weight;
    log.lfItalic = static_cast<BYTE>(italic);
    log.lfUnderline = static_cast<BYTE>(underline);
    log.lfStrikeOut = static_cast<BYTE>(strikeOut);
    log.lfCharSet = static_cast<BYTE>(charSet);
    log.lfOutPrecision = static_cast<BYTE>(outPrecision);
    log.lfClipPrecision = static_cast<BYTE>(clipPrecision);
    log.lfQuality = static_cast<BYTE>(quality);
    log.lfPitchAndFamily = static_cast<BYTE>(pitchAndFamily);
    if (faceName) std::strncpy(log.lfFaceName, faceName, LF_FACESIZE - 1);
    return CreateFontIndirectA(&log);
}

BOOL WINAPI GetTextMetricsA(HDC hdc, LPTEXTMETRICA tm) {
    Dc* dc = FindDc(hdc);
    if (!dc || !tm) return FALSE;
    std::shared_ptr<FontInstance> font = fontOf(*dc);
    if (!font) return FALSE;
    const Font* object = FindAs<Font>(dc->state.font, Kind::Font);
    const LOGFONTA log = object ? object->log : LOGFONTA{};
    const luma::text::Metrics& m = font->metrics();
    std::memset(tm, 0, sizeof(*tm));
    tm->tmAscent = m.ascent;
    tm->tmDescent = m.descent;
    tm->tmHeight = m.ascent + m.descent;
    tm->tmInternalLeading = m.internalLeading;
    tm->tmExternalLeading = m.externalLeading;
    tm->tmAveCharWidth = m.aveCharWidth;
    tm->tmMaxCharWidth = m.maxCharWidth;
    tm->tmWeight = log.lfWeight == FW_DONTCARE ? FW_NORMAL : log.lfWeight;
    tm->tmDigitizedAspectX = 96;
    tm->tmDigitizedAspectY = 96;
    tm->tmFirstChar = 0x1E;
    tm->tmLastChar = 0xFF;
    tm->tmDefaultChar = 0x1F;
    tm->tmBreakChar = 0x20;
    tm->tmItalic = log.lfItalic ? 255 : 0;
    tm->tmUnderlined = log.lfUnderline ? 255 : 0;
    tm->tmStruckOut = log.lfStrikeOut ? 255 : 0;
    // Windows sets this bit for variable pitch, despite its name.
    tm->tmPitchAndFamily = static_cast<BYTE>((m.fixedPitch ? 0 : TMPF_FIXED_PITCH) | TMPF_VECTOR | TMPF_TRUETYPE |
                                             (log.lfPitchAndFamily & 0xF0 ? log.lfPitchAndFamily & 0xF0 : FF_SWISS));
    tm->tmCharSet = log.lfCharSet;
    return TRUE;
}

BOOL WINAPI GetTextExtentPoint32A(HDC hdc, LPCSTR text, int count, LPSIZE size) {
    Dc* dc = FindDc(hdc);
    if (!dc || !size || count < 0 || (count > 0 && !text)) return FALSE;
    std::shared_ptr<FontInstance> font = fontOf(*dc);
    if (!font) return FALSE;
    try {
        std::u32string chars = luma::text::DecodeUtf8(text, static_cast<std::size_t>(count));
        size->cx = textWidth(*font, chars, nullptr);
        size->cy = font->metrics().ascent + font->metrics().descent;
    } catch (const std::bad_alloc&) {
        return FALSE;
    }
    return TRUE;
}

int WINAPI GetTextFaceA(HDC hdc, int count, LPSTR name) {
    Dc* dc = FindDc(hdc);
    if (!dc) return 0;
    const Font* font = FindAs<Font>(dc->state.font, Kind::Font);
    std::string face = font ? font->log.lfFaceName : "";
    if (face.empty()) {
        std::shared_ptr<FontInstance> instance = fontOf(*dc);
        if (instance) face = instance->family();
    }
    if (!name) return static_cast<int>(face.size()) + 1;
    if (count <= 0) return 0;
    std::size_t n = std::min<std::size_t>(face.size(), static_cast<std::size_t>(count) - 1);
    std::memcpy(name, face.data(), n);
    name[n] = 0;
    return static_cast<int>(n);
}

BOOL WINAPI ExtTextOutA(HDC hdc, int x, int y, UINT options, const RECT* rect, LPCSTR text, UINT count, const INT* dx) {
    Dc* dc = FindDc(hdc);
    if (!dc || (count > 0 && !text)) return FALSE;
    const Surface* s = dc->Target();
    std::shared_ptr<FontInstance> font = fontOf(*dc);
    if (!font) return FALSE;
    try {
        std::u32string chars = luma::text::DecodeUtf8(text, count);
        const luma::text::Metrics& m = font->metrics();
        bool updateCp = dc->state.textAlign & TA_UPDATECP;
        POINT origin = updateCp ? dc->state.position : POINT{x, y};
        int width = textWidth(*font, chars, dx);
        UINT align = dc->state.textAlign;
        UINT horizontal = align & TA_CENTER;  // TA_LEFT, TA_RIGHT or TA_CENTER
        UINT vertical = align & TA_BASELINE;  // TA_TOP, TA_BOTTOM or TA_BASELINE
        int left = origin.x;
        if (horizontal == TA_CENTER)
            left -= width / 2;
        else if (horizontal == TA_RIGHT)
            left -= width;
        int baseline = origin.y;
        if (vertical == TA_TOP)
            baseline += m.ascent;
        else if (vertical == TA_BOTTOM)
            baseline -= m.descent;
        // With TA_UPDATECP the position moves past the text, except when
        // centred, where Windows leaves it.
        if (updateCp && horizontal != TA_CENTER) dc->state.position.x = horizontal == TA_RIGHT ? left : left + width;
        if (!s) return TRUE;

        Region drawable = dc->DrawableRegion();
        RECT deviceRect{};
        if (rect) {
            POINT a = dc->ToDevice(POINT{rect->left, rect->top}), b = dc->ToDevice(POINT{rect->right, rect->bottom});
            deviceRect = RECT{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
        }
        if (rect && (options & ETO_OPAQUE)) {
            Fill bk;
            bk.type = Fill::Solid;
            Rop2Masks(R2_COPYPEN, ColorToPixel(*s, dc->state.bkColor & 0x00FFFFFF), bk.andMask, bk.xorMask);
            PaintRects(*s, Region::FromRect(deviceRect).Intersect(drawable).Rects(), bk);
        }
        if (rect && (options & ETO_CLIPPED)) drawable = drawable.IntersectRect(deviceRect);
        POINT pen = dc->ToDevice(POINT{left, baseline});
        int top = pen.y - m.ascent;
        if (dc->state.bkMode == OPAQUE && !(rect && (options & ETO_OPAQUE))) {
            Fill bk;
            bk.type = Fill::Solid;
            Rop2Masks(R2_COPYPEN, ColorToPixel(*s, dc->state.bkColor & 0x00FFFFFF), bk.andMask, bk.xorMask);
            PaintRects(*s, Region::FromRect(RECT{pen.x, top, pen.x + width, top + m.ascent + m.descent})
                               .Intersect(drawable).Rects(), bk);
        }
        DWORD ink = ForegroundPixel(*dc, *s, dc->state.textColor);
        std::vector<Span> spans;
        int penX = pen.x;
        for (std::size_t i = 0; i < chars.size(); ++i) {
            const luma::text::Glyph& g = font->GlyphFor(chars[i]);
            for (int row = 0; row < g.rows; ++row) {
                int py = pen.y - g.top + row;
                const std::uint8_t* cov = g.coverage.data() + static_cast<std::size_t>(row) * g.width;
                for (int col = 0; col < g.width; ++col)
                    if (cov[col]) spans.push_back(Span{py, penX + g.left + col, penX + g.left + col + 1});
            }
            penX += dx ? dx[i] : g.advance;
        }
        const Font* object = FindAs<Font>(dc->state.font, Kind::Font);
        if (object && object->log.lfUnderline)
            for (int t = 0; t < m.underlineThickness; ++t)
                spans.push_back(Span{pen.y + m.underlinePosition + t, pen.x, pen.x + width});
        if (object && object->log.lfStrikeOut)
            spans.push_back(Span{pen.y - m.strikeoutPosition, pen.x, pen.x + width});
        Fill text;
        text.type = Fill::Solid;
        Rop2Masks(R2_COPYPEN, ink, text.andMask, text.xorMask);
        PaintRects(*s, Region::FromSpans(spans).Intersect(drawable).Rects(), text);
    } catch (const std::bad_alloc&) {
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI TextOutA(HDC hdc, int x, int y, LPCSTR text, int count) {
    if (count < 0) return FALSE;
    return ExtTextOutA(hdc, x, y, 0, nullptr, text, static_cast<UINT>(count), nullptr);
}

}  // extern "C"
