// The preview area of the main dialog: the current effect's frame 0 drawn
// centred, shrunk to fit, never enlarged.
#pragma once

#include <windows.h>

// The percentage a picture of width x height is shrunk to in an area of
// areaWidth x areaHeight: 100 when it fits, else the smaller of the two
// ratios in whole per cent.
int PreviewPercent(LONG areaWidth, LONG areaHeight, LONG width, LONG height);

// Paints the preview area (owner-draw of its control) and writes the
// picture's size into the size field.
void DrawPreviewArea(HWND dialog, const DRAWITEMSTRUCT& item);

// Forgets the last drawn picture (a new dialog has drawn none).
void ForgetPreviewPicture();
