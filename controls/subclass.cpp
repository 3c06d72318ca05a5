#include "controls/subclass.h"

void SubclassControl(HWND window, const char* property, WNDPROC procedure) {
    if (!GetPropA(window, property))
        SetPropA(window, property, reinterpret_cast<HANDLE>(GetWindowLongPtrA(window, GWLP_WNDPROC)));
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure));
}

LRESULT CallKeptProcedure(const char* property, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto original = reinterpret_cast<WNDPROC>(GetPropA(window, property));
    if (message == WM_NCDESTROY) RemovePropA(window, property);
    return original ? CallWindowProcA(original, window, message, wParam, lParam)
                    : DefWindowProcA(window, message, wParam, lParam);
}
