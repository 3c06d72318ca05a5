// Bad Video.
#include "effects/effect_bodies.h"

namespace {

constexpr EffectBody BadVideoBody = PendingBody(791, 0);

}  // namespace

const EffectOperations BadVideoOperations = CommonOperations<BadVideoBody>();
