// What an effect that scatters masked elements over the picture keeps for
// one build: the page values every such effect reads alike, the picture each
// frame starts from, and a fixed array of elements, each owning a coverage
// mask and perhaps a shadow mask; and the frame those elements are drawn on.
#pragma once

#include <windows.h>

#include <cstddef>

#include "effects/elements.h"
#include "plugin/guards.h"

// The page fields the scattering effects share. Shadow ids of 0: the effect
// has no shadows.
struct ScatterControls {
    int opacity, frames, drift, size, density, seed;
    ColorSetControls colours;
    int shadowOpacity = 0, shadowOffset = 0, shadowSoft = 0;
};

// The values the elements are made from.
struct ScatterPage {
    int opacity;
    int size;
    int density;
    ShadowSettings shadow;  // opacity 0 without shadows
};

// The values frames are rendered from.
struct ScatterRun {
    LONG width, height;  // of the last frame rendered
    int frame;
    int frames;
    int drift;  // per cent of the picture width
    ColorSet colours;
};

// Element is a plain record with HGLOBAL members mask and shadow. Zeroed by
// the framework before each use.
template <class Element>
struct Scatter {
    ScatterRun run;
    HGLOBAL source;     // a copy of the SourceImage
    Element* elements;  // zero-filled, in a fixed global block
    int count;
};

// Reads the page into run and the result and seeds the random generator
// with the page's Seed: the first step of every initialisation.
ScatterPage ReadScatterPage(HWND page, const ScatterControls& ids, ScatterRun& run);

// A copy of the SourceImage for the length of a build, or none.
HGLOBAL TakeBuildPicture();

// Takes the picture and count zero-filled elements. False when memory fails;
// what was had is then freed.
template <class Element>
bool StartScatter(Scatter<Element>& scatter, int count) {
    scatter.source = TakeBuildPicture();
    if (!scatter.source || count < 1) return false;
    scatter.elements = static_cast<Element*>(GlobalAlloc(GPTR, static_cast<std::size_t>(count) * sizeof(Element)));
    if (!scatter.elements) return false;
    scatter.count = count;
    return true;
}

// Frees the picture, every element's masks and the array, leaving it zero.
template <class Element>
void FreeScatter(Scatter<Element>& scatter) {
    for (int i = 0; scatter.elements && i < scatter.count; ++i) {
        if (scatter.elements[i].mask) GlobalFree(scatter.elements[i].mask);
        if (scatter.elements[i].shadow) GlobalFree(scatter.elements[i].shadow);
    }
    if (scatter.elements) GlobalFree(scatter.elements);
    if (scatter.source) GlobalFree(scatter.source);
    scatter = Scatter<Element>{};
}

// Frees a scatter at the end of its scope unless Keep was called: the
// failure roads of an initialisation.
template <class Element>
class ScatterGuard {
public:
    explicit ScatterGuard(Scatter<Element>& scatter) : scatter_(&scatter) {}
    ScatterGuard(const ScatterGuard&) = delete;
    ScatterGuard& operator=(const ScatterGuard&) = delete;
    ~ScatterGuard() {
        if (scatter_) FreeScatter(*scatter_);
    }
    void Keep() { scatter_ = nullptr; }

private:
    Scatter<Element>* scatter_;
};

// One frame: a locked copy of the build's picture, whose size and index
// become the run's.
class FrameCanvas {
public:
    FrameCanvas(HGLOBAL source, ScatterRun& run, int frame);
    FrameCanvas(const FrameCanvas&) = delete;
    FrameCanvas& operator=(const FrameCanvas&) = delete;
    ~FrameCanvas();

    explicit operator bool() const { return pixels_ != nullptr; }
    void* pixels() const { return pixels_; }
    // Unlocks the frame and hands it to the caller.
    HGLOBAL Take();

private:
    GlobalBlock image_;
    void* pixels_ = nullptr;
};

// Draws an element (its shadow first, when it has one) with its top-left
// corner at (x, y), wrapping round the frame's edges. False when a mask
// cannot be locked.
bool DrawMaskedElement(void* frame, HGLOBAL mask, HGLOBAL shadow, LONG x, LONG y, COLORREF colour, int opacity);
