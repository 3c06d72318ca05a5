// The state of a BUTTON control, shared by its message handling and painting.
#pragma once

#include <windows.h>

#include "wm.h"

namespace luma::controls {

// Beyond BST_*: the mouse or the space bar is holding the button down.
constexpr LONG kButtonPressed = 0x40;
constexpr LONG kButtonStateMask = 0x0F;

struct ButtonState : wm::ControlState {
    LONG state = BST_UNCHECKED;
    HFONT font = nullptr;
    HANDLE image = nullptr;
};

}  // namespace luma::controls
