#include "dialog/main_dialog.h"

#include <commdlg.h>
#include <strings.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string_view>

#include "colour/fixed_palette.h"
#include "controls/direction_pad.h"
#include "controls/host_button.h"
#include "dialog/build_pipeline.h"
#include "dialog/dialog_look.h"
#include "dialog/marker_window.h"
#include "dialog/preview.h"
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
#include "settings/text_parse.h"

DWORD CustomPalette = 1;

namespace {

constexpr char kPaletteNames[] =
    "Black and white;Sixteen-color Windows;32-color orthogonal;64-color orthogonal;128-color orthogonal;"
    "216-color safe;256-color orthogonal;256-color with gray;256 gray levels";
constexpr int kMarkerWindows[] = {kSkipIntroMarkers, kPingMarkers, kRainMarkers, kSparkleMarkers};
constexpr char kDocumentFilter[] = "LFX files\0*.LFX\0All files\0*.*\0";
constexpr char kUntitledDocument[] = "untitled.lfx";
// File dialogs smaller than this are not remembered.
constexpr LONG kSmallestFileDialog = 128;

// One main dialog runs at a time.
struct MainDialogState {
    HostContext* host = nullptr;
    // Set once the dialog got through its set-up; until then nothing in it
    // may call the host or an effect.
    bool setUp = false;
    // The effect whose page was last shown (PageEvent 2) and not yet left.
    int shownEffect = -1;
    DialogBackground background;
    Emblem emblem;
    // The file dialogs' size as the user last left it in this run.
    SIZE fileDialogSize{0, 0};
};
MainDialogState state;

std::int64_t Ask(std::uint32_t code, std::int64_t a, const void* b) {
    if (!state.host || !state.host->callback) return 0;
    return state.host->callback(nullptr, code, a, const_cast<void*>(b));
}

void BindCheck(HWND dialog, int id, DWORD* setting) {
    CheckDlgButton(dialog, id, *setting ? BST_CHECKED : BST_UNCHECKED);
    BindControl(GetDlgItem(dialog, id), BoundKind::Check, setting);
}

// Items separated by semicolons; runs of them count as one, and each item is
// at most 260 characters.
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
        const char* path = MarkerFilePath(id);
        if (path[0]) std::remove(path);
    }
}

int SelectedEffect(HWND dialog) {
    LRESULT selection = SendDlgItemMessageA(dialog, kEffectList, CB_GETCURSEL, 0, 0);
    return selection == CB_ERR ? 0 : static_cast<int>(selection);
}

void PageEvent(HWND dialog, int effect, int code) {
    if (const EffectRecord* record = EffectAt(effect)) record->PageEvent(dialog, code);
}

// Leaves the page last shown, if any.
void LeavePage(HWND dialog) {
    if (state.shownEffect < 0) return;
    PageEvent(dialog, state.shownEffect, kPageLeft);
    state.shownEffect = -1;
}

void EnterPage(HWND dialog, int effect) {
    state.shownEffect = effect;
    PageEvent(dialog, effect, kPageShown);
}

void CentreOnScreen(HWND window) {
    RECT box;
    GetWindowRect(window, &box);
    const int width = box.right - box.left;
    const int height = box.bottom - box.top;
    MoveWindow(window, (GetSystemMetrics(SM_CXSCREEN) - width) / 2, (GetSystemMetrics(SM_CYSCREEN) - height) / 2,
               width, height, FALSE);
}

void Refresh(HWND window) {
    if (!window) return;
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
}

void RestartPreviewTimer(HWND dialog) {
    KillTimer(dialog, kPreviewTimer);
    SetTimer(dialog, kPreviewTimer, UpdateDelay, nullptr);
}

// Stops a dialog that cannot work: nothing in it calls the host or an effect
// any more, and it closes as Cancel would.
BOOL GiveUp(HWND dialog, const char* message) {
    MessageDialog(dialog, message);
    EndDialog(dialog, 0);
    return TRUE;
}

