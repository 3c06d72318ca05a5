// Process-wide state of the plug-in between the host's calls, and the order
// in which one run of the main dialog is started and shut down.
#pragma once

#include <windows.h>

#include "plugin/host_interface.h"

// The plug-in's own instance handle, kept by DllMain; every resource,
// dialog and window class of the plug-in is registered under it. When the
// plug-in's code is linked into another program (the tests), it is the
// module holding that code.
HINSTANCE PluginModule();
// DllMain's part: the handle the loader gave this module.
void KeepModuleHandle(HINSTANCE module);

// The HostContext of the PLUGIN16DoBuild that is running, else null.
HostContext* CurrentHostContext();
void SetCurrentHostContext(HostContext* context);

// Whether the running host counts delays in hundredths of a second.
bool HostUsesHundredths();

// Drive and folder of the plug-in's own file, ending in "/".
const char* ModuleFolder();

// The three fonts of a run: "Arial" 14, "MS Sans Serif" 14 and "Arial" 12.
// Null outside a run (drawing then uses the system font).
struct PluginFonts {
    HFONT arial14;
    HFONT sansSerif14;
    HFONT arial12;
};
const PluginFonts& Fonts();

inline constexpr const char kMarkerWindowClass[] = "MarkerWindowClass";

// The steps of PLUGIN16DoBuild around the main dialog, exposed so that tests
// can check what a run leaves behind.
bool StartRun(HostContext* context);  // GDI+, fonts, folders, window class
void EndRun(HWND parent);             // in the reverse order
