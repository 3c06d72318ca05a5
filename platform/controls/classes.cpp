// The system window classes, registered once on first use of the class
// table, and the common-control entry points.
#include <commctrl.h>

#include "controls/controls.h"
#include "wm.h"

namespace luma::wm {

void EnsureSystemClasses() {
    static bool done = false;
    if (done) return;
    done = true;
    HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    RegisterSystemClass("Button", 0, CS_DBLCLKS | CS_VREDRAW | CS_HREDRAW | CS_PARENTDC, controls::ButtonProc, 0,
                        arrow, nullptr);
    RegisterSystemClass("Edit", 0, CS_DBLCLKS | CS_PARENTDC, controls::EditProc, 0,
                        LoadCursorA(nullptr, IDC_IBEAM), nullptr);
    RegisterSystemClass("Static", 0, CS_DBLCLKS | CS_PARENTDC, controls::StaticProc, 0, arrow, nullptr);
    RegisterSystemClass("ComboBox", 0, CS_PARENTDC | CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW, controls::ComboProc, 0,
                        arrow, nullptr);
    RegisterSystemClass(UPDOWN_CLASSA, 0, CS_HREDRAW | CS_VREDRAW, controls::UpDownProc, 0, arrow, nullptr);
    RegisterDialogClass();
}

}  // namespace luma::wm

extern "C" {

void WINAPI InitCommonControls(void) { luma::wm::EnsureSystemClasses(); }

BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX* init) {
    if (!init || init->dwSize != sizeof(INITCOMMONCONTROLSEX)) return FALSE;
    luma::wm::EnsureSystemClasses();
    return TRUE;
}

HWND WINAPI CreateUpDownControl(DWORD style, int x, int y, int cx, int cy, HWND parent, int id, HINSTANCE instance,
                                HWND buddy, int upper, int lower, int pos) {
    HWND updown = CreateWindowExA(0, UPDOWN_CLASSA, nullptr, style, x, y, cx, cy, parent,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    if (!updown) return nullptr;
    if (buddy) SendMessageA(updown, UDM_SETBUDDY, reinterpret_cast<WPARAM>(buddy), 0);
    SendMessageA(updown, UDM_SETRANGE, 0, MAKELONG(upper, lower));
    SendMessageA(updown, UDM_SETPOS, 0, MAKELONG(pos, 0));
    return updown;
}

}  // extern "C"
