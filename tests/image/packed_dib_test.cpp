#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "image/packed_dib.h"
#include "plugin/guards.h"
#include "tests/support/fault_walk.h"
#include "tests/support/pictures.h"

using testing_support::BlockBytes;
using testing_support::RandomPackedDib;

namespace {

const BITMAPINFOHEADER& Header(const GlobalLockGuard<BYTE>& dib) {
    return *reinterpret_cast<const BITMAPINFOHEADER*>(dib.get());
}

TEST(PackedDibLayout, DepthCodesChooseFormatTableAndHeader) {
    struct Case {
        int code, bits, entries;
    } cases[] = {{1, 1, 2},  {2, 4, 16},  {3, 4, 16},  {4, 4, 16}, {5, 8, 256}, {7, 8, 256},
                 {8, 8, 256}, {9, 24, 0}, {24, 24, 0}, {25, 32, 0}, {32, 32, 0}, {0, 32, 0}};
    for (const Case& c : cases) {
        GlobalBlock dib(CreatePackedDib(7, 3, nullptr, c.code));
        ASSERT_TRUE(dib) << c.code;
        GlobalLockGuard<BYTE> p(dib.get());
        const BITMAPINFOHEADER& h = Header(p);
        EXPECT_EQ(h.biSize, 40u);
        EXPECT_EQ(h.biWidth, 7);
        EXPECT_EQ(h.biHeight, 3);
        EXPECT_EQ(h.biPlanes, 1);
        EXPECT_EQ(h.biBitCount, c.bits) << "depth code " << c.code;
        EXPECT_EQ(h.biCompression, static_cast<DWORD>(BI_RGB));
        std::size_t stride = ((7 * c.bits + 31) / 32) * 4;
        EXPECT_EQ(h.biSizeImage, stride * 3);
        EXPECT_EQ(h.biClrUsed, static_cast<DWORD>(c.entries));
        EXPECT_EQ(h.biClrImportant, static_cast<DWORD>(c.entries));
        EXPECT_EQ(h.biXPelsPerMeter, 0);
        EXPECT_EQ(GlobalSize(dib.get()), 40 + 4u * c.entries + stride * 3);
        for (SIZE_T i = 40; i < GlobalSize(dib.get()); ++i) ASSERT_EQ(p.get()[i], 0) << i;
    }
}

TEST(PackedDibLayout, StridesArePaddedToFourBytes) {
    EXPECT_EQ(DibStride(1, 24), 4u);
    EXPECT_EQ(DibStride(1, 1), 4u);
    EXPECT_EQ(DibStride(3, 24), 12u);
    EXPECT_EQ(DibStride(4, 24), 12u);
    EXPECT_EQ(DibStride(5, 24), 16u);
    EXPECT_EQ(DibStride(32, 1), 4u);
    EXPECT_EQ(DibStride(33, 1), 8u);
    EXPECT_EQ(DibStride(9, 4), 8u);
    EXPECT_EQ(DibStride(3, 32), 12u);
}

TEST(PackedDibLayout, PaletteTripletsBecomeTableEntries) {
    BYTE palette[768];
    for (int i = 0; i < 768; ++i) palette[i] = static_cast<BYTE>(i * 7 + 3);
    for (int code : {1, 4, 8}) {
        GlobalBlock dib(CreatePackedDib(2, 2, palette, code));
        GlobalLockGuard<BYTE> p(dib.get());
        int entries = 1 << Header(p).biBitCount;
        const RGBQUAD* table = reinterpret_cast<const RGBQUAD*>(p.get() + 40);
        for (int i = 0; i < entries; ++i) {
            EXPECT_EQ(table[i].rgbRed, palette[i * 3]);
            EXPECT_EQ(table[i].rgbGreen, palette[i * 3 + 1]);
            EXPECT_EQ(table[i].rgbBlue, palette[i * 3 + 2]);
            EXPECT_EQ(table[i].rgbReserved, 0);
        }
        BYTE back[768];
        DibTableToTriplets(p.get(), back);
        EXPECT_EQ(std::memcmp(back, palette, entries * 3), 0);
    }
}

TEST(PackedDibLayout, SizesWithoutPixelsOrBeyondTheHeaderAreRefused) {
    EXPECT_EQ(CreatePackedDib(0, 5, nullptr, 24), nullptr);
    EXPECT_EQ(CreatePackedDib(5, 0, nullptr, 24), nullptr);
    EXPECT_EQ(CreatePackedDib(-4, 5, nullptr, 24), nullptr);
    EXPECT_EQ(CreatePackedDib(70000, 70000, nullptr, 32), nullptr);  // 19.6 GB: no 32-bit image size
}

TEST(PackedDibPixels, ReadsOutsideThePictureAnswerNoPixelAndWritesChangeNothing) {
    GlobalBlock dib(CreatePackedDib(5, 4, nullptr, 24));
    GlobalLockGuard<BYTE> p(dib.get());
    auto before = BlockBytes(dib.get());
    for (auto [x, y] : {std::pair{5, 0}, {0, -1}, {-1, 0}, {0, 4}, {5, 4}, {-100000, 3}}) {
        EXPECT_EQ(GetDibPixel(p.get(), x, y), kNoPixel) << x << "," << y;
        SetDibPixel(p.get(), x, y, 0x123456);
    }
    EXPECT_EQ(BlockBytes(dib.get()), before);
    EXPECT_EQ(FillDibRect(p.get(), -10, -10, 5, 5, 0xFFFFFF), 1);
    EXPECT_EQ(FillDibRect(p.get(), 5, 0, 10, 10, 0xFFFFFF), 1);
    EXPECT_EQ(FillDibRect(p.get(), 0, 0, -3, 2, 0xFFFFFF), 1);
    EXPECT_EQ(BlockBytes(dib.get()), before);
}

TEST(PackedDibPixels, TrueColourValuesAreStoredBlueGreenRedBottomUp) {
    GlobalBlock dib(CreatePackedDib(3, 2, nullptr, 24));
    GlobalLockGuard<BYTE> p(dib.get());
    SetDibPixel(p.get(), 0, 0, 0x000000FF);
    EXPECT_EQ(GetDibPixel(p.get(), 0, 0), 0x000000FFu);
    // Row y = 0 is the last stored row: stride 12, so at 40 + 12.
    const BYTE* top = p.get() + 40 + 12;
    EXPECT_EQ(top[0], 0);
    EXPECT_EQ(top[1], 0);
    EXPECT_EQ(top[2], 255);
    SetDibPixel(p.get(), 2, 1, 0xFFABCDEF);  // the top byte has no place at 24 bits
    EXPECT_EQ(GetDibPixel(p.get(), 2, 1), 0x00ABCDEFu);
    EXPECT_EQ(p.get()[40 + 6], 0xAB);
    EXPECT_EQ(p.get()[40 + 8], 0xEF);

    GlobalBlock wide(CreatePackedDib(1, 1, nullptr, 32));
    GlobalLockGuard<BYTE> q(wide.get());
    SetDibPixel(q.get(), 0, 0, 0x80112233);
    EXPECT_EQ(GetDibPixel(q.get(), 0, 0), 0x80112233u);
    EXPECT_EQ(std::memcmp(q.get() + 40, "\x11\x22\x33\x80", 4), 0);
}

TEST(PackedDibPixels, FourAndOneBitPixelsPackFromTheHighEnd) {
    GlobalBlock nibbles(CreatePackedDib(3, 1, nullptr, 4));
    GlobalLockGuard<BYTE> n(nibbles.get());
    SetDibPixel(n.get(), 0, 0, 5);
    SetDibPixel(n.get(), 1, 0, 10);
    SetDibPixel(n.get(), 2, 0, 0x1F);  // only the low four bits count
    EXPECT_EQ(n.get()[40 + 64], 0x5A);
    EXPECT_EQ(n.get()[40 + 64 + 1], 0xF0);
    EXPECT_EQ(GetDibPixel(n.get(), 1, 0), 10u);
    EXPECT_EQ(GetDibPixel(n.get(), 2, 0), 15u);

    GlobalBlock bits(CreatePackedDib(10, 1, nullptr, 1));
    GlobalLockGuard<BYTE> b(bits.get());
    BYTE* first = b.get() + 40 + 8;
    SetDibPixel(b.get(), 0, 0, 1);
    EXPECT_EQ(*first, 0x80);
    SetDibPixel(b.get(), 9, 0, 3);
    EXPECT_EQ(first[1], 0x40);
    SetDibPixel(b.get(), 0, 0, 2);  // only bit 0 counts: this clears
    EXPECT_EQ(*first, 0x00);
    EXPECT_EQ(GetDibPixel(b.get(), 9, 0), 1u);
    EXPECT_EQ(GetDibPixel(b.get(), 8, 0), 0u);
}

TEST(PackedDibPixels, UnsupportedDepthIsNeitherReadNorWritten) {
    BYTE block[40 + 16] = {};
    auto* h = reinterpret_cast<BITMAPINFOHEADER*>(block);
    *h = BITMAPINFOHEADER{40, 2, 2, 1, 16, BI_RGB, 8, 0, 0, 0, 0};
    EXPECT_EQ(GetDibPixel(block, 0, 0), kNoPixel);
    SetDibPixel(block, 0, 0, 0xFFFF);
    for (int i = 40; i < 56; ++i) EXPECT_EQ(block[i], 0);
}

TEST(PackedDibPixels, FitsAcceptsWhatCreateMakesAndRefusesDamage) {
    GlobalBlock dib(CreatePackedDib(9, 5, nullptr, 4));
    SIZE_T size = GlobalSize(dib.get());
    GlobalLockGuard<BYTE> p(dib.get());
    EXPECT_TRUE(PackedDibFits(p.get(), size));
    EXPECT_FALSE(PackedDibFits(p.get(), size - 1));
    EXPECT_FALSE(PackedDibFits(p.get(), 39));
    auto* h = reinterpret_cast<BITMAPINFOHEADER*>(p.get());
    for (auto damage : {+[](BITMAPINFOHEADER& x) { x.biSize = 124; }, +[](BITMAPINFOHEADER& x) { x.biBitCount = 16; },
                        +[](BITMAPINFOHEADER& x) { x.biHeight = -5; }, +[](BITMAPINFOHEADER& x) { x.biWidth = 0; },
                        +[](BITMAPINFOHEADER& x) { x.biCompression = BI_RLE4; },
                        +[](BITMAPINFOHEADER& x) { x.biHeight = 0x7FFFFFFF; }}) {
        BITMAPINFOHEADER saved = *h;
        damage(*h);
        EXPECT_FALSE(PackedDibFits(p.get(), size));
        *h = saved;
    }
}

TEST(GlobalBlocks, CopiesHoldTheSameBytesInANewBlock) {
    std::mt19937 random(5);
    GlobalBlock dib(RandomPackedDib(random, 13, 7, 8));
    GlobalBlock copy(CopyGlobalBlock(dib.get()));
    ASSERT_TRUE(copy);
    EXPECT_NE(copy.get(), dib.get());
    EXPECT_EQ(BlockBytes(copy.get()), BlockBytes(dib.get()));
    const char text[] = "any bytes at all";
    GlobalBlock raw(GlobalBlockFromMemory(text, sizeof text));
    ASSERT_TRUE(raw);
    EXPECT_EQ(GlobalSize(raw.get()), sizeof text);
    EXPECT_EQ(std::memcmp(GlobalLockGuard<char>(raw.get()).get(), text, sizeof text), 0);
    EXPECT_EQ(GlobalBlockFromMemory(text, 0), nullptr);
    GlobalBlock empty(GlobalAlloc(GMEM_MOVEABLE, 0));
    EXPECT_EQ(CopyGlobalBlock(empty.get()), nullptr);
    EXPECT_EQ(CopyGlobalBlock(nullptr), nullptr);
}

// The obvious per-pixel forms, against which the row loops are checked.
void PlainFill(void* dib, LONG x, LONG y, LONG w, LONG h, DWORD value) {
    for (LONG j = y; j < y + h; ++j)
        for (LONG i = x; i < x + w; ++i) SetDibPixel(dib, i, j, value);
}

void PlainCopy(void* t, LONG tx, LONG ty, const void* s, LONG sx, LONG sy, LONG w, LONG h) {
    const auto& sh = *static_cast<const BITMAPINFOHEADER*>(s);
    const auto& th = *static_cast<const BITMAPINFOHEADER*>(t);
    for (LONG j = 0; j < h; ++j)
        for (LONG i = 0; i < w; ++i) {
            bool inSource = sx + i >= 0 && sx + i < sh.biWidth && sy + j >= 0 && sy + j < sh.biHeight;
            bool inTarget = tx + i >= 0 && tx + i < th.biWidth && ty + j >= 0 && ty + j < th.biHeight;
            if (inSource && inTarget) SetDibPixel(t, tx + i, ty + j, GetDibPixel(s, sx + i, sy + j));
        }
}

TEST(PackedDibFastPaths, FillMatchesPlainPixelLoop) {
    std::mt19937 random(11);
    std::uniform_int_distribution<int> coord(-20, 40), extent(-3, 50);
    for (int bits : {1, 4, 8, 24, 32}) {
        for (int round = 0; round < 40; ++round) {
            GlobalBlock a(RandomPackedDib(random, 1 + round % 23, 1 + round % 17, bits));
            GlobalBlock b(CopyGlobalBlock(a.get()));
            LONG x = coord(random), y = coord(random), w = extent(random), h = extent(random);
            DWORD value = random();
            FillDibRect(GlobalLockGuard<BYTE>(a.get()).get(), x, y, w, h, value);
            PlainFill(GlobalLockGuard<BYTE>(b.get()).get(), x, y, w, h, value);
            ASSERT_EQ(BlockBytes(a.get()), BlockBytes(b.get())) << bits << " bits, rect " << x << "," << y << " " << w << "x" << h;
        }
    }
}

TEST(PackedDibFastPaths, CopyMatchesPlainPixelLoopAcrossDepthsAndOntoItself) {
    std::mt19937 random(12);
    std::uniform_int_distribution<int> coord(-15, 30), extent(-2, 40);
    const int depths[] = {1, 4, 8, 24, 32};
    for (int round = 0; round < 300; ++round) {
        int tb = depths[round % 5], sb = round % 3 == 0 ? depths[(round / 5) % 5] : tb;
        GlobalBlock target(RandomPackedDib(random, 1 + round % 19, 1 + round % 13, tb));
        GlobalBlock expected(CopyGlobalBlock(target.get()));
        bool self = round % 7 == 0;
        GlobalBlock source(self ? nullptr : RandomPackedDib(random, 1 + round % 11, 1 + round % 21, sb));
        LONG tx = coord(random), ty = coord(random), sx = coord(random), sy = coord(random);
        LONG w = extent(random), h = extent(random);
        {
            GlobalLockGuard<BYTE> t(target.get()), e(expected.get());
            GlobalLockGuard<BYTE> s(self ? target.get() : source.get());
            GlobalLockGuard<BYTE> es(self ? expected.get() : source.get());
            CopyDibRect(t.get(), tx, ty, s.get(), sx, sy, w, h);
            PlainCopy(e.get(), tx, ty, es.get(), sx, sy, w, h);
        }
        ASSERT_EQ(BlockBytes(target.get()), BlockBytes(expected.get())) << "round " << round;
    }
}

TEST(TrueColour, EveryDepthConvertsAsItsPixelsSay) {
    std::mt19937 random(13);
    for (int bits : {1, 4, 8, 24, 32}) {
        GlobalBlock dib(RandomPackedDib(random, 17, 9, bits));
        GlobalBlock out(ToTrueColourDib(dib.get()));
        ASSERT_TRUE(out) << bits;
        GlobalLockGuard<BYTE> s(dib.get()), t(out.get());
        EXPECT_EQ(Header(t).biBitCount, 24);
        EXPECT_EQ(Header(t).biWidth, 17);
        EXPECT_EQ(Header(t).biHeight, 9);
        const RGBQUAD* table = reinterpret_cast<const RGBQUAD*>(s.get() + 40);
        for (LONG y = 0; y < 9; ++y)
            for (LONG x = 0; x < 17; ++x) {
                DWORD v = GetDibPixel(s.get(), x, y), want;
                if (bits == 1)
                    want = v ? 0xFFFFFF : 0;  // whatever the table says
                else if (bits <= 8)
                    want = RGB(table[v].rgbRed, table[v].rgbGreen, table[v].rgbBlue);
                else
                    want = v & 0xFFFFFF;
                ASSERT_EQ(GetDibPixel(t.get(), x, y), want) << bits << " bits at " << x << "," << y;
            }
    }
}

TEST(TrueColour, DamagedPicturesAreRefused) {
    GlobalBlock dib(CreatePackedDib(4, 4, nullptr, 24));
    {
        GlobalLockGuard<BITMAPINFOHEADER> h(dib.get());
        h->biBitCount = 16;
    }
    EXPECT_EQ(ToTrueColourDib(dib.get()), nullptr);
    EXPECT_EQ(ToTrueColourDib(nullptr), nullptr);
}

TEST(PackedDibFailures, EveryAllocatingOperationFailsCleanly) {
    using testing_support::WalkBlockFailures;
    std::mt19937 random(14);
    GlobalBlock dib(RandomPackedDib(random, 9, 9, 4));
    BYTE palette[768] = {1, 2, 3};
    EXPECT_GE(WalkBlockFailures([&] { return CreatePackedDib(30, 20, palette, 8); }), 1);
    EXPECT_GE(WalkBlockFailures([&] { return CopyGlobalBlock(dib.get()); }), 1);
    EXPECT_GE(WalkBlockFailures([&] { return GlobalBlockFromMemory(palette, sizeof palette); }), 1);
    EXPECT_GE(WalkBlockFailures([&] { return ToTrueColourDib(dib.get()); }), 1);
}

}  // namespace
