// Phasers on Stun, Hyperspace and Plasma Arc built through PLUGIN16DoBuild as
// a host runs the plug-in: every frame reaches the host as the effect renders
// it, Plasma Arc's Strike frames each with its own random delay.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "effects/effect_table.h"
#include "luma/automation.h"
#include "plugin/host_interface.h"
#include "tests/support/dialog_fixture.h"
#include "tests/support/effect_harness.h"
#include "tests/support/pictures.h"

namespace {

namespace automation = luma::automation;
using testing_support::HostRequest;
using testing_support::TestHost;

struct RunCase {
    const char* effect;
    const char* settings;  // configuration lines besides the effect and the output
    int frames;            // the host receives
    DWORD delay;           // of every frame; 0: a multiple of Delay 1 up to Disturbance 16
};

class BeamEffectRun : public testing_support::MainDialogTest {
protected:
    void WriteConfig(const std::string& text) const {
        std::ofstream out(folder / "config" / "Vellumark" / "lumaplug.ini", std::ios::binary);
        out << text;
    }

    // The effect's frames as the saved settings stand, built apart from any host.
    testing_support::BuiltFrames ReferenceFrames(int effect) {
        OpenDialog(kTrueColourFlag);
        testing_support::BuiltFrames frames;
        BuildContext context{};
        context.page = dialog;
        context.frames = &frames.list;
        frames.result = EffectTable[effect].Build(&context);
        return frames;
    }
};

TEST_F(BeamEffectRun, ATrueColourHostReceivesEveryFrameWithItsDelay) {
    const RunCase cases[] = {
        {"Phasers on Stun", "Style002Frames = 4\r\nStyle002Density = 8\r\n", 4, 12},
        // The stars travel left: the pad's left cell.
        {"Hyperspace", "Style005Frames = 4\r\nStyle005Scroll = 0\r\n", 4, 6},
        // Strike of 8 frames: 1 waiting at the bottom, 8 sweeping, 1 at the top.
        {"Plasma Arc", "Style007Frames = 8\r\nStyle007Mode = 2\r\nStyle007Size = 18\r\n", 10, 0},
    };
    for (const RunCase& run : cases) {
        SCOPED_TRACE(run.effect);
        const int effect = testing_support::EffectIndex(run.effect);
        ASSERT_GE(effect, 0);
        WriteConfig("MainEffect = " + std::to_string(effect) + "\r\nTruecolour = 1\r\n" + run.settings);
        std::vector<HostRequest> added;
        {
            TestHost png(kTrueColourFlag, 16);
            automation::CurrentScript().Click("Build");
            ASSERT_EQ(PLUGIN16DoBuild(nullptr, png.context()), 1);
            EXPECT_FALSE(automation::GetReport().scriptRanOut);
            for (const auto* request : png.Of(kRequestAddFrame)) added.push_back(*request);
            ASSERT_EQ(png.Count(kRequestNewAnimation), 1u);
            const TaskRecord task = *png.Of(kRequestNewAnimation)[0]->task;
            EXPECT_EQ(task.frameCount, static_cast<std::uint32_t>(run.frames));
            EXPECT_EQ(task.width, 400u);  // the sample picture
            EXPECT_EQ(task.height, 300u);
            ASSERT_EQ(png.Count(kRequestFinish), 1u);
            EXPECT_EQ(png.Of(kRequestFinish)[0]->a, 1);
        }
        ASSERT_EQ(added.size(), static_cast<std::size_t>(run.frames));
        auto reference = ReferenceFrames(effect);
        ASSERT_EQ(reference.result, 1);
        ASSERT_EQ(reference.count(), run.frames);
        for (int i = 0; i < run.frames; ++i) {
            const DWORD delay = added[i].image->delay;
            EXPECT_EQ(delay, reference[i].delay) << "frame " << i;
            if (run.delay) EXPECT_EQ(delay, run.delay) << "frame " << i;
            else EXPECT_TRUE(delay >= 1 && delay <= 16) << "frame " << i;
            EXPECT_EQ(added[i].image->frameIndex, static_cast<std::uint32_t>(i));
            EXPECT_EQ(added[i].frame, testing_support::BlockBytes(reference[i].image)) << "frame " << i;
        }
        CloseDialog();
    }
}

}  // namespace
