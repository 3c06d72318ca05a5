#include <cstring>

#include "dialog/main_dialog.h"
#include "plugin/host_interface.h"
#include "plugin/lifecycle.h"
#include "plugin/message_dialog.h"
#include "resources/plugin_resources.h"

BOOL WINAPI DllMain(HINSTANCE module, DWORD, LPVOID) {
    KeepModuleHandle(module);
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

int PLUGIN16DoBuild(HWND parent, HostContext* context) {
    if (!context) {
        // Nothing can be asked of a host that gave no record.
        MessageDialog(parent, "Internal error");
        return 0;
    }
    if (((context->version >> 8) & 0xFF) < kMinimumHostVersionByte) {
        MessageDialog(parent,
                      "You need a newer version of Celwright Professional or Reelwright to support this plugin.\n\n"
                      "Please visit the Vellumark web page to update your software.");
        if (parent && IsWindow(parent)) {
            InvalidateRect(parent, nullptr, TRUE);
            UpdateWindow(parent);
        }
        return 0;
    }
    StartRun(context);
    DialogBoxParamA(PluginModule(), MAKEINTRESOURCE(kMainDialogTemplate), parent, MainDialogProc,
                    reinterpret_cast<LPARAM>(context));
    EndRun(parent);
    return 1;
}
