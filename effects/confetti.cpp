// Confetti.
#include "effects/effect_bodies.h"

constexpr EffectBody ConfettiBody = PendingBody(434, 410);

const EffectOperations ConfettiOperations = CommonOperations<ConfettiBody>();
