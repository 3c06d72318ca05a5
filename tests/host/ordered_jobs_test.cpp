// Jobs run on workers but are taken back in the order they were added, with
// what each threw; nothing a job holds outlives the queue.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "host/core/write/ordered_jobs.h"

namespace {

// Flags jobs raise when done, and a bounded wait for them so that a fault
// fails the test instead of hanging it.
class Flags {
public:
    explicit Flags(std::size_t count) : raised_(count, false) {}
    void Raise(std::size_t i) {
        std::lock_guard<std::mutex> lock(mutex_);
        raised_[i] = true;
        changed_.notify_all();
    }
    bool Raised(std::size_t i) {
        std::lock_guard<std::mutex> lock(mutex_);
        return raised_[i];
    }
    bool WaitFor(std::size_t i) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(20), [&] { return raised_[i]; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<bool> raised_;
};

}  // namespace

TEST(OrderedJobs, LaterJobsMayFinishFirstButAreTakenInOrder) {
    Flags done(3);
    std::atomic<bool> sawLaterDone{false};
    std::atomic<int> badWorker{-1};
    {
        OrderedJobs jobs(3);
        ASSERT_GE(jobs.Workers(), 1);
        const bool parallel = jobs.Workers() == 3;
        jobs.Add([&](int worker) {
            if (worker < 0 || worker >= 3) badWorker = worker;
            // The first job holds on until the other two are done.
            if (parallel) sawLaterDone = done.WaitFor(1) && done.WaitFor(2);
            done.Raise(0);
        });
        for (std::size_t i = 1; i < 3; ++i)
            jobs.Add([&, i](int worker) {
                if (worker < 0 || worker >= 3) badWorker = worker;
                done.Raise(i);
            });
        EXPECT_EQ(jobs.Pending(), 3u);
        for (std::size_t i = 0; i < 3; ++i) {
            jobs.TakeOldest();
            EXPECT_TRUE(done.Raised(i)) << "job " << i << " was taken before it was done";
            EXPECT_EQ(jobs.Pending(), 2 - i);
        }
        if (parallel) {
            EXPECT_TRUE(sawLaterDone);
        }
        EXPECT_FALSE(jobs.OldestDone());
        jobs.TakeOldest();  // nothing left: returns at once
    }
    EXPECT_EQ(badWorker, -1);
}

TEST(OrderedJobs, WhatAJobThrowsComesOutWhenItIsTaken) {
    for (int threads : {1, 2}) {
        SCOPED_TRACE("threads " + std::to_string(threads));
        OrderedJobs jobs(threads);
        int ran = 0;
        std::mutex mutex;
        auto count = [&](int) {
            std::lock_guard<std::mutex> lock(mutex);
            ++ran;
        };
        jobs.Add(count);
        jobs.Add([](int) { throw std::runtime_error("job 1 failed"); });
        jobs.Add(count);
        jobs.TakeOldest();
        try {
            jobs.TakeOldest();
            ADD_FAILURE() << "the failed job was taken silently";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "job 1 failed");
        }
        jobs.TakeOldest();
        EXPECT_EQ(ran, 2);
        EXPECT_EQ(jobs.Pending(), 0u);
    }
}

TEST(OrderedJobs, OneThreadRunsEachJobInsideAdd) {
    for (int threads : {-3, 0, 1}) {
        OrderedJobs jobs(threads);
        EXPECT_EQ(jobs.Workers(), 1);
        std::thread::id ranOn;
        jobs.Add([&](int worker) {
            EXPECT_EQ(worker, 0);
            ranOn = std::this_thread::get_id();
        });
        EXPECT_EQ(ranOn, std::this_thread::get_id());
        EXPECT_TRUE(jobs.OldestDone());
        jobs.TakeOldest();
    }
}

// A queue let go with jobs still waiting stops without running them all, and
// frees what every job held, run or not.
TEST(OrderedJobs, LettingGoWithJobsWaitingFreesThem) {
    auto held = std::make_shared<int>(0);
    Flags started(1), release(1);
    {
        OrderedJobs jobs(2);
        jobs.Add([&, held](int) {
            started.Raise(0);
            release.WaitFor(0);
        });
        for (int i = 0; i < 50; ++i) jobs.Add([held](int) {});
        ASSERT_TRUE(started.WaitFor(0));
        release.Raise(0);
    }
    EXPECT_EQ(held.use_count(), 1);
}
