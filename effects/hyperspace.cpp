// Hyperspace.
#include "effects/effect_bodies.h"

namespace {

constexpr EffectBody HyperspaceBody = PendingBody(303, 307);

}  // namespace

const EffectOperations HyperspaceOperations = CommonOperations<HyperspaceBody>();
