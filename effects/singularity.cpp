// Singularity.
#include "effects/effect_bodies.h"

constexpr EffectBody SingularityBody = PendingBody(618, 630);

const EffectOperations SingularityOperations = CommonOperations<SingularityBody>();
