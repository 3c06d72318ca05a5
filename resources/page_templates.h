// Geometry of the effect pages and their dialog templates 7400..7419. The
// page controls sit in the page area of the main dialog: a page template has
// the main dialog's size and font, so that its controls' client rectangles
// are their places in the main dialog.
#pragma once

#include <windows.h>

#include "luma/resources.h"

// The page area of the main dialog, in dialog units.
inline constexpr short kPageAreaLeft = 222;
inline constexpr short kPageAreaTop = 28;
inline constexpr short kPageAreaWidth = 290;
inline constexpr short kPageAreaHeight = 200;

// Size of the main dialog and of every page template, in dialog units.
inline constexpr short kMainDialogWidth = 520;
inline constexpr short kMainDialogHeight = 308;

// The dialog font of the main dialog and the pages.
inline constexpr const char kDialogFontName[] = "MS Sans Serif";
inline constexpr WORD kDialogFontSize = 8;

// The template of page N (7400 + N).
const luma::DialogTemplate& PageTemplate(int styleNumber);
