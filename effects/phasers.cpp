// Phasers on Stun.
#include "effects/phasers.h"

#include <algorithm>
#include <cstring>

#include "effects/effect_bodies.h"
#include "image/filters.h"
#include "image/gdi_guards.h"
#include "image/packed_dib.h"
#include "luma/crt.h"
#include "plugin/guards.h"

namespace {

constexpr int kDelayField = 179;
constexpr int kFramesField = 181;
constexpr int kPowerField = 183;
constexpr int kDensityField = 185;
constexpr int kSeedField = 187;
constexpr ColorSetControls kBeamColours{{189, 191, 193, 195, 197}, {199, 200, 201, 202}};
// East to south, west to south, horizontal, vertical: the beam kinds in order.
constexpr int kKindBoxes[4] = {203, 204, 205, 206};

constexpr int kEchoes = 4;
constexpr int kEchoLevels[kEchoes] = {255, 192, 128, 64};

PhasersState phasersState;

// rand() mod span + offset. A picture under two pixels has no span to draw
// from: the draw is still made, so the sequence stays the same, and every
// value lands on the offset.
int DrawWithin(int span, int offset) { return crt::rand() % std::max(span, 1) + offset; }

PhaserBeam NewBeam(const PhasersState& s, int power) {
    const LONG w = s.width, h = s.height;
    const int a = (8 * w) / 10, b = (8 * h) / 10, c = w / 10, d = h / 10;
    PhaserBeam beam{};
    beam.kind = s.kinds[crt::rand() % s.kindCount];
    switch (beam.kind) {
    case kEastToSouth:
    case kWestToSouth: {
        const int y1 = DrawWithin(b, d);
        const int x2 = DrawWithin(a, c);
        // The line leaves through the bottom edge; its partner carries it on
        // from the top edge back to the side it came from.
        const bool east = beam.kind == kEastToSouth;
        beam.x1 = east ? w : 0;
        beam.y1 = y1;
        beam.x2 = x2;
        beam.y2 = h;
        beam.x3 = east ? 0 : w;
        beam.y3 = y1;
        beam.x4 = x2;
        beam.y4 = 0;
        beam.paired = 1;
        break;
    }
    case kHorizontalBeam:
        beam.y1 = DrawWithin(b, d);
        beam.y2 = DrawWithin(b, d);
        beam.x2 = w;
        break;
    default:
        beam.x1 = DrawWithin(a, c);
        beam.x2 = DrawWithin(a, c);
        beam.y2 = h;
        break;
    }
    beam.color = s.colours.colours[crt::rand() % s.colours.count];
    beam.frame = crt::rand() % s.frames;
    beam.level = kEchoLevels[0];
    beam.power = power;
    return beam;
}

int PhasersInitialise(BuildContext* context, LONG width, LONG height) {
    auto& s = *static_cast<PhasersState*>(context->state);
    const HWND page = context->page;
    s.width = width;
    s.height = height;
    s.frames = ReadPageInt(page, kFramesField);
    const int density = ReadPageInt(page, kDensityField);
    const int seed = ReadPageInt(page, kSeedField);
    const int power = ReadPageInt(page, kPowerField);
    crt::srand(static_cast<unsigned>(seed));
    s.colours = ReadColorSet(page, kBeamColours);

    GlobalBlock block(GlobalAlloc(GPTR, sizeof(PhaserBeam) * kEchoes * static_cast<std::size_t>(density)));
    if (!block) return 0;
    auto* beams = static_cast<PhaserBeam*>(block.get());

    s.kindCount = 0;
    for (int kind = 0; kind < 4; ++kind)
        if (ReadPageCheck(page, kKindBoxes[kind])) s.kinds[s.kindCount++] = kind;
    if (s.kindCount == 0) s.kinds[s.kindCount++] = kEastToSouth;

    int count = 0;
    for (int i = 0; i < density; ++i) {
        const PhaserBeam beam = NewBeam(s, power);
        for (int echo = 0; echo < kEchoes; ++echo) {
            PhaserBeam& entry = beams[count++];
            entry = beam;
            entry.level = kEchoLevels[echo];
            entry.frame = (beam.frame + echo) % s.frames;
        }
    }
    // Every mask of the build is drawn on one surface.
    if (!OpenDrawingSurface(2 * width, 2 * height, &s.surface)) return 0;
    s.beamBlock = block.release();
    s.beamCount = count;
    return 1;
}

HGLOBAL PhasersRender(BuildContext* context, int frame) {
    auto& s = *static_cast<PhasersState*>(context->state);
    // Entries' frames are taken modulo Frames: frame N shows frame 0 again.
    s.frame = frame % s.frames;
    GlobalBlock picture(SourceCanvas(s.width, s.height));
    GlobalLockGuard<BYTE> target(picture.get());
    if (!target) return nullptr;
    for (int i = 0; i < s.beamCount; ++i) {
        const PhaserBeam& beam = s.beams()[i];
        if (beam.frame != s.frame) continue;
        GlobalBlock mask(PhaserBeamMask(s.surface, beam));
        GlobalLockGuard<BYTE> coverage(mask.get());
        if (!coverage) return nullptr;
        BlendColourThroughMask(target.get(), coverage.get(), 0, 0, beam.color, 255, 0);
    }
    return picture.release();
}

void PhasersFree(BuildContext* context) {
    auto& s = *static_cast<PhasersState*>(context->state);
    if (s.beamBlock) GlobalFree(s.beamBlock);
    s.beamBlock = nullptr;
    s.beamCount = 0;
    CloseDrawingSurface(&s.surface, 0);
}

}  // namespace

