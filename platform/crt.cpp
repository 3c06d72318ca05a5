#include "luma/crt.h"

namespace {
thread_local unsigned int holdrand = 1;
}

namespace crt {

void srand(unsigned int seed) { holdrand = seed; }

int rand() {
    holdrand = holdrand * 214013u + 2531011u;
    return static_cast<int>((holdrand >> 16) & 0x7FFF);
}

}  // namespace crt
