// Bodies of the effects whose rendering is not part of this build yet: their
// pages and settings are complete, but Preview and Build fail cleanly (no
// preview image, "Memory error" from a build). Each effect's own file
// replaces its line here.
#include "effects/effect_bodies.h"

namespace {

int NotAvailable(BuildContext*, LONG, LONG) { return 0; }

constexpr EffectBody Pending(int delayControl, int framesControl) {
    return EffectBody{nullptr, 0, NotAvailable, nullptr, nullptr, delayControl, framesControl};
}

}  // namespace

const EffectBody ArrowsBody = Pending(764, 740);
const EffectBody BadVideoBody = Pending(791, 0);
const EffectBody BubblesBody = Pending(217, 221);
const EffectBody ConfettiBody = Pending(434, 410);
const EffectBody GravityBody = Pending(568, 570);
const EffectBody GridlockBody = Pending(257, 259);
const EffectBody HyperspaceBody = Pending(303, 307);
const EffectBody MatrixBody = Pending(674, 678);
const EffectBody ParticlesBody = Pending(137, 139);
const EffectBody PhasersBody = Pending(179, 181);
const EffectBody PingBody = Pending(485, 508);
const EffectBody PlasmaArcBody = Pending(378, 392);
const EffectBody RainBody = Pending(549, 0);
const EffectBody SkipIntroBody = Pending(448, 0);
const EffectBody SingularityBody = Pending(618, 630);
const EffectBody SnowBody = Pending(126, 102);
const EffectBody SparkleBody = Pending(698, 720);
const EffectBody StarsBody = Pending(365, 341);
const EffectBody TracksBody = Pending(524, 530);
const EffectBody WaveBody = Pending(824, 818);
