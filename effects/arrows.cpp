// Arrows.
#include "effects/effect_bodies.h"

namespace {

constexpr EffectBody ArrowsBody = PendingBody(764, 740);

}  // namespace

const EffectOperations ArrowsOperations = CommonOperations<ArrowsBody>();
