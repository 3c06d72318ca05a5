#include "tests/user/support.h"

#include <map>

namespace user_tests {
namespace {

LRESULT CALLBACK LoggingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Log().push_back({hwnd, msg, wParam, lParam});
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace

std::vector<Logged>& Log() {
    static std::vector<Logged> log;
    return log;
}

void ClearLog() { Log().clear(); }

std::string Name(UINT msg) {
    static const std::map<UINT, const char*> names = {
        {WM_CREATE, "WM_CREATE"},
        {WM_DESTROY, "WM_DESTROY"},
        {WM_MOVE, "WM_MOVE"},
        {WM_SIZE, "WM_SIZE"},
        {WM_ACTIVATE, "WM_ACTIVATE"},
        {WM_SETFOCUS, "WM_SETFOCUS"},
        {WM_KILLFOCUS, "WM_KILLFOCUS"},
        {WM_ENABLE, "WM_ENABLE"},
        {WM_SETTEXT, "WM_SETTEXT"},
        {WM_GETTEXT, "WM_GETTEXT"},
        {WM_PAINT, "WM_PAINT"},
        {WM_CLOSE, "WM_CLOSE"},
        {WM_ERASEBKGND, "WM_ERASEBKGND"},
        {WM_SHOWWINDOW, "WM_SHOWWINDOW"},
        {WM_SETCURSOR, "WM_SETCURSOR"},
        {WM_MOUSEACTIVATE, "WM_MOUSEACTIVATE"},
        {WM_WINDOWPOSCHANGING, "WM_WINDOWPOSCHANGING"},
        {WM_WINDOWPOSCHANGED, "WM_WINDOWPOSCHANGED"},
        {WM_NCCREATE, "WM_NCCREATE"},
        {WM_NCDESTROY, "WM_NCDESTROY"},
        {WM_NCCALCSIZE, "WM_NCCALCSIZE"},
        {WM_NCHITTEST, "WM_NCHITTEST"},
        {WM_NCPAINT, "WM_NCPAINT"},
        {WM_NCACTIVATE, "WM_NCACTIVATE"},
        {WM_GETDLGCODE, "WM_GETDLGCODE"},
        {WM_KEYDOWN, "WM_KEYDOWN"},
        {WM_KEYUP, "WM_KEYUP"},
        {WM_CHAR, "WM_CHAR"},
        {WM_COMMAND, "WM_COMMAND"},
        {WM_TIMER, "WM_TIMER"},
        {WM_MOUSEMOVE, "WM_MOUSEMOVE"},
        {WM_LBUTTONDOWN, "WM_LBUTTONDOWN"},
        {WM_LBUTTONUP, "WM_LBUTTONUP"},
        {WM_LBUTTONDBLCLK, "WM_LBUTTONDBLCLK"},
        {WM_PARENTNOTIFY, "WM_PARENTNOTIFY"},
        {WM_CAPTURECHANGED, "WM_CAPTURECHANGED"},
        {WM_STYLECHANGING, "WM_STYLECHANGING"},
        {WM_STYLECHANGED, "WM_STYLECHANGED"},
        {WM_CANCELMODE, "WM_CANCELMODE"},
        {WM_ENTERMENULOOP, "WM_ENTERMENULOOP"},
        {WM_EXITMENULOOP, "WM_EXITMENULOOP"},
        {WM_INITMENU, "WM_INITMENU"},
        {WM_INITMENUPOPUP, "WM_INITMENUPOPUP"},
        {WM_MENUSELECT, "WM_MENUSELECT"},
        {WM_UNINITMENUPOPUP, "WM_UNINITMENUPOPUP"},
    };
    auto it = names.find(msg);
    return it != names.end() ? it->second : std::to_string(msg);
}

std::vector<std::string> Names(HWND only) {
    std::vector<std::string> out;
    for (const Logged& l : Log())
        if (!only || l.hwnd == only) out.push_back(Name(l.msg));
    return out;
}

const char* LoggingClass() {
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc{};
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = LoggingProc;
        wc.cbWndExtra = 16;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        wc.lpszClassName = "UserTestsLogging";
        registered = RegisterClassA(&wc) != 0;
    }
    return "UserTestsLogging";
}

HWND MakeWindow(DWORD style, HWND parent, int id, RECT rect, DWORD exStyle) {
    return CreateWindowExA(exStyle, LoggingClass(), "test", style, rect.left, rect.top, rect.right - rect.left,
                           rect.bottom - rect.top, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           GetModuleHandleA(nullptr), nullptr);
}

void Clean::SetUp() {
    luma::automation::Reset();
    ClearLog();
    blocks_ = luma::LiveGlobalBlocks();
    ASSERT_EQ(luma::LiveWindows(), 0u) << "an earlier test left windows behind";
}

void Clean::TearDown() {
    EXPECT_EQ(luma::LiveWindows(), 0u) << "windows left behind";
    // A failed test's windows must not spoil the tests after it.
    while (HWND top = GetTopWindow(nullptr)) DestroyWindow(top);
    luma::automation::Reset();
    EXPECT_EQ(luma::LiveTimers(), 0u) << "timers left behind";
    EXPECT_EQ(luma::LiveMenus(), 0u) << "menus left behind";
    EXPECT_EQ(luma::LiveGlobalBlocks(), blocks_) << "global blocks left behind";
    luma::automation::Reset();
    // Messages for windows that are gone must not leak into the next test.
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    ClearLog();
}

}  // namespace user_tests
