// Sparkle: a four-pointed glint at each marker grows from nothing, holds,
// and shrinks away, turning half a turn over the animation. All glints keep
// one timetable; the last frame is held for the Pause.
#include <cmath>

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
#include "settings/settings.h"

namespace {

constexpr int kOpacityField = 696;
constexpr int kDelayField = 698;
constexpr int kThicknessField = 700;
constexpr int kSizeField = 702;
constexpr int kRandomBox = 704;
constexpr int kFramesField = 720;
constexpr int kSeedField = 722;
constexpr int kPauseField = 724;
constexpr int kRotationField = 726;
constexpr ColorSetControls kColours{{705, 707, 709, 711, 713}, {715, 716, 717, 718}};

enum StarPhase { kGrowing, kHolding, kShrinking, kGone };

struct SparkleStar {
    LONG x, y;  // centre
    int size, thickness, opacity;
    COLORREF colour;
    int phase;
    float progress[3];  // pg, ph, pr
    int counter[3];     // cg, ch, cr
    int length[3];      // G, M, R
    float spin;
    float rotation;
};

struct SparkleState {
    LONG width, height;
    int frameIndex;
    int frames;
    ColorSet colours;
    SparkleStar stars[kColorSetSize];
    int starCount;
};

SparkleState state;

// What a star's shape depends on; stars in the same state share one mask.
bool SameShape(const SparkleStar& a, const SparkleStar& b) {
    return a.phase == b.phase && a.progress[kGrowing] == b.progress[kGrowing] &&
           a.progress[kShrinking] == b.progress[kShrinking] && a.counter[kGrowing] == b.counter[kGrowing] &&
           a.counter[kShrinking] == b.counter[kShrinking] && a.length[kShrinking] == b.length[kShrinking] &&
           a.spin == b.spin && a.rotation == b.rotation && a.size == b.size && a.thickness == b.thickness &&
           a.opacity == b.opacity;
}

// The star's coverage at its present size and angle, drawn at four times
// the full size and reduced to Size x Size.
HGLOBAL MakeStarMask(const SparkleStar& star) {
    const int full = star.size;
    int s = full;
    if (star.phase == kGrowing) s = static_cast<int>(static_cast<float>(full) * star.progress[kGrowing]);
    if (star.phase == kShrinking) s = static_cast<int>((1.0f - star.progress[kShrinking]) * static_cast<float>(full));
    if ((star.phase == kGrowing || star.phase == kShrinking) && s < 4) s = 4;
    int waist = s * star.thickness / 100;
    waist = (waist < 1 ? 1 : waist) * 4;
    if (star.phase == kGrowing && star.counter[kGrowing] == 0) waist = 0;
    if (star.phase == kShrinking && star.counter[kShrinking] == star.length[kShrinking] - 1) waist = 0;
    const int h = (s / 2) * 4;
    const int v = s / 4 * 4;
    HGLOBAL large;
    {
        SurfaceGuard surface;
        if (!surface.Open(4 * full, 4 * full)) return nullptr;
        if (star.phase != kGone) {
            const LONG cx = 2 * full, cy = 2 * full;
            const POINT outline[8] = {{waist, -waist}, {h, 0},  {waist, waist},   {0, v},
                                      {-waist, waist}, {-h, 0}, {-waist, -waist}, {0, -v}};
            const float theta =
                (static_cast<float>(360 - static_cast<int>(star.rotation)) + star.spin * 180.0f) * 0.01745328f;
            const float cosine = std::cos(theta), sine = std::sin(theta);
            POINT turned[8];
            for (int i = 0; i < 8; ++i) {
                const float dx = static_cast<float>(outline[i].x), dy = static_cast<float>(outline[i].y);
                turned[i].x = static_cast<LONG>(dx * cosine - dy * sine) + cx;
                turned[i].y = static_cast<LONG>(dx * sine + dy * cosine) + cy;
            }
            GdiObject fill(CreateSolidBrush(RGB(star.opacity, star.opacity, star.opacity)));
            if (!fill) return nullptr;
            Selection pen(surface.dc(), GetStockObject(NULL_PEN)), brush(surface.dc(), fill.get());
            Polygon(surface.dc(), turned, 8);
        }
        large = surface.Take();
    }
    return ReduceDrawing(large);
}

void Advance(SparkleStar& star) {
    if (star.phase == kGone) return;
    const int p = star.phase;
    // A holding phase of no frames (Frames below 9) passes after one.
    if (star.length[p] > 0)
        star.progress[p] = static_cast<float>(static_cast<double>(star.progress[p]) + 1.0 / star.length[p]);
    if (++star.counter[p] >= star.length[p]) star.phase = p + 1;
}

void FreeSparkle(BuildContext*) { state = SparkleState{}; }

int InitialiseSparkle(BuildContext* context, LONG width, LONG height) {
    HWND page = context->page;
    state.width = width;
    state.height = height;
    state.frames = ReadPageInt(page, kFramesField);
    const int size = ReadPageInt(page, kSizeField);
    const int thickness = ReadPageInt(page, kThicknessField);
    const int opacity = ReadPageInt(page, kOpacityField);
    const int rotation = ReadPageInt(page, kRotationField);
    const bool random = ReadPageCheck(page, kRandomBox);
    crt::srand(static_cast<unsigned>(ReadPageInt(page, kSeedField)));
    state.colours = ReadColorSet(page, kColours);
    state.starCount = state.colours.count;
    const SparklePhases phases = SparklePhaseLengths(state.frames, Style016PercentPhase1, Style016PercentPhase3);
    HWND markers = FindMarkerWindow(page, kSparkleMarkers);
    int previous = -1;
    for (int k = 0; k < state.starCount; ++k) {
        SparkleStar& star = state.stars[k];
        POINT centre;
        if (!GetMarkerPosition(markers, k, width, height, &centre)) {
            FreeSparkle(context);
            return 0;
        }
        star.x = centre.x;
        star.y = centre.y;
        star.size = size;
        star.thickness = thickness;
        star.opacity = opacity;
        star.rotation = static_cast<float>(rotation);
        star.colour = random ? PickColour(state.colours, previous) : state.colours.colours[k];
        star.length[kGrowing] = phases.growing;
        star.length[kHolding] = phases.holding;
        star.length[kShrinking] = phases.shrinking;
        star.progress[kGrowing] = static_cast<float>(1.0 / phases.growing);
        star.progress[kShrinking] = static_cast<float>(1.0 / phases.shrinking);
        // The preview shows every star at full size.
        star.phase = (context->flags & kPreviewFlag) ? kHolding : kGrowing;
    }
    return 1;
}

HGLOBAL RenderSparkle(BuildContext*, int frame) {
    state.frameIndex = frame;
    GlobalBlock image(GetSourceImageCopy());
    GlobalLockGuard<BYTE> pixels(image.get());
    if (!pixels) return nullptr;
    GlobalBlock mask;
    SparkleStar maskShape{};
    for (int k = 0; k < state.starCount; ++k) {
        SparkleStar& star = state.stars[k];
        // A gone star has no coverage left to draw.
        if (star.phase != kGone) {
            if (!mask || !SameShape(maskShape, star)) {
                mask.reset(MakeStarMask(star));
                if (!mask) return nullptr;
                maskShape = star;
            }
            GlobalLockGuard<BYTE> coverage(mask.get());
            if (!coverage) return nullptr;
            BlendColourThroughMask(pixels.get(), coverage.get(), star.x - star.size / 2, star.y - star.size / 2,
                                   star.colour, 255, 0);
        }
        Advance(star);
        star.spin = static_cast<float>(frame) / static_cast<float>(state.frames);
    }
    return image.release();
}

int PhaseLength(DWORD percent, int frames) {
    const int p = percent < 5 ? 5 : percent > 95 ? 95 : static_cast<int>(percent);
    const int length = p * frames / 100;
    return length < 4 ? 4 : length;
}

}  // namespace

SparklePhases SparklePhaseLengths(int frames, DWORD percentGrowing, DWORD percentShrinking) {
    const int growing = PhaseLength(percentGrowing, frames), shrinking = PhaseLength(percentShrinking, frames);
    return SparklePhases{growing, frames - growing - shrinking, shrinking};
}

constexpr EffectBody SparkleBody{&state, sizeof(SparkleState), InitialiseSparkle, RenderSparkle, FreeSparkle,
                                 kDelayField, kFramesField};

namespace {

// Frames frames at the Delay, the last one held for the Pause.
int BuildSparkle(BuildContext* context) {
    if (!context || !context->frames) return 0;
    const int pause = ReadPageInt(context->page, kPauseField);
    if (!CommonBuild(context, SparkleBody)) return 0;
    GlobalLockGuard<FrameRecord> records(context->frames->records);
    if (records && context->frames->count > 0) records.get()[context->frames->count - 1].delay = static_cast<DWORD>(pause);
    return 1;
}

int SparklePageEvent(HWND page, int code) { return MarkerPageEvent(page, code, kSparkleMarkers); }

}  // namespace

const EffectOperations SparkleOperations{PreviewWith<SparkleBody>, BuildSparkle, DefaultBackgroundColour,
                                         SparklePageEvent};
