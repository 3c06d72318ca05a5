// Wave.
#include "effects/effect_bodies.h"

constexpr EffectBody WaveBody = PendingBody(824, 818);

const EffectOperations WaveOperations = CommonOperations<WaveBody>();
