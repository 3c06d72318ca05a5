// Skip Intro: spinning wheels of spokes at the markers. A wheel's spokes
// ramp from black to nearly full brightness round the ring; each frame the
// ramp turns by one spoke, so as many frames as spokes make one turn.
#include <cmath>
#include <cstdlib>

#include "dialog/marker_window.h"
#include "effects/effect_bodies.h"
#include "effects/elements.h"
#include "effects/marker_effects.h"
#include "effects/mask_cache.h"
#include "effects/source_image.h"
#include "image/filters.h"
#include "image/gdi_guards.h"
#include "luma/crt.h"
#include "plugin/guards.h"

namespace {

// The page's Opacity (446) is kept with the settings only: wheels are
// always drawn at full strength.
constexpr int kDelayField = 448;
constexpr int kSpokesList = 450;
constexpr int kSizeField = 452;
constexpr int kSeedField = 454;
constexpr int kRandomBox = 471;
constexpr int kWrapBox = 472;
constexpr ColorSetControls kColours{{456, 458, 460, 462, 464}, {466, 467, 468, 469}};

constexpr double kRadiansPerDegree = 0.017453292519943295;

struct SpinnerWheel {
    LONG x, y;  // top-left corner
    int size;
    int turn;   // frames rendered so far
    int spokes;
    int offset;  // starting spoke
    COLORREF colour;
};

struct SkipIntroState {
    LONG width, height;
    int spokes;
    int size;
    bool wrap;
    ColorSet colours;
    SpinnerWheel wheels[kColorSetSize];
    int wheelCount;
    MaskCache masks;  // by starting spoke
};

SkipIntroState state;

// The number the spoke list shows, within 6..60.
int ReadSpokes(HWND page) {
    LRESULT selection = SendDlgItemMessageA(page, kSpokesList, CB_GETCURSEL, 0, 0);
    char text[32] = {};
    if (selection != CB_ERR &&
        SendDlgItemMessageA(page, kSpokesList, CB_GETLBTEXTLEN, static_cast<WPARAM>(selection), 0) <
            static_cast<LRESULT>(sizeof text))
        SendDlgItemMessageA(page, kSpokesList, CB_GETLBTEXT, static_cast<WPARAM>(selection),
                            reinterpret_cast<LPARAM>(text));
    int spokes = text[0] ? std::atoi(text) : 6;
    return spokes < 6 ? 6 : spokes > 60 ? 60 : spokes;
}

struct WheelShape {
    int size;
    int spokes;
};

// The wheel's coverage with its black spoke at starting spoke k: drawn at
// four times the size and reduced.
HGLOBAL MakeWheelMask(const void* argument, int k) {
    const auto& shape = *static_cast<const WheelShape*>(argument);
    const LONG s = shape.size;
    const int n = shape.spokes;
    const int step = 360 / n;
    const int pen = SkipIntroPenWidth(n);
    HGLOBAL large;
    {
        SurfaceGuard surface;
        if (!surface.Open(4 * s, 4 * s)) return nullptr;
        const LONG cx = 2 * s, cy = 2 * s;
        for (int j = 0; j < n; ++j) {
            const double theta = static_cast<double>((k + j) * step) * kRadiansPerDegree;
            const int grey = (255 * j) / n;
            GdiObject line(CreatePen(PS_SOLID, pen, RGB(grey, grey, grey)));
            if (!line) return nullptr;
            Selection selected(surface.dc(), line.get());
            const double sine = std::sin(theta), cosine = std::cos(theta);
            MoveToEx(surface.dc(), cx + static_cast<LONG>((2 * s - pen) * sine),
                     cy - static_cast<LONG>((2 * s - pen) * cosine), nullptr);
            LineTo(surface.dc(), cx + static_cast<LONG>(s * sine), cy - static_cast<LONG>(s * cosine));
        }
        large = surface.Take();
    }
    return ReduceDrawing(large);
}

void FreeSkipIntro(BuildContext*) {
    CloseMaskCache(state.masks);
    state = SkipIntroState{};
}

int InitialiseSkipIntro(BuildContext* context, LONG width, LONG height) {
    HWND page = context->page;
    state.width = width;
    state.height = height;
    state.spokes = ReadSpokes(page);
    state.size = ReadPageInt(page, kSizeField);
    state.wrap = ReadPageCheck(page, kWrapBox);
    const bool random = ReadPageCheck(page, kRandomBox);
    crt::srand(static_cast<unsigned>(ReadPageInt(page, kSeedField)));
    state.colours = ReadColorSet(page, kColours);
    state.wheelCount = state.colours.count;
    if (!OpenMaskCache(state.masks, state.spokes)) {
        FreeSkipIntro(context);
        return 0;
    }
    HWND markers = FindMarkerWindow(page, kSkipIntroMarkers);
    int previous = -1;
    for (int i = 0; i < state.wheelCount; ++i) {
        POINT centre;
        if (!GetMarkerPosition(markers, i, width, height, &centre)) {
            FreeSkipIntro(context);
            return 0;
        }
        SpinnerWheel& wheel = state.wheels[i];
        wheel.x = centre.x - state.size / 2;
        wheel.y = centre.y - state.size / 2;
        wheel.size = state.size;
        wheel.spokes = state.spokes;
        if (random) {
            wheel.offset = crt::rand() % state.wheelCount;
            wheel.colour = PickColour(state.colours, previous);
        } else {
            wheel.colour = state.colours.colours[i];
        }
    }
    return 1;
}

HGLOBAL RenderSkipIntro(BuildContext*, int) {
    GlobalBlock frame(GetSourceImageCopy());
    GlobalLockGuard<BYTE> pixels(frame.get());
    if (!pixels) return nullptr;
    const WheelShape shape{state.size, state.spokes};
    for (int i = 0; i < state.wheelCount; ++i) {
        SpinnerWheel& wheel = state.wheels[i];
        bool temporary = false;
        HGLOBAL mask = CachedMask(state.masks, (wheel.offset + wheel.turn) % wheel.spokes, MakeWheelMask, &shape,
                                  &temporary);
        if (!mask) return nullptr;
        GlobalBlock owned(temporary ? mask : nullptr);
        {
            GlobalLockGuard<BYTE> coverage(mask);
            if (!coverage) return nullptr;
            BlendColourThroughMask(pixels.get(), coverage.get(), wheel.x, wheel.y, wheel.colour, 255,
                                   state.wrap ? kBlendWrap : 0);
        }
        ++wheel.turn;
    }
    return frame.release();
}

}  // namespace

int SkipIntroPenWidth(int spokes) {
    const int step = 360 / spokes;
    const int width = ((step * 15) / 100) * 4;
    return width < 4 ? 4 : width > 40 ? 40 : width;
}

constexpr EffectBody SkipIntroBody{&state,           sizeof(SkipIntroState), InitialiseSkipIntro, RenderSkipIntro,
                                   FreeSkipIntro,    kDelayField,            0};

namespace {

// As many frames as spokes: one full turn.
int BuildSkipIntro(BuildContext* context) {
    if (!context) return 0;
    return BuildFrames(context, SkipIntroBody, ReadPageInt(context->page, kDelayField), ReadSpokes(context->page));
}

int SkipIntroPageEvent(HWND page, int code) { return MarkerPageEvent(page, code, kSkipIntroMarkers); }

}  // namespace

const EffectOperations SkipIntroOperations{PreviewWith<SkipIntroBody>, BuildSkipIntro, DefaultBackgroundColour,
                                           SkipIntroPageEvent};
