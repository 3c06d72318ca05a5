// Particles.
#include "effects/effect_bodies.h"

namespace {

constexpr EffectBody ParticlesBody = PendingBody(137, 139);

}  // namespace

const EffectOperations ParticlesOperations = CommonOperations<ParticlesBody>();
