// Bad Video's monitor, drawn once per build and preview at four times the
// picture's size and reduced layer by layer.
#include <benchmark/benchmark.h>

#include "effects/bad_video.h"
#include "plugin/guards.h"

namespace {

void BM_MakeMonitor640x480(benchmark::State& state) {
    const int type = static_cast<int>(state.range(0));
    for (auto _ : state) {
        HGLOBAL overlay = nullptr, mask = nullptr;
        if (!MakeMonitor(type, 640, 480, RGB(70, 71, 65), &overlay, &mask)) state.SkipWithError("no memory");
        GlobalBlock o(overlay), m(mask);
        benchmark::DoNotOptimize(o.get());
    }
}
BENCHMARK(BM_MakeMonitor640x480)
    ->Arg(kRetroMonitor)
    ->Arg(kStudioMonitor)
    ->Arg(kFlatScreenMonitor)
    ->Unit(benchmark::kMillisecond);

}  // namespace
