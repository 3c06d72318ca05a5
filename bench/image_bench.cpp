// Picture operations that run for every element of every frame.
#include <benchmark/benchmark.h>

#include <random>

#include "image/packed_dib.h"
#include "image/resample.h"
#include "plugin/guards.h"

namespace {

HGLOBAL NoisePicture(LONG width, LONG height, int bits) {
    HGLOBAL dib = CreatePackedDib(width, height, nullptr, bits);
    SIZE_T size = GlobalSize(dib);
    GlobalLockGuard<BYTE> p(dib);
    std::mt19937 random(1);
    for (SIZE_T i = sizeof(BITMAPINFOHEADER); i < size; ++i) p.get()[i] = static_cast<BYTE>(random());
    return dib;
}

// An element mask drawn at four times its size and reduced, as the effects do.
void BM_ScaleDibPercentQuarter256(benchmark::State& state) {
    GlobalBlock dib(NoisePicture(256, 256, 24));
    for (auto _ : state) {
        GlobalBlock out(ScaleDibPercent(dib.get(), 25, 25));
        benchmark::DoNotOptimize(out.get());
    }
    state.SetItemsProcessed(state.iterations() * 256 * 256);
}
BENCHMARK(BM_ScaleDibPercentQuarter256)->Unit(benchmark::kMicrosecond);

void BM_ResizeDib1080pTo360p(benchmark::State& state) {
    GlobalBlock dib(NoisePicture(1920, 1080, 24));
    for (auto _ : state) {
        GlobalBlock out(ResizeDib(dib.get(), 640, 360, 0, 1.0));
        benchmark::DoNotOptimize(out.get());
    }
    state.SetItemsProcessed(state.iterations() * 1920 * 1080);
}
BENCHMARK(BM_ResizeDib1080pTo360p)->Unit(benchmark::kMillisecond);

void BM_GetSetDibPixel(benchmark::State& state) {
    GlobalBlock dib(NoisePicture(512, 512, 24));
    GlobalLockGuard<BYTE> p(dib.get());
    for (auto _ : state) {
        for (LONG y = 0; y < 512; ++y)
            for (LONG x = 0; x < 512; ++x) SetDibPixel(p.get(), x, y, GetDibPixel(p.get(), x, y) ^ 0x010101);
    }
    state.SetItemsProcessed(state.iterations() * 512 * 512);
}
BENCHMARK(BM_GetSetDibPixel)->Unit(benchmark::kMillisecond);

}  // namespace
