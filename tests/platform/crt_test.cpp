#include <gtest/gtest.h>

#include <stdexcept>
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

std::vector<int> Draws(unsigned seed, int count) {
    crt::srand(seed);
    std::vector<int> draws(static_cast<std::size_t>(count));
    for (int& v : draws) v = crt::rand();
    return draws;
}

TEST(CRuntimeRandom, AStreamAndRandInterleaveIntoOneSequence) {
    for (unsigned seed : {1u, 8162u, 0xFFFFFFFFu}) {
        const std::vector<int> expected = Draws(seed, 12);
        crt::srand(seed);
        std::vector<int> got{crt::rand(), crt::rand()};
        {
            crt::RandStream draw;
            got.push_back(draw());
            int first = -1, second = -1;
            draw(first, second);
            got.push_back(first);
            got.push_back(second);
            got.push_back(draw());
        }
        got.push_back(crt::rand());
        {
            crt::RandStream draw;
            for (int i = 0; i < 2; ++i) {
                int first = -1, second = -1;
                draw(first, second);
                got.push_back(first);
                got.push_back(second);
            }
        }
        got.push_back(crt::rand());
        EXPECT_EQ(got, expected) << "seed " << seed;
    }
}

TEST(CRuntimeRandom, AStreamLeftEarlyStillHandsItsStateBack) {
    const std::vector<int> expected = Draws(505, 4);
    crt::srand(505);
    std::vector<int> got;
    try {
        crt::RandStream draw;
        got.push_back(draw());
        got.push_back(draw());
        throw std::runtime_error("left early");
    } catch (const std::runtime_error&) {
    }
    got.push_back(crt::rand());
    got.push_back(crt::rand());
    EXPECT_EQ(got, expected);
}

TEST(CRuntimeRandom, AStreamDrawsFromItsOwnThread) {
    crt::srand(977);
    int first = -1, other = -1;
    std::thread([&] {
        crt::RandStream draw;
        first = draw();
    }).join();
    EXPECT_EQ(first, 41);
    {
        crt::RandStream draw;
        other = draw();
    }
    EXPECT_EQ(other, Draws(977, 1)[0]);
}

}  // namespace
