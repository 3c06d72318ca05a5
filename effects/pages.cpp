#include "effects/pages.h"

#include <commctrl.h>
#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "controls/direction_pad.h"
#include "effects/effect_table.h"
#include "effects/page_tables.h"
#include "plugin/lifecycle.h"
#include "settings/bound_controls.h"
#include "settings/settings.h"

namespace {

// Parses one "%d" at text; false when there is no number.
bool ReadInt(const char*& text, int& value) {
    char* end = nullptr;
    long number = std::strtol(text, &end, 10);
    if (end == text) return false;
    value = static_cast<int>(number);
    text = end;
    return true;
}

struct CloneJob {
    HWND mainDialog;
    bool ok;
};

INT_PTR CALLBACK CloneProc(HWND page, UINT message, WPARAM, LPARAM lParam) {
    if (message != WM_INITDIALOG) return FALSE;
    auto* job = reinterpret_cast<CloneJob*>(lParam);
    auto font = static_cast<WPARAM>(SendMessageA(job->mainDialog, WM_GETFONT, 0, 0));
    for (HWND child = GetWindow(page, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char text[1024] = {};
        char className[64] = {};
        GetWindowTextA(child, text, sizeof text);
        GetClassNameA(child, className, sizeof className);
        RECT box;
        GetWindowRect(child, &box);
        MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&box), 2);
        int height = box.bottom - box.top;
        // The opened list of a drop-down.
        if (strcasecmp(className, "combobox") == 0) height += 200;
        HWND clone = CreateWindowExA(static_cast<DWORD>(GetWindowLongPtrA(child, GWL_EXSTYLE)), className, text,
                                     static_cast<DWORD>(GetWindowLongPtrA(child, GWL_STYLE)), box.left, box.top,
                                     box.right - box.left, height, job->mainDialog,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(GetDlgCtrlID(child))),
                                     PluginModule(), nullptr);
        if (!clone) {
            job->ok = false;
            continue;
        }
        ShowWindow(clone, SW_HIDE);
        SendMessageA(clone, WM_SETFONT, font, FALSE);
    }
    return TRUE;
}

void SetNumberText(HWND window, long long value) {
    char text[24];
    std::snprintf(text, sizeof text, "%lld", value);
    SetWindowTextA(window, text);
}

// Items separated by semicolons; runs of them count as one, and each item is
// at most 260 characters.
void FillCombo(HWND combo, const char* items) {
    std::string_view rest(items ? items : "");
    while (!rest.empty()) {
        std::size_t end = rest.find(';');
        std::string_view item = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (item.empty()) continue;
        char text[kSettingTextBytes] = {};
        item.copy(text, item.size() < kSettingTextBytes - 1 ? item.size() : kSettingTextBytes - 1);
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
}

bool BindSpin(HWND mainDialog, const PageParam& param, bool shiftHeld) {
    HWND field = GetDlgItem(mainDialog, param.id);
    HWND upDown = GetDlgItem(mainDialog, param.id + kSpinIdOffset);
    if (!field || !upDown) return false;
    const bool hundredths = HostUsesHundredths();
    if (IsDelayKind(param.kind)) SetWindowTextA(upDown, hundredths ? kDelayRangeHundredths : kDelayRangeMilliseconds);

    char range[64] = {};
    GetWindowTextA(upDown, range, sizeof range);
    int min = -32767, max = 32767, def = -32767;
    int read = ParseSpinRange(range, min, max, def);
    if (read >= 2) SendMessageA(upDown, UDM_SETRANGE32, static_cast<WPARAM>(min), static_cast<LPARAM>(max));
    if (read >= 3) SendMessageA(upDown, UDM_SETPOS32, 0, static_cast<LPARAM>(def));

    if (param.kind == PageParamKind::Signed) {
        SetWindowTextA(field, static_cast<const char*>(param.setting));
    } else if (IsDelayKind(param.kind) && shiftHeld) {
        // Defaults for the host's unit; the setting changes only with an edit.
        SetNumberText(field, hundredths ? param.shiftHundredths : param.shiftMilliseconds);
    } else {
        SetNumberText(field, *static_cast<DWORD*>(param.setting));
    }
    BindControl(field, param.kind == PageParamKind::Signed ? BoundKind::SignedSpin : BoundKind::Spin, param.setting);
    BindUpDown(upDown);
    return true;
}

}  // namespace

int ParseSpinRange(const char* text, int& min, int& max, int& def) {
    if (!text) return 0;
    int* targets[3] = {&min, &max, &def};
    int read = 0;
    for (; read < 3; ++read) {
        if (read > 0) {
            if (*text != ',') break;
            ++text;
        }
        int value;
        if (!ReadInt(text, value)) break;
        *targets[read] = value;
    }
    return read;
}

