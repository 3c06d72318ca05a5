// Push buttons in the host's own look. The host names the look in its
// HostContext (ButtonStyle 0 plain, 1 to 3 shaded); a dialog hands its push
// buttons over when it starts, and each becomes an owner-drawn button that
// paints itself in that look, pressed while the left button is held on it.
#pragma once

#include <windows.h>

// ShadeLines directions.
inline constexpr int kShadeColumns = 1;  // one vertical line per column, from the left
inline constexpr int kShadeRows = 2;     // one horizontal line per row, from the top

// With the running host's ButtonStyle 1 to 3 and a control id of dialog,
// makes that button owner-drawn in the look and returns 1; otherwise the
// button keeps the system's look and the answer is 0.
int MakeHostStyleButton(HWND dialog, int id);

// Fills rect with lines shading from colour a to colour b: line i has, per
// channel, a + i x (b - a) / n, accumulated as doubles and truncated.
void ShadeLines(HDC dc, const RECT& rect, COLORREF a, COLORREF b, int direction);

// The look a button was given (1 to 3), 0 for a button in the system's look.
int HostButtonLook(HWND button);
