// The digest that pins golden builds: over a build's frames every delay and
// every byte counts.
#include <gtest/gtest.h>

#include <string>

#include "effects/framework.h"
#include "image/packed_dib.h"
#include "plugin/guards.h"
#include "tests/support/frame_digest.h"

namespace {

TEST(FrameDigest, EveryFrameByteAndDelayCounts) {
    auto build = [](DWORD delay, COLORREF corner) {
        testing_support::BuiltFrames frames;
        for (int i = 0; i < 2; ++i) {
            HGLOBAL picture = CreatePackedDib(3, 2, nullptr, 24);
            {
                GlobalLockGuard<BYTE> bytes(picture);
                if (i == 1) SetDibPixel(bytes.get(), 2, 1, corner);
            }
            FrameRecord record{};
            record.image = picture;
            record.delay = delay;
            record.transparentIndex = -1;
            EXPECT_EQ(AppendFrame(&frames.list, &record), 1);
        }
        frames.result = 1;
        return frames;
    };
    const std::string plain = testing_support::FramesDigest(build(6, 0));
    EXPECT_EQ(plain.size(), 64u);
    EXPECT_EQ(testing_support::FramesDigest(build(6, 0)), plain);
    EXPECT_NE(testing_support::FramesDigest(build(7, 0)), plain);
    EXPECT_NE(testing_support::FramesDigest(build(6, RGB(0, 0, 1))), plain);
}

}  // namespace
