#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "luma/automation.h"
#include "luma/testing.h"
#include "tests/support/fault_walk.h"
#include "tests/user/support.h"

namespace user_tests {
namespace {

using Strings = std::vector<std::string>;

class Windows : public Clean {};

TEST_F(Windows, ChildCreationFollowsWindowsMessageOrder) {
    HWND parent = MakeWindow(WS_OVERLAPPED, nullptr);
    ASSERT_TRUE(parent);
    ClearLog();
    HWND child = MakeWindow(WS_CHILD | WS_VISIBLE, parent, 7);
    ASSERT_TRUE(child);
    EXPECT_EQ(Names(child), (Strings{"WM_NCCREATE", "WM_NCCALCSIZE", "WM_CREATE", "WM_SIZE", "WM_MOVE",
                                     "WM_SHOWWINDOW", "WM_WINDOWPOSCHANGING", "WM_WINDOWPOSCHANGED"}));
    // The parent hears of its new child after the child's WM_MOVE and before it is shown.
    auto& log = Log();
    auto notify = std::find_if(log.begin(), log.end(), [&](const Logged& l) {
        return l.hwnd == parent && l.msg == WM_PARENTNOTIFY && LOWORD(l.wParam) == WM_CREATE;
    });
    ASSERT_NE(notify, log.end());
    EXPECT_EQ(HIWORD(notify->wParam), 7);
    EXPECT_EQ(reinterpret_cast<HWND>(notify->lParam), child);
    auto move = std::find_if(log.begin(), log.end(), [&](const Logged& l) { return l.hwnd == child && l.msg == WM_MOVE; });
    auto show =
        std::find_if(log.begin(), log.end(), [&](const Logged& l) { return l.hwnd == child && l.msg == WM_SHOWWINDOW; });
    EXPECT_LT(move, notify);
    EXPECT_LT(notify, show);
    DestroyWindow(parent);
}

LRESULT CALLBACK RefusingCreate(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Log().push_back({hwnd, msg, wParam, lParam});
    if (msg == WM_CREATE) return -1;
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

TEST_F(Windows, RefusedCreationLeavesNothing) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = RefusingCreate;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "UserTestsRefusing";
    ASSERT_TRUE(RegisterClassA(&wc));
    HWND hwnd = CreateWindowExA(0, "UserTestsRefusing", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    EXPECT_EQ(hwnd, nullptr);
    EXPECT_EQ(Names(), (Strings{"WM_NCCREATE", "WM_NCCALCSIZE", "WM_CREATE", "WM_NCDESTROY"}));
    EXPECT_FALSE(IsWindow(Log().front().hwnd));
    EXPECT_TRUE(UnregisterClassA("UserTestsRefusing", GetModuleHandleA(nullptr)));
}

TEST_F(Windows, DestroySendsDestroyParentFirstAndNcDestroyChildrenFirst) {
    HWND top = MakeWindow(WS_OVERLAPPED, nullptr);
    HWND a = MakeWindow(WS_CHILD | WS_VISIBLE, top, 1);
    HWND a1 = MakeWindow(WS_CHILD | WS_VISIBLE, a, 11);
    HWND b = MakeWindow(WS_CHILD, top, 2);
    ASSERT_TRUE(top && a && a1 && b);
    ClearLog();
    ASSERT_TRUE(DestroyWindow(top));
    std::vector<HWND> destroy, ncdestroy;
    for (const Logged& l : Log()) {
        if (l.msg == WM_DESTROY) destroy.push_back(l.hwnd);
        if (l.msg == WM_NCDESTROY) ncdestroy.push_back(l.hwnd);
    }
    EXPECT_EQ(destroy, (std::vector<HWND>{top, a, a1, b}));
    EXPECT_EQ(ncdestroy, (std::vector<HWND>{a1, a, b, top}));
    for (HWND h : {top, a, a1, b}) EXPECT_FALSE(IsWindow(h));
}

TEST_F(Windows, DestroyingAChildTellsItsParentAndHidesIt) {
    HWND top = MakeWindow(WS_OVERLAPPED, nullptr);
    HWND child = MakeWindow(WS_CHILD | WS_VISIBLE, top, 5);
    ClearLog();
    DestroyWindow(child);
    EXPECT_EQ(Names(), (Strings{"WM_PARENTNOTIFY", "WM_SHOWWINDOW", "WM_WINDOWPOSCHANGING", "WM_WINDOWPOSCHANGED",
                                "WM_DESTROY", "WM_NCDESTROY"}));
    EXPECT_EQ(Log()[0].hwnd, top);
    EXPECT_EQ(LOWORD(Log()[0].wParam), WM_DESTROY);
    EXPECT_EQ(GetWindow(top, GW_CHILD), nullptr);
    DestroyWindow(top);
}

TEST_F(Windows, StaleHandlesAreRefused) {
    HWND hwnd = MakeWindow(WS_POPUP, nullptr);
    DestroyWindow(hwnd);
    SetLastError(0);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(SendMessageA(hwnd, WM_USER, 0, 0), 0);
    EXPECT_FALSE(PostMessageA(hwnd, WM_USER, 0, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_FALSE(DestroyWindow(hwnd));
    // A new window never reuses the handle of a destroyed one.
    HWND next = MakeWindow(WS_POPUP, nullptr);
    EXPECT_NE(next, hwnd);
    DestroyWindow(next);
}

// A window that destroys itself while handling a message survives until the handler returns.
LRESULT CALLBACK SelfDestroying(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_USER) {
        DestroyWindow(hwnd);
        Log().push_back({hwnd, WM_USER, IsWindow(hwnd) ? 1u : 0u, 0});
        return 42;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

TEST_F(Windows, WindowMayDestroyItselfInsideItsProcedure) {
    HWND parent = MakeWindow(WS_POPUP, nullptr);
    HWND child = MakeWindow(WS_CHILD, parent);
    SetWindowLongPtrA(child, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SelfDestroying));
    ClearLog();
    EXPECT_EQ(SendMessageA(child, WM_USER, 0, 0), 42);
    auto mine = std::find_if(Log().begin(), Log().end(), [&](const Logged& l) { return l.hwnd == child; });
    ASSERT_NE(mine, Log().end());
    EXPECT_EQ(mine->wParam, 0u) << "the handle is invalid once DestroyWindow returns";
    EXPECT_FALSE(IsWindow(child));
    DestroyWindow(parent);
}

BOOL CALLBACK Collect(HWND hwnd, LPARAM param) {
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
    return TRUE;
}

BOOL CALLBACK StopAtSecond(HWND hwnd, LPARAM param) {
    auto* seen = reinterpret_cast<std::vector<HWND>*>(param);
    seen->push_back(hwnd);
    return seen->size() < 2;
}

TEST_F(Windows, EnumChildWindowsGoesDepthFirstInCreationOrder) {
    HWND top = MakeWindow(WS_POPUP, nullptr);
    HWND a = MakeWindow(WS_CHILD, top);
    HWND a1 = MakeWindow(WS_CHILD, a);
    HWND a2 = MakeWindow(WS_CHILD, a);
    HWND b = MakeWindow(WS_CHILD, top);
    std::vector<HWND> seen;
    EXPECT_TRUE(EnumChildWindows(top, Collect, reinterpret_cast<LPARAM>(&seen)));
    EXPECT_EQ(seen, (std::vector<HWND>{a, a1, a2, b}));
    seen.clear();
    EXPECT_FALSE(EnumChildWindows(top, StopAtSecond, reinterpret_cast<LPARAM>(&seen)));
    EXPECT_EQ(seen.size(), 2u);
    // Raising a window changes the z-order, and the enumeration follows it.
    SetWindowPos(b, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    seen.clear();
    EnumChildWindows(top, Collect, reinterpret_cast<LPARAM>(&seen));
    EXPECT_EQ(seen, (std::vector<HWND>{b, a, a1, a2}));
    EXPECT_EQ(GetWindow(top, GW_CHILD), b);
    EXPECT_EQ(GetWindow(b, GW_HWNDNEXT), a);
    EXPECT_EQ(GetWindow(a, GW_HWNDPREV), b);
    EXPECT_EQ(GetWindow(a, GW_HWNDNEXT), nullptr);
    DestroyWindow(top);
}

WNDPROC previousProc = nullptr;

LRESULT CALLBACK Subclass(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_USER + 1) return 1234;  // handled here, never passed on
    Log().push_back({hwnd, msg | 0x10000, wParam, lParam});
    return CallWindowProcA(previousProc, hwnd, msg, wParam, lParam);
}

TEST_F(Windows, SubclassSeesMessagesFirstAndPassesTheRestOn) {
    HWND hwnd = MakeWindow(WS_POPUP, nullptr);
    previousProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Subclass)));
    ASSERT_TRUE(previousProc);
    EXPECT_EQ(GetWindowLongPtrA(hwnd, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(Subclass));
    ClearLog();
    EXPECT_EQ(SendMessageA(hwnd, WM_USER + 1, 0, 0), 1234);
    EXPECT_TRUE(Log().empty()) << "a message the subclass keeps never reaches the class procedure";
    SendMessageA(hwnd, WM_USER + 2, 5, 6);
    ASSERT_EQ(Log().size(), 2u);
    EXPECT_EQ(Log()[0].msg, static_cast<UINT>((WM_USER + 2) | 0x10000));
    EXPECT_EQ(Log()[1].msg, static_cast<UINT>(WM_USER + 2));
    EXPECT_EQ(Log()[1].wParam, 5u);
    DestroyWindow(hwnd);
}

TEST_F(Windows, UserDataExtraBytesAndProperties) {
    HWND hwnd = MakeWindow(WS_POPUP, nullptr);
    EXPECT_EQ(SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0x1122334455667788LL), 0);
    EXPECT_EQ(GetWindowLongPtrA(hwnd, GWLP_USERDATA), 0x1122334455667788LL);
    // The class asked for 16 extra bytes: two pointers fit, a third does not.
    EXPECT_EQ(SetWindowLongPtrA(hwnd, 8, -5), 0);
    EXPECT_EQ(GetWindowLongPtrA(hwnd, 8), -5);
    SetLastError(0);
    EXPECT_EQ(GetWindowLongPtrA(hwnd, 16), 0);
    EXPECT_EQ(GetLastError(), 1413u);  // ERROR_INVALID_INDEX
    EXPECT_TRUE(SetPropA(hwnd, "Marker", reinterpret_cast<HANDLE>(7)));
    EXPECT_EQ(GetPropA(hwnd, "MARKER"), reinterpret_cast<HANDLE>(7)) << "property names ignore case";
    EXPECT_EQ(RemovePropA(hwnd, "marker"), reinterpret_cast<HANDLE>(7));
    EXPECT_EQ(GetPropA(hwnd, "Marker"), nullptr);
    DestroyWindow(hwnd);
}

TEST_F(Windows, StyleChangesAreAnnounced) {
    HWND hwnd = MakeWindow(WS_POPUP, nullptr);
    ClearLog();
    LONG old = SetWindowLongA(hwnd, GWL_STYLE, WS_POPUP | WS_BORDER);
    EXPECT_EQ(old & WS_BORDER, 0);
    EXPECT_EQ(Names(), (Strings{"WM_STYLECHANGING", "WM_STYLECHANGED"}));
    EXPECT_EQ(GetWindowLongA(hwnd, GWL_STYLE) & WS_BORDER, WS_BORDER);
    DestroyWindow(hwnd);
}

TEST_F(Windows, TextRoundTripsThroughMessages) {
    HWND hwnd = MakeWindow(WS_POPUP, nullptr);
    EXPECT_TRUE(SetWindowTextA(hwnd, "Hello, window"));
    EXPECT_EQ(GetWindowTextLengthA(hwnd), 13);
    char buffer[6];
    EXPECT_EQ(GetWindowTextA(hwnd, buffer, sizeof buffer), 5);
    EXPECT_STREQ(buffer, "Hello") << "cut to the buffer and terminated";
    char big[64];
    EXPECT_EQ(GetWindowTextA(hwnd, big, sizeof big), 13);
    EXPECT_STREQ(big, "Hello, window");
    char name[64];
    EXPECT_EQ(GetClassNameA(hwnd, name, sizeof name), static_cast<int>(std::strlen(LoggingClass())));
    EXPECT_STREQ(name, LoggingClass());
    DestroyWindow(hwnd);
}

TEST_F(Windows, GeometryWithBordersAndMappedPoints) {
    HWND top = MakeWindow(WS_POPUP, nullptr, 0, RECT{100, 200, 400, 500});
    HWND bordered = MakeWindow(WS_CHILD | WS_BORDER, top, 0, RECT{10, 20, 110, 70});
    HWND edged = MakeWindow(WS_CHILD, top, 0, RECT{50, 60, 90, 100}, WS_EX_CLIENTEDGE);
    RECT r;
    GetClientRect(bordered, &r);
    EXPECT_EQ(r.right, 98);
    EXPECT_EQ(r.bottom, 48);
    GetClientRect(edged, &r);
    EXPECT_EQ(r.right, 36);
    EXPECT_EQ(r.bottom, 36);
    GetWindowRect(bordered, &r);
    EXPECT_EQ(r.left, 110);
    EXPECT_EQ(r.top, 220);
    POINT p{0, 0};
    ClientToScreen(bordered, &p);
    EXPECT_EQ(p.x, 111);
    EXPECT_EQ(p.y, 221);
    POINT q{5, 5};
    MapWindowPoints(bordered, edged, &q, 1);
    EXPECT_EQ(q.x, 5 + 11 - 52);
    EXPECT_EQ(q.y, 5 + 21 - 62);
    RECT adjusted{0, 0, 100, 50};
    AdjustWindowRectEx(&adjusted, WS_CAPTION | WS_SYSMENU, FALSE, WS_EX_DLGMODALFRAME);
    EXPECT_EQ(adjusted.left, -3);
    EXPECT_EQ(adjusted.top, -3 - GetSystemMetrics(SM_CYCAPTION));
    EXPECT_EQ(adjusted.right, 103);
    EXPECT_EQ(adjusted.bottom, 53);
    DestroyWindow(top);
}

TEST_F(Windows, PopupParentIsItsOwner) {
    HWND owner = MakeWindow(WS_OVERLAPPED, nullptr);
    HWND child = MakeWindow(WS_CHILD, owner);
    HWND popup = MakeWindow(WS_POPUP, child);
    EXPECT_EQ(GetParent(child), owner);
    EXPECT_EQ(GetParent(popup), owner) << "a popup's owner is the top-level window of the given parent";
    EXPECT_EQ(GetWindow(popup, GW_OWNER), owner);
    EXPECT_EQ(GetAncestor(child, GA_ROOT), owner);
    EXPECT_EQ(GetAncestor(popup, GA_PARENT), GetDesktopWindow());
    EXPECT_TRUE(IsChild(owner, child));
    EXPECT_FALSE(IsChild(owner, popup));
    // Destroying the owner destroys the windows it owns first.
    ClearLog();
    DestroyWindow(owner);
    EXPECT_FALSE(IsWindow(popup));
    ASSERT_FALSE(Log().empty());
    auto firstDestroy = std::find_if(Log().begin(), Log().end(), [](const Logged& l) { return l.msg == WM_DESTROY; });
    EXPECT_EQ(firstDestroy->hwnd, popup);
}

TEST_F(Windows, ChildWithoutParentIsRefused) {
    HWND hwnd = CreateWindowExA(0, LoggingClass(), "", WS_CHILD, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(hwnd, nullptr);
    EXPECT_EQ(GetLastError(), 1406u);
    EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), 1407u);
}

TEST_F(Windows, ClassesRegisterOnceAndNotWhileInUse) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "UserTestsOnce";
    wc.cbWndExtra = 8;
    ATOM atom = RegisterClassA(&wc);
    ASSERT_NE(atom, 0);
    EXPECT_EQ(RegisterClassA(&wc), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
    HWND hwnd = CreateWindowExA(0, MAKEINTATOM(atom), "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(hwnd);
    EXPECT_FALSE(UnregisterClassA("UserTestsOnce", GetModuleHandleA(nullptr)));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_HAS_WINDOWS));
    WNDCLASSA info{};
    EXPECT_TRUE(GetClassInfoA(GetModuleHandleA(nullptr), "userTESTSonce", &info));
    EXPECT_EQ(info.cbWndExtra, 8);
    DestroyWindow(hwnd);
    EXPECT_TRUE(UnregisterClassA("UserTestsOnce", GetModuleHandleA(nullptr)));
    EXPECT_FALSE(GetClassInfoA(GetModuleHandleA(nullptr), "UserTestsOnce", &info));
    // The system classes are always there.
    EXPECT_TRUE(GetClassInfoA(nullptr, "button", &info));
    EXPECT_TRUE(GetClassInfoA(nullptr, "#32770", &info));
}

