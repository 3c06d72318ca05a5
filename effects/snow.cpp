// Snow.
#include "effects/effect_bodies.h"

constexpr EffectBody SnowBody = PendingBody(126, 102);

const EffectOperations SnowOperations = CommonOperations<SnowBody>();
