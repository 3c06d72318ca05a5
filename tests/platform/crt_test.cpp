#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "luma/crt.h"

namespace {

TEST(CRuntimeRandom, ReproducesTheMicrosoftSequence) {
    crt::srand(1);
    EXPECT_EQ(crt::rand(), 41);
    EXPECT_EQ(crt::rand(), 18467);
    EXPECT_EQ(crt::rand(), 6334);
    EXPECT_EQ(crt::rand(), 26500);
    EXPECT_EQ(crt::rand(), 19169);
}

TEST(CRuntimeRandom, EveryThreadStartsWithSeedOne) {
    int first = -1;
    std::thread([&] { first = crt::rand(); }).join();
    EXPECT_EQ(first, 41);
}

TEST(CRuntimeRandom, SameSeedSameDrawsAndAllWithinRange) {
    crt::srand(977);
    std::vector<int> a(5000);
    for (int& v : a) v = crt::rand();
    crt::srand(977);
    for (int v : a) ASSERT_EQ(crt::rand(), v);
    int lo = 32767, hi = 0;
    for (int v : a) {
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    EXPECT_GE(lo, 0);
    EXPECT_LE(hi, crt::RAND_MAX_VALUE);
    EXPECT_GT(hi, 32000);  // the top of the range is reached, the mask is not narrower
    crt::srand(978);
    EXPECT_NE(crt::rand(), a[0]);
}

}  // namespace
