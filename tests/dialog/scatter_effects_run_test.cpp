// Particles, Bubbles, Gridlock, Gravity, Stars, Confetti and Arrows in whole
// runs of the plug-in: the user's steps scripted on the headless driver, every
// host request recorded.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "colour/fixed_palette.h"
#include "colour/remap.h"
#include "dialog/main_dialog.h"
#include "effects/effect_table.h"
#include "luma/automation.h"
#include "plugin/guards.h"
#include "plugin/host_interface.h"
#include "settings/settings.h"
#include "tests/support/dialog_fixture.h"
#include "tests/support/effect_harness.h"
#include "tests/support/pictures.h"

namespace {

namespace automation = luma::automation;
using testing_support::TestHost;

struct RunCase {
    const char* name;
    int framesField;
    DWORD delay;  // the page's delay as it stands at first use
};

void PrintTo(const RunCase& run, std::ostream* out) { *out << run.name; }

class ScatterEffectsRun : public testing_support::MainDialogTest, public ::testing::WithParamInterface<RunCase> {
protected:
    void TearDown() override {
        CustomPalette = 1;
        MainDialogTest::TearDown();
    }
};

// The user picks the effect, asks for three frames on the fixed palette and
// presses Build: the host gets the effect's own frames, each reduced to that
// palette, at the page's delay.
TEST_P(ScatterEffectsRun, ABuildThroughTheHostDeliversTheEffectsFrames) {
    const RunCase& run = GetParam();
    constexpr int kFrames = 3;
    TestHost gif(kHundredthsFlag, 16);
    automation::CurrentScript()
        .SelectItem("Effect", run.name)
        .Type(run.framesField, std::to_string(kFrames))
        .SetCheck("Custom palette", false)
        .Click("Build");
    ASSERT_EQ(PLUGIN16DoBuild(nullptr, gif.context()), 1);
    EXPECT_FALSE(automation::GetReport().scriptRanOut) << "Build closed the dialog";

    const std::vector<std::uint32_t> codes = gif.MainCodes();
    ASSERT_EQ(codes.size(), 2u + kFrames + 2u);
    EXPECT_EQ(codes[0], static_cast<std::uint32_t>(kRequestBuildPressed));
    EXPECT_EQ(codes[1], static_cast<std::uint32_t>(kRequestNewAnimation));
    EXPECT_EQ(codes[2 + kFrames + 1], static_cast<std::uint32_t>(kRequestFinish));
    const TaskRecord task = *gif.Of(kRequestNewAnimation)[0]->task;
    EXPECT_EQ(task.frameCount, static_cast<std::uint32_t>(kFrames));

    // The same frames rendered apart, with the page as the run left it.
    OpenDialog();
    const int effect = testing_support::EffectIndex(run.name);
    ASSERT_GE(effect, 0);
    testing_support::BuiltFrames reference = testing_support::BuildOnPage(dialog, effect);
    ASSERT_EQ(reference.result, 1);
    ASSERT_EQ(reference.count(), kFrames);

    BYTE fixed[768];
    BuildFixedPalette(fixed, nullptr, kOrthogonalPalette);
    const auto added = gif.Of(kRequestAddFrame);
    ASSERT_EQ(added.size(), static_cast<std::size_t>(kFrames));
    for (int i = 0; i < kFrames; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(added[i]->image->delay, run.delay);
        EXPECT_EQ(added[i]->image->frameIndex, static_cast<std::uint32_t>(i));
        GlobalBlock expected(RemapFrame(reference[i].image, fixed, 8, 256));
        ASSERT_TRUE(expected);
        EXPECT_EQ(added[i]->frame, testing_support::BlockBytes(expected.get()));
    }
    // The effect moves: its frames are not all alike.
    EXPECT_NE(added[0]->frame, added[1]->frame);
}

INSTANTIATE_TEST_SUITE_P(, ScatterEffectsRun, ::testing::Values(RunCase{"Particles", 139, 6}, RunCase{"Bubbles", 221, 6},
                                                                     RunCase{"Gridlock", 259, 5}, RunCase{"Gravity", 570, 5},
                                                                     RunCase{"Stars", 341, 8}, RunCase{"Confetti", 410, 6},
                                                                     RunCase{"Arrows", 740, 5}),
                         [](const ::testing::TestParamInfo<RunCase>& info) { return std::string(info.param.name); });

}  // namespace
