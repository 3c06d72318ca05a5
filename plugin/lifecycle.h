// Process-wide state of the plug-in between the host's calls.
#pragma once

#include <windows.h>

// The plug-in's own instance handle, kept by DllMain; every resource,
// dialog and window class of the plug-in is registered under it.
HINSTANCE PluginModule();
