// Arrows.
#include "effects/effect_bodies.h"

constexpr EffectBody ArrowsBody = PendingBody(764, 740);

const EffectOperations ArrowsOperations = CommonOperations<ArrowsBody>();
