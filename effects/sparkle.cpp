// Sparkle.
#include "dialog/marker_window.h"
#include "effects/effect_bodies.h"

constexpr EffectBody SparkleBody = PendingBody(698, 720);

namespace {

int SparklePageEvent(HWND page, int code) { return MarkerPageEvent(page, code, kSparkleMarkers); }

}  // namespace

const EffectOperations SparkleOperations{PreviewWith<SparkleBody>, BuildWith<SparkleBody>, DefaultBackgroundColour,
                                    SparklePageEvent};
