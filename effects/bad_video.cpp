// Bad Video.
#include "effects/effect_bodies.h"

constexpr EffectBody BadVideoBody = PendingBody(791, 0);

const EffectOperations BadVideoOperations = CommonOperations<BadVideoBody>();
