// The state of an EDIT control, shared by its message handling and painting.
#pragma once

#include <windows.h>

#include <string>

#include "wm.h"

namespace luma::controls {

struct EditState : wm::ControlState {
    std::string text;
    size_t selStart = 0;  // anchor of the selection
    size_t selEnd = 0;    // the caret
    size_t limit = 32767;
    bool modified = false;
    bool focused = false;
    bool tracking = false;  // selecting with the mouse
    char password = 0;
    HFONT font = nullptr;
    int scroll = 0;  // pixels of text scrolled out on the left
    bool canUndo = false;
    std::string undoText;
    size_t undoSelStart = 0;
    size_t undoSelEnd = 0;
};

// The character position nearest to client x (painting knows the text's widths).
size_t EditCharFromPoint(HWND hwnd, const EditState* state, int x);
// The rectangle the text is drawn in (client coordinates).
RECT EditTextRect(HWND hwnd);
// Whether text fits the width of that rectangle in the field's font.
bool EditTextFits(HWND hwnd, const EditState* state, const std::string& text);

}  // namespace luma::controls
