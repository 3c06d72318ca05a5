// Whole builds: the dialog worked from the command line, the effect
// rendered, the frames reduced and written, and the files read back.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "tests/cli/cli_support.h"

using namespace cli_testing;

namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The sample picture the effects animate while no picture is loaded.
constexpr int kSampleWidth = 400;
constexpr int kSampleHeight = 300;
// Snow, the effect of a first run: 48 frames of 6 hundredths.
constexpr int kSnowFrames = 48;
constexpr int kSnowDelay = 6;

TEST(Builds, WithNoArgumentsSnowOnTheSamplePictureBecomesALoopingGif) {
    Session session;
    Outcome run = session.Run({});
    ASSERT_EQ(run.status, 0) << run.err;
    GifFacts gif = ReadGif(session.Work("lumafex.gif"));
    ASSERT_TRUE(gif.read);
    EXPECT_EQ(gif.width, kSampleWidth);
    EXPECT_EQ(gif.height, kSampleHeight);
    EXPECT_EQ(gif.frames, kSnowFrames);
    EXPECT_EQ(gif.delays, std::vector<int>(kSnowFrames, kSnowDelay));
    EXPECT_TRUE(gif.loops);
    EXPECT_TRUE(Contains(gif.comment, "CREATED BY...")) << gif.comment;
    EXPECT_TRUE(Contains(run.err, "Wrote " + session.Work("lumafex.gif") + " (48 frames)."));
    EXPECT_FALSE(Contains(run.err, "--min-delay"));
    EXPECT_FALSE(Contains(run.err, "\r")) << "no progress bar off a terminal";
    EXPECT_EQ(session.Configuration()["MainEffect"], "15");
}

