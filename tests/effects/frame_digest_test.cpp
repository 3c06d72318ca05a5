// The digest that pins golden builds: SHA-256 as published, and over a
// build's frames every delay and every byte counts.
#include <gtest/gtest.h>

#include <string>

#include "effects/framework.h"
#include "image/packed_dib.h"
#include "plugin/guards.h"
#include "tests/support/frame_digest.h"

namespace {

using testing_support::Sha256Hex;

TEST(FrameDigest, Sha256GivesThePublishedDigests) {
    EXPECT_EQ(Sha256Hex("", 0), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256Hex("abc", 3), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // Two blocks: the padding spills into a second one.
    const std::string two = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    EXPECT_EQ(Sha256Hex(two.data(), two.size()), "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    const std::string million(1000000, 'a');
    EXPECT_EQ(Sha256Hex(million.data(), million.size()),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

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
