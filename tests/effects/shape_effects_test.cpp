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
    std::vector<std::uint64_t> golden;  // the frames of a default build of three frames
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
}

TEST_P(ShapeEffects, GoldenFramesOfASmallDefaultBuild) {
    SetField(GetParam().framesControl, 3);
    testing_support::BuiltFrames frames = Build(index());
    ASSERT_EQ(frames.result, 1);
    ASSERT_EQ(frames.count(), 3);
    std::vector<std::uint64_t> got;
    for (int i = 0; i < frames.count(); ++i) {
        got.push_back(BlockHash(frames[i].image));
        EXPECT_TRUE(testing_support::WriteFramePng(frames[i].image,
                                                   std::string(GetParam().name) + "_" + std::to_string(i) + ".png"));
    }
    EXPECT_EQ(got, GetParam().golden) << std::hex << got[0] << " " << got[1] << " " << got[2];
}

INSTANTIATE_TEST_SUITE_P(, ShapeEffects,
                         ::testing::Values(ShapeEffect{"Stars", &StarsBody, 341, 349, 347, 343, 372,
                                                       {0xd038f6bb3aefccf8, 0x969293a5190fba6b, 0x0308339bf87af1a4}},
                                           ShapeEffect{"Confetti", &ConfettiBody, 410, 418, 416, 412, 0,
                                                       {0x278dea9a55da1779, 0xee2f9ffc47d5f7c3, 0x934dbacd7516799d}},
                                           ShapeEffect{"Arrows", &ArrowsBody, 740, 748, 746, 742, 770,
                                                       {0xb21da1d716f219b0, 0xf92951c73c7d9d29, 0x5b509f39aa27b2d5}}),
                         [](const ::testing::TestParamInfo<ShapeEffect>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
