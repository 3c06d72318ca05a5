// Helpers for the tests of Stars, Confetti and Arrows: a body's state made
// for the page as it stands, plain pictures to draw on, and the blend that
// composes expected frames from elements' masks at the corners the motion
// rules give.
#pragma once

#include <windows.h>

#include <cstring>
#include <vector>

#include "effects/common_build.h"
#include "effects/falling.h"
#include "plugin/guards.h"

namespace testing_support {

// The body's state initialised for the page and the loaded picture, as the
// build loop makes it; freed at the end of its scope.
class BodyState {
public:
    BodyState(const EffectBody& body, HWND page);
    BodyState(const BodyState&) = delete;
    BodyState& operator=(const BodyState&) = delete;
    ~BodyState();

    explicit operator bool() const { return ok_; }
    template <class State>
    State& as() const {
        return *static_cast<State*>(body_.state);
    }
    // The next frame, as the build loop renders it.
    GlobalBlock Render(int frame);

private:
    const EffectBody& body_;
    BuildContext context_{};
    bool ok_ = false;
};

// Loads a picture of one colour as the SourceImage.
void LoadPlainPicture(LONG width, LONG height, COLORREF colour);

// A picture of one colour.
GlobalBlock PlainPicture(LONG width, LONG height, COLORREF colour);

// Blends colour through mask onto picture at (x, y), wrapping round the
// edges: how a frame receives one element or its shadow.
void BlendMaskOnto(HGLOBAL picture, HGLOBAL mask, LONG x, LONG y, COLORREF colour, int opacity);

// Frame `frame` of `frames` of Snow's motion, composed element by element
// (shadow first) on a plain picture from the elements as they were made:
// each falls trunc(frame / frames x height) x speed, its phase turned
// frame mod frames times by 360 x (1 / frames), and sways by the sine of
// its phase.
GlobalBlock ExpectedFallingFrame(const std::vector<FallingElement>& elements, LONG width, LONG height,
                                 COLORREF background, int frame, int frames, int drift);

// Width and height of a PackedDib.
SIZE DibSize(HGLOBAL dib);

// Which columns of a picture hold a pixel that is not black.
std::vector<bool> LitColumns(HGLOBAL picture);

// Coverage (low byte) at (x, y) of a mask.
int Coverage(HGLOBAL mask, LONG x, LONG y);

}  // namespace testing_support