BOOL Initialise(HWND dialog, HostContext* host) {
    state.host = host;
    state.setUp = false;
    state.shownEffect = -1;
    state.fileDialogSize = SIZE{0, 0};
    ForgetPreviewPicture();
    SetCurrentHostContext(host);
    for (int id : {IDOK, IDCANCEL, 9, 18, 36, 51, 24}) MakeHostStyleButton(dialog, id);
    ReadConfigFile();
    if (!host || !(host->flags & kTrueColourFlag)) {
        Truecolour = 0;
        CheckDlgButton(dialog, kTrueColourBox, BST_UNCHECKED);
        EnableWindow(GetDlgItem(dialog, kTrueColourBox), FALSE);
    }
    if (!host || !host->callback) return GiveUp(dialog, "Internal error");

    const bool shiftHeld = GetKeyState(VK_SHIFT) < 0;
    if (shiftHeld) {
        std::snprintf(CurrentFileName, kSettingTextBytes, "%s", DocumentsFolder(kUntitledDocument));
        std::snprintf(OpenPath, kSettingTextBytes, "%s", DocumentsFolder(""));
    }

    SetDlgItemTextA(dialog, kPicturePathField, FileNamePath);
    BindControl(GetDlgItem(dialog, kPicturePathField), BoundKind::Text, FileNamePath);
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
        if (!record.PageSetup(&context)) return GiveUp(dialog, "This plugin could not be initialized");
    }
    if (FirstRun || shiftHeld) DeleteMarkerFiles();
    FirstRun = 0;

    // A hand-edited configuration file may name no effect.
    if (MainEffect >= static_cast<DWORD>(kEffectCount)) MainEffect = kDefaultEffect;
    SendMessageA(effects, CB_SETCURSEL, MainEffect, 0);
    BindControl(effects, BoundKind::Combo, &MainEffect);
    SetFocus(GetDlgItem(dialog, kBuildButton));

    state.setUp = true;
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(kCustomPaletteBox, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, kCustomPaletteBox)));
    state.background.Make();
    state.emblem.Start(dialog, kEmblem, kEmblemTimer, kEmblemInterval);
    SetWindowTextA(dialog, "Lumafex");
    CentreOnScreen(dialog);
    PostMessageA(dialog, kShowPageMessage, 0, 0);
    return FALSE;  // the focus is set
}

void ShowCurrentPage(HWND dialog) {
    // Shown again (after a settings document was read) the page stays entered,
    // so a marker window keeps the positions the document gave it.
    if (state.shownEffect != static_cast<int>(MainEffect)) LeavePage(dialog);
    ShowPage(dialog, SelectedEffect(dialog));
    HWND preview = GetDlgItem(dialog, kPreviewArea);
    ShowWindow(preview, SW_SHOW);
    RepaintPreview(dialog);
    EnterPage(dialog, static_cast<int>(MainEffect));
}

void SwitchEffect(HWND dialog) {
    const int selected = SelectedEffect(dialog);
    if (selected == static_cast<int>(MainEffect)) return;
    LeavePage(dialog);
    ShowPage(dialog, selected);
    MainEffect = static_cast<DWORD>(selected);
    RepaintPreview(dialog);
    EnterPage(dialog, selected);
}

void SelectPicture(HWND dialog) {
    char path[MAX_PATH] = {};
    if (!Ask(kRequestChooseImageFile, reinterpret_cast<std::int64_t>(dialog), path)) return;
    path[MAX_PATH - 1] = 0;
    char previous[kSettingTextBytes];
    std::memcpy(previous, FileNamePath, sizeof previous);
    SetDlgItemTextA(dialog, kPicturePathField, path);
    CopyTextSetting(FileNamePath, kSettingTextBytes, path);
    if (!LoadSourcePicture(dialog, path)) {
        // The field names the picture that is shown, not the one that failed.
        SetDlgItemTextA(dialog, kPicturePathField, previous);
        CopyTextSetting(FileNamePath, kSettingTextBytes, previous);
        return;
    }
    RepaintPreview(dialog);
    PageEvent(dialog, static_cast<int>(MainEffect), kPageRefresh);
}

