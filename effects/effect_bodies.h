// The bodies of the twenty effects, each defined in the effect's own file.
#pragma once

#include "effects/common_build.h"

extern const EffectBody ArrowsBody;
extern const EffectBody BadVideoBody;
extern const EffectBody BubblesBody;
extern const EffectBody ConfettiBody;
extern const EffectBody GravityBody;
extern const EffectBody GridlockBody;
extern const EffectBody HyperspaceBody;
extern const EffectBody MatrixBody;
extern const EffectBody ParticlesBody;
extern const EffectBody PhasersBody;
extern const EffectBody PingBody;
extern const EffectBody PlasmaArcBody;
extern const EffectBody RainBody;
extern const EffectBody SkipIntroBody;
extern const EffectBody SingularityBody;
extern const EffectBody SnowBody;
extern const EffectBody SparkleBody;
extern const EffectBody StarsBody;
extern const EffectBody TracksBody;
extern const EffectBody WaveBody;
