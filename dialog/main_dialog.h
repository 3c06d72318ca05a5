// The main dialog (template 1000): the effect list with the pages of all
// effects, the output options and the picture path, bound to their settings.
#pragma once

#include <windows.h>

// "Custom palette" starts checked in every process and is not stored.
extern DWORD CustomPalette;

// Ids of the main dialog's own controls.
inline constexpr int kEffectList = 50;
inline constexpr int kPaletteList = 13;
inline constexpr int kTrueColourBox = 10;
inline constexpr int kCustomPaletteBox = 14;
inline constexpr int kDitherBox = 15;
inline constexpr int kSupercompressBox = 19;
inline constexpr int kCommentBox = 20;
inline constexpr int kMaskBackgroundBox = 21;

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
