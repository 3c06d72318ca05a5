// What the tests of the ball and bar effects share: pictures to animate,
// frame comparisons, PNG copies of frames to look at, and the checks every
// such effect must pass (seeds decide the frames, odd picture sizes build,
// memory failures leak nothing).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "effects/common_build.h"
#include "tests/support/effect_harness.h"

namespace testing_support {

// A rectangle of pixels, right and bottom excluded; empty when left >= right.
struct Box {
    LONG left = 0, top = 0, right = 0, bottom = 0;
    bool empty() const { return left >= right || top >= bottom; }
    bool operator==(const Box&) const = default;
};

// The box of the pixels whose channels differ by more than tolerance.
Box ChangedBox(HGLOBAL a, HGLOBAL b, int tolerance);

// Whether every pixel of a 24-bit picture has equal green and blue.
bool GreenEqualsBlue(HGLOBAL picture);

// Writes a 24- or 32-bit picture as PNG under build/effects_test_output.
void SavePng(HGLOBAL picture, const std::string& name);

// The page controls the shared checks set; 0 where a page has none.
struct EffectControls {
    const char* name;
    int frames, seed, size, density, glare;
    int colour1;
    int enables[4];  // of Colors 2 to 5
};

class ScatterEffectTest : public EffectTest {
protected:
    explicit ScatterEffectTest(const EffectControls& controls) : controls_(controls) {}
    void SetUp() override;

    // The SourceImage: one colour, or random pixels.
    void UsePlainPicture(LONG width, LONG height, COLORREF colour);
    void UseRandomPicture(LONG width, LONG height, unsigned seed);
    // Colour 1 alone.
    void OneColour(COLORREF colour);

    // The FNV hash of each frame of a build.
    static std::vector<std::uint64_t> Hashes(const BuiltFrames& frames);

    // A successful build of count frames through the effect's Build.
    BuiltFrames BuildFrames(int count);

    // The random number drawn next after the body's initialisation for a
    // picture of width x height, and the nth (from 0) number a seed gives:
    // together they count an initialisation's draws.
    int NextDrawAfter(const EffectBody& body, LONG width, LONG height);
    static int DrawNumber(int seed, int n);

    // The preview equals frame index of a build of frames frames.
    void ExpectPreviewIsFrame(int frames, int index);

    // Two builds with the seed give the same frames, another seed other
    // ones: each frame from firstDiffering on.
    void ExpectSeedDecides(int firstDiffering = 0);

    // Frame frames of the body's motion equals frame 0.
    void ExpectLoopCloses(const EffectBody& body, int frames);

    // Pictures of 1 x 1, 2 x 2, 3 x 1000 and 1000 x 3 give frames of their size.
    void ExpectOddSizesBuild();

    // With the smallest elements, one colour and no glare, each allocation
    // of a build, and of a preview, failing in turn leaves no block, GDI
    // object or context; a build that still reports success has all its
    // frames.
    void ExpectFailuresLeakNothing(int frames);

    // The frames of a build of the sample picture at the built-in settings,
    // written as PNG (name_0, name_1...); their SHA-256 (FramesDigest) is
    // the golden one.
    void ExpectGoldenFrames(int frames, const std::string& name, const std::string& golden);

    int effect = -1;

private:
    const EffectControls& controls_;
};

}  // namespace testing_support
