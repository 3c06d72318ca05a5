// Rain: drops land at the markers on a film of water over the picture, and
// the ripples they raise refract and light the picture until the water is
// calm again. The animation lasts as long as the water moves.
#include <cstdint>

#include "dialog/marker_window.h"
#include "effects/effect_bodies.h"
#include "effects/marker_effects.h"
#include "effects/source_image.h"
#include "image/packed_dib.h"
#include "luma/crt.h"
#include "plugin/guards.h"

namespace {

constexpr int kDelayField = 549;
constexpr int kEnableBoxes[] = {554, 555, 556, 557};
constexpr int kSeedField = 552;


struct DropPoint {
    LONG x, y;
    double threshold;
    bool dropped;
};

struct RainState {
    LONG width, height;
    HGLOBAL source;          // the picture under the water, copied once
    HGLOBAL fieldBlocks[2];  // W x H signed cells each
    int current;             // which field is current
    bool moving;             // the last step found the water moving
    DropPoint points[5];
    int pointCount;
};

RainState state;

std::int32_t* Field(int which) { return static_cast<std::int32_t*>(state.fieldBlocks[which]); }

void FreeRain(BuildContext*) {
    for (HGLOBAL& field : state.fieldBlocks)
        if (field) GlobalFree(field);
    if (state.source) GlobalFree(state.source);
    state = RainState{};
}

// A draw in 0 .. 0.032767: rand() is at most 32767.
double Draw() { return static_cast<double>(crt::rand() % 1000000) / 1000000.0; }

int InitialiseRain(BuildContext* context, LONG width, LONG height) {
    HWND page = context->page;
    state.pointCount = 1;
    for (int box : kEnableBoxes) state.pointCount += ReadPageCheck(page, box) ? 1 : 0;
    crt::srand(static_cast<unsigned>(ReadPageInt(page, kSeedField)));
    state.width = width;
    state.height = height;
    const SIZE_T cells = static_cast<SIZE_T>(width) * static_cast<SIZE_T>(height);
    for (HGLOBAL& field : state.fieldBlocks) {
        field = width > 0 && height > 0 && cells <= SIZE_MAX / sizeof(std::int32_t)
                    ? GlobalAlloc(GPTR, cells * sizeof(std::int32_t))
                    : nullptr;
        if (!field) {
            FreeRain(context);
            return 0;
        }
    }
    state.source = GetSourceImageCopy();
    if (!state.source) {
        FreeRain(context);
        return 0;
    }
    HWND markers = FindMarkerWindow(page, kRainMarkers);
    for (int k = 0; k < state.pointCount; ++k) {
        POINT at;
        if (!GetMarkerPosition(markers, k, width, height, &at)) {
            FreeRain(context);
            return 0;
        }
        state.points[k].x = at.x;
        state.points[k].y = at.y;
    }
    for (int k = 0; k < state.pointCount; ++k) state.points[k].threshold = Draw();
    return 1;
}

void Splash(LONG x, LONG y) {
    std::int32_t* field = Field(state.current);
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            const LONG cx = x + dx, cy = y + dy;
            if (cx < 0 || cy < 0 || cx >= state.width || cy >= state.height) continue;
            const int neighbours = (dx != 0) + (dy != 0);
            field[cy * state.width + cx] = neighbours == 0 ? 255 : neighbours == 1 ? 191 : 127;
        }
    }
}

// At most one drop a frame: the first point whose draw beats its threshold.
void Drop() {
    for (int k = 0; k < state.pointCount; ++k) {
        DropPoint& point = state.points[k];
        if (point.dropped) continue;
        if (Draw() > point.threshold) {
            Splash(point.x, point.y);
            point.dropped = true;
            return;
        }
    }
}

// One step of the waves; true while the water still moves.
bool Propagate() {
    const std::int32_t* c = Field(state.current);
    std::int32_t* n = Field(1 - state.current);
    const LONG w = state.width;
    bool moving = false;
    for (LONG y = 1; y <= state.height - 2; ++y) {
        for (LONG x = 1; x <= w - 2; ++x) {
            const LONG i = y * w + x;
            std::int32_t v = ((c[i - w] + c[i + w] + c[i - 1] + c[i + 1]) >> 1) - n[i];
            v -= v >> 4;
            n[i] = v;
            if (v >= 2) moving = true;
        }
    }
    state.current = 1 - state.current;
    return moving;
}

