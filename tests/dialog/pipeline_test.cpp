// The build pipeline with an effect whose frames each test chooses: the
// output options, palettes, supercompression, masking, the road to the host
// and every failure on it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "colour/fixed_palette.h"
#include "colour/remap.h"
#include "dialog/build_pipeline.h"
#include "dialog/main_dialog.h"
#include "effects/framework.h"
#include "image/packed_dib.h"
#include "luma/automation.h"
#include "luma/testing.h"
#include "plugin/guards.h"
#include "settings/settings.h"
#include "tests/support/dialog_fixture.h"
#include "tests/support/fault_walk.h"
#include "tests/support/pictures.h"

namespace {

using testing_support::AnswerMessage;
using testing_support::HostRequest;

// A frame as the fake effect renders it: its size and its pixels row by row.
struct FakeFrame {
    LONG width, height;
    std::vector<COLORREF> pixels;
};

std::vector<FakeFrame> fakeFrames;
COLORREF fakeBackground = kNoBackground;
bool fakeBuildFails = false;
constexpr DWORD kFakeDelay = 7;

HGLOBAL Render(const FakeFrame& frame) {
    HGLOBAL picture = CreatePackedDib(frame.width, frame.height, nullptr, 24);
    if (!picture) return nullptr;
    GlobalLockGuard<BYTE> bytes(picture);
    if (!bytes) {
        GlobalFree(picture);
        return nullptr;
    }
    for (LONG y = 0; y < frame.height; ++y)
        for (LONG x = 0; x < frame.width; ++x) SetDibPixel(bytes.get(), x, y, frame.pixels[y * frame.width + x]);
    return picture;
}

int FakeBuild(BuildContext* context) {
    for (const FakeFrame& frame : fakeFrames) {
        GlobalBlock picture(Render(frame));
        if (!picture) return 0;
        FrameRecord record{};
        record.image = picture.get();
        record.delay = kFakeDelay;
        record.transparentIndex = -1;
        if (!AppendFrame(context->frames, &record)) return 0;
        picture.release();
    }
    // A build that fails after appending leaves its frames to the pipeline.
    return fakeBuildFails ? 0 : 1;
}

DWORD FakeBackground(HWND, int ask) { return ask == 0 ? fakeBackground : kNoBackground; }

int NoPreview(BuildContext*) { return 0; }

const EffectRecord kFakeEffect{"Fake", nullptr, NoPreview, FakeBuild, FakeBackground, DefaultPageEvent, nullptr,
                               nullptr};

// count different colours, none of them white.
std::vector<COLORREF> Colours(int count) {
    std::vector<COLORREF> colours;
    for (int i = 0; i < count; ++i) colours.push_back(RGB(i, (i * 7) % 200, (i * 13) % 250));
    return colours;
}

FakeFrame FrameOf(const std::vector<COLORREF>& colours, LONG width) {
    FakeFrame frame{width, static_cast<LONG>((colours.size() + width - 1) / width), colours};
    frame.pixels.resize(static_cast<std::size_t>(frame.width * frame.height), colours.back());
    return frame;
}

struct Received {
    LONG width = 0, height = 0;
    int bits = 0;
    std::vector<BYTE> bytes;
    DWORD Pixel(LONG x, LONG y) const { return GetDibPixel(bytes.data(), x, y); }
    RGBQUAD Entry(int index) const {
        RGBQUAD entry;
        std::memcpy(&entry, bytes.data() + sizeof(BITMAPINFOHEADER) + 4 * index, sizeof entry);
        return entry;
    }
};

Received Parse(const HostRequest& request) {
    Received frame;
    frame.bytes = request.frame;
    BITMAPINFOHEADER header;
    std::memcpy(&header, frame.bytes.data(), sizeof header);
    frame.width = header.biWidth;
    frame.height = header.biHeight;
    frame.bits = header.biBitCount;
    return frame;
}

bool SameColour(const BYTE* triplet, COLORREF colour) {
    return triplet[0] == GetRValue(colour) && triplet[1] == GetGValue(colour) && triplet[2] == GetBValue(colour);
}

class Pipeline : public testing_support::MainDialogTest {
protected:
    void SetUp() override {
        MainDialogTest::SetUp();
        fakeFrames.clear();
        fakeBackground = kNoBackground;
        fakeBuildFails = false;
        OpenDialog(kHundredthsFlag | kTrueColourFlag);
        Options(false, false, true, false, false);
        AddDescriptiveCommentBlock = 1;
        MainPalette = kOrthogonalPalette;
    }

