#include <gtest/gtest.h>

#include <gif_lib.h>
#include <unistd.h>
#include <webp/demux.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "host/core/host.h"
#include "host/core/host_error.h"
#include "luma/testing.h"
#include "plugin/guards.h"
#include "plugin/host_interface.h"
#include "tests/host/host_test_support.h"
#include "tests/support/fault_walk.h"
#include "tests/support/pictures.h"

using namespace host_testing;

namespace {

HostOptions Options(HostPersonality personality, unsigned buttonStyle, std::string output = "lumafex.gif",
                    std::string plugin = "", std::string help = "") {
    HostOptions options;
    options.personality = personality;
    options.buttonStyle = buttonStyle;
    options.outputPath = std::move(output);
    options.pluginPath = std::move(plugin);
    options.helpFolder = std::move(help);
    return options;
}

TaskRecord Task(std::uint32_t bits, std::uint32_t width, std::uint32_t height, std::uint32_t frames) {
    TaskRecord task{};
    task.size = sizeof(TaskRecord);
    task.version = kInterfaceVersion;
    task.bitsPerPixel = bits;
    task.width = width;
    task.height = height;
    task.frameCount = frames;
    for (int i = 0; i < 768; ++i) task.palette[i] = static_cast<BYTE>(i);
    return task;
}

ImageRecord Image(HGLOBAL dib, std::uint32_t delay, std::uint32_t index, std::int32_t transparent = -1) {
    ImageRecord image{};
    image.size = sizeof(ImageRecord);
    image.version = kInterfaceVersion;
    image.image = dib;
    image.delay = delay;
    image.frameIndex = index;
    image.transparentIndex = transparent;
    return image;
}

// The plug-in's side of the conversation, through the callback it was given.
struct FakePlugin {
    HostContext& context;
    TaskRecord* task = nullptr;

