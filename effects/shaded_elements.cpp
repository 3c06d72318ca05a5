#include "effects/shaded_elements.h"

#include "effects/pages.h"
#include "image/filters.h"
#include "image/packed_dib.h"
#include "luma/crt.h"
#include "plugin/guards.h"

ShadedPage ReadShadedPage(HWND page, const ShadedPageControls& ids) {
    ShadedPage values{};
    values.frames = ReadPageInt(page, ids.frames);
    values.size = ReadPageInt(page, ids.size);
    values.density = ReadPageInt(page, ids.density);
    values.glare = ReadPageInt(page, ids.glare);
    values.shading = ReadPageInt(page, ids.shading);
    values.shadow = {ReadPageInt(page, ids.shadowOpacity), ReadPageInt(page, ids.shadowOffset),
                     ReadPageInt(page, ids.shadowSoft)};
    crt::srand(static_cast<unsigned>(ReadPageInt(page, ids.seed)));
    values.colours = ReadColorSet(page, ids.colours);
    return values;
}

HGLOBAL KeptBallSprite(BallImages& images, const ShadedPage& page, int index) {
    HGLOBAL& sprite = images.sprites[index];
    if (!sprite) {
        const COLORREF colour = page.colours.colours[index];
        sprite = BallSprite(colour, colour, ShadingColour(colour, page.shading), page.glare, page.size, page.size);
    }
    return sprite;
}

void FreeBallImages(BallImages& images) {
    for (HGLOBAL sprite : images.sprites)
        if (sprite) GlobalFree(sprite);
    if (images.shadow) GlobalFree(images.shadow);
    images = BallImages{};
}

HGLOBAL RoundedCoverage(LONG width4, LONG height4, LONG corner4, BYTE level) {
    GlobalBlock large(DrawCoverage(width4, height4, [&](HDC dc) {
        SetDCBrushColor(dc, RGB(level, level, level));
        RoundRect(dc, 0, 0, width4, height4, corner4, corner4);
    }));
    return large ? ScaleDibPercent(large.get(), 25, 25) : nullptr;
}

HGLOBAL RoundedShadow(LONG width4, LONG height4, LONG corner4, BYTE level, int offset, int soft, int opacity,
                      bool& complete) {
    complete = false;
    GlobalBlock coverage(RoundedCoverage(width4, height4, corner4, level));
    if (!coverage) return nullptr;
    if (HGLOBAL shadow = MakeShadowMask(coverage.get(), offset, soft, 0, opacity)) {
        complete = true;
        return shadow;
    }
    return coverage.release();
}

int ShadowOffsetPixels(int percent, int size) { return 4 * ((percent * size) / 100); }

bool CastsShadow(const ShadedPage& page) { return page.shadow.offset >= 1 && page.shadow.opacity >= 1; }

HGLOBAL BallShadow(const ShadedPage& page, bool& complete) {
    const LONG s4 = 4 * page.size;
    return RoundedShadow(s4, s4, s4, static_cast<BYTE>(page.shadow.opacity),
                         ShadowOffsetPixels(page.shadow.offset, page.size), page.shadow.soft, 255, complete);
}
