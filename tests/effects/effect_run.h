// Helpers for the tests of single effects: pictures to animate, a body's
// state made on the page as it stands, frames written as PNG files for a
// look, and pixel comparisons.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "effects/common_build.h"
#include "tests/effects/frame_png.h"
#include "tests/support/effect_harness.h"

namespace testing_support {

// A 24-bit picture of width x height with a smooth colour pattern, so every
// pixel differs a little from its neighbours.
HGLOBAL PatternPicture(LONG width, LONG height);

// A body's state made for a picture of width x height on the page: frames
// can be rendered one by one and the state inspected; freed at scope end.
class BodyRun {
public:
    BodyRun(const EffectBody& body, HWND page, LONG width, LONG height, DWORD flags = 0);
    BodyRun(const BodyRun&) = delete;
    BodyRun& operator=(const BodyRun&) = delete;
    ~BodyRun();

    bool ok() const { return ok_; }
    HGLOBAL Render(int frame) { return body_.RenderFrame(&context_, frame); }
    template <class State>
    State& state() const {
        return *static_cast<State*>(body_.state);
    }

private:
    const EffectBody& body_;
    BuildContext context_{};
    bool ok_ = false;
};

// Checks the SHA-256 of a whole build against its golden value and writes
// the frames shown as <name>_<frame>.png for a look.
void ExpectGoldenBuild(const BuiltFrames& frames, const std::string& sha256, const std::vector<int>& shown,
                       const std::string& name);

// How many pixels of two pictures of one size differ.
int ChangedPixels(HGLOBAL a, HGLOBAL b);

}  // namespace testing_support
