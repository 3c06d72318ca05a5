#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "colour/fixed_palette.h"
#include "colour/remap.h"
#include "colour/supercompress.h"
#include "image/packed_dib.h"
#include "plugin/guards.h"
#include "tests/colour/frames.h"
#include "tests/colour/reference.h"
#include "tests/support/fault_walk.h"
#include "tests/support/pictures.h"

using colour_test::PictureOf;
using colour_test::TestFrames;
using testing_support::BlockBytes;

namespace {

std::vector<DWORD> Pixels(HGLOBAL dib) {
    GlobalLockGuard<BYTE> p(dib);
    auto* h = reinterpret_cast<const BITMAPINFOHEADER*>(p.get());
    std::vector<DWORD> out;
    for (LONG y = 0; y < h->biHeight; ++y)
        for (LONG x = 0; x < h->biWidth; ++x) out.push_back(GetDibPixel(p.get(), x, y));
    return out;
}

HGLOBAL Flat(LONG w, LONG h, COLORREF c) {
    return PictureOf(w, h, [=](LONG, LONG) { return c; });
}

TEST(MarkUnchangedPixels, MasksAreOneBitBlackAndWhitePictures) {
    TestFrames frames;
    frames.Add(Flat(37, 5, RGB(1, 2, 3)));
    frames.Add(Flat(37, 5, RGB(1, 2, 3)));
    ASSERT_EQ(MarkUnchangedPixels(frames.List(), RGB(0, 0, 0)), 1);
    EXPECT_EQ(frames.Mask(0), nullptr);
    HGLOBAL mask = frames.Mask(1);
    ASSERT_NE(mask, nullptr);
    const DWORD imageSize = (37 + 31) / 32 * 4 * 5;
    EXPECT_EQ(GlobalSize(mask), 48 + imageSize);
    GlobalLockGuard<BYTE> m(mask);
    auto* h = reinterpret_cast<const BITMAPINFOHEADER*>(m.get());
    EXPECT_EQ(h->biSize, 40u);
    EXPECT_EQ(h->biWidth, 37);
    EXPECT_EQ(h->biHeight, 5);
    EXPECT_EQ(h->biPlanes, 1);
    EXPECT_EQ(h->biBitCount, 1);
    EXPECT_EQ(h->biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(h->biSizeImage, imageSize);
    EXPECT_EQ(h->biClrUsed, 2u);
    EXPECT_EQ(h->biClrImportant, 2u);
    const BYTE table[8] = {0, 0, 0, 0, 255, 255, 255, 0};
    EXPECT_EQ(std::vector<BYTE>(m.get() + 40, m.get() + 48), std::vector<BYTE>(table, table + 8));
}

TEST(MarkUnchangedPixels, TwoIdenticalFramesLeaveOnlyTheSpareIndex) {
    std::mt19937 random(1);
    TestFrames frames;
    frames.Add(colour_test::ScenePicture(random, 20, 10));
    frames.Add(CopyGlobalBlock(frames.Image(0)));
    ASSERT_EQ(MarkUnchangedPixels(frames.List(), RGB(0, 0, 0)), 1);
    for (DWORD bit : Pixels(frames.Mask(1))) EXPECT_EQ(bit, 1u);

    BYTE palette[768];
    BuildFixedPalette(palette, nullptr, 6);
    palette[200 * 3] = 9;  // the spare entry's colour before the mask sets it
    GlobalBlock remapped(RemapFrame(frames.Image(1), palette, 8, 200));
    ASSERT_EQ(ApplyChangeMask(remapped.get(), frames.Mask(1), 200, RGB(10, 20, 30)), 1);
    for (DWORD index : Pixels(remapped.get())) EXPECT_EQ(index, 200u);
    GlobalLockGuard<BYTE> p(remapped.get());
    const RGBQUAD& entry = reinterpret_cast<const RGBQUAD*>(p.get() + 40)[200];
    EXPECT_EQ(entry.rgbRed, 10);
    EXPECT_EQ(entry.rgbGreen, 20);
    EXPECT_EQ(entry.rgbBlue, 30);
}

TEST(MarkUnchangedPixels, APixelThatChangesBackIsChangedBothTimes) {
    TestFrames frames;
    frames.Add(Flat(3, 2, RGB(50, 50, 50)));
    frames.Add(PictureOf(3, 2, [](LONG x, LONG y) { return x == 1 && y == 1 ? RGB(60, 50, 50) : RGB(50, 50, 50); }));
    frames.Add(Flat(3, 2, RGB(50, 50, 50)));
    frames.Add(Flat(3, 2, RGB(50, 50, 50)));
    ASSERT_EQ(MarkUnchangedPixels(frames.List(), RGB(0, 0, 0)), 1);
    const std::vector<DWORD> changedOnce = {1, 1, 1, 1, 0, 1};
    EXPECT_EQ(Pixels(frames.Mask(1)), changedOnce);
    EXPECT_EQ(Pixels(frames.Mask(2)), changedOnce);
    EXPECT_EQ(Pixels(frames.Mask(3)), std::vector<DWORD>(6, 1));
}

TEST(MarkUnchangedPixels, ComparesTrueColoursNotTheirPaletteIndexes) {
    TestFrames frames;
    frames.Add(Flat(4, 1, RGB(100, 100, 100)));
    frames.Add(Flat(4, 1, RGB(101, 100, 100)));
    ASSERT_EQ(MarkUnchangedPixels(frames.List(), RGB(0, 0, 0)), 1);
    EXPECT_EQ(Pixels(frames.Mask(1)), std::vector<DWORD>(4, 0));
    BYTE palette[768];
    BuildFixedPalette(palette, nullptr, 6);
    GlobalBlock a(RemapFrame(frames.Image(0), palette, 8, 256));
    GlobalBlock b(RemapFrame(frames.Image(1), palette, 8, 256));
    EXPECT_EQ(Pixels(a.get()), Pixels(b.get()));
}

TEST(MarkUnchangedPixels, OneFrameGetsNoMaskAndOldMasksAreReplaced) {
    TestFrames single;
    single.Add(Flat(2, 2, 0));
    ASSERT_EQ(MarkUnchangedPixels(single.List(), 0), 1);
    EXPECT_EQ(single.Mask(0), nullptr);

    TestFrames frames;
    frames.Add(Flat(2, 2, 0));
    frames.Add(Flat(2, 2, 0));
    ASSERT_EQ(MarkUnchangedPixels(frames.List(), 0), 1);
    std::size_t live = luma::LiveGlobalBlocks();
    ASSERT_EQ(MarkUnchangedPixels(frames.List(), 0), 1);
    EXPECT_EQ(luma::LiveGlobalBlocks(), live);
    ASSERT_NE(frames.Mask(1), nullptr);

    TestFrames empty;
    EXPECT_EQ(MarkUnchangedPixels(empty.List(), 0), 1);
}

TEST(MarkUnchangedPixels, MatchesThePlainFormAndReportsEachFrame) {
    std::mt19937 random(14);
    TestFrames frames;
    frames.Add(colour_test::ScenePicture(random, 29, 13));
    for (int i = 0; i < 5; ++i) {
        HGLOBAL next = CopyGlobalBlock(frames.Image(i));
        GlobalLockGuard<BYTE> p(next);
        for (int k = 0; k < 40; ++k)
            SetDibPixel(p.get(), random() % 29, random() % 13, random() % 2 ? random() & 0xFFFFFF : 0);
        frames.Add(next);
    }
    frames.Add(Flat(10, 20, RGB(1, 1, 1)));  // another size: what the reference lacks has changed
    frames.Add(Flat(35, 5, RGB(1, 1, 1)));
    std::vector<HGLOBAL> plain(frames.List().count);
    reference::MarkUnchangedPixels(frames.List(), plain.data());

    std::vector<int> reported;
    auto progress = [](void* context, int frame, int count) {
        auto* seen = static_cast<std::vector<int>*>(context);
        seen->push_back(frame);
        EXPECT_EQ(count, 8);
    };
    ASSERT_EQ(MarkUnchangedPixels(frames.List(), 0, progress, &reported), 1);
    EXPECT_EQ(reported, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    for (int i = 1; i < frames.List().count; ++i) {
        EXPECT_EQ(BlockBytes(frames.Mask(i)), BlockBytes(plain[i])) << i;
        GlobalFree(plain[i]);
    }
}

TEST(ApplyChangeMask, MatchesThePlainFormAtEveryDepth) {
    std::mt19937 random(15);
    for (int bits : {1, 4, 8}) {
        for (LONG width : {1, 7, 9, 40}) {
            GlobalBlock picture(testing_support::RandomPackedDib(random, width, 6, bits));
            GlobalBlock mask(testing_support::RandomPackedDib(random, width, 6, 1));
            GlobalBlock copy(CopyGlobalBlock(picture.get()));
            int spare = static_cast<int>(random() % (1 << bits));
            ASSERT_EQ(ApplyChangeMask(picture.get(), mask.get(), spare, 0x00ABCDEF), 1);
            reference::ApplyChangeMask(copy.get(), mask.get(), spare, 0x00ABCDEF);
            EXPECT_EQ(BlockBytes(picture.get()), BlockBytes(copy.get())) << bits << " " << width;
        }
    }
}

TEST(ApplyChangeMask, WithoutASpareIndexNothingChanges) {
    // A fixed palette has no spare entry: masks are made, frames stay as remapped.
    TestFrames frames;
    frames.Add(Flat(6, 3, RGB(9, 9, 9)));
    frames.Add(Flat(6, 3, RGB(9, 9, 9)));
    ASSERT_EQ(MarkUnchangedPixels(frames.List(), 0), 1);
    ASSERT_NE(frames.Mask(1), nullptr);
    BYTE palette[768];
    BuildFixedPalette(palette, nullptr, 6);
    GlobalBlock remapped(RemapFrame(frames.Image(1), palette, 8, 256));
    std::vector<BYTE> before = BlockBytes(remapped.get());
    EXPECT_EQ(ApplyChangeMask(remapped.get(), frames.Mask(1), -1, RGB(1, 2, 3)), 1);
    EXPECT_EQ(BlockBytes(remapped.get()), before);
}

TEST(ApplyChangeMask, RefusesASpareIndexBeyondTheTable) {
    GlobalBlock picture(CreatePackedDib(4, 4, nullptr, 4));
    GlobalBlock mask(CreatePackedDib(4, 4, nullptr, 1));
    std::vector<BYTE> before = BlockBytes(picture.get());
    EXPECT_EQ(ApplyChangeMask(picture.get(), mask.get(), 16, 0), 0);
    EXPECT_EQ(BlockBytes(picture.get()), before);
    GlobalBlock trueColour(CreatePackedDib(4, 4, nullptr, 24));
    EXPECT_EQ(ApplyChangeMask(trueColour.get(), mask.get(), 0, 0), 0);
}

TEST(MarkUnchangedPixels, OutOfMemoryLeavesTheListAsItWas) {
    std::mt19937 random(3);
    TestFrames frames;
    for (int i = 0; i < 4; ++i) frames.Add(testing_support::RandomPackedDib(random, 12, 9, 24));
    int walked = testing_support::WalkAllocationFailures([&] {
        bool ok = MarkUnchangedPixels(frames.List(), 0) == 1;
        if (!ok) {
            for (const FrameRecord& r : frames.Records()) EXPECT_EQ(r.mask, nullptr);
        }
        // Put the list back for the next step of the walk.
        if (ok) {
            GlobalLockGuard<FrameRecord> records(frames.List().records);
            for (int i = 0; i < frames.List().count; ++i) {
                if (records.get()[i].mask) GlobalFree(records.get()[i].mask);
                records.get()[i].mask = nullptr;
            }
        }
        return ok;
    });
    EXPECT_EQ(walked, 5);  // the mask list, the reference copy and three masks
}

}  // namespace