TEST_F(Windows, CreationFailsCleanlyUnderMemoryFaults) {
    HWND parent = MakeWindow(WS_POPUP, nullptr);
    size_t before = luma::LiveWindows();
    int points = testing_support::WalkAllocationFailures([&] {
        HWND hwnd = MakeWindow(WS_CHILD | WS_VISIBLE, parent);
        if (!hwnd) {
            EXPECT_EQ(luma::LiveWindows(), before);
            return false;
        }
        DestroyWindow(hwnd);
        return true;
    });
    EXPECT_GE(points, 1);
    DestroyWindow(parent);
}

LRESULT CALLBACK PostAndSend(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg >= WM_USER) Log().push_back({hwnd, msg, wParam, lParam});
    if (msg == WM_USER) {
        PostMessageA(hwnd, WM_USER + 1, 0, 0);
        SendMessageA(hwnd, WM_USER + 2, 0, 0);
        SendMessageA(hwnd, WM_USER + 3, 0, 0);
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

TEST_F(Windows, PostedMessageArrivesAfterTheSentOnes) {
    HWND hwnd = MakeWindow(WS_POPUP, nullptr);
    SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PostAndSend));
    ClearLog();
    SendMessageA(hwnd, WM_USER, 0, 0);
    EXPECT_EQ(Log().size(), 3u) << "the posted message waits in the queue";
    luma::automation::Pump();
    std::vector<UINT> order;
    for (const Logged& l : Log()) order.push_back(l.msg - WM_USER);
    EXPECT_EQ(order, (std::vector<UINT>{0, 2, 3, 1}));
    DestroyWindow(hwnd);
}

