// The operations of the twenty effects, each defined in the effect's own file.
#pragma once

#include "effects/common_build.h"

// What an effect supplies to its EffectRecord besides its page.
struct EffectOperations {
    PreviewOperation Preview;
    BuildOperation Build;
    BackgroundColourOperation BackgroundColour;
    PageEventOperation PageEvent;
};

// Preview and Build through the common road with the effect's body, and the
// default background colour and page event.
template <const EffectBody& Body>
constexpr EffectOperations CommonOperations() {
    return EffectOperations{PreviewWith<Body>, BuildWith<Body>, DefaultBackgroundColour, DefaultPageEvent};
}

// An effect whose rendering is not part of this build yet: its page and
// settings are complete, but Preview and Build fail cleanly (no preview
// image, "Memory error" from a build).
int RenderingNotAvailable(BuildContext* context, LONG width, LONG height);
constexpr EffectBody PendingBody(int delayControl, int framesControl) {
    return EffectBody{nullptr, 0, RenderingNotAvailable, nullptr, nullptr, delayControl, framesControl};
}

// The bodies, for tests that drive an effect frame by frame.
extern const EffectBody ArrowsBody, BadVideoBody, BubblesBody, ConfettiBody, GravityBody, GridlockBody,
    HyperspaceBody, MatrixBody, ParticlesBody, PhasersBody, PingBody, PlasmaArcBody, RainBody, SkipIntroBody,
    SingularityBody, SnowBody, SparkleBody, StarsBody, TracksBody, WaveBody;

extern const EffectOperations ArrowsOperations;
extern const EffectOperations BadVideoOperations;
extern const EffectOperations BubblesOperations;
extern const EffectOperations ConfettiOperations;
extern const EffectOperations GravityOperations;
extern const EffectOperations GridlockOperations;
extern const EffectOperations HyperspaceOperations;
extern const EffectOperations MatrixOperations;
extern const EffectOperations ParticlesOperations;
extern const EffectOperations PhasersOperations;
extern const EffectOperations PingOperations;
extern const EffectOperations PlasmaArcOperations;
extern const EffectOperations RainOperations;
extern const EffectOperations SkipIntroOperations;
extern const EffectOperations SingularityOperations;
extern const EffectOperations SnowOperations;
extern const EffectOperations SparkleOperations;
extern const EffectOperations StarsOperations;
extern const EffectOperations TracksOperations;
extern const EffectOperations WaveOperations;
