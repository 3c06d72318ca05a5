// The main dialog (template 1000): the whole user interface of one run. The
// effect list with the pages of all effects, the preview, the picture, the
// output options bound to their settings, settings documents, Test and Build.
#pragma once

#include <windows.h>

// "Custom palette" starts checked in every process and is not stored.
extern DWORD CustomPalette;

// Ids of the main dialog's own controls.
inline constexpr int kBuildButton = IDOK;
inline constexpr int kCancelButton = IDCANCEL;
inline constexpr int kHelpButton = 9;
inline constexpr int kTrueColourBox = 10;
inline constexpr int kPictureSizeField = 12;
inline constexpr int kPaletteList = 13;
inline constexpr int kCustomPaletteBox = 14;
inline constexpr int kDitherBox = 15;
inline constexpr int kEmblem = 17;
inline constexpr int kAboutButton = 18;
inline constexpr int kSupercompressBox = 19;
inline constexpr int kCommentBox = 20;
inline constexpr int kMaskBackgroundBox = 21;
inline constexpr int kTestButton = 24;
inline constexpr int kPreviewArea = 25;
inline constexpr int kEffectLabel = 33;
inline constexpr int kPaletteLabel = 34;
inline constexpr int kDocumentsButton = 36;
inline constexpr int kPicturePathField = 41;
inline constexpr int kPictureLabel = 42;
inline constexpr int kEffectList = 50;
inline constexpr int kSelectPictureButton = 51;

// Commands the dialog sends itself or gets from its documents menu.
inline constexpr int kOpenDocumentCommand = 37;
inline constexpr int kSaveDocumentCommand = 38;
inline constexpr int kSaveDocumentAsCommand = 39;
inline constexpr int kRunTestCommand = 46;
inline constexpr int kRunBuildCommand = 47;

// Private messages: show the current page (kShowPageMessage, in
// settings/documents.h) and repaint the preview area.
inline constexpr UINT kRepaintPreviewMessage = WM_USER + 303;

// Timers of the dialog.
inline constexpr UINT_PTR kPreviewTimer = 15;
inline constexpr UINT_PTR kEmblemTimer = 99;
inline constexpr UINT kEmblemInterval = 60;

// Anchors of the help document.
inline constexpr const char kHelpDocument[] = "LUMAPLUG.HTML";
inline constexpr const char kPrefaceAnchor[] = "PREFACE";
inline constexpr const char kAboutAnchor[] = "ABOUT";

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Where the preview area last drew the picture, in its client coordinates;
// false when it drew none. The marker window covers this rectangle.
bool LastPreviewPictureRect(RECT* rect);

// Repaints the preview area now.
void RepaintPreview(HWND dialog);

// Asks the host to show the help document at anchor; tells the user when it
// cannot. Returns whether it was shown.
bool ShowHelp(HWND owner, const char* anchor);

// The About box, modal over owner.
void ShowAboutBox(HWND owner);
inline constexpr const char kAboutBoxTemplate[] = "ABOUTBOX";
inline constexpr int kAboutTextId = 101;
