// The C runtime's random generator as the Microsoft runtime computes it.
// Effects reproduce their animations from a seed, so the sequence is part of
// their output; the host library's own rand() must never stand in for it.
#pragma once

namespace crt {

inline constexpr int RAND_MAX_VALUE = 32767;

// Per thread, as in the multithreaded Microsoft runtime; seed 1 at start.
void srand(unsigned int seed);
int rand();

}  // namespace crt
