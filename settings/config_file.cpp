// The configuration file in the MakerFolder, read when the main dialog opens
// and rewritten when it closes.
#include "settings/config_file.h"

#include "plugin/folders.h"
#include "settings/settings.h"

void ReadConfigFile() { ReadConfigFileFrom(MakerFolder(kConfigFileName), GetKeyState(VK_SHIFT) < 0); }

void WriteConfigFile() { WriteConfigFileTo(MakerFolder(kConfigFileName)); }
