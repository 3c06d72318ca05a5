// What Stars, Confetti and Arrows share as looping scattering effects: the
// preview is the build's first frame, the motion closes its loop, the seed
// alone decides the frames, any picture size builds, every memory failure
// fails the build without leaving anything behind, and golden frames.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "effects/effect_bodies.h"
#include "luma/testing.h"
#include "tests/effects/frame_png.h"
#include "tests/effects/shape_effects.h"
#include "tests/support/effect_harness.h"
#include "tests/support/fault_walk.h"
#include "tests/support/frame_digest.h"

namespace {

using testing_support::BlockHash;
using testing_support::SameBlock;

struct ShapeEffect {
    const char* name;
    const EffectBody* body;
    int framesControl;
    int seedControl;
    int densityControl;
    int driftControl;
    int shadowSoftControl;  // 0: the effect has no shadows
    const char* golden;  // SHA-256 of a default build of three frames (FramesDigest)
};

void PrintTo(const ShapeEffect& effect, std::ostream* out) { *out << effect.name; }

class ShapeEffects : public testing_support::EffectTest, public ::testing::WithParamInterface<ShapeEffect> {
protected:
    int index() const { return testing_support::EffectIndex(GetParam().name); }
    const EffectBody& body() const { return *GetParam().body; }
};

TEST_P(ShapeEffects, ThePreviewIsTheFirstFrameOfTheBuild) {
    SetField(GetParam().framesControl, 3);
    GlobalBlock preview = Preview(index());
    ASSERT_TRUE(preview);
    testing_support::BuiltFrames frames = Build(index());
    ASSERT_EQ(frames.result, 1);
    ASSERT_EQ(frames.count(), 3);
    EXPECT_TRUE(SameBlock(preview.get(), frames[0].image));
    // Something moves from frame to frame.
    EXPECT_FALSE(SameBlock(frames[0].image, frames[1].image));
    EXPECT_FALSE(SameBlock(frames[1].image, frames[2].image));
}

TEST_P(ShapeEffects, AfterFramesFramesTheMotionIsBackWhereItStarted) {
    for (auto [frames, drift] : {std::pair{2, 4}, std::pair{5, 30}, std::pair{12, 99}, std::pair{7, 0}}) {
        SCOPED_TRACE(std::to_string(frames) + " frames, drift " + std::to_string(drift));
        SetField(GetParam().driftControl, drift);
        SetField(GetParam().framesControl, frames);
        std::vector<GlobalBlock> sequence = RenderSequence(body(), frames + 1);
        ASSERT_EQ(sequence.size(), static_cast<std::size_t>(frames + 1));
        EXPECT_TRUE(SameBlock(sequence[frames].get(), sequence[0].get()));
        EXPECT_FALSE(SameBlock(sequence[frames - 1].get(), sequence[0].get()));
    }
}

TEST_P(ShapeEffects, TheSeedAloneDecidesTheFrames) {
    SetField(GetParam().framesControl, 2);
    auto hashes = [&] {
        testing_support::BuiltFrames frames = Build(index());
        std::vector<std::uint64_t> out;
        for (int i = 0; i < frames.count(); ++i) out.push_back(BlockHash(frames[i].image));
        return out;
    };
    const std::vector<std::uint64_t> first = hashes();
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(hashes(), first);
    SetField(GetParam().seedControl, 4321);
    const std::vector<std::uint64_t> other = hashes();
    ASSERT_EQ(other.size(), 2u);
    EXPECT_NE(other[0], first[0]);
    EXPECT_NE(other[1], first[1]);
}

TEST_P(ShapeEffects, TinyAndThinPicturesBuild) {
    SetField(GetParam().framesControl, 2);
    for (SIZE size : {SIZE{1, 1}, SIZE{2, 2}, SIZE{3, 1000}, SIZE{1000, 3}}) {
        SCOPED_TRACE(std::to_string(size.cx) + "x" + std::to_string(size.cy));
        testing_support::LoadPlainPicture(size.cx, size.cy, RGB(10, 20, 30));
        testing_support::BuiltFrames frames = Build(index());
        ASSERT_EQ(frames.result, 1);
        ASSERT_EQ(frames.count(), 2);
        for (int i = 0; i < 2; ++i) {
            SIZE got = testing_support::DibSize(frames[i].image);
            EXPECT_EQ(got.cx, size.cx);
            EXPECT_EQ(got.cy, size.cy);
        }
    }
}

TEST_P(ShapeEffects, EveryAllocationFailureFailsTheBuildOrLeavesItsFramesAsTheyWouldBe) {
    // Hard shadows: a blur that cannot be had falls back to the unblurred
    // shadow, which is the shared shadow's own choice.
    if (GetParam().shadowSoftControl) SetField(GetParam().shadowSoftControl, 0);
    SetField(GetParam().densityControl, 3);
    SetField(GetParam().framesControl, 2);
    std::vector<std::uint64_t> want;
    {
        testing_support::BuiltFrames frames = Build(index());
        ASSERT_EQ(frames.result, 1);
        for (int i = 0; i < frames.count(); ++i) want.push_back(BlockHash(frames[i].image));
    }
    int walked = testing_support::WalkAllocationFailures(
        [&] {
            testing_support::BuiltFrames frames = Build(index());
            if (!frames.result) return false;
            // Taking the picture falls back to a second copy of the sample.
            std::vector<std::uint64_t> got;
            for (int i = 0; i < frames.count(); ++i) got.push_back(BlockHash(frames[i].image));
            EXPECT_EQ(got, want) << "a build under a fault gave other frames";
            return true;
        },
        /*mustFail=*/false);
    EXPECT_GT(walked, 20);
    testing_support::WalkAllocationFailures([&] { return static_cast<bool>(Preview(index())); }, /*mustFail=*/false);
}

TEST_P(ShapeEffects, GoldenFramesOfASmallDefaultBuild) {
    SetField(GetParam().framesControl, 3);
    testing_support::BuiltFrames frames = Build(index());
    ASSERT_EQ(frames.result, 1);
    ASSERT_EQ(frames.count(), 3);
    for (int i = 0; i < frames.count(); ++i)
        EXPECT_TRUE(testing_support::WriteFramePng(frames[i].image,
                                                   std::string(GetParam().name) + "_" + std::to_string(i) + ".png"));
    EXPECT_EQ(testing_support::FramesDigest(frames), GetParam().golden);
}

INSTANTIATE_TEST_SUITE_P(, ShapeEffects,
                         ::testing::Values(ShapeEffect{"Stars", &StarsBody, 341, 349, 347, 343, 372,
                                                       "7e1dff48acc8d23f24126c867cd8db53834f2baa131becde0294e5b6bcebad16"},
                                           ShapeEffect{"Confetti", &ConfettiBody, 410, 418, 416, 412, 0,
                                                       "243bef90f44714dcda04d0f738b9f647d45bb2c9f4927e136a18852adcf37822"},
                                           ShapeEffect{"Arrows", &ArrowsBody, 740, 748, 746, 742, 770,
                                                       "5212c2afbf957e3838e064b5357d07e420228a9f35abe933c478fe121d258344"}),
                         [](const ::testing::TestParamInfo<ShapeEffect>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