    void Options(bool trueColour, bool dither, bool customPalette, bool supercompress, bool maskBackground) {
        CheckDlgButton(dialog, kTrueColourBox, trueColour ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(dialog, kDitherBox, dither ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(dialog, kCustomPaletteBox, customPalette ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(dialog, kSupercompressBox, supercompress ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(dialog, kMaskBackgroundBox, maskBackground ? BST_CHECKED : BST_UNCHECKED);
    }

    // Runs the pipeline, answering its message if it shows one.
    int Run(BuildMode mode = BuildMode::Build) {
        host->requests.clear();
        int result = -1;
        message = AnswerMessage([&] { result = RunBuildWith(dialog, host->context(), mode, kFakeEffect); });
        return result;
    }

    const TaskRecord& Task() const { return *host->Of(kRequestNewAnimation).at(0)->task; }
    std::vector<Received> Frames() const {
        std::vector<Received> frames;
        for (const HostRequest* request : host->Of(kRequestAddFrame)) frames.push_back(Parse(*request));
        return frames;
    }
    std::vector<std::int32_t> TransparentIndexes() const {
        std::vector<std::int32_t> indexes;
        for (const HostRequest* request : host->Of(kRequestAddFrame)) indexes.push_back(request->image->transparentIndex);
        return indexes;
    }

    std::string message;
};

TEST_F(Pipeline, TheRoadToTheHostCarriesEveryRecordInOrder) {
    fakeFrames = {FrameOf({RGB(255, 0, 0), RGB(0, 0, 255)}, 2), FrameOf({RGB(0, 0, 255), RGB(255, 0, 0)}, 2)};
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(message, "");
    const std::vector<std::uint32_t> codes{kRequestNewAnimation, kRequestAddFrame, kRequestAddFrame, kRequestComment,
                                           kRequestFinish};
    EXPECT_EQ(host->MainCodes(), codes);
    const TaskRecord& task = Task();
    EXPECT_EQ(task.size, 1080u);
    EXPECT_EQ(task.version, 4096u);
    EXPECT_EQ(task.owner, dialog);
    EXPECT_EQ(task.zero16, 0u);
    EXPECT_EQ(task.zero800, 0u);
    EXPECT_EQ(task.frameCount, 2u);
    EXPECT_TRUE(std::all_of(std::begin(task.reserved), std::end(task.reserved), [](BYTE b) { return b == 0; }));
    auto added = host->Of(kRequestAddFrame);
    for (std::uint32_t i = 0; i < 2; ++i) {
        const ImageRecord& image = *added[i]->image;
        EXPECT_EQ(image.size, 112u);
        EXPECT_EQ(image.version, 4096u);
        EXPECT_EQ(image.frameIndex, i);
        EXPECT_EQ(image.delay, kFakeDelay);
        EXPECT_EQ(image.transparencyFlag, 0u);
        EXPECT_EQ(image.transparentIndex, -1);
        EXPECT_TRUE(added[i]->sameTask);
    }
    const HostRequest& comment = *host->Of(kRequestComment).at(0);
    EXPECT_TRUE(comment.sameTask);
    EXPECT_EQ(comment.text.rfind("CREATED BY...\r\n\r\nThis graphic was created by Vellumark' Celwright Professional "
                                 "or Reelwright and the Lumafex plugin.\r\n\r\nSee\r\n\r\n    ",
                                 0),
              0u);
    EXPECT_EQ(comment.text.substr(comment.text.size() - 25), "\r\n\r\nfor more information.");
    const HostRequest& finish = *host->Of(kRequestFinish).at(0);
    EXPECT_EQ(finish.a, 1);
    EXPECT_TRUE(finish.sameTask);

    // A Test run asks with request 5 instead; without the comment setting there is no comment.
    AddDescriptiveCommentBlock = 0;
    EXPECT_EQ(Run(BuildMode::Test), 1);
    const std::vector<std::uint32_t> test{kRequestNewTestAnimation, kRequestAddFrame, kRequestAddFrame, kRequestFinish};
    EXPECT_EQ(host->MainCodes(), test);
}

TEST_F(Pipeline, StatusAndProgressFollowEveryStage) {
    fakeFrames = {FrameOf(Colours(3), 3), FrameOf(Colours(4), 4), FrameOf(Colours(2), 2)};
    Options(false, false, true, true, false);
    EXPECT_EQ(Run(), 1);
    std::vector<std::string> status;
    std::vector<std::pair<std::int64_t, std::int64_t>> progress;
    for (const HostRequest& request : host->requests) {
        if (request.code == kRequestStatusText) status.push_back(request.text);
        if (request.code == kRequestProgress) progress.push_back({request.a, request.b});
        if (request.code == kRequestNewAnimation) break;
    }
    EXPECT_EQ(status, (std::vector<std::string>{"Building", "Quantizing", "Supercompressing", "Remapping"}));
    using P = std::pair<std::int64_t, std::int64_t>;
    // The fake effect reports none of its own; each stage clears before and after.
    EXPECT_EQ(progress, (std::vector<P>{{0, 0}, {0, 0}, {0, 0}, {0, 3}, {1, 3}, {2, 3}, {0, 0}, {0, 3}, {1, 3}, {2, 3},
                                        {0, 0}}));
}

TEST_F(Pipeline, TheLargestFrameSizeGoesToTheTask) {
    fakeFrames = {FakeFrame{8, 4, std::vector<COLORREF>(32, RGB(1, 2, 3))},
                  FakeFrame{5, 9, std::vector<COLORREF>(45, RGB(4, 5, 6))}};
    for (bool trueColour : {false, true}) {
        Options(trueColour, false, true, false, false);
        EXPECT_EQ(Run(), 1);
        EXPECT_EQ(Task().width, 8u);
        EXPECT_EQ(Task().height, 9u);
    }
}

TEST_F(Pipeline, AnEffectRenderingOneFrameIsNeverSupercompressed) {
    // Red, green and blue, and the background's white put in: 4 entries, 2 bits.
    fakeFrames = {FrameOf({RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255)}, 3)};
    Options(false, false, true, true, false);
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(Task().bitsPerPixel, 2u) << "no spare entry was set aside";
    EXPECT_EQ(TransparentIndexes(), std::vector<std::int32_t>{-1});
    EXPECT_EQ(host->Count(kRequestStatusText), 3u) << "no Supercompressing stage";
}

TEST_F(Pipeline, TrueColourDeliversTheFramesAsRenderedWithTheFixedPalette) {
    fakeFrames = {FrameOf(Colours(6), 3), FrameOf(Colours(6), 3)};
    Options(true, true, true, true, true);
    fakeBackground = Colours(6)[0];
    MainPalette = 1;
    EXPECT_EQ(Run(), 1);
    BYTE fixed[768];
    int bits = 0;
    BuildFixedPalette(fixed, &bits, 1);
    EXPECT_EQ(Task().bitsPerPixel, 4u);
    EXPECT_EQ(std::memcmp(Task().palette, fixed, sizeof fixed), 0);
    auto frames = Frames();
    ASSERT_EQ(frames.size(), 2u);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        GlobalBlock rendered(Render(fakeFrames[i]));
        EXPECT_EQ(frames[i].bytes, testing_support::BlockBytes(rendered.get())) << i;
    }
    // Supercompress is off with true colour, and nothing is masked without a palette.
    EXPECT_EQ(TransparentIndexes(), (std::vector<std::int32_t>{-1, -1}));
}

TEST_F(Pipeline, CustomPaletteWithSupercompressSparesAWhiteEntry) {
    const COLORREF white = RGB(255, 255, 255), red = RGB(200, 0, 0), blue = RGB(0, 0, 200), green = RGB(0, 150, 0);
    fakeFrames = {FakeFrame{2, 2, {white, red, blue, green}}, FakeFrame{2, 2, {white, red, green, green}}};
    Options(false, false, true, true, true);
    EXPECT_EQ(Run(), 1);
    const TaskRecord& task = Task();
    // Four colours, white put in again, the spare after them: 6 entries, 3 bits.
    EXPECT_EQ(task.bitsPerPixel, 3u);
    const int spare = 5;
    EXPECT_TRUE(SameColour(task.palette + 3 * spare, white));
    EXPECT_EQ(TransparentIndexes(), (std::vector<std::int32_t>{spare, spare}));
    auto frames = Frames();
    ASSERT_EQ(frames.size(), 2u);
    const RGBQUAD entry = frames[1].Entry(spare);
    EXPECT_EQ(RGB(entry.rgbRed, entry.rgbGreen, entry.rgbBlue), white);
    // Frame 1: unchanged pixels take the spare entry, the changed one its colour.
    EXPECT_EQ(frames[1].Pixel(0, 0), static_cast<DWORD>(spare));
    EXPECT_EQ(frames[1].Pixel(1, 0), static_cast<DWORD>(spare));
    EXPECT_EQ(frames[1].Pixel(1, 1), static_cast<DWORD>(spare));
    EXPECT_TRUE(SameColour(task.palette + 3 * frames[1].Pixel(0, 1), green));
    // An effect without a background has no background pixels: frame 0's white stays white.
    EXPECT_NE(frames[0].Pixel(0, 0), static_cast<DWORD>(spare));
    EXPECT_TRUE(SameColour(task.palette + 3 * frames[0].Pixel(0, 0), white));
}

TEST_F(Pipeline, SupercompressionMakesTheEffectsBackgroundTransparentInFrameZero) {
    const COLORREF back = RGB(10, 20, 30), red = RGB(200, 0, 0);
    fakeBackground = back;
    fakeFrames = {FakeFrame{2, 1, {back, red}}, FakeFrame{2, 1, {red, red}}};
    Options(false, false, true, true, false);
    EXPECT_EQ(Run(), 1);
    const TaskRecord& task = Task();
    // back and red, back put in again, and the spare: 4 entries.
    const int spare = 3;
    EXPECT_EQ(task.bitsPerPixel, 2u);
    EXPECT_TRUE(SameColour(task.palette + 3 * spare, back));
    auto frames = Frames();
    EXPECT_EQ(frames[0].Pixel(0, 0), static_cast<DWORD>(spare));
    EXPECT_TRUE(SameColour(task.palette + 3 * frames[0].Pixel(1, 0), red));
    EXPECT_TRUE(SameColour(task.palette + 3 * frames[1].Pixel(0, 0), red)) << "changed in frame 1";
    EXPECT_EQ(frames[1].Pixel(1, 0), static_cast<DWORD>(spare));
}

TEST_F(Pipeline, AFixedPaletteWithSupercompressAltersNoPixel) {
    fakeFrames = {FrameOf(Colours(12), 4), FrameOf(Colours(12), 4), FrameOf(Colours(9), 3)};
    Options(false, false, false, true, false);
    EXPECT_EQ(Run(), 1);
    BYTE fixed[768];
    BuildFixedPalette(fixed, nullptr, kOrthogonalPalette);
    EXPECT_EQ(std::memcmp(Task().palette, fixed, sizeof fixed), 0);
    EXPECT_EQ(Task().bitsPerPixel, 8u);
    auto frames = Frames();
    ASSERT_EQ(frames.size(), 3u);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        GlobalBlock rendered(Render(fakeFrames[i]));
        GlobalBlock expected(RemapFrame(rendered.get(), fixed, 8, 256));
        EXPECT_EQ(frames[i].bytes, testing_support::BlockBytes(expected.get())) << i;
    }
    EXPECT_EQ(TransparentIndexes(), (std::vector<std::int32_t>{-1, -1, -1}));
}

TEST_F(Pipeline, DitherDiffusesOverTheBuiltPalette) {
    std::vector<COLORREF> ramp;
    for (int i = 0; i < 64; ++i) ramp.push_back(RGB(i * 4, 255 - i * 4, 128));
    fakeFrames = {FrameOf(ramp, 8)};
    Options(false, true, false, false, false);
    MainPalette = 0;
    EXPECT_EQ(Run(), 1);
    BYTE fixed[768];
    BuildFixedPalette(fixed, nullptr, 0);
    GlobalBlock rendered(Render(fakeFrames[0]));
    GlobalBlock expected(DitherFrame(rendered.get(), fixed, 1, 256));
    EXPECT_EQ(Task().bitsPerPixel, 1u);
    EXPECT_EQ(Frames().at(0).bytes, testing_support::BlockBytes(expected.get()));
}

TEST_F(Pipeline, TheDepthCountsTheSpareEntry) {
    struct Case {
        int colours;
        bool supercompress;
        unsigned bits;
    };
    // White is appended below 254 entries and replaces the nearest from 254 on.
    for (Case c : {Case{255, true, 8}, Case{256, false, 8}, Case{126, true, 7}, Case{127, true, 8},
                   Case{127, false, 7}, Case{128, false, 8}, Case{2, true, 2}}) {
        SCOPED_TRACE(c.colours);
        fakeFrames = {FrameOf(Colours(c.colours), 16), FrameOf(Colours(c.colours), 16)};
        Options(false, false, true, c.supercompress, false);
        EXPECT_EQ(Run(), 1);
        EXPECT_EQ(Task().bitsPerPixel, c.bits);
        const int count = std::min(c.colours + 1, c.supercompress ? 255 : 256);
        if (c.supercompress) {
            EXPECT_EQ(TransparentIndexes()[1], count);
            EXPECT_TRUE(SameColour(Task().palette + 3 * count, RGB(255, 255, 255)));
        }
        for (const Received& frame : Frames()) EXPECT_EQ(frame.bits, c.bits <= 1 ? 1 : c.bits <= 4 ? 4 : 8);
    }
}

TEST_F(Pipeline, MaskBackgroundMakesTheBackgroundTheEntryAfterTheColours) {
    const COLORREF back = RGB(0, 0, 0), red = RGB(255, 0, 0), green = RGB(0, 255, 0);
    fakeBackground = back;
    fakeFrames = {FakeFrame{3, 1, {back, red, green}}, FakeFrame{3, 1, {red, back, green}}};
    Options(false, false, true, false, true);
    EXPECT_EQ(Run(), 1);
    // Three colours (the background is not put in again), the transparent entry after them.
    const int transparent = 3;
    EXPECT_EQ(Task().bitsPerPixel, 2u);
    EXPECT_TRUE(SameColour(Task().palette + 3 * transparent, back));
    EXPECT_EQ(TransparentIndexes(), (std::vector<std::int32_t>{transparent, transparent}));
    auto frames = Frames();
    EXPECT_EQ(frames[0].Pixel(0, 0), static_cast<DWORD>(transparent));
    EXPECT_EQ(frames[1].Pixel(1, 0), static_cast<DWORD>(transparent));
    EXPECT_NE(frames[1].Pixel(0, 0), static_cast<DWORD>(transparent));

    // An effect without a background has nothing to mask.
    fakeBackground = kNoBackground;
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(TransparentIndexes(), (std::vector<std::int32_t>{-1, -1}));
}

TEST_F(Pipeline, AHostRefusingTheAnimationGetsNoFrames) {
    fakeFrames = {FrameOf(Colours(5), 5), FrameOf(Colours(5), 5)};
    host->refused = {kRequestNewAnimation};
    const std::size_t before = luma::LiveGlobalBlocks();
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(message, "Error creating new task.");
    EXPECT_EQ(host->MainCodes(), std::vector<std::uint32_t>{kRequestNewAnimation});
    EXPECT_EQ(luma::LiveGlobalBlocks(), before);
}

TEST_F(Pipeline, AHostRefusingAFrameEndsTheTaskAbandoned) {
    fakeFrames = {FrameOf(Colours(5), 5), FrameOf(Colours(5), 5), FrameOf(Colours(5), 5)};
    host->refusedFrame = 1;
    const std::size_t before = luma::LiveGlobalBlocks();
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(message, "There has been an error adding an image to the current file object.");
    const std::vector<std::uint32_t> codes{kRequestNewAnimation, kRequestAddFrame, kRequestAddFrame, kRequestFinish};
    EXPECT_EQ(host->MainCodes(), codes);
    EXPECT_EQ(host->Of(kRequestFinish).at(0)->a, 0);
    EXPECT_TRUE(host->Of(kRequestFinish).at(0)->sameTask);
    EXPECT_EQ(luma::LiveGlobalBlocks(), before);
}

TEST_F(Pipeline, AFailedOrEmptyBuildIsAMemoryErrorWithoutATask) {
    const std::size_t before = luma::LiveGlobalBlocks();
    fakeFrames = {FrameOf(Colours(5), 5)};
    fakeBuildFails = true;
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(message, "Memory error");
    EXPECT_EQ(host->Count(kRequestNewAnimation), 0u);
    EXPECT_EQ(luma::LiveGlobalBlocks(), before) << "the frames made before the failure are freed";

    fakeFrames.clear();
    fakeBuildFails = false;
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(message, "Memory error");
    EXPECT_EQ(host->Count(kRequestNewAnimation), 0u);
}

TEST_F(Pipeline, EveryAllocationFailureIsAMemoryErrorThatLeavesNothing) {
    fakeBackground = RGB(9, 9, 9);
    for (bool supercompress : {false, true}) {
        fakeFrames = {FrameOf(Colours(40), 8), FrameOf(Colours(30), 8), FrameOf(Colours(40), 8)};
        Options(false, !supercompress, true, supercompress, !supercompress);
        int walked = testing_support::WalkAllocationFailures([&] {
            host->requests.clear();
            // Its Memory error message ends as Cancel for lack of input.
            int result = RunBuildWith(dialog, host->context(), BuildMode::Build, kFakeEffect);
            // Nothing reaches the host from a run that failed for memory.
            if (!result) {
                EXPECT_EQ(host->Count(kRequestNewAnimation), 0u);
            }
            return result == 1;
        });
        EXPECT_GT(walked, 10);
    }
}

}  // namespace

namespace {

// Sets LUMAFEX_THREADS for one scope.
class ThreadCount {
public:
    explicit ThreadCount(const char* count) { setenv("LUMAFEX_THREADS", count, 1); }
    ~ThreadCount() { unsetenv("LUMAFEX_THREADS"); }
    ThreadCount(const ThreadCount&) = delete;
    ThreadCount& operator=(const ThreadCount&) = delete;
};

// Frames of a moving scene with more colours than a palette holds, some
// pixels in the background colour and a frame that repeats its predecessor.
std::vector<FakeFrame> MovingScene(int count) {
    std::vector<FakeFrame> frames;
    for (int i = 0; i < count; ++i) {
        FakeFrame frame{23, 9, {}};
        for (LONG y = 0; y < frame.height; ++y)
            for (LONG x = 0; x < frame.width; ++x) {
                const int v = (x + i) * 11 + y * 29;
                frame.pixels.push_back((x + y + i) % 7 ? RGB(v % 256, (v * 3 + i) % 256, (v * 7) % 256) : RGB(9, 9, 9));
            }
        frames.push_back(frame);
        if (i == 2) frames.push_back(frame);
    }
    return frames;
}

// Everything the host is told, in order, with the pictures' bytes.
using Told = std::tuple<std::uint32_t, std::int64_t, std::int64_t, std::string, std::int32_t, std::vector<BYTE>>;
std::vector<Told> Transcript(const std::vector<HostRequest>& requests) {
    std::vector<Told> transcript;
    for (const HostRequest& r : requests)
        transcript.emplace_back(r.code, r.a, r.b, r.text, r.image ? r.image->transparentIndex : 0, r.frame);
    return transcript;
}

TEST_F(Pipeline, EveryThreadCountTellsTheHostTheSameThings) {
    fakeBackground = RGB(9, 9, 9);
    fakeFrames = MovingScene(9);
    struct Case {
        bool dither, customPalette, supercompress, maskBackground;
    };
    for (Case c : {Case{false, true, false, false}, Case{true, true, true, false}, Case{false, true, false, true},
                   Case{true, false, true, false}, Case{false, false, false, true}}) {
        Options(false, c.dither, c.customPalette, c.supercompress, c.maskBackground);
        ThreadCount one("1");
        ASSERT_EQ(Run(), 1);
        const auto serial = Transcript(host->requests);
        ASSERT_EQ(host->Of(kRequestAddFrame).size(), 10u);
        for (const char* threads : {"2", "3", "16"}) {
            ThreadCount many(threads);
            ASSERT_EQ(Run(), 1);
            EXPECT_TRUE(Transcript(host->requests) == serial)
                << threads << " threads, dither " << c.dither << " custom " << c.customPalette << " supercompress "
                << c.supercompress << " mask " << c.maskBackground;
        }
    }
}

// A failure on any worker is a Memory error that leaves nothing behind, and
// the host heard of no frame beyond the one that failed.
TEST_F(Pipeline, FailuresOnEveryCoreLeaveNothing) {
    fakeBackground = RGB(9, 9, 9);
    fakeFrames = MovingScene(6);
    for (const char* threads : {"2", "5"}) {
        ThreadCount count(threads);
        for (bool dither : {false, true}) {
            Options(false, dither, true, dither, !dither);
            int walked = testing_support::WalkAllocationFailures([&] {
                host->requests.clear();
                int result = RunBuildWith(dialog, host->context(), BuildMode::Build, kFakeEffect);
                if (!result) {
                    EXPECT_EQ(host->Count(kRequestNewAnimation), 0u);
                    // Remapping progress runs in frame order and stops at the failed frame.
                    std::int64_t expected = 0;
                    bool remapping = false;
                    for (const HostRequest& r : host->requests) {
                        if (r.code == kRequestStatusText) remapping = r.text == "Remapping";
                        if (remapping && r.code == kRequestProgress && r.b != 0) {
                            EXPECT_EQ(r.a, expected++);
                        }
                    }
                }
                return result == 1;
            });
            EXPECT_GT(walked, 10) << threads << " threads";
        }
    }
}

}  // namespace
