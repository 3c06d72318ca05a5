#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

#include "effects/common_build.h"
#include "effects/effect_bodies.h"
#include "effects/effect_table.h"
#include "effects/source_image.h"
#include "image/packed_dib.h"
#include "luma/testing.h"
#include "plugin/guards.h"
#include "tests/support/dialog_fixture.h"
#include "tests/support/fault_walk.h"
#include "tests/support/pictures.h"

namespace {

using testing_support::BlockBytes;

std::vector<BYTE> SampleFileWithoutHeader() {
    std::ifstream in(LUMAFEX_SOURCE_DIR "/resources/bitmaps/sample_picture.bmp", std::ios::binary);
    std::vector<BYTE> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() > sizeof(BITMAPFILEHEADER)) bytes.erase(bytes.begin(), bytes.begin() + sizeof(BITMAPFILEHEADER));
    return bytes;
}

class SourceImage : public ::testing::Test {
protected:
    void TearDown() override { SetSourceImage(nullptr); }
};

TEST_F(SourceImage, WithoutAPictureEveryEffectGetsTheSampleImage) {
    SetSourceImage(nullptr);
    GlobalBlock copy(GetSourceImageCopy());
    ASSERT_TRUE(copy);
    EXPECT_EQ(BlockBytes(copy.get()), SampleFileWithoutHeader());
    GlobalLockGuard<BITMAPINFOHEADER> header(copy.get());
    EXPECT_EQ(header->biWidth, 400);
    EXPECT_EQ(header->biHeight, 300);
    EXPECT_EQ(header->biBitCount, 24);
    EXPECT_TRUE(PackedDibFits(header.get(), GlobalSize(copy.get())));
    // Every call gives a block of its own.
    GlobalBlock second(GetSourceImageCopy());
    EXPECT_NE(second.get(), copy.get());
}

TEST_F(SourceImage, ALoadedPictureIsCopiedWhole) {
    std::mt19937 random(3);
    HGLOBAL picture = testing_support::RandomPackedDib(random, 33, 17, 24);
    auto bytes = BlockBytes(picture);
    SetSourceImage(picture);
    GlobalBlock copy(GetSourceImageCopy());
    ASSERT_TRUE(copy);
    EXPECT_NE(copy.get(), picture);
    EXPECT_EQ(BlockBytes(copy.get()), bytes);
}

TEST_F(SourceImage, AFailedCopyFallsBackToTheSampleAndLeaksNothing) {
    std::mt19937 random(4);
    SetSourceImage(testing_support::RandomPackedDib(random, 8, 8, 24));
    luma::FailAllocationAfter(1);
    GlobalBlock copy(GetSourceImageCopy());
    luma::FailAllocationAfter(0);
    ASSERT_TRUE(copy);
    EXPECT_EQ(BlockBytes(copy.get()), SampleFileWithoutHeader());
    copy.reset();
    testing_support::WalkBlockFailures([] { return GetSourceImageCopy(); }, /*mustFail=*/false);
}

// A small effect for the common operations: frames of the source size in
// one grey level per frame.
struct FakeState {
    LONG width, height;
    int initialisedFromZero;
    int frames;
    int freed;
};
FakeState fakeState;
bool failRenderAt = false;
int failFrame = -1;

int FakeInitialise(BuildContext* context, LONG width, LONG height) {
    auto* state = static_cast<FakeState*>(context->state);
    state->initialisedFromZero = state->width == 0 && state->frames == 0 && state->freed == 0;
    state->width = width;
    state->height = height;
    return 1;
}

HGLOBAL FakeRender(BuildContext* context, int frame) {
    auto* state = static_cast<FakeState*>(context->state);
    if (failRenderAt && frame == failFrame) return nullptr;
    ++state->frames;
    return CreatePackedDib(4, 3, nullptr, 24);
}

void FakeFree(BuildContext* context) { ++static_cast<FakeState*>(context->state)->freed; }

const EffectBody kFakeBody{&fakeState, sizeof fakeState, FakeInitialise, FakeRender, FakeFree, 126, 102};

class CommonOperations : public testing_support::MainDialogTest {
protected:
    void SetUp() override {
        MainDialogTest::SetUp();
        OpenDialog();
        std::memset(&fakeState, 0xAB, sizeof fakeState);
        failRenderAt = false;
    }
};

TEST_F(CommonOperations, PreviewRendersFrameZeroOfTheSourceSize) {
    BuildContext context{};
    context.page = dialog;
    ASSERT_EQ(CommonPreview(&context, kFakeBody), 1);
    EXPECT_EQ(context.flags & kPreviewFlag, kPreviewFlag);
    EXPECT_EQ(context.state, &fakeState);
    EXPECT_TRUE(fakeState.initialisedFromZero);
    EXPECT_EQ(fakeState.width, 400);  // the sample picture
    EXPECT_EQ(fakeState.height, 300);
    EXPECT_EQ(fakeState.frames, 1);
    EXPECT_EQ(fakeState.freed, 1);
    ASSERT_NE(context.previewImage, nullptr);
    GlobalFree(context.previewImage);
}

