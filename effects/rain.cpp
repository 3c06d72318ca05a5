// Rain.
#include "effects/effect_bodies.h"

constexpr EffectBody RainBody = PendingBody(549, 0);

const EffectOperations RainOperations = CommonOperations<RainBody>();
