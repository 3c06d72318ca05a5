// Ping.
#include "dialog/marker_window.h"
#include "effects/effect_bodies.h"

constexpr EffectBody PingBody = PendingBody(485, 508);

namespace {

int PingPageEvent(HWND page, int code) { return MarkerPageEvent(page, code, kPingMarkers); }

}  // namespace

const EffectOperations PingOperations{PreviewWith<PingBody>, BuildWith<PingBody>, DefaultBackgroundColour,
                                    PingPageEvent};