void ChooseColour(HWND dialog, HWND button) {
    BYTE triples[768];
    BuildFixedPalette(triples, nullptr, kOrthogonalPalette);
    ColourRequest request{};
    request.size = sizeof request;
    request.version = kInterfaceVersion;
    request.triples = triples;
    request.tripleBits = 24;
    request.colour = ReadPageColour(dialog, GetDlgCtrlID(button));
    request.owner = dialog;
    if (!Ask(kRequestChooseColour, 0, &request)) return;
    char text[16];
    std::snprintf(text, sizeof text, "%lu", static_cast<unsigned long>(request.colour & 0xFFFFFF));
    SetWindowTextA(button, text);
    UpdateBoundSetting(button);
    InvalidateRect(button, nullptr, FALSE);
    RepaintPreview(dialog);
}

// File dialogs come back at the size the user left them, centred.
UINT_PTR CALLBACK FileDialogHook(HWND hook, UINT message, WPARAM, LPARAM lParam) {
    HWND frame = GetParent(hook);
    if (!frame) return 0;
    if (message == WM_NOTIFY && reinterpret_cast<const NMHDR*>(lParam)->code == CDN_INITDONE) {
        RECT box;
        GetWindowRect(frame, &box);
        LONG width = box.right - box.left, height = box.bottom - box.top;
        if (state.fileDialogSize.cx > 0) {
            width = state.fileDialogSize.cx;
            height = state.fileDialogSize.cy;
        }
        MoveWindow(frame, (GetSystemMetrics(SM_CXSCREEN) - width) / 2, (GetSystemMetrics(SM_CYSCREEN) - height) / 2,
                   width, height, TRUE);
    } else if (message == WM_DESTROY) {
        RECT box;
        GetWindowRect(frame, &box);
        if (box.right - box.left >= kSmallestFileDialog && box.bottom - box.top >= kSmallestFileDialog)
            state.fileDialogSize = SIZE{box.right - box.left, box.bottom - box.top};
    }
    return 0;
}

OPENFILENAMEA DocumentDialog(HWND dialog, char* file) {
    OPENFILENAMEA dialogRecord{};
    dialogRecord.lStructSize = sizeof dialogRecord;
    dialogRecord.hwndOwner = dialog;
    dialogRecord.lpstrFilter = kDocumentFilter;
    dialogRecord.nFilterIndex = 1;
    dialogRecord.lpstrFile = file;
    dialogRecord.nMaxFile = MAX_PATH;
    dialogRecord.lpstrDefExt = "LFX";
    dialogRecord.lpfnHook = FileDialogHook;
    dialogRecord.Flags = OFN_EXPLORER | OFN_ENABLEHOOK | OFN_ENABLESIZING | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    return dialogRecord;
}

// Where a path's file name begins.
const char* NamePart(const char* path) {
    const char* name = path;
    for (const char* c = path; *c; ++c)
        if (*c == '/' || *c == '\\') name = c + 1;
    return name;
}

void OpenDocumentFile(HWND dialog) {
    char folder[MAX_PATH] = {};
    CopyTextSetting(folder, sizeof folder,
                    std::string_view(CurrentFileName, static_cast<std::size_t>(NamePart(CurrentFileName) - CurrentFileName)));
    if (!folder[0]) CopyTextSetting(folder, sizeof folder, OpenPath);
    char file[MAX_PATH] = {};
    OPENFILENAMEA request = DocumentDialog(dialog, file);
    request.lpstrInitialDir = folder[0] ? folder : nullptr;
    request.Flags |= OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
    if (!GetOpenFileNameA(&request)) return;
    OpenDocument(dialog, file);
    CopyTextSetting(CurrentFileName, kSettingTextBytes, file);
}

