// Ping.
#include "effects/effect_bodies.h"

namespace {

constexpr EffectBody PingBody = PendingBody(485, 508);

}  // namespace

const EffectOperations PingOperations = CommonOperations<PingBody>();
