#include "settings/bound_controls.h"

#include <strings.h>

#include <cstdlib>
#include <cstring>

#include "effects/page_tables.h"
#include "effects/pages.h"
#include "settings/settings.h"
#include "settings/text_parse.h"

namespace {

// Where the class's own procedure is kept while the kind's procedure runs;
// the user data holds the setting.
constexpr char kOriginalProcedure[] = "LumafexBoundProcedure";

LRESULT PassOn(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto original = reinterpret_cast<WNDPROC>(GetPropA(window, kOriginalProcedure));
    if (message == WM_NCDESTROY) RemovePropA(window, kOriginalProcedure);
    return original ? CallWindowProcA(original, window, message, wParam, lParam)
                    : DefWindowProcA(window, message, wParam, lParam);
}

DWORD* NumberSetting(HWND window) { return reinterpret_cast<DWORD*>(GetWindowLongPtrA(window, GWLP_USERDATA)); }
char* TextSetting(HWND window) { return reinterpret_cast<char*>(GetWindowLongPtrA(window, GWLP_USERDATA)); }

int ControlId(HWND window) { return GetDlgCtrlID(window); }

void WriteLine(LPARAM file, const char* tag, int id, const char* value) {
    if (file) std::fprintf(reinterpret_cast<std::FILE*>(file), "%s%d=%s\r\n", tag, id, value);
}

void WriteNumberLine(LPARAM file, const char* tag, int id, long long value) {
    char text[24];
    std::snprintf(text, sizeof text, "%lld", value);
    WriteLine(file, tag, id, text);
}

// The value of a line carrying tag, or null when the line is not this kind's.
const char* TakenValue(LPARAM line, const char* tag) {
    const char* text = reinterpret_cast<const char*>(line);
    if (!text || strncasecmp(text, tag, 6) != 0) return nullptr;
    return DocumentLineValue(text);
}

void SetNumber(HWND window, long long value) {
    char text[24];
    std::snprintf(text, sizeof text, "%lld", value);
    SetWindowTextA(window, text);
}

DWORD ButtonNumber(HWND window) {
    char text[32] = {};
    GetWindowTextA(window, text, sizeof text);
    unsigned long long value = std::strtoull(text, nullptr, 10);
    return value > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<DWORD>(value);
}

bool Checked(HWND window) { return SendMessageA(window, BM_GETCHECK, 0, 0) == BST_CHECKED; }

int Selection(HWND window) { return static_cast<int>(SendMessageA(window, CB_GETCURSEL, 0, 0)); }

void StoreText(HWND window) {
    char text[kSettingTextBytes] = {};
    GetWindowTextA(window, text, sizeof text);
    CopyTextSetting(TextSetting(window), kSettingTextBytes, text);
}

void StoreSignedSpin(HWND window) {
    char text[24];
    std::snprintf(text, sizeof text, "%d", ReadPageInt(GetParent(window), ControlId(window)));
    CopyTextSetting(TextSetting(window), kSettingTextBytes, text);
}

LRESULT CALLBACK ColourProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kWriteLineMessage) {
        WriteNumberLine(lParam, "CLRBTN", ControlId(window), ButtonNumber(window));
        return 0;
    }
    if (message == kReadLineMessage) {
        const char* value = TakenValue(lParam, "CLRBTN");
        if (!value) return 0;
        SetNumber(window, ParseSettingNumber(value));
        *NumberSetting(window) = ButtonNumber(window);
        InvalidateRect(window, nullptr, TRUE);
        return 1;
    }
    return PassOn(window, message, wParam, lParam);
}

LRESULT CALLBACK SpinProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kWriteLineMessage) {
        WriteNumberLine(lParam, "SPNBTN", ControlId(window), ReadPageInt(GetParent(window), ControlId(window)));
        return 0;
    }
    if (message == kReadLineMessage) {
        const char* value = TakenValue(lParam, "SPNBTN");
        if (!value) return 0;
        // Shown as written; the setting takes the page's clamped value.
        SetNumber(window, static_cast<DWORD>(ParseInt(value)));
        *NumberSetting(window) = static_cast<DWORD>(ReadPageInt(GetParent(window), ControlId(window)));
        return 1;
    }
    return PassOn(window, message, wParam, lParam);
}

LRESULT CALLBACK SignedSpinProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kWriteLineMessage) {
        WriteNumberLine(lParam, "SPNSGN", ControlId(window), ReadPageInt(GetParent(window), ControlId(window)));
        return 0;
    }
    if (message == kReadLineMessage) {
        const char* value = TakenValue(lParam, "SPNSGN");
        if (!value) return 0;
        SetNumber(window, ParseInt(value));
        StoreSignedSpin(window);
        return 1;
    }
    return PassOn(window, message, wParam, lParam);
}

