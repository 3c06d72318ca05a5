// Whole runs of the plug-in as a host makes them: PLUGIN16DoBuild with the
// headless driver, the user's steps scripted, every request recorded.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <fstream>
#include <string>
#include <vector>

#include "colour/fixed_palette.h"
#include "colour/nearest.h"
#include "colour/quantize.h"
#include "colour/remap.h"
#include "controls/host_button.h"
#include "dialog/build_pipeline.h"
#include "dialog/main_dialog.h"
#include "effects/effect_table.h"
#include "effects/marker_effects.h"
#include "effects/source_image.h"
#include "image/packed_dib.h"
#include "luma/automation.h"
#include "luma/memory.h"
#include "luma/testing.h"
#include "plugin/lifecycle.h"
#include "plugin/message_dialog.h"
#include "resources/plugin_resources.h"
#include "settings/settings.h"
#include "tests/support/dialog_fixture.h"
#include "tests/support/effect_harness.h"
#include "tests/support/pictures.h"

namespace {

namespace automation = luma::automation;
using testing_support::HostRequest;
using testing_support::TestHost;
using testing_support::TextOf;

class DialogRun : public testing_support::MainDialogTest {
protected:
    void TearDown() override {
        CustomPalette = 1;
        MainDialogTest::TearDown();
    }

    std::filesystem::path ConfigPath() const { return folder / "config" / "Vellumark" / "lumaplug.ini"; }
    void WriteConfig(const std::string& text) const {
        std::ofstream out(ConfigPath(), std::ios::binary);
        out << text;
    }

    // What PLUGIN16DoBuild does around its dialog, keeping the dialog's result.
    static INT_PTR RunDialog(TestHost& host) {
        StartRun(host.context());
        INT_PTR result = DialogBoxParamA(PluginModule(), MAKEINTRESOURCE(kMainDialogTemplate), nullptr, MainDialogProc,
                                         reinterpret_cast<LPARAM>(host.context()));
        EndRun(nullptr);
        return result;
    }

    // A script step that notes the dialog and the messages it shows.
    void NoteDialog() {
        automation::CurrentScript().Do("note the dialog", [this] {
            mainDialog = automation::ActiveWindow();
            return mainDialog != nullptr;
        });
    }
    void AnswerMessage() {
        automation::CurrentScript().Do("answer the message", [this] {
            HWND box = automation::ActiveWindow();
            messages.push_back(TextOf(GetDlgItem(box, kMessageTextId)));
            return automation::Click(IDOK, box);
        });
    }

    // Snow's frames as the settings now stand, rendered on their own.
    testing_support::BuiltFrames ReferenceFrames() {
        OpenDialog();
        return testing_support::BuildOnPage(dialog, kDefaultEffect);
    }

