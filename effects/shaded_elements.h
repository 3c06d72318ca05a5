// What the effects of shaded balls and bars share: their page (sizes, glare,
// shading, colours and drop shadow), one sprite per colour, and shadows made
// from the element's outline rather than from its sprite: the shape drawn at
// four times its size in one grey level, reduced, and turned into a drop
// shadow.
#pragma once

#include <windows.h>

#include "effects/elements.h"
#include "image/filters.h"
#include "image/gdi_guards.h"
#include "plugin/guards.h"

// The page controls of such an effect.
struct ShadedPageControls {
    int frames, size, density, seed, glare, shading;
    int shadowOpacity, shadowOffset, shadowSoft;
    ColorSetControls colours;
};

// Their values, read with ReadPageInt.
struct ShadedPage {
    int frames, size, density, glare, shading;
    ShadowSettings shadow;
    ColorSet colours;
};

// Reads the page and seeds the random numbers with its Seed.
ShadedPage ReadShadedPage(HWND page, const ShadedPageControls& ids);

// The pictures of a build's balls: every ball of one colour looks alike and
// all share one shadow, so each picture is made once and kept.
struct BallImages {
    HGLOBAL sprites[kColorSetSize];
    HGLOBAL shadow;
};

// The BallSprite of the page's Size in colour index of its set, made on
// first use; none when memory fails.
HGLOBAL KeptBallSprite(BallImages& images, const ShadedPage& page, int index);

void FreeBallImages(BallImages& images);

// A coverage drawing: a width x height surface filled black, on which draw
// (HDC) fills shapes with the DC brush and no outline. The picture, or none
// when the surface cannot be had.
template <class Draw>
HGLOBAL DrawCoverage(LONG width, LONG height, Draw draw) {
    SurfaceGuard surface;
    if (!surface.Open(width, height)) return nullptr;
    HDC dc = surface.dc();
    PatBlt(dc, 0, 0, width, height, BLACKNESS);
    {
        Selection pen(dc, GetStockObject(NULL_PEN)), brush(dc, GetStockObject(DC_BRUSH));
        draw(dc);
    }
    return surface.Take();
}

// Whether the page's elements cast a shadow: offset and opacity at least 1.
bool CastsShadow(const ShadedPage& page);

// The drop shadow of a ball of the page's Size: its disc in the grey level
// Shadow opacity, moved by the shadow offset (ShadowOffsetPixels) and blurred
// by Shadow soft; complete as for RoundedShadow.
HGLOBAL BallShadow(const ShadedPage& page, bool& complete);

// The coverage of a rounded rectangle drawn at four times its size: a
// width4 x height4 surface filled black with the shape in grey level, no
// outline, corner ellipses corner4 pixels wide and high, reduced to 25 %.
// None when the surface or the reduction fails.
HGLOBAL RoundedCoverage(LONG width4, LONG height4, LONG corner4, BYTE level);

// MakeShadowMask of that coverage with offset, soft and opacity. When only
// the drop-shadow step fails the plain coverage comes back and complete is
// false; none when the shape itself cannot be had.
HGLOBAL RoundedShadow(LONG width4, LONG height4, LONG corner4, BYTE level, int offset, int soft, int opacity,
                      bool& complete);

// Blends black at full strength through a shadow at (x, y) with the blend
// flags: the one kept in kept, or one made now by make(bool& complete) (as
// RoundedShadow). A whole shadow is kept for later frames; one that is only
// the plain shape serves this element alone. False when not even the shape
// can be had: the element is left out.
template <class Make>
bool BlendKeptShadow(HGLOBAL& kept, Make make, void* frame, LONG x, LONG y, int flags) {
    GlobalBlock partial;
    if (!kept) {
        bool complete = false;
        HGLOBAL shadow = make(complete);
        if (!shadow) return false;
        if (complete) kept = shadow;
        else partial.reset(shadow);
    }
    GlobalLockGuard<BYTE> mask(kept ? kept : partial.get());
    if (!mask) return false;
    BlendColourThroughMask(frame, mask.get(), x, y, 0, 255, flags);
    return true;
}

// The offset of a shadow given in per cent of an element's size, in the
// pixels of the reduced mask: four times the whole pixels at full size.
int ShadowOffsetPixels(int percent, int size);
