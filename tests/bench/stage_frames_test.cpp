#include "bench/stage_frames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <new>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "host/core/host_error.h"
#include "tests/host/host_test_support.h"
#include "luma/testing.h"
#include "tests/support/fault_walk.h"

namespace {

using host_testing::Rgb;
using host_testing::TemporaryFolder;

Rgb RandomPicture(int width, int height, unsigned seed) {
    std::mt19937 random(seed);
    Rgb picture{width, height, std::vector<BYTE>(static_cast<std::size_t>(width) * height * 3)};
    for (BYTE& b : picture.pixels) b = static_cast<BYTE>(random());
    return picture;
}

Rgb PlainPicture(int width, int height, std::vector<std::array<BYTE, 3>> colours) {
    Rgb picture{width, height, std::vector<BYTE>(static_cast<std::size_t>(width) * height * 3)};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const auto& c = colours[static_cast<std::size_t>(x + y) % colours.size()];
            std::copy(c.begin(), c.end(), picture.At(x, y));
        }
    return picture;
}

void WriteFrame(const TemporaryFolder& folder, int number, const Rgb& picture) {
    host_testing::WriteFile(FrameFileName(folder.Path(), number), host_testing::PngFile(picture));
}

void ExpectSamePicture(const Rgb& expected, HGLOBAL image) {
    Rgb read = host_testing::PictureOf(image);
    EXPECT_EQ(read.width, expected.width);
    EXPECT_EQ(read.height, expected.height);
    EXPECT_TRUE(read.pixels == expected.pixels);
}

// What Load throws for a folder, with nothing left alive afterwards.
std::string LoadFailure(const TemporaryFolder& folder, int expectedKept) {
    const std::size_t before = luma::LiveGlobalBlocks();
    std::string message;
    {
        StageFrames frames;
        try {
            frames.Load(folder.Path());
            ADD_FAILURE() << "the folder was read";
        } catch (const HostError& error) {
            message = error.what();
        }
        EXPECT_EQ(frames.Count(), expectedKept);
    }
    EXPECT_EQ(luma::LiveGlobalBlocks(), before);
    return message;
}

TEST(StageFrames, ReadsTheNumberedFramesInOrderUpToTheFirstGap) {
    TemporaryFolder folder;
    std::vector<Rgb> pictures;
    for (unsigned i = 0; i < 3; ++i) pictures.push_back(RandomPicture(7, 5, i));
    for (int i = 0; i < 3; ++i) WriteFrame(folder, i + 1, pictures[i]);
    WriteFrame(folder, 5, RandomPicture(7, 5, 9));  // after the gap: not a frame

    StageFrames frames;
    frames.Load(folder.Path());
    ASSERT_EQ(frames.Count(), 3);
    EXPECT_EQ(frames.Width(), 7);
    EXPECT_EQ(frames.Height(), 5);
    for (int i = 0; i < 3; ++i) ExpectSamePicture(pictures[i], frames.Image(i));
    EXPECT_EQ(FrameFileName("dir", 12), "dir/f0012.png");
}

TEST(StageFrames, AFolderThatCannotBeReadIsReportedByFile) {
    {
        TemporaryFolder empty;
        EXPECT_NE(LoadFailure(empty, 0).find("f0001.png"), std::string::npos);
    }
    {
        TemporaryFolder damaged;
        WriteFrame(damaged, 1, RandomPicture(6, 6, 1));
        std::vector<BYTE> file = host_testing::PngFile(RandomPicture(6, 6, 2));
        file.resize(file.size() / 2);
        host_testing::WriteFile(FrameFileName(damaged.Path(), 2), file);
        EXPECT_NE(LoadFailure(damaged, 1).find("f0002.png"), std::string::npos);
    }
    {
        TemporaryFolder text;
        host_testing::WriteFile(FrameFileName(text.Path(), 1), {'n', 'o', 't', ' ', 'a', ' ', 'P', 'N', 'G'});
        EXPECT_NE(LoadFailure(text, 0).find("f0001.png"), std::string::npos);
    }
    {
        TemporaryFolder sizes;
        WriteFrame(sizes, 1, RandomPicture(6, 6, 1));
        WriteFrame(sizes, 2, RandomPicture(6, 7, 2));
        std::string message = LoadFailure(sizes, 1);
        EXPECT_NE(message.find("f0002.png"), std::string::npos);
        EXPECT_NE(message.find("6 x 7"), std::string::npos) << message;
    }
}