TEST_F(CommonOperations, BuildAppendsFramesFramesAtThePageDelayAndReportsEachOne) {
    SetDlgItemTextA(dialog, 126, "5");  // Snow's Delay
    SetDlgItemTextA(dialog, 102, "7");  // and Frames
    FrameList list{};
    BuildContext context{};
    context.page = dialog;
    context.frames = &list;
    context.host = host->context();
    host->requests.clear();
    ASSERT_EQ(CommonBuild(&context, kFakeBody), 1);
    ASSERT_EQ(list.count, 7);
    {
        GlobalLockGuard<FrameRecord> records(list.records);
        for (int i = 0; i < 7; ++i) {
            EXPECT_NE(records.get()[i].image, nullptr);
            EXPECT_EQ(records.get()[i].mask, nullptr);
            EXPECT_EQ(records.get()[i].delay, 5u);
            EXPECT_EQ(records.get()[i].transparentIndex, -1);
        }
    }
    ASSERT_EQ(host->requests.size(), 7u);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(host->requests[i].code, static_cast<std::uint32_t>(kRequestProgress));
        EXPECT_EQ(host->requests[i].a, i);
        EXPECT_EQ(host->requests[i].b, 7);
    }
    EXPECT_EQ(fakeState.freed, 1);
    FreeFrameList(&list);
}

TEST_F(CommonOperations, AFailedFrameFreesTheStateAndFailsTheBuild) {
    SetDlgItemTextA(dialog, 102, "4");
    failRenderAt = true;
    failFrame = 2;
    FrameList list{};
    BuildContext context{};
    context.page = dialog;
    context.frames = &list;
    EXPECT_EQ(CommonBuild(&context, kFakeBody), 0);
    EXPECT_EQ(list.count, 2);
    EXPECT_EQ(fakeState.freed, 1);
    FreeFrameList(&list);
}

TEST_F(CommonOperations, EveryAllocationFailureOfABuildLeavesNothingBehind) {
    SetDlgItemTextA(dialog, 102, "3");
    testing_support::WalkAllocationFailures([&] {
        FrameList list{};
        BuildContext context{};
        context.page = dialog;
        context.frames = &list;
        int ok = CommonBuild(&context, kFakeBody);
        bool whole = ok && list.count == 3;
        FreeFrameList(&list);
        return whole;
    });
}

TEST_F(CommonOperations, EffectsNotYetAvailableFailCleanly) {
    // In table order.
    const EffectBody* bodies[kEffectCount] = {
        &ArrowsBody, &BadVideoBody, &BubblesBody,   &ConfettiBody,    &GravityBody, &GridlockBody, &HyperspaceBody,
        &MatrixBody, &ParticlesBody, &PhasersBody, &PingBody,        &PlasmaArcBody, &RainBody,    &SkipIntroBody,
        &SingularityBody, &SnowBody, &SparkleBody, &StarsBody,       &TracksBody,  &WaveBody};
    const std::size_t before = luma::LiveGlobalBlocks();
    for (int i = 0; i < kEffectCount; ++i) {
        if (bodies[i]->Initialise != RenderingNotAvailable) continue;
        const EffectRecord& record = EffectTable[i];
        SCOPED_TRACE(record.name);
        BuildContext preview{};
        preview.page = dialog;
        EXPECT_EQ(record.Preview(&preview), 0);
        EXPECT_EQ(preview.previewImage, nullptr);
        FrameList list{};
        BuildContext build{};
        build.page = dialog;
        build.frames = &list;
        EXPECT_EQ(record.Build(&build), 0);
        EXPECT_EQ(list.count, 0);
    }
    EXPECT_EQ(luma::LiveGlobalBlocks(), before);
}

TEST_F(CommonOperations, TheTableOperationsOfMatrixAndTracks) {
    SetDlgItemTextA(dialog, 672, "4227327");
    EXPECT_EQ(EffectTable[7].BackgroundColour(dialog, 0), 4227327u);
    EXPECT_EQ(EffectTable[7].BackgroundColour(dialog, 1), kNoBackground);
    EXPECT_EQ(EffectTable[18].PageEvent(dialog, kPageShown), 0);
    for (int i : {0, 1, 2, 15, 19}) {
        EXPECT_EQ(EffectTable[i].BackgroundColour(dialog, 0), kNoBackground);
        EXPECT_EQ(EffectTable[i].PageEvent(dialog, kPageRefresh), 1);
        EXPECT_EQ(EffectTable[i].reserved, nullptr);
    }
    EXPECT_EQ(EffectAt(20), nullptr);
    EXPECT_EQ(EffectAt(-1), nullptr);
    EXPECT_EQ(EffectStyleNumber(15), 0);
    EXPECT_EQ(EffectStyleNumber(0), 17);
}

}  // namespace
