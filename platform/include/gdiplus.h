/* GDI+ start-up and shut-down: the plug-in brackets each run with them. The
 * drawing classes are not part of this subset. */
#ifndef LUMA_GDIPLUS_H
#define LUMA_GDIPLUS_H

#include "windows.h"

#ifdef __cplusplus

namespace Gdiplus {

enum Status {
    Ok = 0,
    GenericError = 1,
    InvalidParameter = 2,
    OutOfMemory = 3,
    UnsupportedGdiplusVersion = 17,
    GdiplusNotInitialized = 18,
};

typedef void(WINAPI *DebugEventProc)(int level, CHAR *message);
typedef Status(WINAPI *NotificationHookProc)(ULONG_PTR *token);
typedef void(WINAPI *NotificationUnhookProc)(ULONG_PTR token);

struct GdiplusStartupInput {
    UINT GdiplusVersion;
    DebugEventProc DebugEventCallback;
    BOOL SuppressBackgroundThread;
    BOOL SuppressExternalCodecs;

    GdiplusStartupInput(DebugEventProc debugEventCallback = NULL, BOOL suppressBackgroundThread = FALSE,
                        BOOL suppressExternalCodecs = FALSE)
        : GdiplusVersion(1),
          DebugEventCallback(debugEventCallback),
          SuppressBackgroundThread(suppressBackgroundThread),
          SuppressExternalCodecs(suppressExternalCodecs) {}
};

struct GdiplusStartupOutput {
    NotificationHookProc NotificationHook;
    NotificationUnhookProc NotificationUnhook;
};

extern "C" Status WINAPI GdiplusStartup(ULONG_PTR *token, const GdiplusStartupInput *input,
                                        GdiplusStartupOutput *output);
extern "C" void WINAPI GdiplusShutdown(ULONG_PTR token);

}  // namespace Gdiplus

#endif

#endif
