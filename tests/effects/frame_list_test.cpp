#include <gtest/gtest.h>

#include <vector>

#include "effects/framework.h"
#include "luma/testing.h"
#include "plugin/guards.h"
#include "tests/support/fault_walk.h"

namespace {

FrameRecord Frame(HGLOBAL image, DWORD delay) {
    FrameRecord record{};
    record.image = image;
    record.delay = delay;
    record.transparentIndex = -1;
    return record;
}

std::vector<FrameRecord> Records(const FrameList& list) {
    GlobalLockGuard<FrameRecord> records(list.records);
    return {records.get(), records.get() + list.count};
}

TEST(FrameList, AppendsCopiesInOrderInOneGrowingBlock) {
    const std::size_t before = luma::LiveGlobalBlocks();
    FrameList list{};
    std::vector<HGLOBAL> images;
    for (DWORD i = 0; i < 5; ++i) {
        images.push_back(GlobalAlloc(GHND, 16));
        FrameRecord record = Frame(images.back(), 10 + i);
        record.reserved[31] = 0;
        ASSERT_EQ(AppendFrame(&list, &record), 1);
        EXPECT_EQ(list.count, static_cast<INT>(i + 1));
        EXPECT_EQ(GlobalSize(list.records), (i + 1) * sizeof(FrameRecord));
    }
    auto records = Records(list);
    for (std::size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(records[i].image, images[i]);
        EXPECT_EQ(records[i].mask, nullptr);
        EXPECT_EQ(records[i].delay, 10 + i);
        EXPECT_EQ(records[i].transparentIndex, -1);
    }
    EXPECT_EQ(luma::LiveGlobalBlocks(), before + 6);
    FreeFrameList(&list);
    EXPECT_EQ(list.count, 0);
    EXPECT_EQ(list.records, nullptr);
    EXPECT_EQ(luma::LiveGlobalBlocks(), before);
}

TEST(FrameList, FreeingReleasesImagesAndMasks) {
    const std::size_t before = luma::LiveGlobalBlocks();
    FrameList list{};
    for (int i = 0; i < 3; ++i) {
        FrameRecord record = Frame(GlobalAlloc(GHND, 8), 1);
        record.mask = i == 1 ? GlobalAlloc(GHND, 4) : nullptr;
        ASSERT_EQ(AppendFrame(&list, &record), 1);
    }
    FreeFrameList(&list);
    FreeFrameList(&list);  // an empty list frees nothing more
    EXPECT_EQ(luma::LiveGlobalBlocks(), before);
}

TEST(FrameList, AFailedAppendLeavesTheListUnchanged) {
    for (int existing : {0, 1, 4}) {
        FrameList list{};
        for (int i = 0; i < existing; ++i) {
            FrameRecord record = Frame(nullptr, 100 + i);
            ASSERT_EQ(AppendFrame(&list, &record), 1);
        }
        HGLOBAL block = list.records;
        std::vector<FrameRecord> kept = existing ? Records(list) : std::vector<FrameRecord>{};

        GlobalBlock image(GlobalAlloc(GHND, 8));
        const std::size_t before = luma::LiveGlobalBlocks();
        FrameRecord record = Frame(image.get(), 7);
        luma::FailAllocationAfter(1);
        EXPECT_EQ(AppendFrame(&list, &record), 0);
        luma::FailAllocationAfter(0);

        EXPECT_EQ(list.count, existing);
        EXPECT_EQ(list.records, block);
        EXPECT_EQ(luma::LiveGlobalBlocks(), before);
        if (existing) {
            auto now = Records(list);
            ASSERT_EQ(now.size(), kept.size());
            for (std::size_t i = 0; i < now.size(); ++i) EXPECT_EQ(now[i].delay, kept[i].delay);
        }
        // The frame is still the caller's and can be appended once memory returns.
        EXPECT_EQ(AppendFrame(&list, &record), 1);
        image.release();
        EXPECT_EQ(list.count, existing + 1);
        FreeFrameList(&list);
    }
}

TEST(FrameList, EveryFaultDuringABuildOfFramesLeavesNothingBehind) {
    // Appending frames the way the build loop does, failing each allocation in turn.
    testing_support::WalkAllocationFailures([] {
        FrameList list{};
        for (int i = 0; i < 6; ++i) {
            GlobalBlock image(GlobalAlloc(GHND, 32));
            if (!image) {
                FreeFrameList(&list);
                return false;
            }
            FrameRecord record = Frame(image.get(), 3);
            if (!AppendFrame(&list, &record)) {
                FreeFrameList(&list);
                return false;
            }
            image.release();
        }
        bool whole = list.count == 6;
        FreeFrameList(&list);
        return whole;
    });
}

TEST(FrameList, RejectsMissingArguments) {
    FrameList list{};
    FrameRecord record{};
    EXPECT_EQ(AppendFrame(nullptr, &record), 0);
    EXPECT_EQ(AppendFrame(&list, nullptr), 0);
    FreeFrameList(nullptr);
}

}  // namespace
