// The GIF writing stage on its own: a snowfall over a still picture, the
// frames as a build hands them over (one 256-colour table), with unchanged
// pixels left as they are or, supercompressed, set to the transparent index.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "host/core/output_file.h"
#include "host/core/write/animation_writer.h"
#include "image/packed_dib.h"
#include "plugin/guards.h"

namespace {

constexpr int kFrames = 48;
constexpr BYTE kTransparent = 255;

struct Flake {
    double x, y, speed;
    int radius;
};

// Indexes of a smooth picture with the grain a colour reduction leaves, and
// flakes in the top eight entries falling over it.
std::vector<GlobalBlock> Snowfall(LONG width, LONG height, bool supercompressed) {
    std::vector<BYTE> palette(768);
    for (int i = 0; i < 248; ++i) {
        palette[3 * i] = static_cast<BYTE>(i);
        palette[3 * i + 1] = static_cast<BYTE>(80 + i / 2);
        palette[3 * i + 2] = static_cast<BYTE>(255 - i);
    }
    for (int i = 248; i < 256; ++i) palette[3 * i] = palette[3 * i + 1] = palette[3 * i + 2] = static_cast<BYTE>(i);
    std::mt19937 random(7);
    std::vector<BYTE> still(static_cast<std::size_t>(width) * height);
    for (LONG y = 0; y < height; ++y)
        for (LONG x = 0; x < width; ++x) {
            double v = 120 + 60 * std::sin(x * 0.013 + y * 0.007) + 50 * std::cos(y * 0.021 - x * 0.004);
            still[static_cast<std::size_t>(y) * width + x] = static_cast<BYTE>(std::clamp(v + random() % 7, 0.0, 247.0));
        }
    std::vector<Flake> flakes(static_cast<std::size_t>(width) * height / 400);
    for (Flake& f : flakes)
        f = {double(random() % width), double(random() % height), 1 + random() % 40 / 10.0, int(random() % 3)};

    std::vector<GlobalBlock> frames;
    std::vector<BYTE> previous, current;
    for (int n = 0; n < kFrames; ++n) {
        current = still;
        for (Flake& f : flakes) {
            f.y += f.speed;
            if (f.y >= height) f.y -= height;
            for (int dy = -f.radius; dy <= f.radius; ++dy)
                for (int dx = -f.radius; dx <= f.radius; ++dx) {
                    LONG x = LONG(f.x) + dx, y = LONG(f.y) + dy;
                    if (x >= 0 && y >= 0 && x < width && y < height && dx * dx + dy * dy <= f.radius * f.radius)
                        current[static_cast<std::size_t>(y) * width + x] = static_cast<BYTE>(248 + (dx * dx + dy * dy) * 2);
                }
        }
        GlobalBlock dib(CreatePackedDib(width, height, palette.data(), 8));
        GlobalLockGuard<BYTE> bits(dib.get());
        DibLayout layout;
        DibLayout::From(bits.get(), layout);
        for (LONG y = 0; y < height; ++y) {
            BYTE* row = layout.Row(bits.get(), y);
            for (LONG x = 0; x < width; ++x) {
                const std::size_t i = static_cast<std::size_t>(y) * width + x;
                row[x] = supercompressed && n > 0 && current[i] == previous[i] ? kTransparent : current[i];
            }
        }
        previous.swap(current);
        frames.push_back(std::move(dib));
    }
    return frames;
}

void WriteGif(benchmark::State& state, LONG width, LONG height, bool supercompressed) {
    std::vector<GlobalBlock> frames = Snowfall(width, height, supercompressed);
    std::size_t bytes = 0;
    for (auto _ : state) {
        MemorySink sink;
        auto writer = MakeAnimationWriter(AnimationFormat::Gif, sink);
        writer->Begin({width, height, DelayUnit::Hundredths});
        for (std::size_t n = 0; n < frames.size(); ++n) {
            GlobalLockGuard<BYTE> bits(frames[n].get());
            writer->AddFrame(FrameView(bits.get(), GlobalSize(frames[n].get()), 6, supercompressed && n > 0 ? kTransparent : -1));
        }
        writer->Finish();
        bytes = sink.Bytes().size();
    }
    state.counters["file_bytes"] = static_cast<double>(bytes);
    state.SetItemsProcessed(state.iterations() * kFrames);  // frames
}

void BM_GifWriter400x300(benchmark::State& state) { WriteGif(state, 400, 300, false); }
void BM_GifWriter400x300Supercompressed(benchmark::State& state) { WriteGif(state, 400, 300, true); }
void BM_GifWriter1920x1080Supercompressed(benchmark::State& state) { WriteGif(state, 1920, 1080, true); }
BENCHMARK(BM_GifWriter400x300)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GifWriter400x300Supercompressed)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GifWriter1920x1080Supercompressed)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
