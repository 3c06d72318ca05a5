// The state of an up-down control, shared by its message handling and painting.
#pragma once

#include <commctrl.h>

#include <vector>

#include "wm.h"

namespace luma::controls {

constexpr int kFlagIncrement = 0x01;
constexpr int kFlagDecrement = 0x02;
constexpr int kFlagMouseIn = 0x04;
constexpr int kFlagPressed = 0x08;
constexpr int kFlagArrow = kFlagIncrement | kFlagDecrement;

struct UpDownState : wm::ControlState {
    int min = 100;  // Windows' default range runs from 100 down to 0
    int max = 0;
    int pos = 0;
    int base = 10;
    HWND buddy = nullptr;
    int flags = 0;
    std::vector<UDACCEL> accel;
    unsigned long long pressedAt = 0;
};

// The rectangle of the increment or decrement arrow (client coordinates).
void UpDownArrowRect(HWND hwnd, const UpDownState* state, RECT* rect, int arrow);

}  // namespace luma::controls
