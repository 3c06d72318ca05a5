#include <gtest/gtest.h>

#include <filesystem>

#include "tests/cli/cli_support.h"

using namespace cli_testing;

namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The dialog's size in pixels: dialog units of MS Sans Serif 8 (6 x 13
// pixels for 4 x 8 units).
int PixelsAcross(int units) { return units * 6 / 4; }
int PixelsDown(int units) { return units * 13 / 8; }

TEST(DialogRun, SetReachesFieldsListsCheckBoxesAndPadsOnEveryPageItNames) {
    Session session;
    struct Step {
        std::vector<std::string> arguments;
        std::map<std::string, std::string> stored;  // configuration keys afterwards
    };
    const Step steps[] = {
        {{"-e", "Snow", "--set", "Density=20", "--set", "shadow OPACITY:=77", "--set", "Color 3 Enable=off"},
         {{"MainEffect", "15"}, {"Style000Density", "20"}, {"Style000ShadowOpacity", "77"}, {"Style000FillEnable3", "0"},
          {"Style000FillEnable2", "1"}}},
        {{"-e", "plasma arc", "--set", "Mode=strike", "--set", "Energy=3"},
         {{"MainEffect", "11"}, {"Style007Mode", "2"}, {"Style007Thickness", "3"}}},
        {{"-e", "Hyperspace", "--set", "Scroll=left"}, {{"MainEffect", "6"}, {"Style005Scroll", "0"}}},
        {{"-e", "Wave", "--set", "Direction=down", "--set", "Angle=-20"},
         {{"Style019Direction", "3"}, {"Style019Angle", "-20"}}},
        {{"-e", "Bubbles", "--set", "Inverse=on", "--set", "Smooth=off"}, {{"Style003Inverse", "1"}, {"Style003Smooth", "0"}}},
        // The dialog's own controls, by flag and by label.
        {{"--palette", "216", "--dither", "--no-comment", "--no-mask-background", "--set", "Supercompress=on"},
         {{"MainPalette", "5"}, {"MainDither", "1"}, {"AddDescriptiveCommentBlock", "0"}, {"MainMaskBackground", "0"},
          {"MainSupercompress", "1"}}},
        {{"--set", "Effect=Tracks", "--set", "Tracks=64"}, {{"MainEffect", "18"}, {"Style011Tracks", "5"}}},
    };
    for (const Step& step : steps) {
        std::vector<std::string> arguments = {"preview", "-o", "p.png"};
        arguments.insert(arguments.end(), step.arguments.begin(), step.arguments.end());
        Outcome run = session.Run(arguments);
        ASSERT_EQ(run.status, 0) << run.err;
        const auto stored = session.Configuration();
        for (const auto& [key, value] : step.stored) {
            ASSERT_TRUE(stored.count(key)) << key;
            EXPECT_EQ(stored.at(key), value) << key;
        }
    }
}

TEST(DialogRun, LabelsAndValuesThatDoNotFitStopTheRunAndSayWhatThereIs) {
    struct Case {
        std::vector<std::string> arguments;
        std::vector<std::string> said;
    };
    const Case cases[] = {
        {{"-e", "Snow", "--set", "Blizzard=3"},
         {"Nothing on the Snow page or in the dialog is labelled \"Blizzard\"", "The page has: Opacity, Frames, Delay",
          "Color 2 Enable", "The dialog has: ", "Dither"}},
        {{"-e", "Snow", "--set", "Enable=off"},
         {"\"Enable\" names 4 controls; say which with the label of its row: \"Color 2 Enable\", \"Color 3 Enable\","}},
        {{"-e", "Snow", "--set", "Density=many"}, {"Density takes a whole number, not \"many\"."}},
        {{"-e", "Bubbles", "--set", "Inverse=maybe"}, {"Inverse is a check box: on or off, not \"maybe\"."}},
        {{"-e", "Plasma Arc", "--set", "Mode=Sideways"},
         {"Mode has no item \"Sideways\"; it offers Simple, Graduated, Strike."}},
        {{"-e", "Wave", "--set", "Direction=north"}, {"Direction is a direction: up, right, left, down, not \"north\"."}},
        {{"-e", "Snow", "--set", "Color 1=orange"}, {"Color 1 takes a colour as #rrggbb, not \"orange\"."}},
        {{"--set", "Build=on"}, {"Build is a button, not a setting."}},
        {{"--set", "Current image=x.png"}, {"use --image"}},
        {{"--palette", "12-color"}, {"The palette list has no item \"12-color\"; it offers Black and white,"}},
        {{"--palette", "256"}, {"The palette list has several items beginning with \"256\""}},
        // The GIF host offers no true colour: the box is disabled.
        {{"--set", "True color=on"}, {"True color cannot be checked here: it is disabled."}},
        {{"-s", "missing.lfx"}, {"missing.lfx cannot be read."}},
    };
    for (const Case& c : cases) {
        Session session;
        std::vector<std::string> arguments = c.arguments;
        arguments.insert(arguments.end(), {"-o", "out.gif"});
        Outcome run = session.Run(arguments);
        EXPECT_EQ(run.status, 1) << run.err;
        for (const std::string& part : c.said) EXPECT_TRUE(Contains(run.err, part)) << part << "\n" << run.err;
        EXPECT_FALSE(std::filesystem::exists(session.Work("out.gif")));
        // The dialog was cancelled, not broken off: it wrote its settings as it closed.
        EXPECT_FALSE(session.Configuration().empty());
    }
}

