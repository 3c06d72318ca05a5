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
    Outcome run = session.RunOnTerminal({"--set", "Frames=6", "-o", "snow.gif"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(Contains(run.err, "\rBuilding [")) << run.err;
    EXPECT_TRUE(Contains(run.err, "] 6/6")) << run.err;
    EXPECT_TRUE(Contains(run.err, "\rRemapping [")) << run.err;
    // The bar is cleared before the next line is written.
    EXPECT_TRUE(Contains(run.err, "\r\033[Klumafex: Wrote ")) << run.err;
    Outcome quiet = session.RunOnTerminal({"-q", "--set", "Frames=2", "-o", "quiet.gif"});
    ASSERT_EQ(quiet.status, 0) << quiet.err;
    EXPECT_EQ(quiet.err, "");
}

TEST(Builds, ApngAndWebPHoldTheSameFramesAndDelays) {
    Session session;
    constexpr int kFrames = 5;
    for (const char* name : {"snow.png", "snow.apng", "snow.webp"}) {
        Outcome run = session.Run({"--set", "Frames=5", "-o", name});
        ASSERT_EQ(run.status, 0) << run.err;
        const std::string path = session.Work(name);
        AnimationFacts facts = std::string(name).ends_with(".webp") ? ReadWebP(path) : ReadApng(path);
        ASSERT_TRUE(facts.read) << name;
        EXPECT_EQ(facts.width, kSampleWidth) << name;
        EXPECT_EQ(facts.height, kSampleHeight) << name;
        EXPECT_EQ(facts.frames, kFrames) << name;
        EXPECT_EQ(facts.delays, std::vector<int>(kFrames, kSnowDelay * 10)) << name;
    }
    // A true-colour host counts milliseconds: the same field value is 6 ms.
    Outcome trueColour = session.Run({"--host", "truecolor", "--truecolor", "--set", "Frames=5", "-o", "fast.webp"});
    ASSERT_EQ(trueColour.status, 0) << trueColour.err;
    AnimationFacts fast = ReadWebP(session.Work("fast.webp"));
    ASSERT_TRUE(fast.read);
    EXPECT_EQ(fast.frames, kFrames);
    EXPECT_EQ(fast.delays, std::vector<int>(kFrames, kSnowDelay));
}

TEST(Builds, SetReachesColourButtonsThroughTheColourChooser) {
    Session session;
    ASSERT_EQ(session.Run({"--set", "Frames=2", "-o", "plain.gif"}).status, 0);
    Outcome run = session.Run({"--set", "Color 2=#102030", "--set", "Color 3 Enable=off", "-o", "tinted.gif"});
    ASSERT_EQ(run.status, 0) << run.err;
    auto stored = session.Configuration();
    EXPECT_EQ(stored["Style000FillColor2"], std::to_string(0x302010));
    EXPECT_EQ(stored["Style000FillEnable3"], "0");
    EXPECT_NE(host_testing::ReadFile(session.Work("plain.gif")), host_testing::ReadFile(session.Work("tinted.gif")));
}

TEST(Builds, TheSameCommandTwiceGivesTheSameBytes) {
    Session first, second;
    auto command = [](const std::string& out) {
        return std::vector<std::string>{"-e", "Snow", "--set", "Density=5", "--set", "Frames=6", "--set", "Seed=4242",
                                        "--dither", "-o", out};
    };
    ASSERT_EQ(first.Run(command("c.gif")).status, 0);
    ASSERT_EQ(first.Run(command("again.gif")).status, 0);
    ASSERT_EQ(second.Run(command("c.gif")).status, 0);
    const std::vector<BYTE> bytes = host_testing::ReadFile(first.Work("c.gif"));
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(bytes, host_testing::ReadFile(first.Work("again.gif")));
    EXPECT_EQ(bytes, host_testing::ReadFile(second.Work("c.gif")));
    // Another seed is another animation.
    ASSERT_EQ(second.Run({"--set", "Seed=4243", "-o", "other.gif"}).status, 0);
    EXPECT_NE(bytes, host_testing::ReadFile(second.Work("other.gif")));
}

TEST(Builds, SavedSettingsOpenedElsewhereGiveTheSameBytes) {
    Session saver, opener;
    Outcome saved = saver.Run({"-e", "Snow", "--set", "Density=12", "--set", "Seed=777", "--set", "Frames=5",
                               "--set", "Delay=9", "--set", "Color 1=#3366cc", "--set", "Color 4 Enable=off",
                               "--palette", "216-color safe", "--save-settings", "flakes", "-o", "a.gif"});
    ASSERT_EQ(saved.status, 0) << saved.err;
    ASSERT_TRUE(std::filesystem::exists(saver.Work("flakes.lfx"))) << "a bare name takes the documents' extension";
    // Elsewhere the dialog starts from other settings: another effect, other values.
    ASSERT_EQ(opener.Run({"preview", "-e", "Snow", "--set", "Density=3", "--set", "Seed=100", "--custom-palette",
                          "-o", "p.png"}).status, 0);
    ASSERT_EQ(opener.Run({"preview", "-e", "Rain", "-o", "p.png"}).status, 0);
    Outcome opened = opener.Run({"-s", saver.Work("flakes.lfx"), "-o", "b.gif"});
    ASSERT_EQ(opened.status, 0) << opened.err;
    EXPECT_EQ(host_testing::ReadFile(saver.Work("a.gif")), host_testing::ReadFile(opener.Work("b.gif")));
    GifFacts gif = ReadGif(opener.Work("b.gif"));
    EXPECT_EQ(gif.delays, std::vector<int>(5, 9)) << "the document carries the delay, which the configuration does not";
    EXPECT_EQ(opener.Configuration()["MainEffect"], "15");
    EXPECT_EQ(opener.Configuration()["Style000Density"], "12");
}

TEST(Builds, AnUnreadablePictureStopsTheCommandWithThePluginsMessage) {
    Session session;
    std::vector<BYTE> broken = host_testing::PngFile(host_testing::SmoothPicture());
    broken.resize(broken.size() / 2);
    for (std::size_t i = 40; i < broken.size(); i += 7) broken[i] ^= 0x5A;
    host_testing::WriteFile(session.Work("broken.png"), broken);
    Outcome run = session.Run({"-v", "-i", "broken.png", "-o", "out.gif"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Contains(run.err, "There has been error loading the selected image file")) << run.err;
    EXPECT_FALSE(Contains(run.err, "press Build")) << "nothing is built after the refusal";
    EXPECT_FALSE(std::filesystem::exists(session.Work("out.gif")));

    // A good picture afterwards is taken.
    host_testing::WriteFile(session.Work("good.png"), host_testing::PngFile(host_testing::SmoothPicture()));
    Outcome good = session.Run({"-i", "good.png", "--set", "Frames=2", "-o", "out.gif"});
    ASSERT_EQ(good.status, 0) << good.err;
    GifFacts gif = ReadGif(session.Work("out.gif"));
    EXPECT_EQ(gif.width, 32);
    EXPECT_EQ(gif.height, 32);

    // The picture used last is looked for again; when it is gone the user
    // is told how to go on, and nothing is built from the sample instead.
    std::filesystem::remove(session.Work("good.png"));
    Outcome gone = session.Run({"-o", "again.gif"});
    EXPECT_EQ(gone.status, 1);
    EXPECT_TRUE(Contains(gone.err, "There has been error loading the selected image file")) << gone.err;
    EXPECT_TRUE(Contains(gone.err, "-i")) << gone.err;
    EXPECT_FALSE(std::filesystem::exists(session.Work("again.gif")));
}

TEST(Builds, APictureGivenReplacesTheDocumentsPictureThatCannotBeLoaded) {
    Session session;
    host_testing::Rgb small;
    small.width = 16;
    small.height = 8;
    small.pixels.assign(16 * 8 * 3, 200);
    host_testing::WriteFile(session.Work("kept.png"), host_testing::PngFile(small));
    ASSERT_EQ(session.Run({"preview", "-i", "kept.png", "--set", "Frames=3", "--save-settings", "doc.lfx", "-o", "p.png"})
                  .status,
              0);
    std::filesystem::remove(session.Work("kept.png"));
    host_testing::WriteFile(session.Work("other.png"), host_testing::PngFile(host_testing::SmoothPicture()));
    ASSERT_EQ(session.Run({"preview", "-i", "other.png", "--set", "Frames=4", "-o", "p.png"}).status, 0);

    Outcome alone = session.Run({"-s", "doc.lfx", "-o", "alone.gif"});
    EXPECT_EQ(alone.status, 1);
    EXPECT_TRUE(Contains(alone.err, "There has been error loading the selected image file")) << alone.err;
    EXPECT_FALSE(std::filesystem::exists(session.Work("alone.gif")));

    Outcome given = session.Run({"-s", "doc.lfx", "-i", "other.png", "-o", "given.gif"});
    ASSERT_EQ(given.status, 0) << given.err;
    EXPECT_TRUE(Contains(given.err, "There has been error loading the selected image file")) << given.err;
    EXPECT_TRUE(Contains(given.err, "The picture given with -i is used instead.")) << given.err;
    GifFacts gif = ReadGif(session.Work("given.gif"));
    EXPECT_EQ(gif.width, 32);
    EXPECT_EQ(gif.frames, 3) << "the document's settings were read";

    // Other complaints of a document are not passed over.
    host_testing::WriteFile(session.Work("junk.lfx"), std::vector<BYTE>(500, 0x41));
    Outcome junk = session.Run({"-s", "junk.lfx", "-i", "other.png", "-o", "junk.gif"});
    EXPECT_EQ(junk.status, 1);
    EXPECT_FALSE(std::filesystem::exists(session.Work("junk.gif")));
}

TEST(Builds, DamagedMissingAndOversizedPicturesAreNamedAndNothingIsWritten) {
    Session session;
    const std::vector<BYTE> png = host_testing::PngFile(host_testing::SmoothPicture());
    host_testing::WriteFile(session.Work("cut.png"), std::vector<BYTE>(png.begin(), png.begin() + png.size() / 2));
    host_testing::WriteFile(session.Work("noise.jpg"), std::vector<BYTE>(3000, 0x37));
    host_testing::WriteFile(session.Work("empty.gif"), {});
    host_testing::Rgb wide;
    wide.width = 16385;
    wide.height = 1;
    wide.pixels.assign(16385 * 3, 90);
    host_testing::WriteFile(session.Work("wide.png"), host_testing::PngFile(wide));
    const std::pair<const char*, const char*> cases[] = {
        {"cut.png", "truncated"},
        {"noise.jpg", "not a picture in a format this program reads"},
        {"empty.gif", ""},
        {"wide.png", "16384 pixels a side"},
        {"nowhere.bmp", "No such file"},
    };
    for (const auto& [name, reason] : cases) {
        Outcome run = session.Run({"-i", name, "-o", "out.gif"});
        EXPECT_EQ(run.status, 1) << name;
        EXPECT_TRUE(Contains(run.err, "Cannot load the picture " + session.Work(name) + ": ")) << run.err;
        EXPECT_TRUE(Contains(run.err, reason)) << run.err;
        EXPECT_TRUE(Contains(run.err, "There has been error loading the selected image file")) << run.err;
        EXPECT_FALSE(std::filesystem::exists(session.Work("out.gif"))) << name;
    }
}

TEST(Builds, ABuildPastTheMemoryBudgetStopsWithMemoryError) {
    Session session;
    host_testing::Rgb large;
    large.width = 1200;
    large.height = 900;
    large.pixels.assign(std::size_t{1200} * 900 * 3, 120);
    host_testing::WriteFile(session.Work("large.png"), host_testing::PngFile(large));
    Outcome run = session.Run({"--memory-budget", "48M", "-i", "large.png", "--set", "Frames=32760", "-o", "out.gif"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Contains(run.err, "Memory error")) << run.err;
    EXPECT_FALSE(std::filesystem::exists(session.Work("out.gif")));

    for (const char* wrong : {"lots", "12Q", "-5M"}) {
        Outcome refused = session.Run({"--memory-budget", wrong, "-o", "out.gif"});
        EXPECT_EQ(refused.status, 2) << wrong;
        EXPECT_TRUE(Contains(refused.err, "--memory-budget takes a size")) << refused.err;
    }
    setenv("LUMAFEX_MEMORY_BUDGET", "plenty", 1);
    Outcome badVariable = session.Run({"-o", "out.gif"});
    unsetenv("LUMAFEX_MEMORY_BUDGET");
    EXPECT_EQ(badVariable.status, 2);
    EXPECT_TRUE(Contains(badVariable.err, "LUMAFEX_MEMORY_BUDGET holds \"plenty\"")) << badVariable.err;
}

TEST(Builds, ADamagedSettingsDocumentStopsTheRun) {
    Session session;
    host_testing::WriteFile(session.Work("junk.lfx"), std::vector<BYTE>(2000, 0xA5));
    Outcome run = session.Run({"-s", "junk.lfx", "-o", "out.gif"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Contains(run.err, "This file has been damaged.")) << run.err;
    EXPECT_FALSE(std::filesystem::exists(session.Work("out.gif")));
}

TEST(Builds, AnAnimationTheHostCannotSaveFailsWithThePluginsMessage) {
    Session session;
    std::filesystem::create_directory(session.Work("taken.gif"));
    Outcome run = session.Run({"--set", "Frames=2", "-o", "taken.gif"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Contains(run.err, "Cannot save " + session.Work("taken.gif") + ": a folder has that name.")) << run.err;
    EXPECT_TRUE(Contains(run.err, "lumafex: Error creating new task.")) << run.err;
    EXPECT_FALSE(Contains(run.err, "Wrote")) << run.err;
    EXPECT_TRUE(std::filesystem::is_directory(session.Work("taken.gif")));
}

TEST(Builds, EveryPictureFormatReachesTheAnimation) {
    // One faint flake: every frame is the picture within one level a channel.
    const host_testing::Rgb picture = host_testing::SmoothPicture();
    const std::pair<const char*, std::vector<BYTE>> files[] = {
        {"p.bmp", host_testing::BmpFile(picture)},   {"p.png", host_testing::PngFile(picture)},
        {"p.jpg", host_testing::JpegFile(picture, 95)}, {"p.gif", host_testing::GifFile(picture)},
        {"p.webp", host_testing::WebPFile(picture)},
    };
    Session session;
    std::vector<BYTE> fromBmp;
    for (const auto& [name, bytes] : files) {
        host_testing::WriteFile(session.Work(name), bytes);
        const std::string out = std::string(name) + ".png";
        Outcome run = session.Run({"-i", name, "-e", "Snow", "--set", "Density=1", "--set", "Opacity=1", "--set",
                                   "Shadow opacity=1", "--set", "Size=10", "--set", "Frames=2", "--host", "truecolor",
                                   "--truecolor", "-o", out});
        ASSERT_EQ(run.status, 0) << name << "\n" << run.err;
        Playback play = PlayApng(session.Work(out));
        ASSERT_TRUE(play.read) << name << ": " << play.error;
        ASSERT_EQ(play.width, picture.width) << name;
        ASSERT_EQ(play.height, picture.height) << name;
        const std::vector<BYTE>& first = play.canvases.at(0);
        int largest = 0;
        for (int i = 0; i < picture.width * picture.height; ++i) {
            EXPECT_EQ(first[4 * i + 3], 255);
            for (int c = 0; c < 3; ++c) largest = std::max(largest, std::abs(first[4 * i + c] - picture.pixels[3 * i + c]));
        }
        // JPEG is lossy; the others keep every pixel, so they give the BMP's frames exactly.
        if (std::string(name) == "p.jpg") {
            EXPECT_LE(largest, 13) << name;
            continue;
        }
        EXPECT_LE(largest, 1) << name;
        if (fromBmp.empty()) fromBmp = first;
        else EXPECT_EQ(first, fromBmp) << name;
    }
}

TEST(Builds, ATestRunIsWrittenAndTheDialogThenCancelled) {
    Session session;
    Outcome named = session.Run({"--test", "--set", "Frames=3", "-o", "trial.gif"});
    ASSERT_EQ(named.status, 0) << named.err;
    EXPECT_EQ(ReadGif(session.Work("trial.gif")).frames, 3);
    EXPECT_TRUE(Contains(named.err, "Test animation written to " + session.Work("trial.gif")));
    Outcome unnamed = session.Run({"--test"});
    ASSERT_EQ(unnamed.status, 0) << unnamed.err;
    EXPECT_FALSE(std::filesystem::exists(session.Work("lumafex.gif")));
    EXPECT_TRUE(Contains(unnamed.err, "Test animation written to " + session.Work("lumafex-test-")));
}

std::size_t Occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

TEST(Builds, DelaysBrowsersWouldStretchAreNotedOnceAndCanBeRaised) {
    Session session;
    Outcome fast = session.Run({"-e", "Snow", "--set", "Frames=4", "--set", "Delay=1", "-o", "fast.gif"});
    ASSERT_EQ(fast.status, 0) << fast.err;
    EXPECT_EQ(Occurrences(fast.err, "which web browsers play as 10 hundredths; --min-delay 2 raises"), 1u) << fast.err;
    GifFacts plain = ReadGif(session.Work("fast.gif"));
    ASSERT_TRUE(plain.read);
    EXPECT_EQ(plain.delays, std::vector<int>(4, 1));

    Outcome raised = session.Run({"--set", "Frames=4", "--set", "Delay=1", "--min-delay", "5", "-o", "raised.gif"});
    ASSERT_EQ(raised.status, 0) << raised.err;
    EXPECT_FALSE(Contains(raised.err, "--min-delay"));
    EXPECT_EQ(ReadGif(session.Work("raised.gif")).delays, std::vector<int>(4, 5));
    // Longer delays stay as they are; other formats are not stretched by browsers.
    Outcome slow = session.Run({"--set", "Frames=4", "--set", "Delay=7", "--min-delay", "5", "-o", "slow.gif"});
    ASSERT_EQ(slow.status, 0) << slow.err;
    EXPECT_EQ(ReadGif(session.Work("slow.gif")).delays, std::vector<int>(4, 7));
    Outcome webp = session.Run({"--set", "Frames=4", "--set", "Delay=1", "-o", "fast.webp"});
    ASSERT_EQ(webp.status, 0) << webp.err;
    EXPECT_FALSE(Contains(webp.err, "--min-delay")) << webp.err;
    EXPECT_EQ(ReadWebP(session.Work("fast.webp")).delays, std::vector<int>(4, 10));
}

TEST(Builds, EveryFormatPlaysTheSameFrames) {
    Session session;
    host_testing::WriteFile(session.Work("p.png"), host_testing::PngFile(host_testing::SmoothPicture()));
    const std::vector<std::string> settings = {"-i", "p.png", "-e", "Snow", "--set", "Frames=6", "--set", "Delay=3",
                                               "--set", "Size=12", "--set", "Density=4"};
    auto build = [&](std::vector<std::string> extra) {
        std::vector<std::string> arguments = settings;
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        Outcome run = session.Run(arguments);
        EXPECT_EQ(run.status, 0) << run.err;
    };
    // Supercompressed: the unchanged pixels of later frames are transparent
    // and show the frame before. (The host stores every later frame by its
    // changes whatever it is handed, so the file's transparent indexes do not
    // tell the option; what the file shows does.)
    for (const char* name : {"s.gif", "s.png", "s.webp"}) build({"--supercompress", "--comment", "-o", name});
    GifFacts facts = ReadGif(session.Work("s.gif"));
    EXPECT_TRUE(Contains(facts.comment, "CREATED BY..."));
    const Playback gif = PlayGif(session.Work("s.gif"));
    ASSERT_TRUE(gif.read) << gif.error;
    EXPECT_EQ(gif.canvases.size(), 6u);
    EXPECT_EQ(gif.delays, std::vector<int>(6, 30));
    for (const std::vector<BYTE>& canvas : gif.canvases)
        for (std::size_t i = 3; i < canvas.size(); i += 4) ASSERT_EQ(canvas[i], 255) << "every pixel shows something";
    EXPECT_NE(gif.canvases[0], gif.canvases[1]) << "the flakes move";
    for (const char* name : {"s.png", "s.webp"}) {
        const Playback other = std::string(name) == "s.png" ? PlayApng(session.Work(name)) : PlayWebP(session.Work(name));
        ASSERT_TRUE(other.read) << name << ": " << other.error;
        EXPECT_EQ(other.width, gif.width) << name;
        EXPECT_EQ(other.height, gif.height) << name;
        EXPECT_EQ(other.delays, gif.delays) << name;
        EXPECT_TRUE(other.canvases == gif.canvases) << name;
    }

    // Without supercompression every frame shows whole too, and no comment without --no-comment.
    build({"--no-supercompress", "--no-comment", "-o", "plain.gif"});
    GifFacts plain = ReadGif(session.Work("plain.gif"));
    EXPECT_EQ(plain.comment, "");
    const Playback plainPlay = PlayGif(session.Work("plain.gif"));
    ASSERT_TRUE(plainPlay.read) << plainPlay.error;
    EXPECT_EQ(plainPlay.canvases.size(), 6u);
    for (const std::vector<BYTE>& canvas : plainPlay.canvases)
        for (std::size_t i = 3; i < canvas.size(); i += 4) ASSERT_EQ(canvas[i], 255) << "every pixel shows something";

    // True colour: the frames as rendered, the same in APNG and WebP.
    for (const char* name : {"t.png", "t.webp"}) build({"--host", "truecolor", "--truecolor", "-o", name});
    const Playback apng = PlayApng(session.Work("t.png"));
    const Playback webp = PlayWebP(session.Work("t.webp"));
    ASSERT_TRUE(apng.read) << apng.error;
    ASSERT_TRUE(webp.read) << webp.error;
    EXPECT_EQ(apng.canvases.size(), 6u);
    EXPECT_EQ(apng.delays, std::vector<int>(6, 3));
    EXPECT_EQ(webp.delays, apng.delays);
    EXPECT_TRUE(apng.canvases == webp.canvases);
}

TEST(Builds, ThePreviewIsTheFirstFrameOfTheBuild) {
    Session session;
    const host_testing::Rgb picture = host_testing::SmoothPicture();
    host_testing::WriteFile(session.Work("p.png"), host_testing::PngFile(picture));
    const std::vector<std::string> settings = {"-i", "p.png", "-e", "Snow", "--set", "Frames=2", "--set", "Size=12",
                                               "--set", "Density=6"};
    std::vector<std::string> preview = {"preview", "-o", "preview.png"};
    preview.insert(preview.end(), settings.begin(), settings.end());
    std::vector<std::string> build = {"--host", "truecolor", "--truecolor", "-o", "t.png"};
    build.insert(build.end(), settings.begin(), settings.end());
    ASSERT_EQ(session.Run(preview).status, 0);
    ASSERT_EQ(session.Run(build).status, 0);
    const host_testing::Rgba area = host_testing::ReadPng(host_testing::ReadFile(session.Work("preview.png")));
    const Playback frames = PlayApng(session.Work("t.png"));
    ASSERT_TRUE(frames.read) << frames.error;
    // A picture smaller than the area's inside (4 pixels in from its edge) is
    // shown at full size in its middle.
    const int left = 4 + (area.width - 8 - picture.width) / 2;
    const int top = 4 + (area.height - 8 - picture.height) / 2;
    int differing = 0;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x)
            for (int c = 0; c < 3; ++c)
                differing += area.pixels[4 * ((top + y) * area.width + left + x) + c] !=
                             frames.canvases[0][4 * (y * picture.width + x) + c];
    EXPECT_EQ(differing, 0);
    EXPECT_NE(frames.canvases[0], frames.canvases[1]);
}

}  // namespace
