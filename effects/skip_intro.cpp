// Skip Intro.
#include "effects/effect_bodies.h"

constexpr EffectBody SkipIntroBody = PendingBody(448, 0);

const EffectOperations SkipIntroOperations = CommonOperations<SkipIntroBody>();
