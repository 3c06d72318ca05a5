// The colour stages of a build, each over the frames of an animation: size
// 0 is 48 frames of 400 x 300 (the sample picture's size), 1 is 8 frames of
// 1920 x 1080, 2 is 48 frames of the sample picture itself, whose many
// colours give the octree far more to reduce; the counter "fps" is frames
// per second. Arguments: built = 0
// reduces to "256-color orthogonal", 1 to a palette built from the frames
// (255 colours and a spare entry, as with supercompression); fast =
// FastRemap; reused = 1 reduces every frame with one FrameReducer, as a
// build's worker does, 0 makes each frame's choices afresh.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <optional>
#include <random>
#include <vector>

#include "colour/fixed_palette.h"
#include "colour/octree.h"
#include "colour/quantize.h"
#include "colour/remap.h"
#include "colour/supercompress.h"
#include "effects/frame_list.h"
#include "effects/source_image.h"
#include "image/packed_dib.h"
#include "plugin/guards.h"
#include "settings/settings.h"

namespace {

constexpr COLORREF kBackground = RGB(255, 255, 255);

// A photograph-like scene (smooth shading, fine texture) under falling
// flakes that move from frame to frame, as the snow effect renders it.
struct Animation {
    FrameList list;
    std::vector<GlobalBlock> images;
    const LONG width, height;
    const int count;

    Animation(LONG w, LONG h, int frames, HGLOBAL picture = nullptr) : width(w), height(h), count(frames) {
        std::mt19937 random(2024);
        std::vector<BYTE> scene(static_cast<std::size_t>(width) * height * 3);
        std::uniform_int_distribution<int> grain(-6, 6);
        GlobalLockGuard<BYTE> bytes(picture);
        DibLayout from;
        if (bytes && DibLayout::From(bytes.get(), from) && from.bits == 24 && from.width == width &&
            from.height == height) {
            for (LONG y = 0; y < height; ++y)
                std::memcpy(&scene[static_cast<std::size_t>(y) * width * 3], from.Row(bytes.get(), y), width * 3);
        } else {
            for (LONG y = 0; y < height; ++y)
                for (LONG x = 0; x < width; ++x) {
                    BYTE* p = &scene[(static_cast<std::size_t>(y) * width + x) * 3];
                    double hill = std::sin(x / 57.0) * std::cos(y / 43.0);
                    int sky = y < height * 3 / 8;
                    p[0] = static_cast<BYTE>(std::clamp<int>(sky ? 230 - y / 3 : 60 + 40 * hill + grain(random), 0, 255));
                    p[1] = static_cast<BYTE>(std::clamp<int>(sky ? 170 - y / 4 : 110 + 60 * hill + grain(random), 0, 255));
                    p[2] = static_cast<BYTE>(std::clamp<int>(sky ? 90 + y / 5 : 70 + 30 * hill + grain(random), 0, 255));
                }
        }
        struct Flake {
            double x, y, speed;
            int radius;
        };
        std::vector<Flake> flakes(static_cast<std::size_t>(width * height / 512));
        for (Flake& f : flakes)
            f = {static_cast<double>(random() % width), static_cast<double>(random() % height),
                 1.0 + (random() % 40) / 10.0, 1 + static_cast<int>(random() % 4)};

        records = GlobalAlloc(GHND, count * sizeof(FrameRecord));
        GlobalLockGuard<FrameRecord> to(records);
        for (int i = 0; i < count; ++i) {
            GlobalBlock frame(CreatePackedDib(width, height, nullptr, 24));
            GlobalLockGuard<BYTE> p(frame.get());
            DibLayout l;
            DibLayout::From(p.get(), l);
            for (LONG y = 0; y < height; ++y)
                std::memcpy(l.Row(p.get(), y), &scene[static_cast<std::size_t>(y) * width * 3], width * 3);
            for (const Flake& f : flakes) {
                LONG fy = static_cast<LONG>(f.y + f.speed * i * 10) % height;
                FillDibRect(p.get(), static_cast<LONG>(f.x), fy, f.radius, f.radius, kBackground);
            }
            to.get()[i] = FrameRecord{frame.get(), nullptr, 10, -1, {}};
            images.push_back(std::move(frame));
        }
        list = {records, count};
    }
    ~Animation() {
        if (records) {
            GlobalLockGuard<FrameRecord> r(records);
            for (int i = 0; i < count; ++i)
                if (r.get()[i].mask) GlobalFree(r.get()[i].mask);
        }
        GlobalFree(records);
    }
    HGLOBAL Image(int i) const { return images[i].get(); }

