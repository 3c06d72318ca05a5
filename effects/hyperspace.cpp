// Hyperspace.
#include "effects/effect_bodies.h"

constexpr EffectBody HyperspaceBody = PendingBody(303, 307);

const EffectOperations HyperspaceOperations = CommonOperations<HyperspaceBody>();
