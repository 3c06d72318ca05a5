#include "luma/crt.h"

namespace {
thread_local unsigned int holdrand = 1;
}

namespace crt {

void srand(unsigned int seed) { holdrand = seed; }

int rand() { return NextRand(holdrand); }

unsigned int& ThreadRandState() { return holdrand; }

}  // namespace crt
