#include "host/core/write/ordered_jobs.h"

#include <system_error>
#include <utility>

OrderedJobs::OrderedJobs(int threads) {
    if (threads < 2) return;
    threads_.reserve(static_cast<std::size_t>(threads));
    for (int t = 0; t < threads; ++t) {
        try {
            threads_.emplace_back(&OrderedJobs::Work, this, t);
        } catch (const std::system_error&) {
            break;  // the threads already started do the work
        }
    }
}

OrderedJobs::~OrderedJobs() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    added_.notify_all();
    for (std::thread& thread : threads_) thread.join();
}

void OrderedJobs::Add(Job job) {
    if (threads_.empty()) {
        Entry entry;
        entry.job = std::move(job);
        try {
            entry.job(0);
        } catch (...) {
            entry.error = std::current_exception();
        }
        entry.done = true;
        entry.job = nullptr;
        entries_.push_back(std::move(entry));
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        entries_.emplace_back().job = std::move(job);
    }
    added_.notify_one();
}

std::size_t OrderedJobs::Pending() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_.size();
}

bool OrderedJobs::OldestDone() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return !entries_.empty() && entries_.front().done;
}

void OrderedJobs::TakeOldest() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (entries_.empty()) return;
    finished_.wait(lock, [&] { return entries_.front().done; });
    std::exception_ptr error = std::move(entries_.front().error);
    entries_.pop_front();
    ++taken_;
    lock.unlock();
    if (error) std::rethrow_exception(error);
}

void OrderedJobs::Work(int worker) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        added_.wait(lock, [&] { return stopping_ || started_ < taken_ + entries_.size(); });
        if (stopping_) return;
        // Entries only leave from the front once done, and pushing at the
        // back moves none, so this one stays put while it runs.
        Entry& entry = entries_[static_cast<std::size_t>(started_++ - taken_)];
        lock.unlock();
        std::exception_ptr error;
        try {
            entry.job(worker);
        } catch (...) {
            error = std::current_exception();
        }
        lock.lock();
        entry.job = nullptr;  // what the job holds goes as soon as it is done
        entry.error = std::move(error);
        entry.done = true;
        finished_.notify_all();
    }
}
