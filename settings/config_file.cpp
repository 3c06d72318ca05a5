// The configuration file in the MakerFolder, read when the main dialog opens
// and rewritten when it closes.
#include "settings/config_file.h"

#include <filesystem>
#include <system_error>

#include "plugin/folders.h"
#include "settings/settings.h"

void ReadConfigFile() { ReadConfigFileFrom(MakerFolder(kConfigFileName), GetKeyState(VK_SHIFT) < 0); }

void WriteConfigFile() {
    const char* path = MakerFolder(kConfigFileName);
    if (!path[0]) return;
    // A first run on a fresh system has no maker folder yet; without it the
    // settings would never be kept.
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    WriteConfigFileTo(path);
}
