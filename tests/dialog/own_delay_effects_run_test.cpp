// Phasers on Stun, Hyperspace, Plasma Arc, Tracks, Singularity and Wave built
// through PLUGIN16DoBuild as a host runs the plug-in: every frame reaches a
// true-colour host as the effect renders it, with the delay the effect's own
// build loop gives it (Plasma Arc's random Strike delays, the Pause frames of
// Tracks, Singularity and Wave), and the direction pad's setting steers Wave.
#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "effects/effect_table.h"
#include "effects/source_image.h"
#include "image/packed_dib.h"
#include "luma/automation.h"
#include "plugin/guards.h"
#include "plugin/host_interface.h"
#include "tests/support/dialog_fixture.h"
#include "tests/support/effect_harness.h"
#include "tests/support/pictures.h"

namespace {

namespace automation = luma::automation;
using testing_support::HostRequest;
using testing_support::TestHost;

// How the first frames relate to the picture itself.
struct PlainStart {
    bool firstIsPicture;  // frame 0 is the picture unchanged
    LONG plainAbove;      // frame 1 keeps the picture's rows above this one
};

struct RunCase {
    const char* effect;
    const char* settings;       // configuration lines besides the effect and the output
    int frames;                 // the host receives
    std::vector<DWORD> delays;  // of those frames; empty: each a multiple of Delay 1 up to Disturbance 16
    std::optional<PlainStart> start;
};

class OwnDelayEffectRun : public testing_support::MainDialogTest {
protected:
    void WriteConfig(const std::string& text) const {
        std::ofstream out(folder / "config" / "Vellumark" / "lumaplug.ini", std::ios::binary);
        out << text;
    }

    // The effect's frames as the saved settings stand, built apart from any host.
    testing_support::BuiltFrames ReferenceFrames(int effect) {
        OpenDialog(kTrueColourFlag);
        return testing_support::BuildOnPage(dialog, effect);
    }
};

void ExpectPlainStart(const std::vector<HostRequest>& added, const PlainStart& start) {
    GlobalBlock sample(GetSourceImageCopy());
    EXPECT_EQ(added[0].frame == testing_support::BlockBytes(sample.get()), start.firstIsPicture);
    GlobalLockGuard<BYTE> picture(sample.get());
    ASSERT_TRUE(picture);
    int changed = 0, changedAbove = 0;
    for (LONG y = 0; y < 300; ++y)
        for (LONG x = 0; x < 400; ++x)
            if (GetDibPixel(added[1].frame.data(), x, y) != GetDibPixel(picture.get(), x, y)) {
                ++changed;
                if (y < start.plainAbove) ++changedAbove;
            }
    EXPECT_GT(changed, 0);
    EXPECT_EQ(changedAbove, 0);
}

TEST_F(OwnDelayEffectRun, ATrueColourHostReceivesEveryFrameWithItsDelay) {
    const RunCase cases[] = {
        {"Phasers on Stun", "Style002Frames = 4\r\nStyle002Density = 8\r\n", 4, {12, 12, 12, 12}, {}},
        // The stars travel left: the pad's left cell.
        {"Hyperspace", "Style005Frames = 4\r\nStyle005Scroll = 0\r\n", 4, {6, 6, 6, 6}, {}},
        // Strike of 8 frames: 1 waiting at the bottom, 8 sweeping, 1 at the top.
        {"Plasma Arc", "Style007Frames = 8\r\nStyle007Mode = 2\r\nStyle007Size = 18\r\n", 10, {}, {}},
        // Slow end from frame 4 on (h = 4 x 85 / 100 = 3), then the closing still frame.
        {"Tracks", "Style011Frames = 5\r\nStyle011Delay = 10\r\nStyle011Pause = 300\r\nStyle011SlowEnd = 1\r\n", 5,
         {10, 10, 10, 10, 300}, PlainStart{true, 0}},
        // 6 implode frames, a pause, 8 explode frames, a pause.
        {"Singularity", "Style014Frames = 16\r\nStyle014Delay = 4\r\nStyle014Pause = 100\r\n", 16,
         {4, 4, 4, 4, 4, 4, 100, 4, 4, 4, 4, 4, 4, 4, 4, 100}, PlainStart{false, 0}},
        // The band rises from the bottom edge (the pad's top cell): a quarter
        // of the way in it has not reached the top third.
        {"Wave", "Style019Frames = 4\r\nStyle019Direction = 0\r\nStyle019Delay = 3\r\nStyle019Pause = 100\r\n", 4,
         {100, 3, 3, 3}, PlainStart{true, 100}},
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
            if (!run.delays.empty()) EXPECT_EQ(delay, run.delays[i]) << "frame " << i;
            else EXPECT_TRUE(delay >= 1 && delay <= 16) << "frame " << i;
            EXPECT_EQ(added[i].image->frameIndex, static_cast<std::uint32_t>(i));
            EXPECT_EQ(added[i].frame, testing_support::BlockBytes(reference[i].image)) << "frame " << i;
        }
        if (run.start) ExpectPlainStart(added, *run.start);
        CloseDialog();
    }
}

}  // namespace
