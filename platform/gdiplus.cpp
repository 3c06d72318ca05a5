// GDI+ sessions. Nothing here draws; a session is a token handed out by
// GdiplusStartup and taken back by GdiplusShutdown, as the library counts them.
#include <gdiplus.h>

#include <mutex>
#include <set>

#include "luma/gdiplus_sessions.h"

namespace {

struct Sessions {
    std::mutex lock;
    std::set<ULONG_PTR> live;
    ULONG_PTR next = 1;
};

Sessions& sessions() {
    static Sessions s;
    return s;
}

// With the background thread suppressed the caller runs the hook itself.
Gdiplus::Status WINAPI Hook(ULONG_PTR* token) {
    if (!token) return Gdiplus::InvalidParameter;
    *token = 0;
    return Gdiplus::Ok;
}

void WINAPI Unhook(ULONG_PTR) {}

}  // namespace

namespace luma {

std::size_t LiveGdiplusSessions() {
    std::lock_guard guard(sessions().lock);
    return sessions().live.size();
}

}  // namespace luma

namespace Gdiplus {

extern "C" Status WINAPI GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input,
                                        GdiplusStartupOutput* output) {
    if (!token || !input) return InvalidParameter;
    if (input->GdiplusVersion != 1) return UnsupportedGdiplusVersion;
    if (input->SuppressBackgroundThread && !output) return InvalidParameter;
    if (output) {
        output->NotificationHook = input->SuppressBackgroundThread ? Hook : nullptr;
        output->NotificationUnhook = input->SuppressBackgroundThread ? Unhook : nullptr;
    }
    std::lock_guard guard(sessions().lock);
    *token = sessions().next++;
    sessions().live.insert(*token);
    return Ok;
}

extern "C" void WINAPI GdiplusShutdown(ULONG_PTR token) {
    std::lock_guard guard(sessions().lock);
    sessions().live.erase(token);
}

}  // namespace Gdiplus