HGLOBAL RenderRain() {
    GlobalBlock frame(CopyGlobalBlock(state.source));
    GlobalLockGuard<BYTE> in(state.source), out(frame.get());
    DibLayout from, to;
    if (!in || !out || !DibLayout::From(in.get(), from) || !DibLayout::From(out.get(), to) || from.bits != 24 ||
        from.width != state.width || from.height != state.height)
        return nullptr;
    const std::int32_t* h = Field(state.current);
    const LONG w = state.width;
    for (LONG y = 1; y <= state.height - 2; ++y) {
        BYTE* row = to.Row(out.get(), y);
        for (LONG x = 1; x <= w - 2; ++x) {
            const LONG i = y * w + x;
            const std::int32_t dx = h[i] - h[i + 1];
            const std::int32_t dy = h[i] - h[i + w];
            std::int32_t s = (dx + dy) * 4;
            s = s < 0 ? 0 : s > 255 ? 255 : s;
            LONG sx = x + (dx >> 3), sy = y + (dy >> 3);
            sx = sx < 0 ? 0 : sx >= w ? w - 1 : sx;
            sy = sy < 0 ? 0 : sy >= state.height ? state.height - 1 : sy;
            to.Write(row, x, RainLitColour(from.Read(from.Row(in.get(), sy), sx), s));
        }
    }
    return frame.release();
}

// One frame of the build: a drop perhaps, a step of the waves, the picture
// under the water.
HGLOBAL RenderRainFrame(BuildContext*, int) {
    Drop();
    state.moving = Propagate();
    return RenderRain();
}

int PreviewRain(BuildContext* context) {
    if (!context) return 0;
    context->flags |= kPreviewFlag;
    context->state = &state;
    state = RainState{};
    LONG width = 0, height = 0;
    if (!SourceImageSize(width, height) || !InitialiseRain(context, width, height)) return 0;
    for (int round = 0; round < 20; ++round) {
        Drop();
        if (!Propagate()) break;
    }
    context->previewImage = RenderRain();
    FreeRain(context);
    return 1;
}

// Frames until the water is still, each with the page's delay; no progress
// is reported, since the count is not known beforehand. A frame that cannot
// be made or kept fails the build.
int BuildRain(BuildContext* context) {
    if (!context || !context->frames) return 0;
    const DWORD delay = static_cast<DWORD>(ReadPageInt(context->page, kDelayField));
    context->state = &state;
    state = RainState{};
    LONG width = 0, height = 0;
    if (!SourceImageSize(width, height) || !InitialiseRain(context, width, height)) return 0;
    int result = 1;
    // The stopping rule alone need not end a build: the waves never update the
    // outermost rows and columns, so a drop whose splash reaches them (a marker
    // on or next to the edge, or any drop on a picture a few pixels across)
    // leaves a standing source there, and the water never falls still. Ripples
    // of drops inside the picture calm within about 300 frames in every picture
    // size, seed and marker place tried (tens of thousands of runs, from 12 x 12
    // to 1024 x 768), so a build stops here, far past any real animation, instead
    // of running on until memory gives out.
    for (int i = 0; i < kRainMaximumFrames; ++i) {
        GlobalBlock image(RenderRainFrame(context, i));
        FrameRecord record{};
        record.image = image.get();
        record.delay = delay;
        record.transparentIndex = -1;
        if (!image || !AppendFrame(context->frames, &record)) {
            result = 0;
            break;
        }
        image.release();
        if (!state.moving) break;
    }
    FreeRain(context);
    return result;
}

int RainPageEvent(HWND page, int code) { return MarkerPageEvent(page, code, kRainMarkers); }

}  // namespace

DWORD RainLitColour(COLORREF colour, int light) {
    // The light table's entry is grey level s in every channel.
    return (colour | (static_cast<DWORD>(light & 0xFF) * 0x010101u)) & 0xFFFFFF;
}

constexpr EffectBody RainBody{&state, sizeof(RainState), InitialiseRain, RenderRainFrame, FreeRain, kDelayField, 0};

const EffectOperations RainOperations{PreviewRain, BuildRain, DefaultBackgroundColour, RainPageEvent};
