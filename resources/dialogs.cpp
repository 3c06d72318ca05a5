// Dialog templates of the message boxes, the main dialog and the About box, and the
// registration of all the plug-in's resources.
#include <commctrl.h>

#include <array>
#include <cstring>
#include <vector>

#include "dialog/main_dialog.h"
#include "effects/page_tables.h"
#include "luma/module.h"
#include "luma/resources.h"
#include "plugin/message_dialog.h"
#include "resources/page_templates.h"
#include "resources/plugin_resources.h"

namespace {

using luma::DialogItemTemplate;
using luma::MakeDialogTemplate;

constexpr DWORD kBoxStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
constexpr DWORD kTextStyle = WS_VISIBLE | SS_LEFT;
constexpr DWORD kButtonStyle = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;

constexpr DialogItemTemplate kMessageItems[] = {
    {"STATIC", "", kMessageTextId, 10, 10, 220, 52, kTextStyle},
    {"BUTTON", "Ok", IDOK, 95, 70, 50, 14, kButtonStyle | BS_DEFPUSHBUTTON},
};
constexpr DialogItemTemplate kYesNoItems[] = {
    {"STATIC", "", kMessageTextId, 10, 10, 220, 52, kTextStyle},
    {"BUTTON", "Yes", IDYES, 64, 70, 50, 14, kButtonStyle | BS_DEFPUSHBUTTON},
    {"BUTTON", "No", IDNO, 126, 70, 50, 14, kButtonStyle},
};
constexpr DialogItemTemplate kYesNoCancelItems[] = {
    {"STATIC", "", kMessageTextId, 10, 10, 220, 52, kTextStyle},
    {"BUTTON", "Yes", IDYES, 36, 70, 50, 14, kButtonStyle | BS_DEFPUSHBUTTON},
    {"BUTTON", "No", IDNO, 95, 70, 50, 14, kButtonStyle},
    {"BUTTON", "Cancel", IDCANCEL, 154, 70, 50, 14, kButtonStyle},
};

constexpr luma::DialogTemplate kMessageBox =
    MakeDialogTemplate(kBoxStyle, 0, 0, 0, 240, 92, "Message", kDialogFontName, kDialogFontSize, kMessageItems);
constexpr luma::DialogTemplate kYesNoBox =
    MakeDialogTemplate(kBoxStyle, 0, 0, 0, 240, 92, "Message", kDialogFontName, kDialogFontSize, kYesNoItems);
constexpr luma::DialogTemplate kYesNoCancelBox = MakeDialogTemplate(
    kBoxStyle, 0, 0, 0, 240, 92, "Message", kDialogFontName, kDialogFontSize, kYesNoCancelItems);

// The main dialog: the preview and the picture on the left, the effect list
// above the page area on the right, the output options and the buttons
// below it.
constexpr DWORD kCheckStyle = WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX;
// A drop-down list's height is that of its opened list.
constexpr DWORD kListStyle = WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
constexpr DWORD kOwnerDrawn = WS_VISIBLE | BS_OWNERDRAW;
constexpr DialogItemTemplate kMainItems[] = {
    {"BUTTON", "", 25, 8, 8, 204, 168, kOwnerDrawn},
    {"BUTTON", "", 12, 8, 180, 204, 12, kOwnerDrawn},
    {"STATIC", "Current image:", 42, 8, 198, 60, 8, kTextStyle},
    {"BUTTON", "", 41, 8, 208, 204, 12, kOwnerDrawn},
    {"BUTTON", "Select...", 51, 162, 224, 50, 14, kButtonStyle},
    {"BUTTON", "", 17, 8, 262, 38, 32, kOwnerDrawn},
    {"STATIC", "Effect", 33, kPageAreaLeft, 10, 30, 8, kTextStyle},
    {"COMBOBOX", "", 50, kPageAreaLeft + 34, 8, 120, 200, kListStyle},
    {"BUTTON", "Tr&ue color", 10, 222, 236, 70, 10, kCheckStyle},
    {"BUTTON", "&Custom palette", 14, 222, 250, 70, 10, kCheckStyle},
    {"BUTTON", "&Dither", 15, 222, 264, 70, 10, kCheckStyle},
    {"BUTTON", "&Supercompress", 19, 300, 236, 76, 10, kCheckStyle},
    {"BUTTON", "Add comme&nt", 20, 300, 250, 76, 10, kCheckStyle},
    {"BUTTON", "&Mask background", 21, 300, 264, 76, 10, kCheckStyle},
    {"STATIC", "Palette:", 34, 222, 283, 30, 8, kTextStyle},
    {"COMBOBOX", "", 13, 256, 281, 120, 110, kListStyle},
    {"BUTTON", "Open/Save", 36, 384, 234, 60, 14, kButtonStyle},
    {"BUTTON", "A&bout", 18, 384, 251, 60, 14, kButtonStyle},
    {"BUTTON", "Build", IDOK, 452, 234, 60, 14, kButtonStyle | BS_DEFPUSHBUTTON},
    {"BUTTON", "&Test", 24, 452, 251, 60, 14, kButtonStyle},
    {"BUTTON", "Cancel", IDCANCEL, 452, 268, 60, 14, kButtonStyle},
    {"BUTTON", "Help", 9, 452, 285, 60, 14, kButtonStyle},
};

constexpr luma::DialogTemplate kMainDialog =
    MakeDialogTemplate(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT, 0, 0, 0, kMainDialogWidth,
                       kMainDialogHeight, "Lumafex", kDialogFontName, kDialogFontSize, kMainItems);

constexpr DialogItemTemplate kAboutItems[] = {
    {"STATIC", "", kAboutTextId, 10, 10, 200, 64, kTextStyle},
    {"BUTTON", "Close", IDCANCEL, 46, 80, 60, 14, kButtonStyle | BS_DEFPUSHBUTTON},
    {"BUTTON", "Help", kHelpButton, 114, 80, 60, 14, kButtonStyle},
};
constexpr luma::DialogTemplate kAboutBox =
    MakeDialogTemplate(kBoxStyle, 0, 0, 0, 220, 102, "About Lumafex", kDialogFontName, kDialogFontSize, kAboutItems);

std::vector<luma::Resource> MakeTable() {
    std::vector<luma::Resource> table;
    auto dialog = [&](LPCSTR name, const luma::DialogTemplate& t) {
        table.push_back({RT_DIALOG, name, &t, sizeof t});
    };
    dialog(kMessageBoxTemplate, kMessageBox);
    dialog(kYesNoTemplate, kYesNoBox);
    dialog(kYesNoCancelTemplate, kYesNoCancelBox);
    dialog(MAKEINTRESOURCE(kMainDialogTemplate), kMainDialog);
    dialog(kAboutBoxTemplate, kAboutBox);
    for (int n = 0; n < kEffectCount; ++n) dialog(MAKEINTRESOURCE(kFirstPageTemplate + n), PageTemplate(n));
    for (int id = 0; id < 16; ++id)
        table.push_back({RT_STRING, MAKEINTRESOURCE(id), kErrorTexts[id], std::strlen(kErrorTexts[id])});
    return table;
}

// Registered under the module holding this code: the plug-in module, or the
// program the plug-in's code is linked into.
struct Registration {
    Registration()
        : module(luma::ModuleFromAddress(reinterpret_cast<const void*>(&RegisterPluginResources))),
          table(MakeTable()) {
        luma::RegisterResources(module, table.data(), table.size());
    }
    ~Registration() { luma::UnregisterResources(module, table.data(), table.size()); }
    HMODULE module;
    std::vector<luma::Resource> table;
};

}  // namespace

void RegisterPluginResources() { static const Registration registration; }
