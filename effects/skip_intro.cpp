// Skip Intro.
#include "dialog/marker_window.h"
#include "effects/effect_bodies.h"

constexpr EffectBody SkipIntroBody = PendingBody(448, 0);

namespace {

int SkipIntroPageEvent(HWND page, int code) { return MarkerPageEvent(page, code, kSkipIntroMarkers); }

}  // namespace

const EffectOperations SkipIntroOperations{PreviewWith<SkipIntroBody>, BuildWith<SkipIntroBody>, DefaultBackgroundColour,
                                    SkipIntroPageEvent};
