// Gravity.
#include "effects/effect_bodies.h"

constexpr EffectBody GravityBody = PendingBody(568, 570);

const EffectOperations GravityOperations = CommonOperations<GravityBody>();
