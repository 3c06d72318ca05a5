#include "settings/settings.h"

DWORD DitherBrightness = 20;
DWORD DitherContrast = 20;
DWORD FastRemap = 0;
