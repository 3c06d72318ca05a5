// The SourceImage every effect animates: the picture the user loaded,
// converted to 24 bits, or else the SampleImage (bitmap 7150).
#pragma once

#include <windows.h>

// A new PackedDib the caller owns: a copy of the SourceImage, or of the
// SampleImage when none is loaded or the copy fails; null when neither can
// be had.
HGLOBAL GetSourceImageCopy();

// The copy an effect starts a frame from: GetSourceImageCopy's picture when
// it has the size the effect's state was made for, else null (a fallback to
// the SampleImage must not slip a frame of another size into a build).
HGLOBAL GetSourceFrame(LONG width, LONG height);

// Whether a picture is loaded.
bool HasSourceImage();

// Takes picture as the SourceImage (freeing the one before); null unloads it.
void SetSourceImage(HGLOBAL picture);

// Asks the host to decode the file at path (request 8) and keeps the result,
// converted to 24 bits, as the SourceImage. On failure the old picture stays
// and owner is told "There has been error loading the selected image file".
// Returns 1 when the picture was loaded.
int LoadSourcePicture(HWND owner, const char* path);
