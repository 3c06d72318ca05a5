// One long dialog session as a user might have it: many previews and builds,
// effects switched and documents opened between them. Whatever a preview, a
// build or a document makes must be gone again when the dialog closes.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "dialog/main_dialog.h"
#include "luma/automation.h"
#include "luma/testing.h"
#include "settings/effect_settings.h"
#include "settings/settings.h"
#include "tests/support/dialog_fixture.h"

namespace {

namespace automation = luma::automation;

// Every page's "Frames:" setting, so that builds stay short.
std::vector<DWORD*> FramesSettings() {
    std::vector<DWORD*> frames;
#define PAGE(n)
#define END_PAGE()
#define SPIN(var, builtIn, id, label, ...) \
    if (std::string_view(label) == "Frames:") frames.push_back(&var);
#define DELAY(...)
#define UNSTORED_DELAY(...)
#define SIGNED(...)
#define COLOUR(...)
#define CHECK(...)
#define COMBO(...)
#define PAD(...)
#define HIDDEN(...)
#define LABEL(...)
#include "settings/effect_params.def"
#include "settings/effect_params_undef.h"
    return frames;
}

struct Counters {
    std::size_t blocks = luma::LiveGlobalBlocks();
    std::size_t objects = luma::LiveGdiObjects();
    std::size_t dcs = luma::LiveDeviceContexts();
    std::size_t windows = luma::LiveWindows();
    std::size_t timers = luma::LiveTimers();
    std::size_t menus = luma::LiveMenus();
};

class LongRun : public testing_support::MainDialogTest {};

TEST_F(LongRun, TwoHundredPreviewsAndTwentyBuildsLeaveNothingBehind) {
    for (DWORD* frames : FramesSettings()) *frames = 3;
    const Counters before;
    OpenDialog();
    ShowWindow(dialog, SW_SHOW);
    automation::Pump();

    HWND list = GetDlgItem(dialog, kEffectList);
    const int effects = static_cast<int>(SendMessageA(list, CB_GETCOUNT, 0, 0));
    ASSERT_GT(effects, 1);
    std::vector<std::string> names;
    for (int i = 0; i < effects; ++i) {
        char name[64] = {};
        SendMessageA(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(name));
        names.push_back(name);
    }
    const std::string document = (folder / "session.lfx").string();
    int builds = 0;
    for (int step = 0; step < 200; ++step) {
        // 7 and the effect count share no factor, so every step changes the
        // page and every page comes round.
        const int effect = (step * 7 + 1) % effects;
        ASSERT_TRUE(automation::SelectItem("Effect", names[effect], dialog)) << step;
        ASSERT_EQ(MainEffect, static_cast<DWORD>(effect)) << step;
        if (step % 10 == 9) {
            ASSERT_TRUE(automation::Click("Test", dialog)) << names[effect];
            ++builds;
            ASSERT_EQ(host->Count(kRequestNewTestAnimation), static_cast<std::size_t>(builds)) << names[effect];
            ASSERT_EQ(host->Count(kRequestFinish), static_cast<std::size_t>(builds)) << names[effect];
        }
        if (step % 40 == 20) {
            automation::AnswerNextMenu("Save as...");
            automation::AnswerNextFileDialog(document);
            ASSERT_TRUE(automation::Click("Open/Save", dialog));
            automation::AnswerNextMenu("Open");
            automation::AnswerNextFileDialog(document);
            ASSERT_TRUE(automation::Click("Open/Save", dialog));
            ASSERT_EQ(std::string(CurrentFileName), document);
        }
    }
    EXPECT_EQ(builds, 20);
    EXPECT_FALSE(automation::GetReport().scriptRanOut) << "no message was shown";
    CloseDialog();

    const Counters after;
    EXPECT_EQ(after.blocks, before.blocks);
    EXPECT_EQ(after.objects, before.objects);
    EXPECT_EQ(after.dcs, before.dcs);
    EXPECT_EQ(after.windows, before.windows);
    EXPECT_EQ(after.timers, before.timers);
    EXPECT_EQ(after.menus, before.menus);
}

}  // namespace
