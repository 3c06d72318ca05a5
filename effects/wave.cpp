// Wave.
#include "effects/effect_bodies.h"

namespace {

constexpr EffectBody WaveBody = PendingBody(824, 818);

}  // namespace

const EffectOperations WaveOperations = CommonOperations<WaveBody>();
