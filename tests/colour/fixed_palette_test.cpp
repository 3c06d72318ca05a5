#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <tuple>

#include "colour/fixed_palette.h"

namespace {

using Triplet = std::tuple<int, int, int>;

Triplet Entry(const BYTE* palette, int i) { return {palette[i * 3], palette[i * 3 + 1], palette[i * 3 + 2]}; }

struct Palette {
    BYTE bytes[768];
    int entries;
    int bits;
    explicit Palette(int index) {
        std::memset(bytes, 0xAB, sizeof bytes);  // clearing is the builder's job
        bits = -1;
        entries = BuildFixedPalette(bytes, &bits, index);
    }
    Triplet operator[](int i) const { return Entry(bytes, i); }
    bool ZeroFrom(int i) const {
        for (int k = i * 3; k < 768; ++k)
            if (bytes[k]) return false;
        return true;
    }
};

TEST(FixedPalette, SizesDepthsAndClearedRest) {
    const int entries[] = {2, 16, 32, 64, 128, 216, 256, 256, 256, 8};
    const int bits[] = {1, 4, 5, 6, 7, 8, 8, 8, 8, 3};
    for (int index = 0; index <= 9; ++index) {
        Palette p(index);
        EXPECT_EQ(p.entries, entries[index]) << index;
        EXPECT_EQ(p.bits, bits[index]) << index;
        EXPECT_TRUE(p.ZeroFrom(p.entries)) << index;
        int bitsOnly = -1;
        EXPECT_EQ(BuildFixedPalette(nullptr, &bitsOnly, index), entries[index]);
        EXPECT_EQ(bitsOnly, bits[index]);
    }
    EXPECT_EQ(BuildFixedPalette(nullptr, nullptr, 3), 64);
}

TEST(FixedPalette, NamedEntries) {
    Palette bw(0);
    EXPECT_EQ(bw[0], Triplet(0, 0, 0));
    EXPECT_EQ(bw[1], Triplet(255, 255, 255));

    Palette windows(1);
    EXPECT_EQ(windows[1], Triplet(128, 0, 0));
    EXPECT_EQ(windows[8], Triplet(192, 192, 192));
    EXPECT_EQ(windows[12], Triplet(0, 0, 255));
    EXPECT_EQ(windows[15], Triplet(255, 255, 255));

    Palette p32(2);
    EXPECT_EQ(p32[1], Triplet(0, 0, 255));
    EXPECT_EQ(p32[31], Triplet(255, 255, 255));

    Palette p64(3);
    EXPECT_EQ(p64[(1 * 4 + 2) * 4 + 3], Triplet(85, 170, 255));

    Palette p128(4);
    EXPECT_EQ(p128[127], Triplet(255, 255, 255));
    EXPECT_EQ(p128[4], Triplet(0, 36, 0));

    Palette safe(5);
    EXPECT_EQ(safe[6], Triplet(51, 0, 0));
    EXPECT_EQ(safe[36], Triplet(0, 51, 0));
    EXPECT_EQ(safe[1], Triplet(0, 0, 51));
    EXPECT_EQ(safe[215], Triplet(255, 255, 255));

    Palette ortho(6);
    EXPECT_EQ(ortho[0], Triplet(0, 0, 0));
    EXPECT_EQ(ortho[(3 * 8 + 5) * 4 + 2], Triplet(108, 180, 170));
    EXPECT_EQ(ortho[255], Triplet(255, 255, 255));

    Palette grey(7);
    EXPECT_EQ(grey[111], Triplet(128, 109, 255));
    EXPECT_EQ(grey[112], Triplet(1, 1, 1));
    EXPECT_EQ(grey[143], Triplet(254, 254, 254));
    EXPECT_EQ(grey[144], Triplet(128, 146, 0));
    EXPECT_EQ(grey[255], Triplet(255, 255, 255));

    Palette levels(8);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(levels[i], Triplet(i, i, i));

    Palette primaries(9);
    const Triplet expected[8] = {{0, 0, 0},     {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                                 {0, 0, 255}, {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(primaries[i], expected[i]);
}

TEST(FixedPalette, CubesHoldEveryLevelCombinationOnce) {
    for (int index : {2, 3, 4, 5, 6, 7, 8, 9}) {
        Palette p(index);
        std::set<Triplet> distinct;
        for (int i = 0; i < p.entries; ++i) distinct.insert(p[i]);
        EXPECT_EQ(static_cast<int>(distinct.size()), p.entries) << index;
    }
}

TEST(FixedPalette, UnknownIndexesAreTheOrthogonalPalette) {
    Palette ortho(kOrthogonalPalette);
    for (int index : {12, 10, 255, -1}) {
        Palette other(index);
        EXPECT_EQ(other.entries, 256);
        EXPECT_EQ(other.bits, 8);
        EXPECT_EQ(std::memcmp(other.bytes, ortho.bytes, 768), 0) << index;
    }
}

TEST(FixedPalette, NamesInListOrder) {
    EXPECT_STREQ(kFixedPaletteNames[0], "Black and white");
    EXPECT_STREQ(kFixedPaletteNames[kOrthogonalPalette], "256-color orthogonal");
    EXPECT_STREQ(kFixedPaletteNames[8], "256 gray levels");
}

}  // namespace
