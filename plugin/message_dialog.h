// The plug-in's own message box, and the string table.
#pragma once

#include <windows.h>

// Template names of the three message dialogs.
inline constexpr const char kMessageBoxTemplate[] = "MessageBox";
inline constexpr const char kYesNoTemplate[] = "YESNOBOX";
inline constexpr const char kYesNoCancelTemplate[] = "YESNOCANCELBOX";
// The text control of the three templates.
inline constexpr int kMessageTextId = 101;

// Shows text with an OK button, modally; returns when it is closed.
void MessageDialog(HWND owner, const char* text);

// Shows text in one of the three templates and returns the id of the button
// that closed it (IDOK, IDCANCEL, IDYES, IDNO), or 0 when it could not be shown.
int QuestionDialog(HWND owner, const char* text, const char* templateName);

// The string-table text for id, in a buffer shared by every call.
const char* LoadResourceString(UINT id);

inline constexpr int kStringMemoryError = 6;
