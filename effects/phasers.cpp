// Phasers on Stun.
#include "effects/effect_bodies.h"

constexpr EffectBody PhasersBody = PendingBody(179, 181);

const EffectOperations PhasersOperations = CommonOperations<PhasersBody>();
