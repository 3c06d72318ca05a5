// Stars.
#include "effects/effect_bodies.h"

constexpr EffectBody StarsBody = PendingBody(365, 341);

const EffectOperations StarsOperations = CommonOperations<StarsBody>();
