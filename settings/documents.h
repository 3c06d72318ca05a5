// Settings documents (".lfx"): one line per bound control of the main
// dialog, hidden pages included, so that opening one restores them all.
#pragma once

#include <windows.h>

// Private message of the main dialog: show the current page.
inline constexpr UINT kShowPageMessage = WM_USER + 200;
// The main dialog's picture path field.
inline constexpr int kPicturePathControl = 41;

// Writes every bound control of dialog to path. Returns 1, or 0 (after
// telling the user) when the file cannot be created.
int SaveDocument(HWND dialog, const char* path);

// Reads the document at path into the bound controls of dialog, loads the
// picture it names and shows the page of its effect. Returns 1, or 0 (after
// telling the user) when the file cannot be opened or is not a document.
int OpenDocument(HWND dialog, const char* path);
