// Sparkle.
#include "effects/effect_bodies.h"

constexpr EffectBody SparkleBody = PendingBody(698, 720);

const EffectOperations SparkleOperations = CommonOperations<SparkleBody>();