    HGLOBAL records = nullptr;
};

int size = 0;  // of the benchmark running

Animation& Frames() {
    if (size == 0) {
        static Animation small(400, 300, 48);
        return small;
    }
    if (size == 2) {
        static GlobalBlock sample(GetSourceImageCopy());
        static Animation photograph(400, 300, 48, sample.get());
        return photograph;
    }
    static Animation large(1920, 1080, 8);
    return large;
}

// The palette a build would use, with its depth, count and spare index.
struct Palette {
    BYTE triplets[768] = {};
    int depth = 8;
    int count = 256;
    int spare = -1;
};

Palette MakePalette(bool built) {
    Palette p;
    if (!built) {
        BuildFixedPalette(p.triplets, &p.depth, kOrthogonalPalette);
        return p;
    }
    int count = 255;
    BuildFramePalette(&count, p.triplets, Frames().list);
    SortPaletteByLuminance(p.triplets, count);
    p.depth = DepthForColourCount(count + 1);
    p.count = count;
    p.spare = count;
    p.triplets[count * 3] = GetRValue(kBackground);
    p.triplets[count * 3 + 1] = GetGValue(kBackground);
    p.triplets[count * 3 + 2] = GetBValue(kBackground);
    return p;
}

void CountFrames(benchmark::State& state) {
    state.counters["fps"] = benchmark::Counter(Frames().count, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Quantize(benchmark::State& state) {
    size = static_cast<int>(state.range(0));
    Frames();
    for (auto _ : state) {
        int count = 255;
        BYTE palette[768];
        benchmark::DoNotOptimize(BuildFramePalette(&count, palette, Frames().list));
    }
    CountFrames(state);
}
BENCHMARK(BM_Quantize)->Arg(0)->Arg(1)->Arg(2)->ArgName("size")->Unit(benchmark::kMillisecond);

// The octree alone, for a palette of 256 colours: classifying every pixel
// of the frames, and reducing the grown tree.
bool GrowTree(Octree& tree) {
    if (!tree.Start(QuantizerDepth(256))) return false;
    GlobalLockGuard<FrameRecord> records(Frames().list.records);
    for (int i = 0; i < Frames().count; ++i) {
        GlobalLockGuard<BYTE> dib(records.get()[i].image);
        DibLayout layout;
        if (!DibLayout::From(dib.get(), layout) || !tree.AddPicture(dib.get(), layout)) return false;
    }
    return true;
}

void BM_OctreeGrow(benchmark::State& state) {
    size = static_cast<int>(state.range(0));
    Frames();
    for (auto _ : state) {
        Octree tree;
        benchmark::DoNotOptimize(GrowTree(tree));
    }
    CountFrames(state);
}
BENCHMARK(BM_OctreeGrow)->Arg(0)->Arg(1)->Arg(2)->ArgName("size")->Unit(benchmark::kMillisecond);

void BM_OctreeReduce(benchmark::State& state) {
    size = static_cast<int>(state.range(0));
    Frames();
    std::optional<Octree> tree;
    for (auto _ : state) {
        state.PauseTiming();
        tree.reset();
        tree.emplace();
        if (!GrowTree(*tree)) state.SkipWithError("memory ran out");
        state.ResumeTiming();
        tree->Reduce(256);
        benchmark::DoNotOptimize(tree->leaves());
    }
    CountFrames(state);
}
// Growing takes most of each iteration, so the count is fixed.
BENCHMARK(BM_OctreeReduce)->Arg(0)->Arg(1)->Arg(2)->ArgName("size")->Iterations(10)->Unit(benchmark::kMillisecond);

template <bool Dither>
void ReduceAll(benchmark::State& state) {
    size = static_cast<int>(state.range(0));
    Palette palette = MakePalette(state.range(1) != 0);
    DWORD saved = FastRemap;
    FastRemap = static_cast<DWORD>(state.range(2));
    const bool reused = state.range(3) != 0;
    const int frames = Frames().count;
    for (auto _ : state) {
        FrameReducer kept(palette.triplets, palette.depth, palette.count);
        for (int i = 0; i < frames; ++i) {
            FrameReducer afresh(palette.triplets, palette.depth, palette.count);
            FrameReducer& reducer = reused ? kept : afresh;
            GlobalBlock out(Dither ? reducer.Dither(Frames().Image(i)) : reducer.Remap(Frames().Image(i)));
            benchmark::DoNotOptimize(out.get());
        }
    }
    FastRemap = saved;
    CountFrames(state);
}

void BM_Remap(benchmark::State& state) { ReduceAll<false>(state); }
void BM_Dither(benchmark::State& state) { ReduceAll<true>(state); }
BENCHMARK(BM_Remap)
    ->ArgsProduct({{0, 1}, {0, 1}, {0, 1}, {0, 1}})
    ->ArgNames({"size", "built", "fast", "reused"})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Dither)
    ->ArgsProduct({{0, 1}, {0, 1}, {0, 1}, {0, 1}})
    ->ArgNames({"size", "built", "fast", "reused"})
    ->Unit(benchmark::kMillisecond);

// Marking every frame, then painting the unchanged pixels of each remapped frame.
void BM_Supercompress(benchmark::State& state) {
    size = static_cast<int>(state.range(0));
    Palette palette = MakePalette(state.range(1) != 0);
    const int frames = Frames().count;
    std::vector<GlobalBlock> remapped;
    for (int i = 0; i < frames; ++i)
        remapped.emplace_back(RemapFrame(Frames().Image(i), palette.triplets, palette.depth, palette.count));
    for (auto _ : state) {
        benchmark::DoNotOptimize(MarkUnchangedPixels(Frames().list, kBackground));
        GlobalLockGuard<FrameRecord> records(Frames().list.records);
        for (int i = 1; i < frames; ++i)
            ApplyChangeMask(remapped[i].get(), records.get()[i].mask, palette.spare, kBackground);
    }
    CountFrames(state);
}
BENCHMARK(BM_Supercompress)
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->ArgNames({"size", "built"})
    ->Unit(benchmark::kMillisecond);

}  // namespace
