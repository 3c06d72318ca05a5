// The marker window: a transparent child of the main dialog lying over the
// preview picture, in which the user drags five markers. Skip Intro, Ping,
// Rain and Sparkle place their elements at the markers. Positions are kept
// as fractions of the picture size, in a marker file per window id
// ("MARKER%5.5d.mkr" in the data folder) and in settings documents.
#pragma once

#include <windows.h>

inline constexpr int kMarkerCount = 5;
// The main dialog's preview control.
inline constexpr int kPreviewControl = 25;

// Marker window ids, one per effect that places things at markers.
inline constexpr int kSkipIntroMarkers = 470;
inline constexpr int kPingMarkers = 507;
inline constexpr int kRainMarkers = 551;
inline constexpr int kSparkleMarkers = 719;

// wParam 0: take the default positions, then (unless Shift is held) those of
// the marker file; answers 1.
inline constexpr UINT kMarkerLoadMessage = WM_USER + 200;

// Half the side of a marker's square.
inline constexpr int kMarkerHalf = 5;

// MarkerSet, the window's state block.
struct MarkerSet {
    float fx[kMarkerCount];
    float fy[kMarkerCount];
};

// The window procedure of "MarkerWindowClass".
LRESULT CALLBACK MarkerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The rectangle, in the main dialog's client coordinates, in which the
// preview control last drew the picture; before it drew one, where it would
// draw a picture of the SourceImage's size (the control less 4 pixels on
// every side, the picture shrunk by one percentage when it does not fit,
// centred). False (and an empty rectangle) without a preview control.
bool PreviewPictureRect(HWND mainDialog, RECT* rect);

// Creates the marker window with id over the preview picture, loads its
// positions and makes it the dialog's current marker window. A marker window
// with that id that is already there is shown and moved instead, keeping its
// positions. Null when memory fails.
HWND CreateMarkerWindow(HWND mainDialog, int id);

// Moves the window over the preview picture again and repaints it.
void RefreshMarkerWindow(HWND window);

// Destroys the marker window with id, which saves its positions.
void DestroyMarkerWindow(HWND mainDialog, int id);

// The marker window with id, or null.
HWND FindMarkerWindow(HWND mainDialog, int id);

// The marker window the dialog made last and that still exists, or null.
HWND CurrentMarkerWindow(HWND mainDialog);

// Repaints the current marker window when it is visible: the main dialog
// calls this after every change of a bound control.
void RepaintMarkerWindow(HWND mainDialog);

// Marker index's position in a picture of width x height: 1 and
// (trunc(width x fx), trunc(height x fy)). Without a window or its state the
// default places: the four quarter points and the centre. 0 for an index
// outside 0..4.
int GetMarkerPosition(HWND window, int index, LONG width, LONG height, POINT* point);

// The marker file of a window id, in the data folder (a static buffer, as
// the folder functions give); empty when there is no data folder.
const char* MarkerFilePath(int id);

// PageEvent of the effects with a marker window: 2 creates it, 3 refreshes
// it, 1 destroys it; other codes answer 0.
int MarkerPageEvent(HWND page, int code, int id);
