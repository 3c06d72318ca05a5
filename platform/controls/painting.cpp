// Painting of the standard controls.
#include <windows.h>

#include "controls/controls.h"
#include "controls/edit_state.h"
#include "controls/static_state.h"

namespace luma::controls {

void PaintButton(HWND, HDC, UINT) {}
void PaintEdit(HWND, HDC) {}
void PaintStatic(HWND, HDC) {}
void PaintCombo(HWND, HDC) {}
void PaintUpDown(HWND, HDC) {}

size_t EditCharFromPoint(HWND, const EditState* state, int) { return state->text.size(); }

RECT EditTextRect(HWND hwnd) {
    RECT r;
    GetClientRect(hwnd, &r);
    return r;
}

void DeleteStaticImage(HANDLE) {}

}  // namespace luma::controls
