#include "plugin/message_dialog.h"

#include <cstdio>
#include <initializer_list>

#include "controls/host_button.h"
#include "plugin/lifecycle.h"

namespace {

INT_PTR CALLBACK MessageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        SetDlgItemTextA(dialog, kMessageTextId, reinterpret_cast<const char*>(lParam));
        for (int id : {IDOK, IDCANCEL, IDYES, IDNO}) MakeHostStyleButton(dialog, id);
        HWND focus = GetDlgItem(dialog, IDOK);
        if (!focus) focus = GetDlgItem(dialog, IDYES);
        if (focus) SetFocus(focus);
        RECT box;
        GetWindowRect(dialog, &box);
        int width = box.right - box.left;
        int height = box.bottom - box.top;
        MoveWindow(dialog, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                   (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, FALSE);
        return FALSE;  // the focus is set
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL:
        case IDYES:
        case IDNO:
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        break;
    }
    return FALSE;
}

void Refresh(HWND window) {
    if (window && IsWindow(window)) {
        InvalidateRect(window, nullptr, TRUE);
        UpdateWindow(window);
    }
}

}  // namespace

int QuestionDialog(HWND owner, const char* text, const char* templateName) {
    INT_PTR result = DialogBoxParamA(PluginModule(), templateName, owner, MessageProc,
                                     reinterpret_cast<LPARAM>(text ? text : ""));
    Refresh(owner);
    return result > 0 ? static_cast<int>(result) : 0;
}

void MessageDialog(HWND owner, const char* text) { QuestionDialog(owner, text, kMessageBoxTemplate); }

const char* LoadResourceString(UINT id) {
    static char buffer[1024];
    if (LoadStringA(PluginModule(), id, buffer, sizeof buffer) <= 0)
        std::snprintf(buffer, sizeof buffer, "%s", "String table error - this application may be damaged");
    return buffer;
}
