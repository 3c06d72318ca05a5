// Stars.
#include "effects/effect_bodies.h"

namespace {

constexpr EffectBody StarsBody = PendingBody(365, 341);

}  // namespace

const EffectOperations StarsOperations = CommonOperations<StarsBody>();
