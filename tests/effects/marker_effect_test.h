// What the tests of the marker effects (and Matrix) share: a small
// deterministic picture, the dialog shown with an effect chosen so its
// marker window exists, dragging a marker as the user does, comparing
// frames, and writing frames as PNG files to look at.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

#include "plugin/guards.h"
#include "tests/support/effect_harness.h"

namespace marker_tests {

// Frames of the effect tests that are worth a look go here.
std::filesystem::path OutputFolder();

// Writes a 24-bit PackedDib as a PNG file (into OutputFolder() when the
// name has no folder).
void WritePng(HGLOBAL dib, const std::string& name);

// The bounding box of the pixels in which two pictures of one size differ;
// empty when they are alike.
RECT ChangedArea(HGLOBAL a, HGLOBAL b);
// How many pixels differ.
long ChangedPixels(HGLOBAL a, HGLOBAL b);

// Pixel (x, y) from the top-left.
DWORD PixelAt(HGLOBAL dib, LONG x, LONG y);

// Width and height of a PackedDib.
SIZE PictureSize(HGLOBAL dib);

class MarkerEffectTest : public testing_support::EffectTest {
protected:
    // Loads a picture of width x height with a pattern that shows every
    // shift (gradients and a grid), or a plain one of colour, as the user's
    // picture.
    void UsePicture(LONG width, LONG height);
    void UsePlainPicture(LONG width, LONG height, COLORREF colour);

    // Shows the dialog and chooses the effect in its list as the user does;
    // the marker window the effect made, or null.
    HWND ShowEffect(const char* name, int markerId);

    // Drags marker index of the window to a point of its client area.
    void DragMarker(HWND window, int index, POINT to);

    // The source picture as every frame starts from it.
    GlobalBlock Source() const;

    // On a 200 x 150 picture, drags marker 0 of the effect's marker window
    // from its default place to three quarters across and down, and expects
    // the effect's next preview to have moved what it draws there with it.
    void ExpectDragMovesTheFirstElement(int effect, const char* name, int markerId);
};

}  // namespace marker_tests
