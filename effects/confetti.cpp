// Confetti.
#include "effects/effect_bodies.h"

namespace {

constexpr EffectBody ConfettiBody = PendingBody(434, 410);

}  // namespace

const EffectOperations ConfettiOperations = CommonOperations<ConfettiBody>();