    HWND mainDialog = nullptr;
    std::vector<std::string> messages;
};

bool HasEntry(const BYTE* palette, int count, BYTE r, BYTE g, BYTE b) {
    for (int i = 0; i < count; ++i)
        if (palette[3 * i] == r && palette[3 * i + 1] == g && palette[3 * i + 2] == b) return true;
    return false;
}

std::vector<BYTE> Bytes(HGLOBAL block) { return testing_support::BlockBytes(block); }

TEST_F(DialogRun, BuildWithDefaultsForAGifHost) {
    TestHost gif(kHundredthsFlag, 16);
    NoteDialog();
    automation::CurrentScript().Click("Build");
    EXPECT_EQ(PLUGIN16DoBuild(nullptr, gif.context()), 1);
    EXPECT_FALSE(automation::GetReport().scriptRanOut) << "Build closed the dialog";
    EXPECT_TRUE(std::filesystem::exists(ConfigPath()));

    std::vector<std::uint32_t> codes = gif.MainCodes();
    ASSERT_EQ(codes.size(), 1u + 1u + 48u + 2u);
    EXPECT_EQ(codes[0], static_cast<std::uint32_t>(kRequestBuildPressed));
    EXPECT_EQ(codes[1], static_cast<std::uint32_t>(kRequestNewAnimation));
    for (int i = 0; i < 48; ++i) EXPECT_EQ(codes[2 + i], static_cast<std::uint32_t>(kRequestAddFrame));
    EXPECT_EQ(codes[50], static_cast<std::uint32_t>(kRequestComment));
    EXPECT_EQ(codes[51], static_cast<std::uint32_t>(kRequestFinish));
    EXPECT_EQ(gif.Of(kRequestFinish)[0]->a, 1);
    EXPECT_EQ(gif.Of(kRequestComment)[0]->text, DescriptiveComment());

    const TaskRecord task = *gif.Of(kRequestNewAnimation)[0]->task;
    EXPECT_EQ(task.owner, mainDialog);
    EXPECT_EQ(task.width, 400u);
    EXPECT_EQ(task.height, 300u);
    EXPECT_EQ(task.frameCount, 48u);

    // The palette is built from Snow's frames, with white (the background of an
    // effect without one) put in and sorted by brightness, as done here apart.
    auto reference = ReferenceFrames();
    ASSERT_EQ(reference.count(), 48);
    BYTE palette[768];
    int count = 256;
    ASSERT_EQ(BuildFramePalette(&count, palette, reference.list), 1);
    PutBackgroundColour(palette, &count, RGB(255, 255, 255));
    SortPaletteByLuminance(palette, count);
    EXPECT_EQ(std::memcmp(task.palette, palette, sizeof palette), 0);
    EXPECT_TRUE(HasEntry(task.palette, count, 255, 255, 255));
    const int depth = DepthForColourCount(count);
    EXPECT_EQ(task.bitsPerPixel, static_cast<std::uint32_t>(depth));

    auto added = gif.Of(kRequestAddFrame);
    for (int i = 0; i < 48; ++i) {
        const ImageRecord& image = *added[i]->image;
        EXPECT_EQ(image.delay, 6u);
        EXPECT_EQ(image.frameIndex, static_cast<std::uint32_t>(i));
        EXPECT_EQ(image.transparentIndex, -1);
        BITMAPINFOHEADER header;
        std::memcpy(&header, added[i]->frame.data(), sizeof header);
        EXPECT_EQ(header.biWidth, 400);
        EXPECT_EQ(header.biHeight, 300);
        if (i % 16 == 0 || i == 47) {
            GlobalBlock expected(RemapFrame(reference[i].image, palette, depth, count));
            EXPECT_EQ(added[i]->frame, Bytes(expected.get())) << "frame " << i;
        }
    }
}

TEST_F(DialogRun, WithCustomPaletteClearedTheFramesTakeTheOrthogonalPalette) {
    WriteConfig("Style000Frames = 3\r\n");
    TestHost gif(kHundredthsFlag, 16);
    automation::CurrentScript().SetCheck("Custom palette", false).Click("Build");
    EXPECT_EQ(PLUGIN16DoBuild(nullptr, gif.context()), 1);
    ASSERT_EQ(gif.Count(kRequestNewAnimation), 1u);
    const TaskRecord task = *gif.Of(kRequestNewAnimation)[0]->task;
    BYTE fixed[768];
    BuildFixedPalette(fixed, nullptr, kOrthogonalPalette);
    EXPECT_EQ(std::memcmp(task.palette, fixed, sizeof fixed), 0);
    EXPECT_EQ(task.bitsPerPixel, 8u);
    auto reference = ReferenceFrames();
    auto added = gif.Of(kRequestAddFrame);
    ASSERT_EQ(added.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        GlobalBlock expected(RemapFrame(reference[i].image, fixed, 8, 256));
        EXPECT_EQ(added[i]->frame, Bytes(expected.get())) << i;
    }
}

TEST_F(DialogRun, TestAsksForATestAnimationAndLeavesTheDialogOpen) {
    WriteConfig("Style000Frames = 2\r\n");
    TestHost gif(kHundredthsFlag, 16);
    bool openAfterTest = false;
    automation::CurrentScript().Click("Test").Do("look", [&] {
        openAfterTest = IsWindowVisible(automation::ActiveWindow()) && TextOf(automation::ActiveWindow()) == "Lumafex";
        return true;
    });
    automation::CurrentScript().Click("Cancel");
    EXPECT_EQ(RunDialog(gif), 0);
    EXPECT_TRUE(openAfterTest);
    const std::vector<std::uint32_t> codes{kRequestBuildPressed, kRequestNewTestAnimation, kRequestAddFrame,
                                           kRequestAddFrame, kRequestComment, kRequestFinish};
    EXPECT_EQ(gif.MainCodes(), codes);
}

TEST_F(DialogRun, BuildClosesTheDialogEvenWhenTheHostRefuses) {
    WriteConfig("Style000Frames = 2\r\n");
    const std::size_t before = luma::LiveGlobalBlocks();
    {
        TestHost gif(kHundredthsFlag, 16);
        gif.refused = {kRequestNewAnimation};
        automation::CurrentScript().Click("Build");
        AnswerMessage();
        EXPECT_EQ(RunDialog(gif), 1);
        EXPECT_EQ(gif.Count(kRequestAddFrame), 0u);
    }
    {
        TestHost gif(kHundredthsFlag, 16);
        gif.refusedFrame = 1;
        automation::CurrentScript().Click("Build");
        AnswerMessage();
        EXPECT_EQ(RunDialog(gif), 1);
        ASSERT_EQ(gif.Count(kRequestFinish), 1u);
        EXPECT_EQ(gif.Of(kRequestFinish)[0]->a, 0);
    }
    EXPECT_EQ(messages, (std::vector<std::string>{"Error creating new task.",
                                                  "There has been an error adding an image to the current file object."}));
    EXPECT_EQ(luma::LiveGlobalBlocks(), before);
}

// The longest animation of a large picture, under a budget that holds a few
// dozen of its frames: the build stops as out of memory and gives all back.
TEST_F(DialogRun, ABuildPastTheMemoryBudgetIsAMemoryErrorThatFreesEverything) {
    WriteConfig("Style000Frames = 32760\r\n");
    const std::size_t savedBudget = luma::MemoryBudget();
    const std::size_t blocks = luma::LiveGlobalBlocks();
    const std::size_t objects = luma::LiveGdiObjects();
    {
        TestHost gif(kHundredthsFlag, 16);
        std::mt19937 random(5);
        gif.pictures["/pictures/large.png"] = testing_support::RandomPackedDib(random, 1600, 1200, 24);
        gif.chosenFile = "/pictures/large.png";
        automation::CurrentScript().Click("Select...").Do("set the budget", [&] {
            luma::SetMemoryBudget(luma::BytesInUse() + (96u << 20));
            return true;
        });
        automation::CurrentScript().Click("Build");
        AnswerMessage();
        EXPECT_EQ(RunDialog(gif), 1);
        luma::SetMemoryBudget(savedBudget);
        EXPECT_EQ(gif.Count(kRequestNewAnimation), 0u);
        EXPECT_EQ(gif.Count(kRequestAddFrame), 0u);
        EXPECT_EQ(gif.Count(kRequestDecodeImage), 1u);
    }
    EXPECT_EQ(messages, std::vector<std::string>{"Memory error"});
    EXPECT_TRUE(HasSourceImage());
    SetSourceImage(nullptr);
    EXPECT_EQ(luma::LiveGlobalBlocks(), blocks);
    EXPECT_EQ(luma::LiveGdiObjects(), objects);
}

TEST_F(DialogRun, CancelBuildsNothing) {
    TestHost gif(kHundredthsFlag, 16);
    automation::CurrentScript().Click("Cancel");
    EXPECT_EQ(RunDialog(gif), 0);
    EXPECT_EQ(gif.MainCodes(), std::vector<std::uint32_t>{});
}

TEST_F(DialogRun, ATrueColourHostGetsTheFramesAsRendered) {
    WriteConfig("Style000Frames = 2\r\nTruecolour = 1\r\nMainSupercompress = 1\r\n");
    TestHost png(kTrueColourFlag, 16);
    automation::CurrentScript().Click("Build");
    EXPECT_EQ(PLUGIN16DoBuild(nullptr, png.context()), 1);
    auto reference = ReferenceFrames();
    auto added = png.Of(kRequestAddFrame);
    ASSERT_EQ(added.size(), 2u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(added[i]->frame, Bytes(reference[i].image));
        EXPECT_EQ(added[i]->image->transparentIndex, -1);
    }
    EXPECT_EQ(png.Of(kRequestNewAnimation)[0]->task->bitsPerPixel, 8u);
}

TEST_F(DialogRun, HelpAndTheAboutBoxAskTheHostAtTheirAnchors) {
    TestHost gif(kHundredthsFlag, 16);
    std::string about;
    automation::CurrentScript().Click("Help").Click("About").Do("read the About box", [&] {
        HWND box = automation::ActiveWindow();
        about = TextOf(GetDlgItem(box, kAboutTextId));
        return automation::Click("Help", box);
    });
    automation::CurrentScript().Click("Close").Click("Cancel");
    EXPECT_EQ(RunDialog(gif), 0);
    auto help = gif.Of(kRequestShowHelp);
    ASSERT_EQ(help.size(), 2u);
    EXPECT_EQ(help[0]->text, "LUMAPLUG.HTML#PREFACE");
    EXPECT_EQ(help[1]->text, "LUMAPLUG.HTML#ABOUT");
    EXPECT_NE(about.find("Lumafex 5.12, revision 1"), std::string::npos) << about;
    EXPECT_FALSE(automation::GetReport().scriptRanOut);
}

TEST_F(DialogRun, PushButtonsOfTheDialogAndTheAboutBoxTakeTheHostsLook) {
    WriteConfig("Style000Frames = 2\r\n");
    const int dialogButtons[] = {IDOK, IDCANCEL, 9, 18, 36, 51, 24};
    for (unsigned look : {0u, 1u, 2u, 3u}) {
        TestHost gif(kHundredthsFlag, 16, look);
        std::vector<int> looks;
        auto noteLooks = [&](std::initializer_list<int> ids) {
            HWND window = automation::ActiveWindow();
            for (int id : ids) looks.push_back(HostButtonLook(GetDlgItem(window, id)));
            return true;
        };
        automation::CurrentScript()
            .Do("the dialog's buttons", [&] { return noteLooks({IDOK, IDCANCEL, 9, 18, 36, 51, 24}); })
            .Click("About")
            .Do("the About box's buttons", [&] { return noteLooks({IDCANCEL, kHelpButton}); })
            .Click("Close")
            .Click(look == 1 ? "Build" : "Cancel");
        // Owner-drawn, Build still builds and closes the dialog.
        EXPECT_EQ(RunDialog(gif), look == 1 ? 1 : 0) << look;
        EXPECT_EQ(gif.Count(kRequestAddFrame), look == 1 ? 2u : 0u) << look;
        EXPECT_EQ(looks, std::vector<int>(std::size(dialogButtons) + 2, static_cast<int>(look))) << look;
        EXPECT_FALSE(automation::GetReport().scriptRanOut) << look;
    }
}

TEST_F(DialogRun, TheMarkerEffectsAndMatrixBuildThroughTheWholeRun) {
    struct Case {
        const char* config;
        std::uint32_t frames;  // 0: as long as the water moves
        std::uint32_t width, height;
        std::uint32_t lastDelay;
    };
    // The sample picture is 400 x 300; a GIF host clamps delays to 1..100.
    const Case cases[] = {
        {"MainEffect = 13\r\nStyle009Spokes = 0\r\n", 6, 400, 300, 12},
        {"MainEffect = 10\r\nStyle010Frames = 3\r\n", 3, 400, 300, 4},
        {"MainEffect = 16\r\nStyle016Frames = 5\r\nStyle016Pause = 90\r\n", 5, 400, 300, 90},
        {"MainEffect = 12\r\n", 0, 400, 300, 6},
        {"MainEffect = 7\r\nStyle015Dimensions = 0\r\nStyle015DelayFrames = 2\r\nStyle015Pause = 50\r\n", 9, 406,
         306, 50},
    };
    for (const Case& c : cases) {
        WriteConfig(c.config);
        TestHost gif(kHundredthsFlag, 16);
        automation::CurrentScript().Click("Build");
        EXPECT_EQ(RunDialog(gif), 1) << c.config;
        ASSERT_EQ(gif.Count(kRequestNewAnimation), 1u) << c.config;
        const TaskRecord& task = *gif.Of(kRequestNewAnimation)[0]->task;
        auto added = gif.Of(kRequestAddFrame);
        if (c.frames) {
            EXPECT_EQ(task.frameCount, c.frames) << c.config;
        } else {
            EXPECT_GE(task.frameCount, 1u);
            EXPECT_LE(task.frameCount, static_cast<std::uint32_t>(kRainMaximumFrames));
        }
        ASSERT_EQ(added.size(), task.frameCount) << c.config;
        EXPECT_EQ(task.width, c.width) << c.config;
        EXPECT_EQ(task.height, c.height) << c.config;
        EXPECT_EQ(added.back()->image->delay, c.lastDelay) << c.config;
        EXPECT_EQ(gif.Count(kRequestFinish), 1u) << c.config;
    }
}

TEST_F(DialogRun, HelpTheHostCannotShowIsReported) {
    TestHost gif(kHundredthsFlag, 16);
    gif.refused = {kRequestShowHelp};
    automation::CurrentScript().Click("Help");
    AnswerMessage();
    automation::CurrentScript().Click("Cancel");
    EXPECT_EQ(RunDialog(gif), 0);
    EXPECT_EQ(messages, std::vector<std::string>{"There has been an error displaying the Help document."});
}

TEST_F(DialogRun, WithoutACallbackTheDialogSaysInternalErrorAndCloses) {
    TestHost gif(kHundredthsFlag, 16);
    gif.context()->callback = nullptr;
    AnswerMessage();
    EXPECT_EQ(RunDialog(gif), 0);
    EXPECT_EQ(messages, std::vector<std::string>{"Internal error"});
    EXPECT_FALSE(automation::GetReport().scriptRanOut);
}

}  // namespace
