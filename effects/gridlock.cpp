// Gridlock.
#include "effects/effect_bodies.h"

constexpr EffectBody GridlockBody = PendingBody(257, 259);

const EffectOperations GridlockOperations = CommonOperations<GridlockBody>();
