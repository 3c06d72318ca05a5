// Singularity.
#include "effects/effect_bodies.h"

namespace {

constexpr EffectBody SingularityBody = PendingBody(618, 630);

}  // namespace

const EffectOperations SingularityOperations = CommonOperations<SingularityBody>();