HGLOBAL PhaserBeamMask(DrawingSurface& surface, const PhaserBeam& beam) {
    const LONG width = surface.bounds.right / 2, height = surface.bounds.bottom / 2;
    // Diagonal lines are pushed a whole picture beyond both ends, so their
    // round caps never show on the surface.
    POINT startMove{0, 0}, endMove{0, 0};
    if (beam.kind == kEastToSouth) {
        startMove = {width, -height};
        endMove = {-width, height};
    } else if (beam.kind == kWestToSouth) {
        startMove = {-width, -height};
        endMove = {width, height};
    }
    const HDC dc = surface.memoryContext;
    auto line = [&](LONG x1, LONG y1, LONG x2, LONG y2) {
        MoveToEx(dc, 2 * (x1 + startMove.x), 2 * (y1 + startMove.y), nullptr);
        LineTo(dc, 2 * (x2 + endMove.x), 2 * (y2 + endMove.y));
    };

    PatBlt(dc, 0, 0, surface.bounds.right, surface.bounds.bottom, BLACKNESS);
    {
        const BYTE level = static_cast<BYTE>(beam.level);
        GdiObject pen(CreatePen(PS_SOLID, 2 * beam.power, RGB(level, level, level)));
        if (!pen) return nullptr;
        Selection selected(dc, pen.get());
        line(beam.x1, beam.y1, beam.x2, beam.y2);
        if (beam.paired) line(beam.x3, beam.y3, beam.x4, beam.y4);
    }
    // The surface's picture takes the drawing as closing would copy it.
    GdiFlush();
    std::memcpy(reinterpret_cast<BYTE*>(surface.header) + sizeof(BITMAPINFOHEADER), surface.bits,
                DibStride(surface.bounds.right, 24) * static_cast<std::size_t>(surface.bounds.bottom));
    return ScaleDibPercent(surface.image, 50, 50);
}

constexpr EffectBody PhasersBody{&phasersState, sizeof phasersState, PhasersInitialise, PhasersRender, PhasersFree,
                                 kDelayField, kFramesField};

const EffectOperations PhasersOperations = CommonOperations<PhasersBody>();
