// Tracks.
#include "effects/effect_bodies.h"
#include "effects/pages.h"

namespace {

int TracksPageEvent(HWND, int) { return 0; }

}  // namespace

constexpr EffectBody TracksBody = PendingBody(524, 530);

const EffectOperations TracksOperations{PreviewWith<TracksBody>, BuildWith<TracksBody>, DefaultBackgroundColour,
                                        TracksPageEvent};