TEST_F(Windows, MessagesForDestroyedWindowsAreDropped) {
    HWND hwnd = MakeWindow(WS_POPUP, nullptr);
    PostMessageA(hwnd, WM_USER + 9, 0, 0);
    DestroyWindow(hwnd);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_USER + 9, WM_USER + 9, PM_REMOVE));
}

TEST_F(Windows, PeekMessageFiltersAndKeeps) {
    HWND a = MakeWindow(WS_POPUP, nullptr);
    HWND b = MakeWindow(WS_POPUP, nullptr);
    PostMessageA(a, WM_USER + 1, 1, 0);
    PostMessageA(b, WM_USER + 2, 2, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, b, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 2));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_USER + 1, WM_USER + 1, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, a);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_USER, WM_USER + 5, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, b);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_USER, WM_USER + 5, PM_REMOVE));
    DestroyWindow(a);
    DestroyWindow(b);
}

TEST_F(Windows, QuitEndsAMessageLoop) {
    PostQuitMessage(3);
    MSG msg;
    EXPECT_FALSE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(Windows, MessageLoopWithoutInputEndsAndSaysSo) {
    HWND hwnd = MakeWindow(WS_POPUP | WS_VISIBLE, nullptr);
    MSG msg;
    int delivered = 0;
    while (GetMessageA(&msg, nullptr, 0, 0)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
        ASSERT_LT(++delivered, 1000) << "the loop never ended";
    }
    EXPECT_TRUE(luma::automation::GetReport().scriptRanOut);
    DestroyWindow(hwnd);
}

void CALLBACK CountTicks(HWND, UINT msg, UINT_PTR id, DWORD) {
    Log().push_back({nullptr, msg, id, 0});
}

TEST_F(Windows, TimersFireOnTheVirtualClock) {
    HWND hwnd = MakeWindow(WS_POPUP, nullptr);
    ClearLog();
    EXPECT_EQ(SetTimer(hwnd, 15, 100, nullptr), 15u);
    EXPECT_EQ(luma::LiveTimers(), 1u);
    luma::automation::Wait(99);
    EXPECT_TRUE(Names(hwnd).empty()) << "not due yet: " << ::testing::PrintToString(Names(hwnd));
    luma::automation::Wait(1);
    EXPECT_EQ(Names(hwnd), (Strings{"WM_TIMER"}));
    EXPECT_EQ(Log().back().wParam, 15u);
    // A long wait delivers each period in turn.
    ClearLog();
    luma::automation::Wait(350);
    EXPECT_EQ(Names(hwnd).size(), 3u);
    // Setting the same timer again restarts it.
    ClearLog();
    luma::automation::Wait(40);  // 10 ms before it falls due
    SetTimer(hwnd, 15, 100, nullptr);
    luma::automation::Wait(60);
    EXPECT_TRUE(Names(hwnd).empty());
    EXPECT_TRUE(KillTimer(hwnd, 15));
    EXPECT_FALSE(KillTimer(hwnd, 15));
    luma::automation::Wait(500);
    EXPECT_TRUE(Names(hwnd).empty());
    // Timer procedures run through DispatchMessage.
    ClearLog();
    UINT_PTR id = SetTimer(nullptr, 0, 30, CountTicks);
    ASSERT_NE(id, 0u);
    luma::automation::Wait(30);
    ASSERT_EQ(Log().size(), 1u);
    EXPECT_EQ(Log()[0].wParam, id);
    KillTimer(nullptr, id);
    DestroyWindow(hwnd);
}

TEST_F(Windows, DestroyingAWindowKillsItsTimers) {
    HWND hwnd = MakeWindow(WS_POPUP, nullptr);
    SetTimer(hwnd, 1, 10, nullptr);
    SetTimer(hwnd, 2, 10, nullptr);
    EXPECT_EQ(luma::LiveTimers(), 2u);
    DestroyWindow(hwnd);
    EXPECT_EQ(luma::LiveTimers(), 0u);
    EXPECT_EQ(SetTimer(hwnd, 3, 10, nullptr), 0u) << "no timer for a window that is gone";
}

TEST_F(Windows, FocusMovesWithKillThenSet) {
    HWND top = MakeWindow(WS_POPUP | WS_VISIBLE, nullptr);
    HWND a = MakeWindow(WS_CHILD | WS_VISIBLE, top);
    HWND b = MakeWindow(WS_CHILD | WS_VISIBLE, top);
    SetFocus(a);
    ClearLog();
    EXPECT_EQ(SetFocus(b), a);
    ASSERT_EQ(Names(), (Strings{"WM_KILLFOCUS", "WM_SETFOCUS"}));
    EXPECT_EQ(Log()[0].hwnd, a);
    EXPECT_EQ(reinterpret_cast<HWND>(Log()[0].wParam), b);
    EXPECT_EQ(Log()[1].hwnd, b);
    EXPECT_EQ(reinterpret_cast<HWND>(Log()[1].wParam), a);
    EXPECT_EQ(GetFocus(), b);
    // A disabled window takes no focus, and disabling the focus window drops it.
    EnableWindow(a, FALSE);
    EXPECT_EQ(SetFocus(a), nullptr);
    EXPECT_EQ(GetFocus(), b);
    EnableWindow(b, FALSE);
    EXPECT_EQ(GetFocus(), nullptr);
    DestroyWindow(top);
    EXPECT_EQ(GetFocus(), nullptr);
}

TEST_F(Windows, EnableAndShowReportTheirChange) {
    HWND top = MakeWindow(WS_POPUP, nullptr);
    ClearLog();
    EXPECT_FALSE(EnableWindow(top, FALSE)) << "was enabled";
    EXPECT_EQ(Names(), (Strings{"WM_CANCELMODE", "WM_ENABLE"}));
    EXPECT_TRUE(EnableWindow(top, TRUE)) << "was disabled";
    EXPECT_FALSE(IsWindowVisible(top));
    EXPECT_FALSE(ShowWindow(top, SW_SHOW));
    EXPECT_TRUE(IsWindowVisible(top));
    EXPECT_TRUE(ShowWindow(top, SW_HIDE));
    HWND child = MakeWindow(WS_CHILD | WS_VISIBLE, top);
    EXPECT_FALSE(IsWindowVisible(child)) << "a child of a hidden window is hidden";
    DestroyWindow(top);
}

TEST_F(Windows, CaptureChangesAreAnnounced) {
    HWND a = MakeWindow(WS_POPUP, nullptr);
    HWND b = MakeWindow(WS_POPUP, nullptr);
    EXPECT_EQ(SetCapture(a), nullptr);
    ClearLog();
    EXPECT_EQ(SetCapture(b), a);
    ASSERT_EQ(Names(), (Strings{"WM_CAPTURECHANGED"}));
    EXPECT_EQ(Log()[0].hwnd, a);
    EXPECT_EQ(reinterpret_cast<HWND>(Log()[0].lParam), b);
    EXPECT_TRUE(ReleaseCapture());
    EXPECT_EQ(GetCapture(), nullptr);
    DestroyWindow(a);
    DestroyWindow(b);
}

TEST_F(Windows, MouseInputGoesToTheWindowUnderThePointOrTheCapture) {
    HWND top = MakeWindow(WS_POPUP | WS_VISIBLE, nullptr, 0, RECT{0, 0, 200, 200});
    HWND left = MakeWindow(WS_CHILD | WS_VISIBLE, top, 1, RECT{0, 0, 100, 100});
    HWND right = MakeWindow(WS_CHILD | WS_VISIBLE, top, 2, RECT{100, 0, 200, 100});
    luma::automation::Pump();
    ClearLog();
    ASSERT_TRUE(luma::automation::MouseDown(left, POINT{10, 20}));
    auto downs = std::count_if(Log().begin(), Log().end(), [&](const Logged& l) {
        return l.hwnd == left && l.msg == WM_LBUTTONDOWN && l.lParam == MAKELPARAM(10, 20) && (l.wParam & MK_LBUTTON);
    });
    EXPECT_EQ(downs, 1);
    SetCapture(left);
    ClearLog();
    // Over the other window, but the capture keeps the mouse: coordinates are the capturer's.
    luma::automation::MouseMove(right, POINT{5, 5});
    auto moves = std::count_if(Log().begin(), Log().end(), [&](const Logged& l) {
        return l.hwnd == left && l.msg == WM_MOUSEMOVE && l.lParam == MAKELPARAM(105, 5);
    });
    EXPECT_EQ(moves, 1);
    ReleaseCapture();
    DestroyWindow(top);
}

TEST_F(Windows, ShiftStateAndMouseKeys) {
    EXPECT_GE(GetKeyState(VK_SHIFT), 0);
    luma::automation::HoldShift(true);
    EXPECT_LT(GetKeyState(VK_SHIFT), 0);
    HWND top = MakeWindow(WS_POPUP | WS_VISIBLE, nullptr, 0, RECT{0, 0, 50, 50});
    ClearLog();
    luma::automation::MouseDown(top, POINT{1, 1});
    auto shifted = std::count_if(Log().begin(), Log().end(),
                                 [](const Logged& l) { return l.msg == WM_LBUTTONDOWN && (l.wParam & MK_SHIFT); });
    EXPECT_EQ(shifted, 1);
    luma::automation::HoldShift(false);
    EXPECT_GE(GetKeyState(VK_SHIFT), 0);
    luma::automation::MouseUp(top, POINT{1, 1});
    DestroyWindow(top);
}

TEST_F(Windows, CursorsAndBeeps) {
    HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    HCURSOR wait = LoadCursorA(nullptr, IDC_WAIT);
    ASSERT_TRUE(arrow && wait);
    EXPECT_NE(arrow, wait);
    EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), arrow) << "system cursors are shared";
    SetCursor(arrow);
    EXPECT_EQ(SetCursor(wait), arrow);
    EXPECT_EQ(GetCursor(), wait);
    EXPECT_EQ(LoadCursorA(GetModuleHandleA(nullptr), "NoSuchCursor"), nullptr);
    MessageBeep(MB_ICONEXCLAMATION);
    ASSERT_EQ(luma::automation::GetReport().beeps.size(), 1u);
    EXPECT_EQ(luma::automation::GetReport().beeps[0], static_cast<UINT>(MB_ICONEXCLAMATION));
}

