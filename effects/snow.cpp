// Snow.
#include "effects/effect_bodies.h"

namespace {

constexpr EffectBody SnowBody = PendingBody(126, 102);

}  // namespace

const EffectOperations SnowOperations = CommonOperations<SnowBody>();