void SaveDocumentAs(HWND dialog) {
    char file[MAX_PATH] = {};
    CopyTextSetting(file, sizeof file, CurrentFileName);
    OPENFILENAMEA request = DocumentDialog(dialog, file);
    request.Flags |= OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
    if (!GetSaveFileNameA(&request)) return;
    SaveDocument(dialog, file);
    CopyTextSetting(CurrentFileName, kSettingTextBytes, file);
}

void SaveDocumentFile(HWND dialog) {
    const char* name = NamePart(CurrentFileName);
    // A document without a name of its own is saved under a new one.
    if (!name[0] || strcasecmp(name, kUntitledDocument) == 0) {
        SaveDocumentAs(dialog);
        return;
    }
    SaveDocument(dialog, CurrentFileName);
}

void DocumentsMenu(HWND dialog) {
    HMENU menu = CreatePopupMenu();
    if (!menu) return;
    AppendMenuA(menu, MF_STRING, kOpenDocumentCommand, "Open");
    AppendMenuA(menu, MF_STRING, kSaveDocumentCommand, "Save");
    AppendMenuA(menu, MF_STRING, kSaveDocumentAsCommand, "Save as...");
    POINT at{};
    GetCursorPos(&at);
    TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, at.x, at.y, 0, dialog, nullptr);
    DestroyMenu(menu);
}

// Build and Test: the pipeline runs from a posted command, so the button has
// been repainted released before the long build starts.
void PressRunButton(HWND dialog, int button, int command) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(command, 0), 0);
    Ask(kRequestBuildPressed, 0, nullptr);
    Refresh(GetDlgItem(dialog, button));
}

// A command from a control bound to a setting.
void BoundControlCommand(HWND dialog, int id, int code, HWND control) {
    if (!control || !IsWindowVisible(dialog)) return;
    if (DirectionPadValue(control) >= 0) {
        if (id >= kEffectList) RepaintPreview(dialog);
        RepaintMarkerWindow(dialog);
        return;
    }
    const bool upDown = IsBoundUpDown(control);
    const BoundKind kind = upDown ? BoundKindOf(GetDlgItem(dialog, id - kSpinIdOffset)) : BoundKindOf(control);
    // Focus moving in and out of a field changes no value and no preview.
    const bool changed = upDown || code == EN_CHANGE || code == BN_CLICKED;
    if (kind == BoundKind::None) return;
    if (kind == BoundKind::Colour) {
        if (code == BN_CLICKED) ChooseColour(dialog, control);
        RepaintMarkerWindow(dialog);
        return;
    }
    UpdateBoundSetting(control);
    switch (kind) {
    case BoundKind::Spin:
    case BoundKind::SignedSpin:
    case BoundKind::Check:
        if (id >= kEffectList && changed) RestartPreviewTimer(dialog);
        break;
    case BoundKind::Combo:
        if (code == CBN_CLOSEUP) RepaintPreview(dialog);
        break;
    default:
        break;
    }
    RepaintMarkerWindow(dialog);
}

void Command(HWND dialog, int id, int code, HWND control) {
    if (!state.setUp) {
        if (id == kCancelButton) EndDialog(dialog, 0);
        return;
    }
    switch (id) {
    case kBuildButton:
        PressRunButton(dialog, kBuildButton, kRunBuildCommand);
        return;
    case kTestButton:
        PressRunButton(dialog, kTestButton, kRunTestCommand);
        return;
    case kRunBuildCommand:
        RunBuild(dialog, state.host, BuildMode::Build);
        EndDialog(dialog, 1);
        return;
    case kRunTestCommand:
        RunBuild(dialog, state.host, BuildMode::Test);
        return;
    case kCancelButton:
        EndDialog(dialog, 0);
        return;
    case kHelpButton:
        ShowHelp(dialog, kPrefaceAnchor);
        return;
    case kAboutButton:
        ShowAboutBox(dialog);
        return;
    case kDocumentsButton:
        DocumentsMenu(dialog);
        return;
    case kOpenDocumentCommand:
        OpenDocumentFile(dialog);
        return;
    case kSaveDocumentCommand:
        SaveDocumentFile(dialog);
        return;
    case kSaveDocumentAsCommand:
        SaveDocumentAs(dialog);
        return;
    case kSelectPictureButton:
        SelectPicture(dialog);
        return;
    case kCustomPaletteBox:
        EnableWindow(GetDlgItem(dialog, kPaletteList), IsDlgButtonChecked(dialog, kCustomPaletteBox) != BST_CHECKED);
        UpdateBoundSetting(control);
        return;
    case kEffectList:
        // MainEffect still names the page shown until the list closes.
        if (code == CBN_CLOSEUP) SwitchEffect(dialog);
        return;
    case kPaletteList:
        if (code == CBN_CLOSEUP) {
            LRESULT selection = SendMessageA(control, CB_GETCURSEL, 0, 0);
            MainPalette = selection == CB_ERR ? 0 : static_cast<DWORD>(selection);
        }
        return;
    }
    BoundControlCommand(dialog, id, code, control);
}