LRESULT CALLBACK CheckProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kWriteLineMessage) {
        WriteNumberLine(lParam, "CHKBOX", ControlId(window), Checked(window) ? 1 : 0);
        return 0;
    }
    if (message == kReadLineMessage) {
        const char* value = TakenValue(lParam, "CHKBOX");
        if (!value) return 0;
        int state = ParseInt(value);
        SendMessageA(window, BM_SETCHECK,
                     state == 0 ? BST_UNCHECKED : state == BST_INDETERMINATE ? BST_INDETERMINATE : BST_CHECKED, 0);
        *NumberSetting(window) = Checked(window) ? 1 : 0;
        return 1;
    }
    return PassOn(window, message, wParam, lParam);
}

LRESULT CALLBACK TextProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kWriteLineMessage) {
        char text[1024] = {};
        GetWindowTextA(window, text, sizeof text);
        WriteLine(lParam, "TXTFLD", ControlId(window), text);
        return 0;
    }
    if (message == kReadLineMessage) {
        const char* value = TakenValue(lParam, "TXTFLD");
        if (!value) return 0;
        SetWindowTextA(window, value);
        StoreText(window);
        return 1;
    }
    return PassOn(window, message, wParam, lParam);
}

LRESULT CALLBACK ComboProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kWriteLineMessage) {
        WriteNumberLine(lParam, "CMBBOX", ControlId(window), Selection(window));
        return 0;
    }
    if (message == kReadLineMessage) {
        const char* value = TakenValue(lParam, "CMBBOX");
        if (!value) return 0;
        SendMessageA(window, CB_SETCURSEL, static_cast<WPARAM>(static_cast<LONG_PTR>(ParseInt(value))), 0);
        *NumberSetting(window) = static_cast<DWORD>(Selection(window));
        return 1;
    }
    return PassOn(window, message, wParam, lParam);
}

// Changes nothing; its address tells the main dialog that a command comes
// from a spin field's up-down.
LRESULT CALLBACK UpDownProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return PassOn(window, message, wParam, lParam);
}

struct KindEntry {
    BoundKind kind;
    const char* tag;
    WNDPROC procedure;
};

constexpr KindEntry kKinds[] = {
    {BoundKind::Colour, "CLRBTN", ColourProc},   {BoundKind::Spin, "SPNBTN", SpinProc},
    {BoundKind::SignedSpin, "SPNSGN", SignedSpinProc}, {BoundKind::Check, "CHKBOX", CheckProc},
    {BoundKind::Text, "TXTFLD", TextProc},       {BoundKind::Combo, "CMBBOX", ComboProc},
};

void Subclass(HWND window, WNDPROC procedure) {
    // A second binding keeps the class's procedure, not the first binding's.
    if (!GetPropA(window, kOriginalProcedure)) {
        auto original = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC));
        SetPropA(window, kOriginalProcedure, reinterpret_cast<HANDLE>(original));
    }
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure));
}

}  // namespace

const char* BoundTag(BoundKind kind) {
    for (const KindEntry& entry : kKinds)
        if (entry.kind == kind) return entry.tag;
    return "";
}

void BindControl(HWND control, BoundKind kind, void* setting) {
    if (!control) return;
    for (const KindEntry& entry : kKinds) {
        if (entry.kind != kind) continue;
        SetWindowLongPtrA(control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(setting));
        Subclass(control, entry.procedure);
        return;
    }
}

void BindUpDown(HWND upDown) {
    if (upDown) Subclass(upDown, UpDownProc);
}

BoundKind BoundKindOf(HWND control) {
    if (!control) return BoundKind::None;
    auto procedure = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(control, GWLP_WNDPROC));
    for (const KindEntry& entry : kKinds)
        if (entry.procedure == procedure) return entry.kind;
    return BoundKind::None;
}

bool IsBoundUpDown(HWND window) {
    return window && reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC)) == UpDownProc;
}

bool UpdateBoundSetting(HWND control) {
    if (IsBoundUpDown(control)) {
        HWND field = GetDlgItem(GetParent(control), GetDlgCtrlID(control) - kSpinIdOffset);
        return field && UpdateBoundSetting(field);
    }
    switch (BoundKindOf(control)) {
    case BoundKind::None:
        return false;
    case BoundKind::Colour:
        *NumberSetting(control) = ButtonNumber(control);
        return true;
    case BoundKind::Spin:
        *NumberSetting(control) = static_cast<DWORD>(ReadPageInt(GetParent(control), ControlId(control)));
        return true;
    case BoundKind::SignedSpin:
        StoreSignedSpin(control);
        return true;
    case BoundKind::Check:
        *NumberSetting(control) = Checked(control) ? 1 : 0;
        return true;
    case BoundKind::Text:
        StoreText(control);
        return true;
    case BoundKind::Combo:
        *NumberSetting(control) = static_cast<DWORD>(Selection(control));
        return true;
    }
    return false;
}

const char* DocumentLineValue(const char* line) {
    const char* value = line ? std::strchr(line, '=') : nullptr;
    if (!value) return nullptr;
    while (*value == '=' || *value == ' ') ++value;
    return value;
}
