// The C runtime's random generator as the Microsoft runtime computes it.
// Effects reproduce their animations from a seed, so the sequence is part of
// their output; the host library's own rand() must never stand in for it.
#pragma once

namespace crt {

inline constexpr int RAND_MAX_VALUE = 32767;

// Per thread, as in the multithreaded Microsoft runtime; seed 1 at start.
void srand(unsigned int seed);
int rand();

// This thread's generator state, for RandStream.
unsigned int& ThreadRandState();

inline constexpr unsigned int RAND_MULTIPLIER = 214013u;
inline constexpr unsigned int RAND_INCREMENT = 2531011u;

// One step of the generator: rand() is this on the thread's state.
inline int NextRand(unsigned int& state) {
    state = state * RAND_MULTIPLIER + RAND_INCREMENT;
    return static_cast<int>((state >> 16) & 0x7FFF);
}

// Draws a long run of this thread's numbers without a library call and a
// thread-local lookup per draw: the state is held here while the stream
// lives and handed back when it ends, so rand() then goes on from the last
// number drawn. The thread must not call srand() or rand() meanwhile.
class RandStream {
public:
    RandStream() : home_(ThreadRandState()), state_(home_) {}
    ~RandStream() { home_ = state_; }
    RandStream(const RandStream&) = delete;
    RandStream& operator=(const RandStream&) = delete;

    int operator()() { return NextRand(state_); }

    // The next two numbers, in order. The state moves by both steps at once,
    // so a run of pairs waits on half as many multiplications in a row.
    void operator()(int& first, int& second) {
        first = static_cast<int>(((state_ * RAND_MULTIPLIER + RAND_INCREMENT) >> 16) & 0x7FFF);
        state_ = state_ * (RAND_MULTIPLIER * RAND_MULTIPLIER) + (RAND_MULTIPLIER + 1) * RAND_INCREMENT;
        second = static_cast<int>((state_ >> 16) & 0x7FFF);
    }

private:
    unsigned int& home_;
    unsigned int state_;
};

}  // namespace crt
