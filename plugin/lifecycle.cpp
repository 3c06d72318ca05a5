#include "plugin/lifecycle.h"

#include <gdiplus.h>

#include <cstring>

#include "dialog/marker_window.h"
#include "luma/module.h"
#include "plugin/folders.h"
#include "resources/plugin_resources.h"
#include "settings/settings.h"

namespace {

HINSTANCE moduleHandle;
HostContext* hostContext;
PluginFonts fonts;
char moduleFolder[MAX_PATH];
ULONG_PTR gdiplusToken;

HFONT MakeFont(int height, const char* face) {
    return CreateFontA(height, 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face);
}

void DeleteFont(HFONT& font) {
    if (font) DeleteObject(font);
    font = nullptr;
}

// Drive and folder of the module's file, with the separator after it.
void FindModuleFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(PluginModule(), path, sizeof path);
    char* last = std::strrchr(path, '/');
    if (last) last[1] = 0;
    else path[0] = 0;
    std::size_t length = std::strlen(path);
    if (length && path[length - 1] != '/' && length < MAX_PATH - 1) std::strcat(path, "/");
    std::memcpy(moduleFolder, path, sizeof moduleFolder);
}

}  // namespace

void KeepModuleHandle(HINSTANCE module) { moduleHandle = module; }

HINSTANCE PluginModule() {
    RegisterPluginResources();
    if (moduleHandle) return moduleHandle;
    return luma::ModuleFromAddress(reinterpret_cast<const void*>(&PluginModule));
}

HostContext* CurrentHostContext() { return hostContext; }
void SetCurrentHostContext(HostContext* context) { hostContext = context; }

bool HostUsesHundredths() { return hostContext && (hostContext->flags & kHundredthsFlag); }

const char* ModuleFolder() { return moduleFolder; }

const PluginFonts& Fonts() { return fonts; }

bool StartRun(HostContext* context) {
    SetCurrentHostContext(context);
    Gdiplus::GdiplusStartupInput input;  // version 1, no debug callback, thread and codecs not suppressed
    if (Gdiplus::GdiplusStartup(&gdiplusToken, &input, nullptr) != Gdiplus::Ok) gdiplusToken = 0;

    fonts.arial14 = MakeFont(14, "Arial");
    fonts.sansSerif14 = MakeFont(14, "MS Sans Serif");
    fonts.arial12 = MakeFont(12, "Arial");

    FindModuleFolder();

    WNDCLASSA markerClass{};
    markerClass.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS | CS_SAVEBITS;
    markerClass.lpfnWndProc = MarkerWindowProc;
    markerClass.hInstance = PluginModule();
    markerClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    markerClass.hbrBackground = nullptr;
    markerClass.lpszClassName = kMarkerWindowClass;
    RegisterClassA(&markerClass);

    if (!OpenPath[0]) {
        std::strncpy(OpenPath, DocumentsFolder(""), kSettingTextBytes - 1);
        OpenPath[kSettingTextBytes - 1] = 0;
    }
    return true;
}

void EndRun(HWND parent) {
    if (parent && IsWindow(parent)) {
        InvalidateRect(parent, nullptr, TRUE);
        UpdateWindow(parent);
    }
    UnregisterClassA(kMarkerWindowClass, PluginModule());
    DeleteFont(fonts.arial14);
    DeleteFont(fonts.sansSerif14);
    DeleteFont(fonts.arial12);
    if (gdiplusToken) Gdiplus::GdiplusShutdown(gdiplusToken);
    gdiplusToken = 0;
    SetCurrentHostContext(nullptr);
}
