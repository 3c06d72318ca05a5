// Bubbles.
#include "effects/effect_bodies.h"

namespace {

constexpr EffectBody BubblesBody = PendingBody(217, 221);

}  // namespace

const EffectOperations BubblesOperations = CommonOperations<BubblesBody>();
