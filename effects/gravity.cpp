// Gravity.
#include "effects/effect_bodies.h"

namespace {

constexpr EffectBody GravityBody = PendingBody(568, 570);

}  // namespace

const EffectOperations GravityOperations = CommonOperations<GravityBody>();
