// Rain.
#include "effects/effect_bodies.h"

namespace {

constexpr EffectBody RainBody = PendingBody(549, 0);

}  // namespace

const EffectOperations RainOperations = CommonOperations<RainBody>();
