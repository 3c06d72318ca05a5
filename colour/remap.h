// Turning rendered frames into paletted pictures: nearest-colour remapping,
// error-diffusion dithering, and marking the background as transparent.
//
// palette is a full 768-byte buffer of triplets; count is the number of its
// entries the search may use and depthCode (1..8) the result's depth code as
// CreatePackedDib takes it. Entries past what the result's colour table can
// hold are never chosen. FastRemap (settings) decides how colours without an
// exact entry are found.
#pragma once

#include <windows.h>

#include "colour/colour_chooser.h"

// A new picture from CreatePackedDib(width, height, palette, depthCode) with
// every pixel of source (1, 4, 8, 24 or 32 bits; 32 read without alpha) as
// its palette index; 1-bit results split 24-bit and table colours at
// luminance 129. None when memory fails or the inputs cannot be used.
HGLOBAL RemapFrame(HGLOBAL source, const BYTE* palette, int depthCode, int count);

// The same with Floyd–Steinberg error diffusion over the stored rows, bottom
// row first; a depth code of 1 dithers grey levels through the tone table of
// DitherBrightness and DitherContrast. None for a 1-bit source.
HGLOBAL DitherFrame(HGLOBAL source, const BYTE* palette, int depthCode, int count);

// Remaps or dithers frames one after another to one palette, keeping the
// colour choices of each frame for the next: the same pictures as
// RemapFrame and DitherFrame, made faster when frames share their colours.
// One reducer serves one thread.
class FrameReducer {
public:
    FrameReducer(const BYTE* palette, int depthCode, int count);
    FrameReducer(const FrameReducer&) = delete;
    FrameReducer& operator=(const FrameReducer&) = delete;

    HGLOBAL Remap(HGLOBAL source);
    HGLOBAL Dither(HGLOBAL source);

private:
    // Prepared on first need; null when memory fails.
    ColourChooser* Chooser();

    const BYTE* palette_;
    int depthCode_;
    int count_;
    bool prepared_ = false;
    ColourChooser chooser_;
};

// A copy of remapped (same table) in which every pixel whose pixel value in
// source has the background colour in its low 24 bits holds index. With a
// negative index the copy is unchanged. None when memory fails.
HGLOBAL MaskBackgroundColour(HGLOBAL remapped, HGLOBAL source, COLORREF background, int index);

// The 256 tone-table entries of the two-colour dither for the given
// brightness and contrast; contrast above 127 acts as 127.
void BuildToneTable(DWORD brightness, DWORD contrast, BYTE table[256]);
