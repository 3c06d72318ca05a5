// The main dialog as far as the settings and pages need it: it reads and
// writes the configuration file, binds its options, sets up and shows the
// effect pages, and keeps every bound setting in step with its control.
#include "dialog/main_dialog.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string_view>

#include "controls/host_button.h"
#include "effects/effect_table.h"
#include "effects/pages.h"
#include "effects/source_image.h"
#include "plugin/folders.h"
#include "plugin/lifecycle.h"
#include "plugin/message_dialog.h"
#include "settings/bound_controls.h"
#include "settings/config_file.h"
#include "settings/documents.h"
#include "settings/settings.h"

DWORD CustomPalette = 1;

namespace {

constexpr int kPicturePath = kPicturePathControl;
constexpr char kPaletteNames[] =
    "Black and white;Sixteen-color Windows;32-color orthogonal;64-color orthogonal;128-color orthogonal;"
    "216-color safe;256-color orthogonal;256-color with gray;256 gray levels";
constexpr int kMarkerWindows[] = {470, 507, 551, 719};

// Set once the dialog got through its set-up; a dialog stopped half-way
// calls no effect when it closes.
bool setUp = false;

void BindCheck(HWND dialog, int id, DWORD* setting) {
    CheckDlgButton(dialog, id, *setting ? BST_CHECKED : BST_UNCHECKED);
    BindControl(GetDlgItem(dialog, id), BoundKind::Check, setting);
}

void FillList(HWND list, const char* names) {
    std::string_view rest(names);
    while (!rest.empty()) {
        std::size_t end = rest.find(';');
        std::string_view name = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (name.empty()) continue;
        char text[kSettingTextBytes] = {};
        name.copy(text, name.size() < kSettingTextBytes - 1 ? name.size() : kSettingTextBytes - 1);
        SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
}

void DeleteMarkerFiles() {
    for (int id : kMarkerWindows) {
        char name[32];
        std::snprintf(name, sizeof name, "MARKER%5.5d.mkr", id);
        const char* path = DataFolder(name);
        if (path[0]) std::remove(path);
    }
}

int SelectedEffect(HWND dialog) {
    LRESULT selection = SendDlgItemMessageA(dialog, kEffectList, CB_GETCURSEL, 0, 0);
    return selection == CB_ERR ? 0 : static_cast<int>(selection);
}

void CallPageEvent(HWND dialog, int effect, int code) {
    if (const EffectRecord* record = EffectAt(effect)) record->PageEvent(dialog, code);
}

void CentreOnScreen(HWND dialog) {
    RECT box;
    GetWindowRect(dialog, &box);
    int width = box.right - box.left;
    int height = box.bottom - box.top;
    MoveWindow(dialog, (GetSystemMetrics(SM_CXSCREEN) - width) / 2, (GetSystemMetrics(SM_CYSCREEN) - height) / 2,
               width, height, FALSE);
}

BOOL Initialise(HWND dialog, HostContext* host) {
    setUp = false;
    SetCurrentHostContext(host);
    for (int id : {IDOK, IDCANCEL, 9, 18, 36, 51, 24}) MakeHostStyleButton(dialog, id);
    ReadConfigFile();
    if (!host || !(host->flags & kTrueColourFlag)) {
        Truecolour = 0;
        CheckDlgButton(dialog, kTrueColourBox, BST_UNCHECKED);
        EnableWindow(GetDlgItem(dialog, kTrueColourBox), FALSE);
    }
    if (!host || !host->callback) {
        MessageDialog(dialog, "Internal error");
        return TRUE;
    }
    const bool shiftHeld = GetKeyState(VK_SHIFT) < 0;
    if (shiftHeld) {
        std::snprintf(CurrentFileName, kSettingTextBytes, "%s", DocumentsFolder("untitled.lfx"));
        std::snprintf(OpenPath, kSettingTextBytes, "%s", DocumentsFolder(""));
    }

    SetDlgItemTextA(dialog, kPicturePath, FileNamePath);
    BindControl(GetDlgItem(dialog, kPicturePath), BoundKind::Text, FileNamePath);
    if (FileNamePath[0]) LoadSourcePicture(dialog, FileNamePath);

    BindCheck(dialog, kTrueColourBox, &Truecolour);
    BindCheck(dialog, kDitherBox, &MainDither);
    BindCheck(dialog, kCustomPaletteBox, &CustomPalette);
    BindCheck(dialog, kSupercompressBox, &MainSupercompress);
    BindCheck(dialog, kCommentBox, &AddDescriptiveCommentBlock);
    BindCheck(dialog, kMaskBackgroundBox, &MainMaskBackground);
    HWND palettes = GetDlgItem(dialog, kPaletteList);
    FillList(palettes, kPaletteNames);
    SendMessageA(palettes, CB_SETCURSEL, MainPalette, 0);
    BindControl(palettes, BoundKind::Combo, &MainPalette);
    if (!(host->flags & kHundredthsFlag)) {
        CheckDlgButton(dialog, kSupercompressBox, BST_UNCHECKED);
        EnableWindow(GetDlgItem(dialog, kSupercompressBox), FALSE);
    }

    HWND effects = GetDlgItem(dialog, kEffectList);
    SendMessageA(effects, CB_RESETCONTENT, 0, 0);
    for (const EffectRecord& record : EffectTable) {
        SendMessageA(effects, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(record.name));
        BuildContext context{};
        context.page = dialog;
        if (!record.PageSetup(&context)) {
            MessageDialog(dialog, "This plugin could not be initialized");
            return TRUE;
        }
    }
    if (FirstRun || shiftHeld) DeleteMarkerFiles();
    FirstRun = 0;

    if (MainEffect >= static_cast<DWORD>(kEffectCount)) MainEffect = kDefaultEffect;
    SendMessageA(effects, CB_SETCURSEL, MainEffect, 0);
    BindControl(effects, BoundKind::Combo, &MainEffect);
    SetFocus(GetDlgItem(dialog, IDOK));

    setUp = true;
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(kCustomPaletteBox, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, kCustomPaletteBox)));
    SetWindowTextA(dialog, "Lumafex");
    CentreOnScreen(dialog);
    PostMessageA(dialog, kShowPageMessage, 0, 0);
    return FALSE;  // the focus is set
}

