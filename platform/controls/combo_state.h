// The state of a COMBOBOX control.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "wm.h"

namespace luma::controls {

struct ComboItem {
    std::string text;
    ULONG_PTR data = 0;
};

struct ComboState : wm::ControlState {
    std::vector<ComboItem> items;
    int selection = -1;
    int selectionAtDrop = -1;
    int top = 0;              // first item shown in the open list
    bool dropped = false;
    bool tracking = false;
    bool focused = false;
    bool sorted = false;
    bool extendedUI = false;
    HFONT font = nullptr;
    int itemHeight = 13;
    int editHeight = 0;       // 0: the font's height + 4
    int listHeight = 0;       // height of the open list below the box
    int droppedWidth = 0;
};

}  // namespace luma::controls
