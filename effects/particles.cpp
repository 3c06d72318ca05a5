// Particles.
#include "effects/effect_bodies.h"

constexpr EffectBody ParticlesBody = PendingBody(137, 139);

const EffectOperations ParticlesOperations = CommonOperations<ParticlesBody>();