void SwitchEffect(HWND dialog) {
    int selected = SelectedEffect(dialog);
    if (selected == static_cast<int>(MainEffect)) return;
    CallPageEvent(dialog, static_cast<int>(MainEffect), kPageLeft);
    ShowPage(dialog, selected);
    MainEffect = static_cast<DWORD>(selected);
    CallPageEvent(dialog, selected, kPageShown);
}

void Command(HWND dialog, int id, int code, HWND control) {
    switch (id) {
    case IDOK:
        EndDialog(dialog, 1);
        return;
    case IDCANCEL:
        EndDialog(dialog, 0);
        return;
    case kCustomPaletteBox:
        EnableWindow(GetDlgItem(dialog, kPaletteList), IsDlgButtonChecked(dialog, kCustomPaletteBox) != BST_CHECKED);
        UpdateBoundSetting(control);
        return;
    case kEffectList:
        if (code == CBN_CLOSEUP && setUp) SwitchEffect(dialog);
        return;
    case kPaletteList:
        if (code == CBN_CLOSEUP) {
            LRESULT selection = SendMessageA(control, CB_GETCURSEL, 0, 0);
            MainPalette = selection == CB_ERR ? 0 : static_cast<DWORD>(selection);
        }
        return;
    }
    if (control && IsWindowVisible(dialog)) UpdateBoundSetting(control);
}

}  // namespace

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return Initialise(dialog, reinterpret_cast<HostContext*>(lParam));
    case WM_COMMAND:
        Command(dialog, LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return TRUE;
    case kShowPageMessage:
        if (!setUp) return TRUE;
        ShowPage(dialog, SelectedEffect(dialog));
        CallPageEvent(dialog, static_cast<int>(MainEffect), kPageShown);
        return TRUE;
    case WM_DESTROY:
        if (setUp) CallPageEvent(dialog, static_cast<int>(MainEffect), kPageLeft);
        setUp = false;
        WriteConfigFile();
        return FALSE;
    }
    return FALSE;
}
