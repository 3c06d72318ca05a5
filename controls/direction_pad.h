// Direction pads: page push buttons taken over to pick a direction by its
// cell. A pad keeps its value in a small state block, mirrors it as its
// window text and in its bound setting, and takes part in settings
// documents with the tag "SCRL4D" (four-way) or "SCRL2D" (two-way).
#pragma once

#include <windows.h>

inline constexpr UINT kPadCreateMessage = WM_USER + 400;    // wParam value, lParam DWORD* setting
inline constexpr UINT kPadReadBackMessage = WM_USER + 302;  // value from the window text

// RCDATA resources holding the glyph strips: 32-bit BMP files with alpha,
// one 24 x 24 glyph per cell side by side, in cell order.
inline constexpr int kFourWayGlyphs = 7105;
inline constexpr int kTwoWayGlyphs = 7106;
// LoadGlyphStrip's background for the system's button face colour.
inline constexpr COLORREF kButtonFaceBackground = 0xFFFFFFFF;

// The glyph strip of an RCDATA resource holding a BMP file, as a 24-bit
// PackedDib with every pixel composed over background by its alpha (24-bit
// files count as opaque). Null when the resource is missing or damaged, or
// memory fails.
HGLOBAL LoadGlyphStrip(int resourceId, COLORREF background);

// Pixel size of a pad: 75 x 75 (four-way) or 50 x 25 (two-way).
SIZE DirectionPadSize(int ways);

// The cell under a client point, or -1 for none.
int DirectionPadCell(int ways, POINT point);

// Subclasses the page button as a pad of ways (2 or 4) cells, resizes it to
// the pad's size where it stands and binds it to setting.
void BindDirectionPad(HWND button, int ways, DWORD* setting);

// The pad's current value, or -1 when window is not a bound pad.
int DirectionPadValue(HWND window);
