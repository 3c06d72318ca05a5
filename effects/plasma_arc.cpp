// Plasma Arc.
#include "effects/effect_bodies.h"

constexpr EffectBody PlasmaArcBody = PendingBody(378, 392);

const EffectOperations PlasmaArcOperations = CommonOperations<PlasmaArcBody>();
