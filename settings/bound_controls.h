// Bound controls: dialog controls subclassed so that they keep a setting
// variable in step with their value and can write that value as one line of
// a settings document and take it back from one. The setting's address is
// the control's user data.
#pragma once

#include <windows.h>

#include <cstdio>

// Private messages every bound control answers.
inline constexpr UINT kWriteLineMessage = WM_USER + 310;  // lParam: open FILE*; appends the control's line
inline constexpr UINT kReadLineMessage = WM_USER + 311;   // lParam: a document line; 1 if taken

enum class BoundKind {
    None,
    Colour,      // "CLRBTN": colour button, text and setting hold 0x00BBGGRR as a decimal number
    Spin,        // "SPNBTN": edit with up-down, DWORD setting
    SignedSpin,  // "SPNSGN": edit with up-down, setting kept as decimal text
    Check,       // "CHKBOX": check box, setting 1 or 0
    Text,        // "TXTFLD": text field, 261-byte setting
    Combo,       // "CMBBOX": drop-down list, setting = selected position
};

// The document tag of a kind ("CLRBTN"...), empty for None.
const char* BoundTag(BoundKind kind);

// Subclasses control with the kind's procedure and keeps setting as its user
// data. The control's value is not changed.
void BindControl(HWND control, BoundKind kind, void* setting);

// Gives a spin field's up-down the procedure that marks it as one.
void BindUpDown(HWND upDown);

BoundKind BoundKindOf(HWND control);
bool IsBoundUpDown(HWND window);

// Takes a bound control's current value into its setting, as after an edit.
// An up-down passes this on to its field (id 10000 lower). Returns whether
// the window was a bound control.
bool UpdateBoundSetting(HWND control);

// The value part of a document line: after the first "=" and any further
// "=" and blanks; null when the line has no "=".
const char* DocumentLineValue(const char* line);
