// Plasma Arc.
#include "effects/effect_bodies.h"

namespace {

constexpr EffectBody PlasmaArcBody = PendingBody(378, 392);

}  // namespace

const EffectOperations PlasmaArcOperations = CommonOperations<PlasmaArcBody>();
