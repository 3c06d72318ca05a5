// Times each colour stage of a build on rendered frames saved as PNG files,
// one stage at a time, so bench/compare can set other tools doing the same
// stage on the same frames beside it. The colour stages run on one thread;
// the GIF writer codes frames on as many as it does in a build
// (LUMAFEX_THREADS).
//
//   stage_times FOLDER [--runs N] [--repeat-limit SECONDS] [--peer-files DIR]
//               [--gif PATH]
//
// Prints one "name value" line each: the frame count and size, the seconds of
// each stage (the fastest of N runs, 3 by default; GIF writing at least 5,
// and up to 20 while they take under 2 s in all; a run longer than the repeat
// limit is not repeated, its noise being small beside it) and the bytes of
// the GIFs written. With --peer-files the palettes (built.ppm, fixed.ppm) and
// the frames as raw RGB (frames.rgb) are written to DIR for the other tools.
// The GIFs go to a file, as in a build (PATH, or stage_times.gif in the
// temporary folder), and are left there.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "bench/stage_frames.h"
#include "host/core/host_error.h"

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: stage_times FOLDER [--runs N] [--repeat-limit SECONDS] [--peer-files DIR] [--gif PATH]\n");
    return 2;
}

struct Timing {
    int runs = 3;
    double repeatLimit = 1e9;
    // Past runs, more are made, up to mostRuns, while all of them together
    // have taken under moreWithin seconds.
    int mostRuns = 0;
    double moreWithin = 0;
};

// Prints and returns the seconds of the fastest run; the step returns false
// when memory fails, which ends the program.
template <class Step>
double Fastest(const Timing& timing, const char* stage, Step&& step) {
    double best = 0, spent = 0;
    for (int run = 0; run < std::max(timing.runs, timing.mostRuns); ++run) {
        if (run >= timing.runs && spent >= timing.moreWithin) break;
        auto start = std::chrono::steady_clock::now();
        if (!step()) throw HostError(std::string("memory ran out in ") + stage);
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (run == 0 || seconds < best) best = seconds;
        spent += seconds;
        if (seconds > timing.repeatLimit) break;
    }
    std::printf("%s %.6f\n", stage, best);
    std::fflush(stdout);
    return best;
}

void Run(const std::string& folder, const Timing& timing, const std::string& peerFiles, const std::string& gif) {
    StageFrames frames;
    frames.Load(folder);
    std::printf("frames %d\nwidth %ld\nheight %ld\n", frames.Count(), static_cast<long>(frames.Width()),
                static_cast<long>(frames.Height()));

    StagePalette built;
    Fastest(timing, "quantize", [&] { return BuildStagePalette(frames.List(), false, built); });
    std::printf("colours %d\n", built.count);
    const StagePalette fixed = FixedStagePalette();
    if (!peerFiles.empty()) {
        std::filesystem::create_directories(peerFiles);
        WritePalettePicture((std::filesystem::path(peerFiles) / "built.ppm").string(), built);
        WritePalettePicture((std::filesystem::path(peerFiles) / "fixed.ppm").string(), fixed);
        WriteRawFrames((std::filesystem::path(peerFiles) / "frames.rgb").string(), frames);
    }

    std::vector<GlobalBlock> reduced;
    // Each run frees the previous run's frames first, as a build holds one set.
    Fastest(timing, "remap_dither", [&] { return ReduceFrames(frames, built, true, reduced); });
    Fastest(timing, "remap_fixed", [&] { return ReduceFrames(frames, fixed, false, reduced); });
    Fastest(timing, "remap_built", [&] { return ReduceFrames(frames, built, false, reduced); });
    // As many runs as the peers' GIF writing gets in bench/compare: a
    // hundredth of a second's noise is much of a small animation's time.
    Timing gifTiming = timing;
    gifTiming.runs = std::max(timing.runs, 5);
    gifTiming.mostRuns = 20;
    gifTiming.moreWithin = 2;
    std::size_t bytes = 0;
    Fastest(gifTiming, "gif_write", [&] { return (bytes = WriteStageGif(reduced, -1, gif)) > 0; });
    std::printf("gif_bytes %zu\n", bytes);

    StagePalette withSpare;
    if (!BuildStagePalette(frames.List(), true, withSpare) || !ReduceFrames(frames, withSpare, false, reduced))
        throw std::bad_alloc();
    Fastest(timing, "supercompress", [&] { return Supercompress(frames, withSpare, reduced); });
    std::printf("supercompressed_gif_bytes %zu\n", WriteStageGif(reduced, withSpare.spare, gif));
}

}  // namespace

int main(int argc, char** argv) {
    std::string folder, peerFiles, gif;
    Timing timing;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc) {
            timing.runs = std::atoi(argv[++i]);
            if (timing.runs < 1) return Usage();
        } else if (arg == "--repeat-limit" && i + 1 < argc) {
            timing.repeatLimit = std::atof(argv[++i]);
            if (!(timing.repeatLimit > 0)) return Usage();
        } else if (arg == "--peer-files" && i + 1 < argc) {
            peerFiles = argv[++i];
        } else if (arg == "--gif" && i + 1 < argc) {
            gif = argv[++i];
        } else if (!arg.empty() && arg[0] != '-' && folder.empty()) {
            folder = arg;
        } else {
            return Usage();
        }
    }
    if (folder.empty()) return Usage();
    try {
        if (gif.empty()) gif = (std::filesystem::temp_directory_path() / "stage_times.gif").string();
        Run(folder, timing, peerFiles, gif);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "stage_times: memory ran out\n");
        return 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "stage_times: %s\n", error.what());
        return 1;
    }
    return 0;
}
