// Particles, Bubbles, Gridlock and Gravity at their page's built-in settings
// on the sample picture (400 x 300): the set-up of a build (sprites and
// element arrays), the rendering of one frame (the hot path of a build), and
// a whole build of the page's Frames frames. Gravity's balls fly on from
// frame to frame, so its frames are best read from the whole build.
#include <benchmark/benchmark.h>

#include <cstring>

#include "effects/effect_bodies.h"
#include "effects/effect_table.h"
#include "effects/pages.h"
#include "plugin/guards.h"

namespace {

// The effect's page bound to its settings in a window of its own, as the
// main dialog holds it.
class Page {
public:
    explicit Page(const char* name) {
        window_ = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, nullptr, nullptr);
        for (const EffectRecord& record : EffectTable)
            if (std::strcmp(record.name, name) == 0) {
                BuildContext context{};
                context.page = window_;
                ready_ = window_ && record.PageSetup(&context) == 1;
            }
    }
    ~Page() {
        if (window_) DestroyWindow(window_);
    }
    Page(const Page&) = delete;
    Page& operator=(const Page&) = delete;

    int Frames(const EffectBody& body) const { return ReadPageInt(window_, body.framesControl); }

    bool Start(const EffectBody& body, BuildContext& context) const {
        if (!ready_) return false;
        context = BuildContext{};
        context.page = window_;
        std::memset(body.state, 0, body.stateSize);
        context.state = body.state;
        return body.Initialise(&context, 400, 300) == 1;
    }

private:
    HWND window_ = nullptr;
    bool ready_ = false;
};

void SetUp(benchmark::State& state, const char* name, const EffectBody& body) {
    Page page(name);
    for (auto _ : state) {
        BuildContext context;
        if (!page.Start(body, context)) {
            state.SkipWithError("initialisation failed");
            return;
        }
        body.FreeState(&context);
    }
}

void Frame(benchmark::State& state, const char* name, const EffectBody& body) {
    Page page(name);
    BuildContext context;
    if (!page.Start(body, context)) {
        state.SkipWithError("initialisation failed");
        return;
    }
    int frame = 0;
    for (auto _ : state) {
        GlobalBlock image(body.RenderFrame(&context, frame++ % 48));
        if (!image) {
            state.SkipWithError("a frame failed");
            break;
        }
    }
    body.FreeState(&context);
}

void WholeBuild(benchmark::State& state, const char* name, const EffectBody& body) {
    Page page(name);
    const int frames = page.Frames(body);
    for (auto _ : state) {
        BuildContext context;
        if (!page.Start(body, context)) {
            state.SkipWithError("initialisation failed");
            return;
        }
        for (int i = 0; i < frames; ++i) {
            GlobalBlock image(body.RenderFrame(&context, i));
            if (!image) {
                state.SkipWithError("a frame failed");
                break;
            }
        }
        body.FreeState(&context);
    }
    state.counters["frames"] = frames;
}

BENCHMARK_CAPTURE(SetUp, Particles, "Particles", ParticlesBody)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Frame, Particles, "Particles", ParticlesBody)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SetUp, Bubbles, "Bubbles", BubblesBody)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Frame, Bubbles, "Bubbles", BubblesBody)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SetUp, Gridlock, "Gridlock", GridlockBody)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Frame, Gridlock, "Gridlock", GridlockBody)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SetUp, Gravity, "Gravity", GravityBody)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Frame, Gravity, "Gravity", GravityBody)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(WholeBuild, Particles, "Particles", ParticlesBody)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(WholeBuild, Bubbles, "Bubbles", BubblesBody)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(WholeBuild, Gridlock, "Gridlock", GridlockBody)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(WholeBuild, Gravity, "Gravity", GravityBody)->Unit(benchmark::kMillisecond);

}  // namespace
