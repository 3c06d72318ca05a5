// Process-wide settings: each keeps its built-in value until the
// configuration file or a page control changes it, and lives as long as the
// library stays loaded.
#pragma once

#include <windows.h>

// Two-colour dithering: brightness and contrast of the tone table.
extern DWORD DitherBrightness;
extern DWORD DitherContrast;

// Non-zero: colours without an exact palette entry are looked up in a
// 15-bit table instead of searched exactly.
extern DWORD FastRemap;