TEST(Builds, ATerminalShowsTheProgressOfEachStage) {
    Session session;
    Outcome run = session.RunOnTerminal({"-o", "snow.gif"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(Contains(run.err, "\rBuilding [")) << run.err;
    EXPECT_TRUE(Contains(run.err, "] 48/48")) << run.err;
    EXPECT_TRUE(Contains(run.err, "\rRemapping [")) << run.err;
    // The bar is cleared before the next line is written.
    EXPECT_TRUE(Contains(run.err, "\r\033[Klumafex: Wrote ")) << run.err;
    Outcome quiet = session.RunOnTerminal({"-q", "-o", "quiet.gif"});
    ASSERT_EQ(quiet.status, 0) << quiet.err;
    EXPECT_EQ(quiet.err, "");
}

TEST(Builds, ApngAndWebPHoldTheSameFramesAndDelays) {
    Session session;
    for (const char* name : {"snow.png", "snow.apng", "snow.webp"}) {
        Outcome run = session.Run({"-o", name});
        ASSERT_EQ(run.status, 0) << run.err;
        const std::string path = session.Work(name);
        AnimationFacts facts = std::string(name).ends_with(".webp") ? ReadWebP(path) : ReadApng(path);
        ASSERT_TRUE(facts.read) << name;
        EXPECT_EQ(facts.width, kSampleWidth) << name;
        EXPECT_EQ(facts.height, kSampleHeight) << name;
        EXPECT_EQ(facts.frames, kSnowFrames) << name;
        EXPECT_EQ(facts.delays, std::vector<int>(kSnowFrames, kSnowDelay * 10)) << name;
    }
    // A true-colour host counts milliseconds: the same field value is 6 ms.
    Outcome trueColour = session.Run({"--host", "truecolor", "--truecolor", "-o", "fast.webp"});
    ASSERT_EQ(trueColour.status, 0) << trueColour.err;
    AnimationFacts fast = ReadWebP(session.Work("fast.webp"));
    ASSERT_TRUE(fast.read);
    EXPECT_EQ(fast.frames, kSnowFrames);
    EXPECT_EQ(fast.delays, std::vector<int>(kSnowFrames, kSnowDelay));
}

TEST(Builds, SetReachesColourButtonsThroughTheColourChooser) {
    Session session;
    ASSERT_EQ(session.Run({"-o", "plain.gif"}).status, 0);
    Outcome run = session.Run({"--set", "Color 2=#102030", "--set", "Color 3 Enable=off", "-o", "tinted.gif"});
    ASSERT_EQ(run.status, 0) << run.err;
    auto stored = session.Configuration();
    EXPECT_EQ(stored["Style000FillColor2"], std::to_string(0x302010));
    EXPECT_EQ(stored["Style000FillEnable3"], "0");
    EXPECT_NE(host_testing::ReadFile(session.Work("plain.gif")), host_testing::ReadFile(session.Work("tinted.gif")));
}

TEST(Builds, TheSameCommandTwiceGivesTheSameBytes) {
    Session first, second;
    const std::vector<std::string> command = {"-e", "Confetti", "--set", "Density=200", "--dither", "-o", "c.gif"};
    ASSERT_EQ(first.Run(command).status, 0);
    ASSERT_EQ(first.Run({"-e", "Confetti", "--set", "Density=200", "--dither", "-o", "again.gif"}).status, 0);
    ASSERT_EQ(second.Run(command).status, 0);
    const std::vector<BYTE> bytes = host_testing::ReadFile(first.Work("c.gif"));
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(bytes, host_testing::ReadFile(first.Work("again.gif")));
    EXPECT_EQ(bytes, host_testing::ReadFile(second.Work("c.gif")));
}

TEST(Builds, SavedSettingsOpenedElsewhereGiveTheSameBytes) {
    Session saver, opener;
    Outcome saved = saver.Run({"-e", "Bubbles", "--set", "Density=12", "--set", "Seed=777", "--set", "Color 1=#3366cc",
                               "--set", "Inverse=on", "--palette", "216-color safe", "--save-settings", "bubbles",
                               "-o", "a.gif"});
    ASSERT_EQ(saved.status, 0) << saved.err;
    ASSERT_TRUE(std::filesystem::exists(saver.Work("bubbles.lfx"))) << "a bare name takes the documents' extension";
    // Elsewhere the dialog starts from other settings: another effect, other values.
    ASSERT_EQ(opener.Run({"preview", "-e", "Rain", "--custom-palette", "-o", "p.png"}).status, 0);
    Outcome opened = opener.Run({"-s", saver.Work("bubbles.lfx"), "-o", "b.gif"});
    ASSERT_EQ(opened.status, 0) << opened.err;
    EXPECT_EQ(host_testing::ReadFile(saver.Work("a.gif")), host_testing::ReadFile(opener.Work("b.gif")));
    EXPECT_EQ(opener.Configuration()["MainEffect"], "2");
}

TEST(Builds, AnUnreadablePictureStopsTheCommandWithThePluginsMessage) {
    Session session;
    std::vector<BYTE> broken = host_testing::PngFile(host_testing::SmoothPicture());
    broken.resize(broken.size() / 2);
    for (std::size_t i = 40; i < broken.size(); i += 7) broken[i] ^= 0x5A;
    host_testing::WriteFile(session.Work("broken.png"), broken);
    Outcome run = session.Run({"-i", "broken.png", "-o", "out.gif"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Contains(run.err, "There has been error loading the selected image file")) << run.err;
    EXPECT_FALSE(std::filesystem::exists(session.Work("out.gif")));

    // A good picture afterwards is taken, though the dialog first fails on the remembered one.
    host_testing::WriteFile(session.Work("good.png"), host_testing::PngFile(host_testing::SmoothPicture()));
    Outcome good = session.Run({"-i", "good.png", "-e", "Wave", "-o", "out.gif"});
    ASSERT_EQ(good.status, 0) << good.err;
    GifFacts gif = ReadGif(session.Work("out.gif"));
    EXPECT_EQ(gif.width, 32);
    EXPECT_EQ(gif.height, 32);
}

TEST(Builds, EveryPictureFormatReachesTheAnimationUnchanged) {
    // Wave's first frame, before its band enters, is the plain picture.
    const host_testing::Rgb picture = host_testing::SmoothPicture();
    const std::pair<const char*, std::vector<BYTE>> files[] = {
        {"p.bmp", host_testing::BmpFile(picture)},   {"p.png", host_testing::PngFile(picture)},
        {"p.jpg", host_testing::JpegFile(picture, 95)}, {"p.gif", host_testing::GifFile(picture)},
        {"p.webp", host_testing::WebPFile(picture)},
    };
    Session session;
    for (const auto& [name, bytes] : files) {
        host_testing::WriteFile(session.Work(name), bytes);
        const std::string out = std::string(name) + ".png";
        Outcome run = session.Run({"-i", name, "-e", "Wave", "--host", "truecolor", "--truecolor", "-o", out});
        ASSERT_EQ(run.status, 0) << name << "\n" << run.err;
        host_testing::Rgba first = host_testing::ReadPng(host_testing::ReadFile(session.Work(out)));
        ASSERT_EQ(first.width, picture.width) << name;
        ASSERT_EQ(first.height, picture.height) << name;
        int largest = 0;
        for (int i = 0; i < picture.width * picture.height; ++i)
            for (int c = 0; c < 3; ++c)
                largest = std::max(largest, std::abs(first.pixels[4 * i + c] - picture.pixels[3 * i + c]));
        // JPEG is lossy; the others keep every pixel.
        EXPECT_LE(largest, std::string(name) == "p.jpg" ? 12 : 0) << name;
    }
}

TEST(Builds, ATestRunIsWrittenAndTheDialogThenCancelled) {
    Session session;
    Outcome named = session.Run({"--test", "-o", "trial.gif"});
    ASSERT_EQ(named.status, 0) << named.err;
    EXPECT_EQ(ReadGif(session.Work("trial.gif")).frames, kSnowFrames);
    EXPECT_TRUE(Contains(named.err, "Test animation written to " + session.Work("trial.gif")));
    Outcome unnamed = session.Run({"--test"});
    ASSERT_EQ(unnamed.status, 0) << unnamed.err;
    EXPECT_FALSE(std::filesystem::exists(session.Work("lumafex.gif")));
    EXPECT_TRUE(Contains(unnamed.err, "Test animation written to " + session.Work("lumafex-test-")));
}

TEST(Builds, DelaysBrowsersWouldStretchAreNotedAndCanBeRaised) {
    Session session;
    Outcome tracks = session.Run({"-e", "Tracks", "-o", "tracks.gif"});
    ASSERT_EQ(tracks.status, 0) << tracks.err;
    EXPECT_TRUE(Contains(tracks.err, "which web browsers play as 10 hundredths; --min-delay 2 raises")) << tracks.err;
    GifFacts plain = ReadGif(session.Work("tracks.gif"));
    ASSERT_TRUE(plain.read);
    EXPECT_LE(*std::min_element(plain.delays.begin(), plain.delays.end()), 1);

    Outcome raised = session.Run({"-e", "Tracks", "--min-delay", "2", "-o", "raised.gif"});
    ASSERT_EQ(raised.status, 0) << raised.err;
    EXPECT_FALSE(Contains(raised.err, "--min-delay"));
    GifFacts gif = ReadGif(session.Work("raised.gif"));
    ASSERT_EQ(gif.frames, plain.frames);
    for (int i = 0; i < gif.frames; ++i) EXPECT_EQ(gif.delays[i], std::max(plain.delays[i], 2)) << i;
}

TEST(Builds, ThePreviewShowsThePicture) {
    Session session;
    Outcome run = session.Run({"preview", "-e", "Wave"});
    ASSERT_EQ(run.status, 0) << run.err;
    host_testing::Rgba area = host_testing::ReadPng(host_testing::ReadFile(session.Work("preview.png")));
    std::set<std::uint32_t> colours;
    for (std::size_t i = 0; i + 3 < area.pixels.size(); i += 4)
        colours.insert(area.pixels[i] | (area.pixels[i + 1] << 8) | (area.pixels[i + 2] << 16));
    EXPECT_GT(colours.size(), 200u);
}

}  // namespace
