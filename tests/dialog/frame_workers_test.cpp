// The per-frame workers of a build: every frame done once, the calling
// thread told of frames in order, a failure stopping the stage.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "dialog/frame_workers.h"

namespace {

struct Record {
    std::mutex lock;
    std::vector<int> done;                     // frames, as the jobs finished them
    std::set<std::thread::id> jobThreads;      // where jobs were made
    std::atomic<int> made{0}, destroyed{0};
};

// A job that notes its frames and fails at frame `failAt`.
FrameJobMaker Maker(Record& record, int failAt = -1) {
    return [&record, failAt]() -> FrameJob {
        ++record.made;
        {
            std::lock_guard guard(record.lock);
            record.jobThreads.insert(std::this_thread::get_id());
        }
        struct Mark {
            Record* record;
            explicit Mark(Record* r) : record(r) {}
            Mark(const Mark&) = delete;
            ~Mark() { ++record->destroyed; }
        };
        auto mark = std::make_shared<Mark>(&record);
        return [&record, failAt, mark](int frame) {
            std::lock_guard guard(record.lock);
            record.done.push_back(frame);
            return frame != failAt;
        };
    };
}

TEST(FrameWorkers, EveryFrameOnceAndTheCallerInOrder) {
    for (int threads : {1, 2, 3, 8, 40}) {
        Record record;
        std::vector<int> told;
        const std::thread::id caller = std::this_thread::get_id();
        ASSERT_TRUE(RunFrameJobs(25, threads, Maker(record), [&](int i) {
            EXPECT_EQ(std::this_thread::get_id(), caller);
            told.push_back(i);
        }));
        std::vector<int> frames(25);
        for (int i = 0; i < 25; ++i) frames[i] = i;
        EXPECT_EQ(told, frames) << threads << " threads";
        std::multiset<int> done(record.done.begin(), record.done.end());
        EXPECT_EQ(done, std::multiset<int>(frames.begin(), frames.end())) << threads << " threads";
        // No more workers than frames, each with a job of its own, made on its own thread.
        EXPECT_EQ(record.made, std::min(threads, 25));
        EXPECT_EQ(record.destroyed.load(), record.made.load());
        EXPECT_EQ(record.jobThreads.size(), static_cast<std::size_t>(std::min(threads, 25)));
        EXPECT_EQ(record.jobThreads.count(caller), threads == 1 ? 1u : 0u);
    }
}

TEST(FrameWorkers, AFailedFrameStopsTheStage) {
    for (int threads : {1, 2, 6}) {
        Record record;
        std::vector<int> told;
        EXPECT_FALSE(RunFrameJobs(30, threads, Maker(record, 9), [&](int i) { told.push_back(i); }));
        // The caller hears of the frames up to the failed one, as on one thread.
        std::vector<int> upTo(10);
        for (int i = 0; i < 10; ++i) upTo[i] = i;
        EXPECT_EQ(told, upTo) << threads << " threads";
        // Every frame before it is done; only frames already started may follow it.
        std::set<int> done(record.done.begin(), record.done.end());
        for (int i = 0; i <= 9; ++i) EXPECT_TRUE(done.count(i)) << i;
        EXPECT_LT(*done.rbegin(), 9 + threads) << threads << " threads";
        EXPECT_EQ(record.destroyed.load(), record.made.load());
    }
}

TEST(FrameWorkers, NothingToDoIsSuccess) {
    Record record;
    EXPECT_TRUE(RunFrameJobs(0, 4, Maker(record), [](int) { ADD_FAILURE(); }));
    EXPECT_EQ(record.made, 0);
}

TEST(FrameWorkers, TheEnvironmentChoosesTheThreadCount) {
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    unsetenv("LUMAFEX_THREADS");
    EXPECT_EQ(FrameThreads(), cores);
    setenv("LUMAFEX_THREADS", "3", 1);
    EXPECT_EQ(FrameThreads(), 3);
    for (const char* unusable : {"0", "-2", "", "two", "4x"}) {
        setenv("LUMAFEX_THREADS", unusable, 1);
        EXPECT_EQ(FrameThreads(), cores) << '"' << unusable << '"';
    }
    unsetenv("LUMAFEX_THREADS");
}

}  // namespace