// The names in a folder, sorted.
std::vector<std::string> FolderNames(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(StageFrames, EveryMemoryFailureFromLoadingToTheGifLeavesNothing) {
    TemporaryFolder folder, output;
    WriteFrame(folder, 1, RandomPicture(9, 4, 1));
    WriteFrame(folder, 2, RandomPicture(9, 4, 2));
    const int walked = testing_support::WalkAllocationFailures([&] {
        try {
            StageFrames frames;
            frames.Load(folder.Path());
            StagePalette palette;
            std::vector<GlobalBlock> reduced;
            if (!BuildStagePalette(frames.List(), true, palette)) return false;
            if (!ReduceFrames(frames, palette, true, reduced)) {
                EXPECT_TRUE(reduced.empty());
                return false;
            }
            if (!ReduceFrames(frames, palette, false, reduced)) {
                EXPECT_TRUE(reduced.empty());
                return false;
            }
            if (!Supercompress(frames, palette, reduced)) return false;
            return WriteStageGif(reduced, palette.spare, output.Path() + "/stage.gif") > 0;
        } catch (const HostError&) {
            return false;
        } catch (const std::bad_alloc&) {
            return false;
        }
    });
    EXPECT_GT(walked, 10);
}

TEST(StagePalettes, ABuiltPaletteHoldsTheFramesColoursAndTheSpareEntryComesLast) {
    TemporaryFolder folder;
    const std::vector<std::array<BYTE, 3>> colours = {{{10, 20, 30}}, {{200, 0, 0}}, {{0, 250, 5}}};
    WriteFrame(folder, 1, PlainPicture(8, 8, colours));
    StageFrames frames;
    frames.Load(folder.Path());

    for (bool spare : {false, true}) {
        StagePalette palette;
        ASSERT_TRUE(BuildStagePalette(frames.List(), spare, palette));
        ASSERT_EQ(palette.count, 3);
        std::set<std::array<BYTE, 3>> found;
        for (int i = 0; i < palette.count; ++i)
            found.insert({palette.triplets[i * 3], palette.triplets[i * 3 + 1], palette.triplets[i * 3 + 2]});
        const std::set<std::array<BYTE, 3>> expected(colours.begin(), colours.end());
        EXPECT_EQ(found, expected);
        if (spare) {
            ASSERT_EQ(palette.spare, 3);
            EXPECT_EQ(palette.triplets[9], 255);
            EXPECT_EQ(palette.triplets[10], 255);
            EXPECT_EQ(palette.triplets[11], 255);
            EXPECT_GE(1 << palette.depth, 4) << "the spare entry must fit the frames' table";
        } else {
            EXPECT_EQ(palette.spare, -1);
        }
    }

    TemporaryFolder noisy;
    WriteFrame(noisy, 1, RandomPicture(40, 40, 3));
    StageFrames many;
    many.Load(noisy.Path());
    StagePalette full, withSpare;
    ASSERT_TRUE(BuildStagePalette(many.List(), false, full));
    ASSERT_TRUE(BuildStagePalette(many.List(), true, withSpare));
    EXPECT_EQ(full.count, 256);
    EXPECT_EQ(withSpare.count, 255);
    EXPECT_EQ(withSpare.spare, 255);
}

TEST(StageFrames, SupercompressionGivesUnchangedPixelsTheSpareEntryAndNeverGrowsTheGif) {
    TemporaryFolder folder;
    Rgb first = RandomPicture(32, 24, 4);
    Rgb second = first;
    Rgb patch = RandomPicture(32, 24, 5);
    for (int y = 8; y < 12; ++y)
        for (int x = 4; x < 20; ++x) std::copy(patch.At(x, y), patch.At(x, y) + 3, second.At(x, y));
    WriteFrame(folder, 1, first);
    WriteFrame(folder, 2, second);
    StageFrames frames;
    frames.Load(folder.Path());
    StagePalette palette;
    ASSERT_TRUE(BuildStagePalette(frames.List(), true, palette));
    std::vector<GlobalBlock> reduced;
    ASSERT_TRUE(ReduceFrames(frames, palette, false, reduced));
    TemporaryFolder output;
    const std::string gif = output.Path() + "/stage.gif";
    const std::size_t plain = WriteStageGif(reduced, -1, gif);
    ASSERT_TRUE(Supercompress(frames, palette, reduced));

    GlobalLockGuard<BYTE> firstBits(reduced[0].get()), secondBits(reduced[1].get());
    for (LONG y = 0; y < 24; ++y)
        for (LONG x = 0; x < 32; ++x) {
            const bool changed = y >= 8 && y < 12 && x >= 4 && x < 20 &&
                                 !std::equal(first.At(x, y), first.At(x, y) + 3, second.At(x, y));
            EXPECT_NE(static_cast<int>(GetDibPixel(firstBits.get(), x, y)), palette.spare);
            EXPECT_EQ(static_cast<int>(GetDibPixel(secondBits.get(), x, y)) == palette.spare, !changed)
                << x << ", " << y;
        }
    // The writer already stores only what changed, so the plug-in's
    // transparency can at best match it, never cost more.
    const std::size_t supercompressed = WriteStageGif(reduced, palette.spare, gif);
    EXPECT_LE(supercompressed, plain);
    EXPECT_EQ(host_testing::ReadFile(gif).size(), supercompressed);
    EXPECT_THROW(WriteStageGif({}, -1, gif), HostError);
}

TEST(StageFrames, AGifThatCannotBeWrittenLeavesTheFileBeforeItAndNoOther) {
    TemporaryFolder folder, output;
    WriteFrame(folder, 1, RandomPicture(9, 4, 6));
    WriteFrame(folder, 2, RandomPicture(9, 4, 7));
    StageFrames frames;
    frames.Load(folder.Path());
    StagePalette palette;
    ASSERT_TRUE(BuildStagePalette(frames.List(), false, palette));
    std::vector<GlobalBlock> reduced;
    ASSERT_TRUE(ReduceFrames(frames, palette, false, reduced));
    const std::string gif = output.Path() + "/stage.gif";
    const std::vector<BYTE> old = {'o', 'l', 'd'};
    host_testing::WriteFile(gif, old);

    EXPECT_THROW(WriteStageGif(reduced, -1, output.Path() + "/missing/stage.gif"), HostError);
    // A frame that cannot be read once the file is begun.
    reduced[1] = GlobalBlock();
    EXPECT_THROW(WriteStageGif(reduced, -1, gif), HostError);
    EXPECT_EQ(FolderNames(output.Path()), std::vector<std::string>{"stage.gif"});
    EXPECT_TRUE(host_testing::ReadFile(gif) == old);
}

TEST(PeerFiles, APaletteIsA16By16PpmWhoseUnusedEntriesRepeatTheFirst) {
    TemporaryFolder folder;
    StagePalette palette;
    palette.count = 2;
    const BYTE entries[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    std::copy(std::begin(entries), std::end(entries), palette.triplets);
    WritePalettePicture(folder / "p.ppm", palette);

    const std::string header = "P6\n16 16\n255\n";
    std::vector<BYTE> expected(header.begin(), header.end());
    expected.insert(expected.end(), entries, entries + 6);
    for (int i = 2; i < 256; ++i) expected.insert(expected.end(), entries, entries + 3);
    EXPECT_EQ(host_testing::ReadFile(folder / "p.ppm"), expected);

    EXPECT_THROW(WritePalettePicture(folder / "missing/p.ppm", palette), HostError);
    StageFrames none;
    EXPECT_THROW(WriteRawFrames(folder / "missing/frames.rgb", none), HostError);
}

TEST(PeerFiles, RawFramesAreRgbRowsFromTheTopFrameAfterFrame) {
    TemporaryFolder folder;
    Rgb first = RandomPicture(5, 3, 6), second = RandomPicture(5, 3, 7);
    WriteFrame(folder, 1, first);
    WriteFrame(folder, 2, second);
    StageFrames frames;
    frames.Load(folder.Path());
    WriteRawFrames(folder / "frames.rgb", frames);

    std::vector<BYTE> expected = first.pixels;
    expected.insert(expected.end(), second.pixels.begin(), second.pixels.end());
    EXPECT_EQ(host_testing::ReadFile(folder / "frames.rgb"), expected);
}

}  // namespace