BOOL DrawItem(HWND dialog, const DRAWITEMSTRUCT& item) {
    switch (item.CtlID) {
    case kPreviewArea:
        DrawPreviewArea(dialog, item);
        return TRUE;
    case kPictureSizeField:
        DrawTextField(item, false);
        return TRUE;
    case kPicturePathField:
        DrawTextField(item, true);
        return TRUE;
    case kEmblem:
        state.emblem.Draw(item);
        return TRUE;
    }
    if (BoundKindOf(item.hwndItem) == BoundKind::Colour) {
        DrawColourButton(item, ReadPageColour(dialog, static_cast<int>(item.CtlID)));
        return TRUE;
    }
    return FALSE;
}

void Timer(HWND dialog, UINT_PTR timer) {
    if (timer == kEmblemTimer) {
        state.emblem.Next();
    } else if (timer == kPreviewTimer) {
        KillTimer(dialog, kPreviewTimer);
        if (!state.setUp) return;
        RepaintPreview(dialog);
        PageEvent(dialog, static_cast<int>(MainEffect), kPageRefresh);
    }
}

void Destroy(HWND dialog) {
    if (state.setUp) LeavePage(dialog);
    state.setUp = false;
    state.shownEffect = -1;
    KillTimer(dialog, kPreviewTimer);
    state.emblem.Stop();
    state.background.Free();
    WriteConfigFile();
    state.host = nullptr;
}

}  // namespace

void RepaintPreview(HWND dialog) {
    HWND preview = GetDlgItem(dialog, kPreviewArea);
    if (!preview) return;
    InvalidateRect(preview, nullptr, FALSE);
    UpdateWindow(preview);
}

bool ShowHelp(HWND owner, const char* anchor) {
    char request[MAX_PATH];
    std::snprintf(request, sizeof request, "%s#%s", kHelpDocument, anchor);
    if (Ask(kRequestShowHelp, 0, request)) return true;
    MessageDialog(owner, "There has been an error displaying the Help document.");
    return false;
}

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return Initialise(dialog, reinterpret_cast<HostContext*>(lParam));
    case WM_COMMAND:
        Command(dialog, LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return TRUE;
    case WM_TIMER:
        Timer(dialog, static_cast<UINT_PTR>(wParam));
        return TRUE;
    case WM_DRAWITEM:
        return DrawItem(dialog, *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    case WM_CTLCOLORDLG:
        return reinterpret_cast<INT_PTR>(state.background.brush());
    case WM_CTLCOLORSTATIC:
        return reinterpret_cast<INT_PTR>(TransparentStaticColours(reinterpret_cast<HDC>(wParam)));
    case kShowPageMessage:
        if (state.setUp) ShowCurrentPage(dialog);
        return TRUE;
    case kRepaintPreviewMessage:
        if (state.setUp) RepaintPreview(dialog);
        return TRUE;
    case WM_DESTROY:
        Destroy(dialog);
        return FALSE;
    }
    return FALSE;
}
