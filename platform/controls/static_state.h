// The state of a STATIC control.
#pragma once

#include <windows.h>

#include "wm.h"

namespace luma::controls {

struct StaticState : wm::ControlState {
    HFONT font = nullptr;
    HANDLE image = nullptr;  // SS_BITMAP: HBITMAP; SS_ICON: HICON
    bool ownsImage = false;  // loaded by the control from its template
};

void DeleteStaticImage(HANDLE image);

}  // namespace luma::controls