TEST_F(Windows, SystemMetricsOfTheClassicScheme) {
    EXPECT_GT(GetSystemMetrics(SM_CXSCREEN), 0);
    EXPECT_EQ(GetSystemMetrics(SM_CXBORDER), 1);
    EXPECT_EQ(GetSystemMetrics(SM_CXEDGE), 2);
    EXPECT_EQ(GetSystemMetrics(SM_CXDLGFRAME), 3);
    EXPECT_EQ(GetSystemMetrics(SM_CYCAPTION), 19);
    EXPECT_EQ(GetSystemMetrics(SM_CXVSCROLL), 16);
}

TEST_F(Windows, RectangleHelpers) {
    RECT a{0, 0, 10, 10}, b{5, 5, 20, 8}, out;
    EXPECT_TRUE(IntersectRect(&out, &a, &b));
    EXPECT_EQ(out.left, 5);
    EXPECT_EQ(out.right, 10);
    RECT far{30, 30, 40, 40};
    EXPECT_FALSE(IntersectRect(&out, &a, &far));
    EXPECT_TRUE(IsRectEmpty(&out));
    EXPECT_TRUE(UnionRect(&out, &a, &far));
    EXPECT_EQ(out.right, 40);
    RECT empty{3, 3, 3, 9};
    EXPECT_TRUE(UnionRect(&out, &a, &empty));
    EXPECT_TRUE(EqualRect(&out, &a)) << "an empty rectangle adds nothing";
    EXPECT_TRUE(PtInRect(&a, POINT{0, 9}));
    EXPECT_FALSE(PtInRect(&a, POINT{10, 5})) << "right and bottom edges are outside";
    RECT top{0, 0, 10, 4};
    EXPECT_TRUE(SubtractRect(&out, &a, &top));
    EXPECT_EQ(out.top, 4);
    RECT middle{3, 3, 6, 6};
    EXPECT_TRUE(SubtractRect(&out, &a, &middle));
    EXPECT_TRUE(EqualRect(&out, &a)) << "a hole in the middle leaves the rectangle whole";
}

}  // namespace
}  // namespace user_tests
