// Dialog templates of the message boxes and the main dialog, and the
// registration of all the plug-in's resources.
#include <commctrl.h>

#include <array>
#include <cstring>
#include <vector>

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

// The main dialog in the form the page framework needs: the effect list, the
// output options bound to their settings, the picture path, Build and
// Cancel, and the page area that the pages fill.
constexpr DWORD kCheckStyle = WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX;
constexpr DialogItemTemplate kMainItems[] = {
    {"BUTTON", "", 25, 8, 8, 204, 168, WS_VISIBLE | BS_OWNERDRAW},
    {"BUTTON", "", 12, 8, 180, 204, 12, WS_VISIBLE | BS_OWNERDRAW},
    {"STATIC", "Current image:", 42, 8, 198, 60, 8, kTextStyle},
    {"BUTTON", "", 41, 8, 208, 204, 12, WS_VISIBLE | BS_OWNERDRAW},
    {"BUTTON", "Select...", 51, 162, 224, 50, 14, kButtonStyle},
    {"STATIC", "Effect", 33, kPageAreaLeft, 10, 30, 8, kTextStyle},
    {"COMBOBOX", "", 50, kPageAreaLeft + 34, 8, 120, 12, WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST},
    {"BUTTON", "Tr&ue color", 10, 222, 240, 70, 10, kCheckStyle},
    {"BUTTON", "&Custom palette", 14, 222, 254, 70, 10, kCheckStyle},
    {"BUTTON", "&Dither", 15, 222, 268, 70, 10, kCheckStyle},
    {"BUTTON", "&Supercompress", 19, 300, 240, 70, 10, kCheckStyle},
    {"BUTTON", "Add comme&nt", 20, 300, 254, 70, 10, kCheckStyle},
    {"BUTTON", "&Mask background", 21, 300, 268, 70, 10, kCheckStyle},
    {"STATIC", "Palette:", 34, 222, 284, 30, 8, kTextStyle},
    {"COMBOBOX", "", 13, 256, 282, 114, 12, WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST},
    {"BUTTON", "Build", IDOK, 452, 240, 60, 14, kButtonStyle | BS_DEFPUSHBUTTON},
    {"BUTTON", "Cancel", IDCANCEL, 452, 258, 60, 14, kButtonStyle},
};

constexpr luma::DialogTemplate kMainDialog =
    MakeDialogTemplate(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT, 0, 0, 0, kMainDialogWidth,
                       kMainDialogHeight, "Lumafex", kDialogFontName, kDialogFontSize, kMainItems);

std::vector<luma::Resource> MakeTable() {
    std::vector<luma::Resource> table;
    auto dialog = [&](LPCSTR name, const luma::DialogTemplate& t) {
        table.push_back({RT_DIALOG, name, &t, sizeof t});
    };
    dialog(kMessageBoxTemplate, kMessageBox);
    dialog(kYesNoTemplate, kYesNoBox);
    dialog(kYesNoCancelTemplate, kYesNoCancelBox);
    dialog(MAKEINTRESOURCE(kMainDialogTemplate), kMainDialog);
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
