// Ping.
#include "effects/effect_bodies.h"

constexpr EffectBody PingBody = PendingBody(485, 508);

const EffectOperations PingOperations = CommonOperations<PingBody>();
