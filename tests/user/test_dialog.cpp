#include "tests/user/test_dialog.h"

#include <commctrl.h>

#include <algorithm>

#include "luma/resources.h"

namespace user_tests {
namespace {

const luma::DialogItemTemplate kItems[] = {
    {"STATIC", "&Amount:", -1, 7, 9, 40, 8, SS_LEFT | WS_VISIBLE},
    {"EDIT", "12", kAmountEdit, 50, 7, 40, 12, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | WS_VISIBLE},
    {UPDOWN_CLASS, "", kAmountSpin, 90, 7, 10, 12,
     UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_AUTOBUDDY | UDS_ARROWKEYS | UDS_NOTHOUSANDS | WS_VISIBLE},
    {"STATIC", "Effect:", -1, 7, 27, 40, 8, SS_LEFT | WS_VISIBLE},
    {"COMBOBOX", "", kEffectList, 50, 25, 80, 60, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP | WS_VISIBLE},
    {"BUTTON", "&Dither", kDitherCheck, 7, 45, 60, 10, BS_AUTOCHECKBOX | WS_TABSTOP | WS_VISIBLE},
    {"BUTTON", "", kSwatchButton, 140, 7, 40, 30, BS_OWNERDRAW | WS_VISIBLE},
    {"BUTTON", "Nest", kNestedButton, 140, 45, 40, 14, BS_PUSHBUTTON | WS_VISIBLE},
    {"BUTTON", "OK", IDOK, 80, 70, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP | WS_VISIBLE},
    {"BUTTON", "Cancel", IDCANCEL, 135, 70, 50, 14, BS_PUSHBUTTON | WS_TABSTOP | WS_VISIBLE},
};

const luma::DialogTemplate kDialog =
    luma::MakeDialogTemplate(DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0, 0, 190, 90, "Test dialog",
                             "MS Sans Serif", 8, kItems);

const luma::Resource kResources[] = {
    {RT_DIALOG, MAKEINTRESOURCEA(kTestDialogId), &kDialog, sizeof kDialog},
    {RT_DIALOG, kTestDialogName, &kDialog, sizeof kDialog},
    {RT_STRING, MAKEINTRESOURCEA(6), "Memory error", 12},
    {RT_STRING, MAKEINTRESOURCEA(7), "Information error", 17},
};

const luma::ResourceRegistration registration(kResources);

Observed* ObservedOf(HWND hwnd) { return reinterpret_cast<Observed*>(GetWindowLongPtrA(hwnd, DWLP_USER)); }

std::string Amount(HWND hwnd) {
    char text[32];
    GetDlgItemTextA(hwnd, kAmountEdit, text, sizeof text);
    return text;
}

}  // namespace

bool Observed::Saw(const std::string& event) const {
    return std::find(events.begin(), events.end(), event) != events.end();
}

size_t Observed::IndexOf(const std::string& event) const {
    return static_cast<size_t>(std::find(events.begin(), events.end(), event) - events.begin());
}

const std::vector<std::string>& EffectNames() {
    static const std::vector<std::string> names = {"Arrows", "Bubbles", "Confetti", "Gravity",
                                                   "Rain",   "Snow",    "Sparkle",  "Wave"};
    return names;
}

INT_PTR CALLBACK TestDialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Observed* seen = ObservedOf(hwnd);
    switch (msg) {
    case WM_SETFONT:
        // Arrives before WM_INITDIALOG: no record yet, so it is noted through the window.
        SetPropA(hwnd, "FontFirst", reinterpret_cast<HANDLE>(1));
        return FALSE;
    case WM_INITDIALOG: {
        seen = reinterpret_cast<Observed*>(lParam);
        SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
        if (!seen) return TRUE;
        seen->initParam = lParam;
        if (RemovePropA(hwnd, "FontFirst")) seen->events.push_back("font");
        seen->events.push_back("init");
        for (const std::string& name : EffectNames())
            SendDlgItemMessageA(hwnd, kEffectList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
        SendDlgItemMessageA(hwnd, kAmountSpin, UDM_SETRANGE32, 0, 20);
        SendDlgItemMessageA(hwnd, kAmountSpin, UDM_SETPOS32, 0, 12);
        if (seen->timerMs) SetTimer(hwnd, 15, seen->timerMs, nullptr);
        return TRUE;
    }
    case WM_COMMAND: {
        if (!seen) return FALSE;
        int id = LOWORD(wParam);
        int code = HIWORD(wParam);
        seen->events.push_back("command " + std::to_string(id) + " " + std::to_string(code));
        if (id == kDitherCheck && code == BN_CLICKED)
            seen->events.push_back(IsDlgButtonChecked(hwnd, kDitherCheck) ? "checked" : "unchecked");
        if (id == kEffectList && code == CBN_CLOSEUP) {
            LRESULT sel = SendDlgItemMessageA(hwnd, kEffectList, CB_GETCURSEL, 0, 0);
            seen->events.push_back("selection " + std::to_string(sel));
        }
        if (id == kNestedButton && code == BN_CLICKED) {
            Observed inner;
            seen->nestedResult = static_cast<int>(DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kTestDialogId),
                                                                  hwnd, TestDialogProc, reinterpret_cast<LPARAM>(&inner)));
            seen->ownerDisabledWhileNested = inner.Saw("owner disabled");
            seen->events.push_back("nested done");
        }
        if (id == IDOK) {
            seen->amountAtEnd = Amount(hwnd);
            EndDialog(hwnd, 1000 + static_cast<int>(GetDlgItemInt(hwnd, kAmountEdit, nullptr, FALSE)));
        }
        if (id == IDCANCEL) {
            HWND owner = GetWindow(hwnd, GW_OWNER);
            if (owner && !IsWindowEnabled(owner)) seen->events.push_back("owner disabled");
            seen->amountAtEnd = Amount(hwnd);
            EndDialog(hwnd, IDCANCEL);
        }
        return TRUE;
    }
    case WM_NOTIFY: {
        auto* hdr = reinterpret_cast<NMHDR*>(lParam);
        if (seen && hdr->code == UDN_DELTAPOS) {
            auto* ud = reinterpret_cast<NMUPDOWN*>(lParam);
            seen->events.push_back("deltapos " + std::to_string(ud->iPos) + " " + std::to_string(ud->iDelta));
        }
        return FALSE;
    }
    case WM_VSCROLL:
        if (seen && LOWORD(wParam) == SB_THUMBPOSITION)
            seen->events.push_back("vscroll " + std::to_string(static_cast<short>(HIWORD(wParam))));
        return TRUE;
    case WM_TIMER:
        if (seen) seen->events.push_back("timer " + std::to_string(wParam));
        KillTimer(hwnd, wParam);
        return TRUE;
    case WM_DRAWITEM: {
        auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
        if (seen) {
            ++seen->drawItems;
            seen->lastDraw = *item;
        }
        // The swatch: red, blue while pressed, a focus rectangle while focused.
        HBRUSH brush = CreateSolidBrush((item->itemState & ODS_SELECTED) ? kSwatchPressed : kSwatchColor);
        FillRect(item->hDC, &item->rcItem, brush);
        DeleteObject(brush);
        if (item->itemState & ODS_FOCUS) {
            RECT focus = item->rcItem;
            InflateRect(&focus, -3, -3);
            DrawFocusRect(item->hDC, &focus);
        }
        return TRUE;
    }
    default: return FALSE;
    }
}

}  // namespace user_tests
