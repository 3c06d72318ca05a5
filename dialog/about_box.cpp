// The About box: the plug-in's version and revision, Close and Help.
#include <cstdio>

#include "controls/host_button.h"
#include "dialog/main_dialog.h"
#include "plugin/lifecycle.h"
#include "settings/settings.h"

namespace {

INT_PTR CALLBACK AboutProc(HWND box, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: {
        char text[512];
        std::snprintf(text, sizeof text,
                      "Lumafex %u.%02u, revision %u\n\n"
                      "Animated effects for still pictures: snow, rain, sparkles, a failing video "
                      "monitor and sixteen more.\n\n"
                      "A plugin for Celwright Professional and Reelwright by Vellumark.",
                      static_cast<unsigned>(VersionNumber / 100), static_cast<unsigned>(VersionNumber % 100),
                      static_cast<unsigned>(PatchLevel));
        SetDlgItemTextA(box, kAboutTextId, text);
        MakeHostStyleButton(box, IDCANCEL);
        MakeHostStyleButton(box, kHelpButton);
        RECT r;
        GetWindowRect(box, &r);
        MoveWindow(box, (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2,
                   (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2, r.right - r.left, r.bottom - r.top,
                   FALSE);
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDCANCEL:
            EndDialog(box, IDCANCEL);
            return TRUE;
        case kHelpButton:
            ShowHelp(box, kAboutAnchor);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

}  // namespace

void ShowAboutBox(HWND owner) {
    DialogBoxParamA(PluginModule(), kAboutBoxTemplate, owner, AboutProc, 0);
}
