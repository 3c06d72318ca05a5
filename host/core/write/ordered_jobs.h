// Work that may run on other threads but whose results are taken back in
// the order it was handed in: a writer codes several frames at once and
// still writes them one after the other.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class OrderedJobs {
public:
    // A job learns which worker runs it (0 .. Workers() - 1), so that what a
    // worker reuses from job to job can be kept per worker.
    using Job = std::function<void(int worker)>;

    // Up to threads worker threads (fewer when the system refuses more); with
    // none, every job runs inside Add on the calling thread.
    explicit OrderedJobs(int threads);
    // Jobs not yet started are dropped; running ones are waited for.
    ~OrderedJobs();
    OrderedJobs(const OrderedJobs&) = delete;
    OrderedJobs& operator=(const OrderedJobs&) = delete;

    int Workers() const { return threads_.empty() ? 1 : static_cast<int>(threads_.size()); }

    void Add(Job job);
    // Jobs added and not yet taken.
    std::size_t Pending() const;
    bool OldestDone() const;
    // Waits for the oldest job not yet taken and lets it go; what it threw is
    // thrown here.
    void TakeOldest();

private:
    struct Entry {
        Job job;
        bool done = false;
        std::exception_ptr error;
    };

    void Work(int worker);

    mutable std::mutex mutex_;
    std::condition_variable added_, finished_;
    std::deque<Entry> entries_;  // from the oldest not yet taken
    std::uint64_t taken_ = 0;    // jobs taken so far: the number of entries_.front()
    std::uint64_t started_ = 0;  // jobs handed to a worker so far
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};
