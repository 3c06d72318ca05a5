// Bubbles.
#include "effects/effect_bodies.h"

constexpr EffectBody BubblesBody = PendingBody(217, 221);

const EffectOperations BubblesOperations = CommonOperations<BubblesBody>();
