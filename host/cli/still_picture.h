// Pictures of the dialog written as PNG files.
#pragma once

#include <windows.h>

#include <string>

// Writes the part of a 24-bit PackedDib inside area (pixels from its
// top-left corner, cut to the picture) as a PNG file, replacing path only
// once it is complete. Throws HostError.
void WritePicturePng(HGLOBAL dib, RECT area, const std::string& path);
