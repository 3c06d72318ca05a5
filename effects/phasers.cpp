// Phasers on Stun.
#include "effects/effect_bodies.h"

namespace {

constexpr EffectBody PhasersBody = PendingBody(179, 181);

}  // namespace

const EffectOperations PhasersOperations = CommonOperations<PhasersBody>();