    std::int64_t Call(std::uint32_t code, std::int64_t a = 0, void* b = nullptr) {
        bool taskCode = code >= kRequestAddFrame && code <= kRequestFinish;
        return context.callback(taskCode ? task : nullptr, code, a, b);
    }
    std::int64_t Begin(TaskRecord& record, bool test = false) {
        task = &record;
        return Call(test ? kRequestNewTestAnimation : kRequestNewAnimation, 0, &record);
    }
    std::int64_t Add(ImageRecord image) { return Call(kRequestAddFrame, 0, &image); }
    std::int64_t Comment(const char* text) { return Call(kRequestComment, 0, const_cast<char*>(text)); }
    std::int64_t Finish(bool keep) { return Call(kRequestFinish, keep ? 1 : 0); }
};

// Frames of a build as the plug-in holds them until the task ends.
struct PluginFrames {
    std::vector<GlobalBlock> frames;
    bool Make(int count, LONG width, LONG height, int depth) {
        BYTE palette[768];
        for (int i = 0; i < 768; ++i) palette[i] = static_cast<BYTE>(i * 5);
        for (int i = 0; i < count; ++i) {
            int colours = 1 << DibBitsForDepthCode(depth);
            GlobalBlock f(MakeFrame(width, height, depth, palette,
                                    [=](LONG x, LONG y) { return DWORD((x + y * 3 + i) % std::max(colours, 1)); }));
            if (!f) return false;
            frames.push_back(std::move(f));
        }
        return true;
    }
    HGLOBAL operator[](std::size_t i) const { return frames[i].get(); }
};

bool Contains(const std::vector<std::string>& texts, const std::string& words) {
    for (const std::string& t : texts)
        if (t.find(words) != std::string::npos) return true;
    return false;
}

std::string Joined(const std::vector<std::string>& texts) {
    std::string all;
    for (const std::string& t : texts) all += t + "\n";
    return all;
}

int GifFrameCount(const std::string& path, std::vector<int>* delays = nullptr) {
    int error = 0;
    GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
    if (!gif) return -1;
    int count = DGifSlurp(gif) == GIF_OK ? gif->ImageCount : -1;
    for (int i = 0; delays && i < count; ++i) {
        GraphicsControlBlock control;
        DGifSavedExtensionToGCB(gif, i, &control);
        delays->push_back(control.DelayTime);
    }
    DGifCloseFile(gif, &error);
    return count;
}

// TMPDIR set for the length of a scope.
class TemporaryFolderForTests {
public:
    explicit TemporaryFolderForTests(const std::string& path) {
        const char* old = std::getenv("TMPDIR");
        if (old) saved_ = old, had_ = true;
        setenv("TMPDIR", path.c_str(), 1);
    }
    ~TemporaryFolderForTests() {
        if (had_)
            setenv("TMPDIR", saved_.c_str(), 1);
        else
            unsetenv("TMPDIR");
    }

private:
    std::string saved_;
    bool had_ = false;
};

TEST(HostContext, PersonalitiesFlagsVersionAndButtonStyle) {
    ScriptedServices services;
    Host gif(Options(HostPersonality::Gif, 2), services);
    EXPECT_EQ(gif.Context().size, sizeof(HostContext));
    EXPECT_GE((gif.Context().version >> 8) & 0xFF, kMinimumHostVersionByte);
    EXPECT_EQ(gif.Context().buttonStyle, 2u);
    EXPECT_NE(gif.Context().callback, nullptr);
    EXPECT_EQ(gif.Context().flags, kHundredthsFlag);
    EXPECT_EQ(gif.Delays(), DelayUnit::Hundredths);

    Host trueColour(Options(HostPersonality::TrueColour, 0, "out.webp"), services);
    EXPECT_EQ(trueColour.Context().flags, kTrueColourFlag);
    EXPECT_EQ(trueColour.Delays(), DelayUnit::Milliseconds);
    EXPECT_EQ(trueColour.OutputFormat(), AnimationFormat::WebP);

    EXPECT_NO_THROW(Host(Options(HostPersonality::Gif, 3), services));
    EXPECT_THROW(Host(Options(HostPersonality::Gif, 4), services), HostError);
}

TEST(HostContext, TheCallbackReachesTheNewestHost) {
    ScriptedServices outerServices, innerServices, lastServices;
    auto outer = std::make_unique<Host>(HostOptions{}, outerServices);
    HostCallback callback = outer->Context().callback;
    auto status = [&](const char* text) { callback(nullptr, kRequestStatusText, 0, const_cast<char*>(text)); };
    {
        Host inner({}, innerServices);
        status("inner");
    }
    status("outer");
    auto last = std::make_unique<Host>(HostOptions{}, lastServices);
    outer.reset();  // out of order: the newest stays in charge
    status("last");
    last.reset();
    EXPECT_EQ(callback(nullptr, kRequestBuildPressed, 0, nullptr), 0);  // no host left
    EXPECT_EQ(innerServices.statusTexts, std::vector<std::string>{"inner"});
    EXPECT_EQ(outerServices.statusTexts, std::vector<std::string>{"outer"});
    EXPECT_EQ(lastServices.statusTexts, std::vector<std::string>{"last"});
}

TEST(HostRequests, ABuildIsWrittenWhenThePluginFinishes) {
    TemporaryFolder folder;
    ScriptedServices services;
    Host host(Options(HostPersonality::Gif, 0, folder / "anim.gif"), services);
    FakePlugin plugin{host.Context()};
    PluginFrames frames;
    ASSERT_TRUE(frames.Make(3, 12, 9, 4));

    EXPECT_EQ(plugin.Call(kRequestBuildPressed), 1);
    plugin.Call(kRequestStatusText, 0, const_cast<char*>("Building"));
    plugin.Call(kRequestProgress, 0, nullptr);
    plugin.Call(kRequestProgress, 1, reinterpret_cast<void*>(std::intptr_t{3}));
    TaskRecord task = Task(4, 12, 9, 3);
    ASSERT_EQ(plugin.Begin(task), 1) << Joined(services.Messages(MessageKind::Error));
    EXPECT_TRUE(host.TaskOpen());
    for (std::uint32_t i = 0; i < 3; ++i) ASSERT_EQ(plugin.Add(Image(frames[i], 5 + i, i, i == 1 ? 2 : -1)), 1) << i;
    EXPECT_EQ(plugin.Comment("made by a test"), 1);
    EXPECT_EQ(plugin.Finish(true), 1) << Joined(services.Messages(MessageKind::Error));
    EXPECT_FALSE(host.TaskOpen());

    // The plug-in frees its frames after the task; the host kept copies.
    std::vector<std::vector<BYTE>> sent;
    for (auto& f : frames.frames) sent.push_back(testing_support::BlockBytes(f.get()));
    frames.frames.clear();
    const ReceivedAnimation* kept = host.LastAnimation();
    ASSERT_NE(kept, nullptr);
    ASSERT_EQ(kept->frames.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(testing_support::BlockBytes(kept->frames[i].image.get()), sent[i]) << i;
        EXPECT_EQ(kept->frames[i].delay, 5 + i);
        EXPECT_EQ(kept->frames[i].transparentIndex, i == 1 ? 2 : -1);
    }
    EXPECT_EQ(kept->comment, "made by a test");
    EXPECT_EQ(kept->task.bitsPerPixel, 4u);

    // What was kept can be saved again in another format.
    MemorySink again;
    WriteAnimation(*kept, AnimationFormat::Apng, again);
    int controls = 0;
    for (const PngChunk& chunk : PngChunks(again.Bytes())) controls += chunk.type == "fcTL";
    EXPECT_EQ(controls, 3);

    std::vector<int> delays;
    EXPECT_EQ(GifFrameCount(folder / "anim.gif", &delays), 3);
    EXPECT_EQ(delays, (std::vector<int>{5, 6, 7}));
    EXPECT_EQ(folder.Files(), std::vector<std::string>{"anim.gif"});
    EXPECT_TRUE(host.LastOutcome().written);
    EXPECT_FALSE(host.LastOutcome().test);
    EXPECT_EQ(host.LastOutcome().path, folder / "anim.gif");
    EXPECT_EQ(host.LastOutcome().frames, 3u);

    EXPECT_EQ(services.buildPresses, 1);
    EXPECT_EQ(services.statusTexts, std::vector<std::string>{"Building"});
    EXPECT_EQ(services.progress, (std::vector<std::pair<std::int64_t, std::int64_t>>{{0, 0}, {1, 3}}));
    EXPECT_TRUE(services.Messages(MessageKind::Error).empty()) << Joined(services.Messages(MessageKind::Error));
    EXPECT_TRUE(Contains(services.Messages(MessageKind::Information), "Wrote " + folder / "anim.gif" + " (3 frames)."));
}

TEST(HostRequests, ATestRunGoesToATemporaryFileOfTheOutputFormat) {
    TemporaryFolder output, temporary;
    TemporaryFolderForTests tmpdir(temporary.Path());
    ScriptedServices services;
    Host host(Options(HostPersonality::Gif, 0, output / "anim.png"), services);
    FakePlugin plugin{host.Context()};
    PluginFrames frames;
    ASSERT_TRUE(frames.Make(2, 6, 4, 8));
    TaskRecord task = Task(8, 6, 4, 2);
    ASSERT_EQ(plugin.Begin(task, true), 1);
    for (std::uint32_t i = 0; i < 2; ++i) ASSERT_EQ(plugin.Add(Image(frames[i], 3, i)), 1);
    ASSERT_EQ(plugin.Finish(true), 1);

    EXPECT_TRUE(output.Files().empty());
    const BuildOutcome& outcome = host.LastOutcome();
    EXPECT_TRUE(outcome.test);
    EXPECT_TRUE(outcome.written);
    ASSERT_EQ(temporary.Files().size(), 1u);
    EXPECT_EQ(outcome.path, temporary / temporary.Files()[0]);
    EXPECT_EQ(outcome.path.substr(outcome.path.size() - 4), ".png");
    std::vector<PngChunk> chunks = PngChunks(ReadFile(outcome.path));
    ASSERT_FALSE(chunks.empty());
    EXPECT_EQ(chunks[0].type, "IHDR");
    EXPECT_TRUE(Contains(services.Messages(MessageKind::Information), "Test animation written to " + outcome.path));
}

TEST(HostRequests, ATestRunGoesWhereTheFrontEndAsks) {
    TemporaryFolder output, temporary;
    TemporaryFolderForTests tmpdir(temporary.Path());
    ScriptedServices services;
    HostOptions options = Options(HostPersonality::Gif, 0, output / "build.gif");
    options.testOutputPath = output / "test.gif";
    Host host(options, services);
    FakePlugin plugin{host.Context()};
    PluginFrames frames;
    ASSERT_TRUE(frames.Make(2, 6, 4, 8));
    TaskRecord task = Task(8, 6, 4, 2);
    ASSERT_EQ(plugin.Begin(task, true), 1);
    for (std::uint32_t i = 0; i < 2; ++i) ASSERT_EQ(plugin.Add(Image(frames[i], 3, i)), 1);
    ASSERT_EQ(plugin.Finish(true), 1);

    EXPECT_TRUE(temporary.Files().empty());
    EXPECT_EQ(output.Files(), std::vector<std::string>{"test.gif"});
    EXPECT_EQ(host.LastOutcome().path, output / "test.gif");
    EXPECT_EQ(GifFrameCount(output / "test.gif"), 2);
}

TEST(HostRequests, AMinimumDelayRaisesShortDelaysInTheFileOnly) {
    TemporaryFolder folder;
    ScriptedServices services;
    struct Case {
        HostPersonality personality;
        std::vector<std::uint32_t> delivered;
        std::vector<int> written;  // hundredths in the GIF
    };
    // Hundredths compare as they are; milliseconds after rounding to hundredths.
    const Case cases[] = {
        {HostPersonality::Gif, {0, 1, 2, 3, 40}, {3, 3, 3, 3, 40}},
        {HostPersonality::TrueColour, {0, 14, 25, 30, 31}, {3, 3, 3, 3, 3}},
        {HostPersonality::TrueColour, {0, 35, 400}, {3, 4, 40}},
    };
    int n = 0;
    for (const Case& c : cases) {
        HostOptions options = Options(c.personality, 0, folder / ("min" + std::to_string(n++) + ".gif"));
        options.minimumDelay = 3;
        Host host(options, services);
        FakePlugin plugin{host.Context()};
        PluginFrames frames;
        const std::uint32_t count = static_cast<std::uint32_t>(c.delivered.size());
        ASSERT_TRUE(frames.Make(static_cast<int>(count), 5, 5, 8));
        TaskRecord task = Task(8, 5, 5, count);
        ASSERT_EQ(plugin.Begin(task), 1);
        for (std::uint32_t i = 0; i < count; ++i) ASSERT_EQ(plugin.Add(Image(frames[i], c.delivered[i], i)), 1);
        ASSERT_EQ(plugin.Finish(true), 1) << Joined(services.Messages(MessageKind::Error));

        std::vector<int> delays;
        ASSERT_EQ(GifFrameCount(options.outputPath, &delays), static_cast<int>(count));
        EXPECT_EQ(delays, c.written) << n;
        const ReceivedAnimation* kept = host.LastAnimation();
        ASSERT_NE(kept, nullptr);
        for (std::uint32_t i = 0; i < count; ++i) EXPECT_EQ(kept->frames[i].delay, c.delivered[i]) << n << " " << i;
    }
}

TEST(HostRequests, ATrueColourHostTakesRenderedFramesAndCountsMilliseconds) {
    TemporaryFolder folder;
    ScriptedServices services;
    Host host(Options(HostPersonality::TrueColour, 0, folder / "anim.webp"), services);
    FakePlugin plugin{host.Context()};
    PluginFrames frames;
    ASSERT_TRUE(frames.Make(2, 8, 8, 24));
    // True colour keeps the fixed palette's depth in the task.
    TaskRecord task = Task(8, 8, 8, 2);
    ASSERT_EQ(plugin.Begin(task), 1);
    ASSERT_EQ(plugin.Add(Image(frames[0], 40, 0)), 1) << Joined(services.Messages(MessageKind::Error));
    ASSERT_EQ(plugin.Add(Image(frames[1], 25, 1)), 1);
    ASSERT_EQ(plugin.Finish(true), 1);

    std::vector<BYTE> bytes = ReadFile(folder / "anim.webp");
    WebPData data{bytes.data(), bytes.size()};
    WebPAnimDecoder* decoder = WebPAnimDecoderNew(&data, nullptr);
    ASSERT_NE(decoder, nullptr);
    std::vector<int> timestamps;
    while (WebPAnimDecoderHasMoreFrames(decoder)) {
        uint8_t* canvas;
        int timestamp;
        ASSERT_TRUE(WebPAnimDecoderGetNext(decoder, &canvas, &timestamp));
        timestamps.push_back(timestamp);
    }
    WebPAnimDecoderDelete(decoder);
    EXPECT_EQ(timestamps, (std::vector<int>{40, 65}));

    // A GIF host announced no true colour, so such a frame is a mistake.
    ScriptedServices gifServices;
    Host gif(Options(HostPersonality::Gif, 0, folder / "other.gif"), gifServices);
    FakePlugin gifPlugin{gif.Context()};
    ASSERT_EQ(gifPlugin.Begin(task), 1);
    EXPECT_EQ(gifPlugin.Add(Image(frames[0], 4, 0)), 0);
    EXPECT_TRUE(Contains(gifServices.Messages(MessageKind::Error), "24 bits per pixel where the animation announced 8"))
        << Joined(gifServices.Messages(MessageKind::Error));
}

TEST(HostRequests, BadTaskRecordsAreRefused) {
    TemporaryFolder folder;
    ScriptedServices services;
    Host host(Options(HostPersonality::Gif, 0, folder / "a.gif"), services);
    FakePlugin plugin{host.Context()};
    struct Case {
        const char* name;
        std::function<void(TaskRecord&)> spoil;
        const char* words;
    } cases[] = {
        {"short record", [](TaskRecord& t) { t.size = 1079; }, "size 1079"},
        {"other version", [](TaskRecord& t) { t.version = 0x0F00; }, "version 3840"},
        {"depth 0", [](TaskRecord& t) { t.bitsPerPixel = 0; }, "0 bits per pixel"},
        {"depth 16", [](TaskRecord& t) { t.bitsPerPixel = 16; }, "16 bits per pixel"},
        {"depth 32", [](TaskRecord& t) { t.bitsPerPixel = 32; }, "32 bits per pixel"},
        {"no width", [](TaskRecord& t) { t.width = 0; }, "0 x 9"},
        {"too tall", [](TaskRecord& t) { t.height = 16385; }, "12 x 16385"},
        {"no frames", [](TaskRecord& t) { t.frameCount = 0; }, "no frames"},
    };
    for (const Case& c : cases) {
        TaskRecord task = Task(8, 12, 9, 2);
        c.spoil(task);
        services.messages.clear();
        EXPECT_EQ(plugin.Begin(task), 0) << c.name;
        EXPECT_FALSE(host.TaskOpen()) << c.name;
        EXPECT_TRUE(Contains(services.Messages(MessageKind::Error), c.words))
            << c.name << ": " << Joined(services.Messages(MessageKind::Error));
    }
    EXPECT_EQ(plugin.Call(kRequestNewAnimation, 0, nullptr), 0);
    EXPECT_TRUE(folder.Files().empty());
}

TEST(HostRequests, FramesCommentsAndFinishesWithoutATaskAreRefused) {
    ScriptedServices services;
    Host host({}, services);
    FakePlugin plugin{host.Context()};
    PluginFrames frames;
    ASSERT_TRUE(frames.Make(1, 4, 4, 8));
    EXPECT_EQ(plugin.Add(Image(frames[0], 1, 0)), 0);
    EXPECT_EQ(plugin.Comment("text"), 0);
    EXPECT_EQ(plugin.Finish(true), 0);
    EXPECT_EQ(plugin.Finish(false), 0);
    std::vector<std::string> errors = services.Messages(MessageKind::Error);
    EXPECT_EQ(errors.size(), 3u) << Joined(errors);
    EXPECT_TRUE(Contains(errors, "Frame refused: no animation has been started."));
    EXPECT_TRUE(Contains(errors, "Comment ignored"));
    EXPECT_TRUE(Contains(errors, "Nothing to finish"));
}

TEST(HostRequests, BadFramesAreRefusedAndGoodOnesStillTaken) {
    TemporaryFolder folder;
    ScriptedServices services;
    Host host(Options(HostPersonality::Gif, 0, folder / "a.gif"), services);
    FakePlugin plugin{host.Context()};
    PluginFrames good, eightBit, large;
    ASSERT_TRUE(good.Make(2, 12, 9, 4));
    ASSERT_TRUE(eightBit.Make(1, 12, 9, 8));
    ASSERT_TRUE(large.Make(1, 13, 9, 4));
    GlobalBlock tiny(GlobalAlloc(GHND, 20));
    int notAHandle = 0;
    TaskRecord task = Task(4, 12, 9, 2);
    ASSERT_EQ(plugin.Begin(task), 1);

    struct Case {
        const char* name;
        ImageRecord image;
        const char* words;
    } cases[] = {
        {"short record", [&] { auto i = Image(good[0], 1, 0); i.size = 100; return i; }(), "size 100"},
        {"other version", [&] { auto i = Image(good[0], 1, 0); i.version = 1; return i; }(), "version 1,"},
        {"out of order", Image(good[0], 1, 1), "frame 0 was expected next"},
        {"no picture", Image(nullptr, 1, 0), "not a complete device-independent bitmap"},
        {"foreign handle", Image(reinterpret_cast<HGLOBAL>(&notAHandle), 1, 0), "not a complete"},
        {"block too small", Image(tiny.get(), 1, 0), "not a complete"},
        {"wrong depth", Image(eightBit[0], 1, 0), "8 bits per pixel where the animation announced 4"},
        {"too wide", Image(large[0], 1, 0), "13 x 9 pixels exceed the announced 12 x 9"},
        {"index past the table", Image(good[0], 1, 0, 16), "transparent index 16"},
    };
    for (const Case& c : cases) {
        services.messages.clear();
        ImageRecord image = c.image;
        EXPECT_EQ(plugin.Add(image), 0) << c.name;
        EXPECT_TRUE(Contains(services.Messages(MessageKind::Error), c.words))
            << c.name << ": " << Joined(services.Messages(MessageKind::Error));
    }
    EXPECT_EQ(plugin.Call(kRequestAddFrame, 0, nullptr), 0);

    EXPECT_EQ(plugin.Add(Image(good[0], 1, 0, 15)), 1);
    EXPECT_EQ(plugin.Add(Image(good[1], 1, 1)), 1);
    services.messages.clear();
    EXPECT_EQ(plugin.Add(Image(good[1], 1, 2)), 0);
    EXPECT_TRUE(Contains(services.Messages(MessageKind::Error), "announced only 2 frames"));
    EXPECT_EQ(plugin.Finish(true), 1);
    EXPECT_EQ(GifFrameCount(folder / "a.gif"), 2);
}

TEST(HostRequests, AnAbandonedAnimationLeavesTheOldFileAlone) {
    TemporaryFolder folder;
    WriteFile(folder / "anim.gif", {'o', 'l', 'd'});
    ScriptedServices services;
    Host host(Options(HostPersonality::Gif, 0, folder / "anim.gif"), services);
    FakePlugin plugin{host.Context()};
    PluginFrames frames;
    ASSERT_TRUE(frames.Make(1, 4, 4, 8));
    TaskRecord task = Task(8, 4, 4, 3);
    ASSERT_EQ(plugin.Begin(task), 1);
    ASSERT_EQ(plugin.Add(Image(frames[0], 1, 0)), 1);
    EXPECT_EQ(plugin.Finish(false), 1);
    EXPECT_EQ(ReadFile(folder / "anim.gif"), (std::vector<BYTE>{'o', 'l', 'd'}));
    EXPECT_EQ(folder.Files(), std::vector<std::string>{"anim.gif"});
    EXPECT_FALSE(host.LastOutcome().written);
    EXPECT_EQ(host.LastAnimation(), nullptr);
    EXPECT_TRUE(Contains(services.Messages(MessageKind::Information), "abandoned; nothing was written"));
}

TEST(HostRequests, ANewTaskAbandonsTheOneInProgress) {
    TemporaryFolder folder;
    ScriptedServices services;
    Host host(Options(HostPersonality::Gif, 0, folder / "anim.gif"), services);
    FakePlugin plugin{host.Context()};
    PluginFrames frames;
    ASSERT_TRUE(frames.Make(3, 4, 4, 8));
    TaskRecord first = Task(8, 4, 4, 3), second = Task(8, 4, 4, 1);
    ASSERT_EQ(plugin.Begin(first), 1);
    ASSERT_EQ(plugin.Add(Image(frames[0], 1, 0)), 1);
    ASSERT_EQ(plugin.Add(Image(frames[1], 1, 1)), 1);
    ASSERT_EQ(plugin.Begin(second), 1);
    EXPECT_TRUE(Contains(services.Messages(MessageKind::Error), "abandoned"));
    ASSERT_EQ(plugin.Add(Image(frames[2], 1, 0)), 1);
    ASSERT_EQ(plugin.Finish(true), 1);
    EXPECT_EQ(GifFrameCount(folder / "anim.gif"), 1);
    EXPECT_EQ(folder.Files(), std::vector<std::string>{"anim.gif"});
}

TEST(HostRequests, AnOutputThatCannotBeCreatedRefusesTheTask) {
    TemporaryFolder folder;
    ScriptedServices services;
    Host host(Options(HostPersonality::Gif, 0, folder / "missing/anim.gif"), services);
    FakePlugin plugin{host.Context()};
    TaskRecord task = Task(8, 4, 4, 1);
    EXPECT_EQ(plugin.Begin(task), 0);
    EXPECT_FALSE(host.TaskOpen());
    EXPECT_TRUE(Contains(services.Messages(MessageKind::Error), "Cannot create a file in " + folder / "missing"))
        << Joined(services.Messages(MessageKind::Error));

    // A canvas the format cannot hold is refused at once, too.
    Host webp(Options(HostPersonality::Gif, 0, folder / "anim.webp"), services);
    FakePlugin webpPlugin{webp.Context()};
    TaskRecord wide = Task(8, 16384, 4, 1);
    EXPECT_EQ(webpPlugin.Begin(wide), 0);
    EXPECT_TRUE(folder.Files().empty());
}

TEST(HostRequests, ChoosingAFile) {
    ScriptedServices services;
    Host host({}, services);
    FakePlugin plugin{host.Context()};
    char path[MAX_PATH];
    std::memset(path, 'x', sizeof path);
    services.fileChoices = {"/pictures/sunset.png", std::string(300, 'a'), ""};
    EXPECT_EQ(plugin.Call(kRequestChooseImageFile, 0, path), 1);
    EXPECT_STREQ(path, "/pictures/sunset.png");
    EXPECT_EQ(plugin.Call(kRequestChooseImageFile, 0, path), 0);
    EXPECT_TRUE(Contains(services.Messages(MessageKind::Error), "too long for the plug-in"));
    EXPECT_STREQ(path, "/pictures/sunset.png");
    EXPECT_EQ(plugin.Call(kRequestChooseImageFile, 0, path), 0);  // an empty answer is no choice
    EXPECT_EQ(plugin.Call(kRequestChooseImageFile, 0, path), 0);  // cancelled
    EXPECT_EQ(plugin.Call(kRequestChooseImageFile, 0, nullptr), 0);
}

TEST(HostRequests, DecodingAPictureForThePlugin) {
    TemporaryFolder folder;
    WriteFile(folder / "picture.bmp", BmpFile(SmoothPicture()));
    std::vector<BYTE> png = PngFile(SmoothPicture());
    png.resize(png.size() - 30);
    WriteFile(folder / "cut.png", png);
    ScriptedServices services;
    Host host({}, services);
    FakePlugin plugin{host.Context()};

    std::string path = folder / "picture.bmp";
    auto dib = reinterpret_cast<HGLOBAL>(plugin.Call(kRequestDecodeImage, 0, path.data()));
    ASSERT_NE(dib, nullptr) << Joined(services.Messages(MessageKind::Error));
    EXPECT_EQ(LargestDifference(PictureOf(dib), SmoothPicture()), 0);
    EXPECT_EQ(GlobalFree(dib), nullptr);  // the plug-in frees it with the global allocator

    for (std::string bad : {folder / "cut.png", folder / "absent.jpg"}) {
        services.messages.clear();
        EXPECT_EQ(plugin.Call(kRequestDecodeImage, 0, bad.data()), 0) << bad;
        EXPECT_TRUE(Contains(services.Messages(MessageKind::Error), "Cannot load the picture " + bad)) << bad;
    }
    EXPECT_TRUE(Contains(services.Messages(MessageKind::Error), "No such file"));
    EXPECT_EQ(plugin.Call(kRequestDecodeImage, 0, nullptr), 0);
}

TEST(HostRequests, HelpIsLookedUpBesideThePlugin) {
    TemporaryFolder folder;
    WriteFile(folder / "LUMAPLUG.HTML", {'<', 'p', '>'});
    ScriptedServices services;
    Host host(Options(HostPersonality::Gif, 0, "a.gif", folder / "lumaplug_x64.so"), services);
    FakePlugin plugin{host.Context()};
    EXPECT_EQ(plugin.Call(kRequestShowHelp, 0, const_cast<char*>("LUMAPLUG.HTML#PREFACE")), 1);
    EXPECT_EQ(plugin.Call(kRequestShowHelp, 0, const_cast<char*>("LUMAPLUG.HTML")), 1);
    using Shown = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(services.helpShown, (Shown{{folder / "LUMAPLUG.HTML", "PREFACE"}, {folder / "LUMAPLUG.HTML", ""}}));

    // Only the document's own name counts; nothing outside the folder is reached.
    EXPECT_EQ(plugin.Call(kRequestShowHelp, 0, const_cast<char*>("../../etc/passwd#x")), 0);
    EXPECT_TRUE(Contains(services.Messages(MessageKind::Error), folder / "passwd"));
    EXPECT_EQ(plugin.Call(kRequestShowHelp, 0, const_cast<char*>("#ABOUT")), 0);
    EXPECT_EQ(plugin.Call(kRequestShowHelp, 0, nullptr), 0);

    services.helpAvailable = false;
    EXPECT_EQ(plugin.Call(kRequestShowHelp, 0, const_cast<char*>("LUMAPLUG.HTML#ABOUT")), 0);

    ScriptedServices other;
    Host elsewhere(Options(HostPersonality::Gif, 0, "a.gif", "", folder.Path()), other);
    FakePlugin elsewherePlugin{elsewhere.Context()};
    EXPECT_EQ(elsewherePlugin.Call(kRequestShowHelp, 0, const_cast<char*>("LUMAPLUG.HTML#ABOUT")), 1);
}

TEST(HostRequests, ChoosingAColourWritesItBack) {
    ScriptedServices services;
    Host host({}, services);
    FakePlugin plugin{host.Context()};
    BYTE swatches[768] = {};
    ColourRequest request{};
    request.size = sizeof request;
    request.version = kInterfaceVersion;
    request.triples = swatches;
    request.tripleBits = 24;
    request.colour = RGB(1, 2, 3);
    services.colourChoices = {RGB(10, 20, 30)};
    EXPECT_EQ(plugin.Call(kRequestChooseColour, 0, &request), 1);
    EXPECT_EQ(request.colour, RGB(10, 20, 30));
    EXPECT_EQ(plugin.Call(kRequestChooseColour, 0, &request), 0);  // cancelled
    EXPECT_EQ(request.colour, RGB(10, 20, 30));
    EXPECT_EQ(services.coloursOffered, (std::vector<COLORREF>{RGB(1, 2, 3), RGB(10, 20, 30)}));

    request.size = 32;
    EXPECT_EQ(plugin.Call(kRequestChooseColour, 0, &request), 0);
    EXPECT_TRUE(Contains(services.Messages(MessageKind::Error), "Colour choice refused"));
    EXPECT_EQ(plugin.Call(kRequestChooseColour, 0, nullptr), 0);
}

TEST(HostRequests, StatusProgressAndUnknownCodes) {
    ScriptedServices services;
    Host host({}, services);
    FakePlugin plugin{host.Context()};
    EXPECT_EQ(plugin.Call(kRequestStatusText, 0, nullptr), 1);
    EXPECT_EQ(services.statusTexts, std::vector<std::string>{""});
    EXPECT_EQ(plugin.Call(7), 0);
    EXPECT_EQ(plugin.Call(12), 0);
    EXPECT_EQ(plugin.Call(99), 0);
    EXPECT_TRUE(services.messages.empty());
}

// One whole Build as the plug-in runs it, with the plug-in's reaction to a
// refused frame; true when the file was written.
bool RunBuild(const std::string& output, int depth) {
    ScriptedServices services;
    Host host(Options(HostPersonality::Gif, 0, output), services);
    FakePlugin plugin{host.Context()};
    PluginFrames frames;
    if (!frames.Make(3, 10, 7, depth)) return false;
    TaskRecord task = Task(static_cast<std::uint32_t>(depth), 10, 7, 3);
    if (!plugin.Begin(task)) return false;
    for (std::uint32_t i = 0; i < 3; ++i) {
        if (!plugin.Add(Image(frames[i], 2, i))) {
            plugin.Finish(false);
            return false;
        }
    }
    plugin.Comment("walked");
    plugin.Finish(true);
    return host.LastOutcome().written;
}

TEST(HostFaults, EveryAllocationFailureOfABuildIsSurvivedWithoutLeaks) {
    for (std::string name : {"walk.gif", "walk.png", "walk.webp"}) {
        SCOPED_TRACE(name);
        TemporaryFolder folder;
        int points = testing_support::WalkAllocationFailures([&] { return RunBuild(folder / name, 8); });
        EXPECT_GE(points, 6);  // three frames made, three copied
        EXPECT_EQ(folder.Files(), std::vector<std::string>{name});
    }
}

TEST(HostFaults, DecodingForThePluginFailsCleanly) {
    TemporaryFolder folder;
    WriteFile(folder / "p.gif", GifFile(SmoothPicture()));
    ScriptedServices services;
    Host host({}, services);
    FakePlugin plugin{host.Context()};
    std::string path = folder / "p.gif";
    testing_support::WalkAllocationFailures([&] {
        auto dib = reinterpret_cast<HGLOBAL>(plugin.Call(kRequestDecodeImage, 0, path.data()));
        if (!dib) return false;
        GlobalFree(dib);
        return true;
    });
    EXPECT_TRUE(Contains(services.Messages(MessageKind::Error), "out of memory"));
}

TEST(PluginLoading, FoundBesideTheProgramOrWhereTheEnvironmentSays) {
    const char* saved = std::getenv("LUMAFEX_PLUGIN");
    std::string keep = saved ? saved : "";
    unsetenv("LUMAFEX_PLUGIN");
    EXPECT_EQ(std::filesystem::weakly_canonical(DefaultPluginPath()), std::filesystem::weakly_canonical(LUMAFEX_PLUGIN_PATH));
    setenv("LUMAFEX_PLUGIN", "/opt/elsewhere/plug.so", 1);
    EXPECT_EQ(DefaultPluginPath(), "/opt/elsewhere/plug.so");
    setenv("LUMAFEX_PLUGIN", "", 1);
    EXPECT_EQ(std::filesystem::weakly_canonical(DefaultPluginPath()), std::filesystem::weakly_canonical(LUMAFEX_PLUGIN_PATH));
    if (saved)
        setenv("LUMAFEX_PLUGIN", keep.c_str(), 1);
    else
        unsetenv("LUMAFEX_PLUGIN");
}

TEST(PluginLoading, LoadsThePluginAndReadsItsName) {
    ScriptedServices services;
    Host host(Options(HostPersonality::Gif, 0, "a.gif", LUMAFEX_PLUGIN_PATH), services);
    EXPECT_FALSE(host.PluginLoaded());
    host.LoadPlugin();
    EXPECT_TRUE(host.PluginLoaded());
    EXPECT_STREQ(host.PluginInfo().name, "Lumafex");
    EXPECT_EQ(host.PluginInfo().version, kInterfaceVersion);
    EXPECT_GT(std::strlen(host.PluginInfo().notice), 0u);
}

TEST(PluginLoading, MissingOrForeignLibrariesAreNamedInTheError) {
    ScriptedServices services;
    auto expectRefused = [&](const std::string& path, const std::string& words) {
        Host host(Options(HostPersonality::Gif, 0, "a.gif", path), services);
        try {
            host.LoadPlugin();
            ADD_FAILURE() << path << " loaded";
        } catch (const HostError& e) {
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(words), std::string::npos) << e.what();
        }
        EXPECT_FALSE(host.PluginLoaded());
    };
    expectRefused("/nonexistent/lumaplug_x64.so", "Cannot load the plug-in");
    std::string platform = std::filesystem::path(LUMAFEX_PLUGIN_PATH).parent_path() / "liblumaplatform.so";
    expectRefused(platform, "does not export");
}

}  // namespace
