// Skip Intro.
#include "effects/effect_bodies.h"

namespace {

constexpr EffectBody SkipIntroBody = PendingBody(448, 0);

}  // namespace

const EffectOperations SkipIntroOperations = CommonOperations<SkipIntroBody>();
