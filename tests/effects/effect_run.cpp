#include "tests/effects/effect_run.h"

#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "image/packed_dib.h"
#include "tests/effects/frame_png.h"
#include "tests/support/frame_digest.h"
#include "plugin/guards.h"

namespace testing_support {

HGLOBAL PatternPicture(LONG width, LONG height) {
    HGLOBAL picture = CreatePackedDib(width, height, nullptr, 24);
    GlobalLockGuard<BYTE> p(picture);
    for (LONG y = 0; p && y < height; ++y)
        for (LONG x = 0; x < width; ++x)
            SetDibPixel(p.get(), x, y, RGB((x * 7 + y) & 0xFF, (y * 5 + 40) & 0xFF, ((x + y) * 3 + 90) & 0xFF));
    return picture;
}

BodyRun::BodyRun(const EffectBody& body, HWND page, LONG width, LONG height, DWORD flags) : body_(body) {
    context_.page = page;
    context_.flags = flags;
    if (body.state) std::memset(body.state, 0, body.stateSize);
    context_.state = body.state;
    ok_ = body.Initialise(&context_, width, height) != 0;
}

BodyRun::~BodyRun() {
    if (ok_ && body_.FreeState) body_.FreeState(&context_);
}

void ExpectGoldenBuild(const BuiltFrames& frames, const std::string& sha256, const std::vector<int>& shown,
                       const std::string& name) {
    for (int frame : shown) {
        ASSERT_LT(frame, frames.count());
        EXPECT_TRUE(WriteFramePng(frames[frame].image, name + "_" + std::to_string(frame) + ".png"));
    }
    EXPECT_EQ(FramesDigest(frames), sha256) << name;
}

int ChangedPixels(HGLOBAL a, HGLOBAL b) {
    GlobalLockGuard<BYTE> p(a), q(b);
    if (!p || !q) return -1;
    DibLayout l;
    if (!DibLayout::From(p.get(), l)) return -1;
    int changed = 0;
    for (LONG y = 0; y < l.height; ++y)
        for (LONG x = 0; x < l.width; ++x) changed += GetDibPixel(p.get(), x, y) != GetDibPixel(q.get(), x, y);
    return changed;
}

}  // namespace testing_support
