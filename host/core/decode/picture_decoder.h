// Pictures for the plug-in: a file in PNG, JPEG, GIF (first frame), WebP or
// BMP becomes a new 24-bit PackedDib. Transparent parts are laid over white.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

enum class PictureFormat { Unknown, Bmp, Png, Jpeg, Gif, WebP };

// The format the first bytes announce; the file name plays no part.
PictureFormat SniffPictureFormat(const BYTE* bytes, std::size_t size);

// A new 24-bit PackedDib of the picture in bytes; throws HostError saying
// what is wrong with it (unknown format, damaged, truncated, too large) or
// that memory ran out.
HGLOBAL DecodePicture(const BYTE* bytes, std::size_t size);

// The same for a file; the message names the file.
HGLOBAL DecodePictureFile(const std::string& path);
