// Gridlock.
#include "effects/effect_bodies.h"

namespace {

constexpr EffectBody GridlockBody = PendingBody(257, 259);

}  // namespace

const EffectOperations GridlockOperations = CommonOperations<GridlockBody>();