TEST(DialogRun, AFolderThatDoesNotExistIsNamedBeforeTheDialogOpens) {
    Session session;
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"-o", "nowhere/out.gif"}, {"preview", "-o", "nowhere/p.png"},
          {"--save-settings", "nowhere/s.lfx"}}) {
        Outcome run = session.Run(arguments);
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(Contains(run.err, "The folder " + session.Work("nowhere") + " does not exist")) << run.err;
    }
    EXPECT_TRUE(session.Configuration().empty());
}

TEST(DialogRun, AValueBeyondTheFieldsRangeIsTypedAsGivenAndReadAsTheNearest) {
    Session session;
    Outcome run = session.Run({"preview", "-e", "Snow", "--set", "Density=40", "--set", "Size=5", "-o", "p.png"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(Contains(run.err, "Density: 40 lies outside the page's range of 1 to 32; the effect reads 32."));
    EXPECT_TRUE(Contains(run.err, "Size: 5 lies outside the page's range of 10 to 64; the effect reads 10."));
    EXPECT_EQ(session.Configuration()["Style000Density"], "32");
    EXPECT_EQ(session.Configuration()["Style000Size"], "10");
    Outcome quiet = session.Run({"preview", "-q", "--set", "Density=40", "-o", "p.png"});
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.err, "");
}

TEST(DialogRun, ShiftOpensWithTheBuiltInSettings) {
    Session session;
    ASSERT_EQ(session.Run({"preview", "-e", "Snow", "--set", "Density=20", "--set", "Drift=50", "-o", "p.png"}).status, 0);
    EXPECT_EQ(session.Configuration()["Style000Density"], "20");
    Outcome shifted = session.Run({"preview", "--shift", "--set", "Drift=60", "-o", "p.png"});
    ASSERT_EQ(shifted.status, 0) << shifted.err;
    auto stored = session.Configuration();
    EXPECT_EQ(stored["Style000Density"], "36");  // built in, the saved 20 was not read
    EXPECT_EQ(stored["Style000Drift"], "60");    // edits after opening still count
    EXPECT_EQ(stored["MainEffect"], "15");
}

TEST(DialogRun, TheConfigurationLivesWhereItIsToldOrInTheUsersFolder) {
    Session session;
    ASSERT_EQ(session.Run({"preview", "--set", "Seed=4321", "-o", "p.png"}).status, 0);
    EXPECT_EQ(session.Configuration()["Style000Seed"], "4321");
    EXPECT_TRUE(std::filesystem::is_directory(session.ConfigDir() + "/Vellumark/Lumafex"));
    // Without --config-dir the user's own folder is used, made if missing.
    Outcome own = session.Run({"preview", "--set", "Seed=999", "-o", "p.png"}, false);
    ASSERT_EQ(own.status, 0) << own.err;
    EXPECT_EQ(session.Configuration()["Style000Seed"], "4321");
    EXPECT_TRUE(std::filesystem::exists(session.Home(".config/Vellumark/lumaplug.ini")));
    EXPECT_TRUE(std::filesystem::is_directory(session.Home(".config/Vellumark/Lumafex")));
}

TEST(DialogRun, ScreenshotAndPreviewArePngPicturesOfTheDialog) {
    Session session;
    Outcome shot = session.Run({"screenshot", "-o", "dialog.png"});
    ASSERT_EQ(shot.status, 0) << shot.err;
    host_testing::Rgba dialog = host_testing::ReadPng(host_testing::ReadFile(session.Work("dialog.png")));
    // 520 x 308 dialog units and a frame and caption round them.
    EXPECT_GE(dialog.width, PixelsAcross(520));
    EXPECT_LE(dialog.width, PixelsAcross(520) + 16);
    EXPECT_GE(dialog.height, PixelsDown(308));
    EXPECT_LE(dialog.height, PixelsDown(308) + 40);

    Outcome preview = session.Run({"preview"});
    ASSERT_EQ(preview.status, 0) << preview.err;
    host_testing::Rgba area = host_testing::ReadPng(host_testing::ReadFile(session.Work("preview.png")));
    EXPECT_EQ(area.width, PixelsAcross(204));
    EXPECT_EQ(area.height, PixelsDown(168));
}

TEST(DialogRun, VerboseTellsEachStepAndQuietOnlyWhatWentWrong) {
    Session session;
    Outcome verbose = session.Run({"preview", "-v", "-e", "Snow", "--set", "Density=7", "--dither", "-o", "p.png"});
    ASSERT_EQ(verbose.status, 0) << verbose.err;
    for (const char* step : {"lumafex: choose the effect Snow", "lumafex: check Dither", "lumafex: set Density to 7",
                             "lumafex: picture the preview", "lumafex: press Cancel"})
        EXPECT_TRUE(Contains(verbose.err, step)) << step << "\n" << verbose.err;
    Outcome quiet = session.Run({"preview", "-q", "--set", "Nothing=1", "-o", "p.png"});
    EXPECT_EQ(quiet.status, 1);
    EXPECT_TRUE(Contains(quiet.err, "lumafex: Nothing on the"));
    EXPECT_EQ(Lines(quiet.err).size(), 1u) << quiet.err;
}

}  // namespace