int ReadPageInt(HWND window, int id) {
    char range[64] = {};
    GetDlgItemTextA(window, id + kSpinIdOffset, range, sizeof range);
    int min = 0, max = 100, def = 0;
    ParseSpinRange(range, min, max, def);
    const bool isSigned = min < 0;
    if (!isSigned) {
        // A negative number in an unsigned field is below any minimum.
        char text[32] = {};
        GetDlgItemTextA(window, id, text, sizeof text);
        const char* first = text;
        while (*first == ' ') ++first;
        if (*first == '-') return min;
    }
    BOOL translated = FALSE;
    UINT raw = GetDlgItemInt(window, id, &translated, isSigned);
    // Unsigned fields compare unsigned: a huge number is above the maximum.
    long long value = isSigned ? static_cast<long long>(static_cast<int>(raw)) : static_cast<long long>(raw);
    if (value > max) return max;
    if (value < min) return min;
    return static_cast<int>(value);
}

DWORD ReadPageColour(HWND window, int id) {
    char text[32] = {};
    GetDlgItemTextA(window, id, text, sizeof text);
    unsigned long long value = std::strtoull(text, nullptr, 10);
    return value > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<DWORD>(value);
}

bool ReadPageCheck(HWND window, int id) { return IsDlgButtonChecked(window, id) == BST_CHECKED; }

int ClonePage(HWND mainDialog, int styleNumber) {
    if (styleNumber < 0 || styleNumber >= kEffectCount) return 0;
    CloneJob job{mainDialog, true};
    HWND page = CreateDialogParamA(PluginModule(), MAKEINTRESOURCE(kFirstPageTemplate + styleNumber), mainDialog,
                                   CloneProc, reinterpret_cast<LPARAM>(&job));
    if (!page) return 0;
    DestroyWindow(page);
    return job.ok ? 1 : 0;
}

int BindPage(HWND mainDialog, int styleNumber) {
    if (styleNumber < 0 || styleNumber >= kEffectCount) return 0;
    const bool shiftHeld = GetKeyState(VK_SHIFT) < 0;
    for (const PageParam& param : kPageParams[styleNumber]) {
        HWND control = param.id ? GetDlgItem(mainDialog, param.id) : nullptr;
        switch (param.kind) {
        case PageParamKind::Spin:
        case PageParamKind::Delay:
        case PageParamKind::UnstoredDelay:
        case PageParamKind::Signed:
            if (!BindSpin(mainDialog, param, shiftHeld)) return 0;
            break;
        case PageParamKind::Colour:
            if (!control) return 0;
            SetNumberText(control, *static_cast<DWORD*>(param.setting));
            BindControl(control, BoundKind::Colour, param.setting);
            break;
        case PageParamKind::Check:
            if (!control) return 0;
            SendMessageA(control, BM_SETCHECK, *static_cast<DWORD*>(param.setting) ? BST_CHECKED : BST_UNCHECKED, 0);
            BindControl(control, BoundKind::Check, param.setting);
            break;
        case PageParamKind::Combo:
            if (!control) return 0;
            FillCombo(control, param.items);
            SendMessageA(control, CB_SETCURSEL, *static_cast<DWORD*>(param.setting), 0);
            BindControl(control, BoundKind::Combo, param.setting);
            break;
        case PageParamKind::Pad:
            if (!control) return 0;
            BindDirectionPad(control, param.ways, static_cast<DWORD*>(param.setting));
            break;
        case PageParamKind::Hidden:
        case PageParamKind::Label:
            break;
        }
    }
    return 1;
}

int SetUpPage(BuildContext* context, int styleNumber) {
    if (!context || !context->page) return 0;
    return ClonePage(context->page, styleNumber) && BindPage(context->page, styleNumber) ? 1 : 0;
}

void ShowPage(HWND mainDialog, int effect) {
    auto isPageId = [](int id) {
        return (id >= kFirstPageControlId && id <= kLastPageControlId) ||
               (id >= kFirstPageControlId + kSpinIdOffset && id <= kLastPageControlId + kSpinIdOffset);
    };
    for (HWND child = GetWindow(mainDialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (isPageId(GetDlgCtrlID(child))) ShowWindow(child, SW_HIDE);
    const EffectRecord* record = EffectAt(effect);
    if (!record || !record->PageControlList) return;
    for (const DWORD* id = record->PageControlList; *id; ++id)
        if (HWND control = GetDlgItem(mainDialog, static_cast<int>(*id))) ShowWindow(control, SW_SHOW);
}
