// Sparkle.
#include "effects/effect_bodies.h"

namespace {

constexpr EffectBody SparkleBody = PendingBody(698, 720);

}  // namespace

const EffectOperations SparkleOperations = CommonOperations<SparkleBody>();
