#include <cstring>

#include "plugin/host_interface.h"
#include "plugin/lifecycle.h"

namespace {
HINSTANCE moduleHandle;
}

HINSTANCE PluginModule() { return moduleHandle; }

BOOL WINAPI DllMain(HINSTANCE module, DWORD, LPVOID) {
    moduleHandle = module;
    return TRUE;
}

int PLUGIN16GetPluginParams(PluginInfoRecord* info) {
    if (!info) return 0;
    std::uint32_t size = info->size;
    // The host says how many bytes it gave; the fields still go to their fixed places.
    std::memset(info, 0, size);
    info->size = size;
    info->version = kInterfaceVersion;
    std::strcpy(info->name, "Lumafex");
    std::strcpy(info->notice, "Animated effects for still pictures");
    return 1;
}

int PLUGIN16DoBuild(HWND, HostContext*) {
    // The main dialog is not part of this build yet.
    return 0;
}
