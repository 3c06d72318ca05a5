// Whole builds through the main dialog and the build pipeline: Snow at its
// page's built-in settings renders its frames, they are reduced to a palette
// built from them (the default options) and handed to a host that takes
// them. Arguments: picture = 0 for the sample picture (400 x 300), 1 for a
// 1920 x 1080 photograph-like picture; dither = the Dither box; threads =
// the remapping threads (0: one per core). Counters: "fps" frames per
// second of the whole build, "peakMB" the most global memory held while the
// frames were remapped, "frameMB" one rendered frame, and "workFrames" what
// the peak holds beyond the rendered frames and the picture they came from,
// in frames a thread: the working memory of a build, which should stay
// within one frame a core.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "dialog/build_pipeline.h"
#include "dialog/frame_workers.h"
#include "dialog/main_dialog.h"
#include "effects/effect_table.h"
#include "effects/source_image.h"
#include "image/packed_dib.h"
#include "luma/memory.h"
#include "plugin/guards.h"
#include "plugin/host_interface.h"
#include "plugin/lifecycle.h"
#include "resources/plugin_resources.h"

namespace {

struct Watch {
    int frames = 0;
    std::size_t peak = 0;
} watch;

// A host that takes everything and notes how much memory the run holds.
std::int64_t Answer(void*, std::uint32_t code, std::int64_t, void* b) {
    if (code == kRequestProgress || code == kRequestNewAnimation)
        watch.peak = std::max(watch.peak, luma::BytesInUse());
    if (code == kRequestNewAnimation) watch.frames = static_cast<int>(static_cast<TaskRecord*>(b)->frameCount);
    return 1;
}

HGLOBAL Photograph(LONG width, LONG height) {
    HGLOBAL picture = CreatePackedDib(width, height, nullptr, 24);
    GlobalLockGuard<BYTE> bytes(picture);
    DibLayout layout;
    DibLayout::From(bytes.get(), layout);
    std::mt19937 random(1080);
    std::uniform_int_distribution<int> grain(-5, 5);
    for (LONG y = 0; y < height; ++y) {
        BYTE* p = layout.Row(bytes.get(), y);
        for (LONG x = 0; x < width; ++x, p += 3) {
            double hill = std::sin(x / 97.0) * std::cos(y / 71.0);
            bool sky = y < height * 2 / 5;
            p[0] = static_cast<BYTE>(std::clamp<int>(sky ? 235 - y / 8 : 70 + 45 * hill + grain(random), 0, 255));
            p[1] = static_cast<BYTE>(std::clamp<int>(sky ? 180 - y / 10 : 115 + 60 * hill + grain(random), 0, 255));
            p[2] = static_cast<BYTE>(std::clamp<int>(sky ? 95 + y / 12 : 65 + 35 * hill + grain(random), 0, 255));
        }
    }
    return picture;
}

// The main dialog of one run, opened without its modal loop.
class Session {
public:
    Session() {
        const auto folder = std::filesystem::temp_directory_path() / "lumafex-pipeline-bench";
        std::filesystem::create_directories(folder / "Vellumark" / "Lumafex");
        setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
        host_.size = sizeof host_;
        host_.version = kInterfaceVersion;
        host_.callback = Answer;
        host_.flags = kHundredthsFlag;
        StartRun(&host_);
        dialog_ = CreateDialogParamA(PluginModule(), MAKEINTRESOURCE(kMainDialogTemplate), nullptr, MainDialogProc,
                                     reinterpret_cast<LPARAM>(&host_));
    }
    ~Session() {
        SetSourceImage(nullptr);
        if (dialog_) DestroyWindow(dialog_);
        EndRun(nullptr);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    bool Build(bool dither) {
        CheckDlgButton(dialog_, kDitherBox, dither ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(dialog_, kCustomPaletteBox, BST_CHECKED);
        CheckDlgButton(dialog_, kTrueColourBox, BST_UNCHECKED);
        return dialog_ && RunBuildWith(dialog_, &host_, BuildMode::Build, *EffectAt(kSnow)) == 1;
    }

private:
    static constexpr int kSnow = 15;
    HostContext host_{};
    HWND dialog_ = nullptr;
};

Session& OpenSession() {
    static Session session;
    return session;
}

void BM_SnowBuild(benchmark::State& state) {
    Session& session = OpenSession();
    const bool large = state.range(0) != 0;
    SetSourceImage(large ? Photograph(1920, 1080) : nullptr);
    const std::string threads = std::to_string(state.range(2));
    if (state.range(2)) setenv("LUMAFEX_THREADS", threads.c_str(), 1);
    else unsetenv("LUMAFEX_THREADS");
    watch = Watch{};
    for (auto _ : state)
        if (!session.Build(state.range(1) != 0)) {
            state.SkipWithError("the build failed");
            break;
        }
    unsetenv("LUMAFEX_THREADS");
    SetSourceImage(nullptr);
    const double frameBytes = large ? 1920.0 * 1080 * 3 : 400.0 * 300 * 3;
    const int workers = state.range(2) ? static_cast<int>(state.range(2)) : FrameThreads();
    state.counters["fps"] = benchmark::Counter(watch.frames, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["peakMB"] = static_cast<double>(watch.peak) / (1 << 20);
    state.counters["frameMB"] = frameBytes / (1 << 20);
    state.counters["workFrames"] = (static_cast<double>(watch.peak) - (watch.frames + 1) * frameBytes) / workers / frameBytes;
}
BENCHMARK(BM_SnowBuild)
    ->ArgsProduct({{0, 1}, {0, 1}, {1, 0}})
    ->ArgNames({"picture", "dither", "threads"})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

}  // namespace
