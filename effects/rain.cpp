// Rain.
#include "dialog/marker_window.h"
#include "effects/effect_bodies.h"

constexpr EffectBody RainBody = PendingBody(549, 0);

namespace {

int RainPageEvent(HWND page, int code) { return MarkerPageEvent(page, code, kRainMarkers); }

}  // namespace

const EffectOperations RainOperations{PreviewWith<RainBody>, BuildWith<RainBody>, DefaultBackgroundColour,
                                    RainPageEvent};
