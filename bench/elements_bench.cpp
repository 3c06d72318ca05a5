// The per-element work of the scattering effects: blending masks and sprites
// into a frame, blurring shadows, and making fills and ball sprites.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

#include "effects/elements.h"
#include "image/fills.h"
#include "image/filters.h"
#include "image/packed_dib.h"
#include "plugin/guards.h"

namespace {

// A soft round coverage mask of side n, as an element's mask comes out of
// the 25 % reduction: most pixels are 0 or 255, the rim in between.
HGLOBAL RoundMask(LONG n, int bits) {
    HGLOBAL dib = CreatePackedDib(n, n, nullptr, bits);
    GlobalLockGuard<BYTE> p(dib);
    const double r = n / 2.0;
    for (LONG y = 0; y < n; ++y)
        for (LONG x = 0; x < n; ++x) {
            double d = std::hypot(x + 0.5 - r, y + 0.5 - r);
            int c = d < r - 1 ? 255 : d > r ? 0 : static_cast<int>((r - d) * 255);
            SetDibPixel(p.get(), x, y, bits == 8 ? c : RGB(c, c, c));
        }
    return dib;
}

HGLOBAL NoiseFrame(LONG width, LONG height) {
    HGLOBAL dib = CreatePackedDib(width, height, nullptr, 24);
    SIZE_T size = GlobalSize(dib);
    GlobalLockGuard<BYTE> p(dib);
    std::mt19937 random(1);
    for (SIZE_T i = sizeof(BITMAPINFOHEADER); i < size; ++i) p.get()[i] = static_cast<BYTE>(random());
    return dib;
}

// Thirty-two 48-pixel flakes with shadows wrapped over a 640 x 480 frame.
void BM_BlendMaskWrapped(benchmark::State& state) {
    GlobalBlock frame(NoiseFrame(640, 480)), mask(RoundMask(48, 24)), shadow(RoundMask(54, 24));
    GlobalLockGuard<BYTE> f(frame.get()), m(mask.get()), s(shadow.get());
    for (auto _ : state)
        for (int i = 0; i < 32; ++i)
            DrawElement(f.get(), m.get(), s.get(), 620 - i * 20, 470 - i * 15, RGB(200, 210, 220), 160);
    state.SetItemsProcessed(state.iterations() * 32 * (48 * 48 + 54 * 54));
}
BENCHMARK(BM_BlendMaskWrapped)->Unit(benchmark::kMicrosecond);

// Thirty-two 20-pixel ball sprites clipped at the edges.
void BM_BlendAlphaSpriteClipped(benchmark::State& state) {
    GlobalBlock frame(NoiseFrame(640, 480));
    GlobalBlock sprite(BallSprite(RGB(255, 0, 0), RGB(255, 0, 0), RGB(80, 0, 0), 160, 20, 20));
    GlobalLockGuard<BYTE> f(frame.get()), s(sprite.get());
    for (auto _ : state)
        for (int i = 0; i < 32; ++i) BlendAlphaSprite(f.get(), s.get(), i * 20 - 10, i * 15 - 10, 0);
    state.SetItemsProcessed(state.iterations() * 32 * 20 * 20);
}
BENCHMARK(BM_BlendAlphaSpriteClipped)->Unit(benchmark::kMicrosecond);

// The soft shadow of a 48-pixel flake.
void BM_ShadowMaskSoft(benchmark::State& state) {
    GlobalBlock mask(RoundMask(48, 24));
    for (auto _ : state) {
        GlobalBlock shadow(MakeShadowMask(mask.get(), 8, 10, 0, 48));
        benchmark::DoNotOptimize(shadow.get());
    }
}
BENCHMARK(BM_ShadowMaskSoft)->Unit(benchmark::kMicrosecond);

void BM_BallSprite20(benchmark::State& state) {
    for (auto _ : state) {
        GlobalBlock sprite(BallSprite(RGB(255, 0, 0), RGB(255, 0, 0), RGB(80, 0, 0), 160, 20, 20));
        benchmark::DoNotOptimize(sprite.get());
    }
}
BENCHMARK(BM_BallSprite20)->Unit(benchmark::kMicrosecond);

void BM_LinearFill256(benchmark::State& state) {
    for (auto _ : state) {
        GlobalBlock fill(LinearFill(RGB(255, 255, 255), 0, 256, 256, 0, 0, 30, nullptr));
        benchmark::DoNotOptimize(fill.get());
    }
}
BENCHMARK(BM_LinearFill256)->Unit(benchmark::kMicrosecond);

void BM_ConicalFill256(benchmark::State& state) {
    for (auto _ : state) {
        GlobalBlock fill(ConicalFill(RGB(255, 255, 255), 0, 256, 256, 10, 10, 30, nullptr));
        benchmark::DoNotOptimize(fill.get());
    }
}
BENCHMARK(BM_ConicalFill256)->Unit(benchmark::kMicrosecond);

}  // namespace
