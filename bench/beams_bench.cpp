// The per-frame work of Phasers on Stun, Hyperspace and Plasma Arc on a
// picture of the sample's size, 400 x 300.
#include <benchmark/benchmark.h>

#include "effects/hyperspace.h"
#include "effects/phasers.h"
#include "effects/plasma_arc.h"
#include "image/gdi_guards.h"
#include "image/packed_dib.h"
#include "luma/crt.h"
#include "plugin/guards.h"

namespace {

constexpr LONG kWidth = 400, kHeight = 300;

// One diagonal beam pair's mask, as each beam entry of a frame makes it.
void BM_PhaserBeamMask(benchmark::State& state) {
    SurfaceGuard surface;
    surface.Open(2 * kWidth, 2 * kHeight);
    PhaserBeam beam{};
    beam.kind = kEastToSouth;
    beam.x1 = kWidth, beam.y1 = 100, beam.x2 = 200, beam.y2 = kHeight;
    beam.x3 = 0, beam.y3 = 100, beam.x4 = 200, beam.y4 = 0;
    beam.paired = 1;
    beam.level = 255;
    beam.power = 5;
    for (auto _ : state) GlobalFree(PhaserBeamMask(surface.get(), beam));
}
BENCHMARK(BM_PhaserBeamMask)->Unit(benchmark::kMillisecond);

// The streaks of the built-in density (40 stars) drawn and moved once.
void BM_HyperspaceStars(benchmark::State& state) {
    GlobalBlock picture(CreatePackedDib(kWidth, kHeight, nullptr, 24));
    GlobalLockGuard<BYTE> p(picture.get());
    HyperspaceStar stars[40];
    for (int i = 0; i < 40; ++i) {
        const int size = i < 9 ? 4 : i < 22 ? 2 : 1;
        stars[i] = HyperspaceStar{i * 9.5, i * 7.0, kWidth / 64.0, size, 4 / size, 160, 1, RGB(200, 210, 230)};
    }
    for (auto _ : state)
        for (HyperspaceStar& star : stars) {
            DrawHyperspaceStar(p.get(), kWidth, star);
            MoveHyperspaceStar(star, kWidth);
        }
}
BENCHMARK(BM_HyperspaceStars)->Unit(benchmark::kMicrosecond);

// One frame's arc with the built-in Size (64) and Complexity (1): a fork tree
// of millions of nodes, all walked for their random draws.
void BM_PlasmaArcWalk(benchmark::State& state) {
    PlasmaArcWalk walk;
    walk.Prepare(kWidth, 76, 16, 26);
    crt::srand(8162);
    std::uint64_t nodes = 0;
    for (auto _ : state) {
        walk.Grow(kHeight, 76);
        nodes += walk.forkNodes();
    }
    state.counters["nodes"] = benchmark::Counter(static_cast<double>(nodes), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PlasmaArcWalk)->Unit(benchmark::kMillisecond);

}  // namespace
