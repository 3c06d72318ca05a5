#include "dialog/frame_workers.h"

#include <windows.h>

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "plugin/guards.h"

namespace {

constexpr int kMostThreads = 256;

enum FrameState : BYTE { kWaiting = 0, kDone = 1, kFailed = 2 };

struct Shared {
    std::mutex lock;
    std::condition_variable changed;
    int next = 0;
    bool failed = false;
    HeapArray<BYTE> states;  // FrameState per frame
};

void Work(Shared& shared, int count, const FrameJobMaker& makeJob) {
    FrameJob job = makeJob();
    for (;;) {
        int frame;
        {
            std::lock_guard guard(shared.lock);
            if (shared.failed || shared.next >= count) return;
            frame = shared.next++;
        }
        const bool ok = job(frame);
        {
            std::lock_guard guard(shared.lock);
            shared.states[static_cast<std::size_t>(frame)] = ok ? kDone : kFailed;
            if (!ok) shared.failed = true;
        }
        shared.changed.notify_all();
    }
}

// Joins every started worker whichever way the stage ends.
struct Workers {
    std::vector<std::thread> threads;
    ~Workers() {
        for (std::thread& t : threads) t.join();
    }
};

bool RunOnCallingThread(int count, const FrameJobMaker& makeJob, const std::function<void(int)>& before) {
    FrameJob job = makeJob();
    for (int i = 0; i < count; ++i) {
        before(i);
        if (!job(i)) return false;
    }
    return true;
}

}  // namespace

int FrameThreads() {
    if (const char* text = std::getenv("LUMAFEX_THREADS")) {
        char* end = nullptr;
        long n = std::strtol(text, &end, 10);
        if (end != text && *end == '\0' && n >= 1) return static_cast<int>(std::min<long>(n, kMostThreads));
    }
    const unsigned cores = std::thread::hardware_concurrency();
    return cores ? static_cast<int>(std::min<unsigned>(cores, kMostThreads)) : 1;
}

bool RunFrameJobs(int count, int threads, const FrameJobMaker& makeJob, const std::function<void(int)>& before) {
    if (count <= 0) return true;
    threads = std::clamp(threads, 1, count);
    if (threads == 1) return RunOnCallingThread(count, makeJob, before);

    Shared shared;
    if (!shared.states.allocate(static_cast<std::size_t>(count))) return false;
    Workers workers;
    workers.threads.reserve(static_cast<std::size_t>(threads));
    for (int t = 0; t < threads; ++t) {
        try {
            workers.threads.emplace_back(Work, std::ref(shared), count, std::cref(makeJob));
        } catch (const std::system_error&) {
            break;  // the threads already started do the work
        }
    }
    if (workers.threads.empty()) return RunOnCallingThread(count, makeJob, before);

    for (int i = 0; i < count; ++i) {
        before(i);
        std::unique_lock guard(shared.lock);
        shared.changed.wait(guard, [&] {
            return shared.states[static_cast<std::size_t>(i)] != kWaiting || (shared.failed && i >= shared.next);
        });
        if (shared.states[static_cast<std::size_t>(i)] != kDone) {
            shared.failed = true;
            return false;
        }
    }
    return true;
}
