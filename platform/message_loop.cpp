// Messages: sent ones call the window procedure at once, posted ones wait in
// the queue. A message loop takes, in Windows' order, posted messages, then
// user input (turned into mouse and key messages at that moment, as Windows
// does), then WM_PAINT for windows that need painting, then WM_TIMER for
// timers that fell due on the driver's clock; with nothing left it asks the
// driver to wait for input.
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <deque>

#include "fault.h"
#include "headless/headless.h"
#include "luma/testing.h"
#include "wm.h"

namespace luma::wm {
namespace {

struct InputEvent {
    bool mouse = false;
    MouseAction action = MouseAction::kMove;
    POINT point{};
    bool allowDoubleClick = true;
    UINT key = 0;
    bool down = false;
    char character = 0;
};

struct Timer {
    HWND hwnd = nullptr;
    UINT_PTR id = 0;
    UINT interval = 0;
    TIMERPROC proc = nullptr;
    unsigned long long due = 0;
    unsigned long long serial = 0;
};

struct Queue {
    std::deque<MSG> posted;
    std::deque<InputEvent> input;
    std::deque<MSG> inputMessages;  // input already turned into messages
    bool quit = false;
    int quitCode = 0;
    MSG last{};
    std::vector<Timer> timers;
    unsigned long long nextTimerSerial = 1;
    UINT_PTR nextThreadTimerId = 0x7FFE0000;
};

Queue& queue() {
    static Queue* q = new Queue;
    return *q;
}

bool Matches(const MSG& m, HWND filter, UINT first, UINT last) {
    if (filter == reinterpret_cast<HWND>(-1)) {
        if (m.hwnd) return false;
    } else if (filter && m.hwnd != filter && !IsChild(filter, m.hwnd)) {
        return false;
    }
    if (first == 0 && last == 0) return true;
    if (m.message == WM_QUIT) return true;
    return m.message >= first && m.message <= last;
}

bool PaintAllowed(UINT first, UINT last) {
    return (first == 0 && last == 0) || (WM_PAINT >= first && WM_PAINT <= last);
}

bool TimerAllowed(UINT first, UINT last) {
    return (first == 0 && last == 0) || (WM_TIMER >= first && WM_TIMER <= last);
}

WPARAM MouseKeys(bool leftDown) {
    WPARAM keys = 0;
    if (leftDown) keys |= MK_LBUTTON;
    if (GetKeyState(VK_SHIFT) < 0) keys |= MK_SHIFT;
    if (GetKeyState(VK_CONTROL) < 0) keys |= MK_CONTROL;
    return keys;
}

// The window under a screen point as mouse input finds it: visible windows
// in z-order, disabled children passed over, HTTRANSPARENT ones looked through.
HWND HitTest(POINT screen, int* hit) {
    *hit = HTNOWHERE;
    LPARAM where = MAKELPARAM(static_cast<SHORT>(screen.x), static_cast<SHORT>(screen.y));
    HWND target = nullptr;
    for (HWND top : TopLevelWindows()) {
        Window* t = Lookup(top);
        if (!t || !(t->style & WS_VISIBLE)) continue;
        RECT r = ScreenRect(t);
        if (PtInRect(&r, screen)) {
            target = top;
            break;
        }
    }
    if (!target) return nullptr;
    for (;;) {
        Window* w = Lookup(target);
        if (!w) return nullptr;
        POINT o = ClientOrigin(w);
        RECT client = ClientRectOf(w);
        POINT local{screen.x - o.x, screen.y - o.y};
        if (!PtInRect(&client, local)) break;
        HWND next = nullptr;
        for (HWND child : ChildrenOf(target)) {
            Window* c = Lookup(child);
            if (!c || !(c->style & WS_VISIBLE) || (c->style & WS_DISABLED)) continue;
            if (!PtInRect(&c->rect, local)) continue;
            if (static_cast<int>(SendMessageA(child, WM_NCHITTEST, 0, where)) == HTTRANSPARENT) continue;
            next = child;
            break;
        }
        if (!next) break;
        target = next;
    }
    *hit = static_cast<int>(SendMessageA(target, WM_NCHITTEST, 0, where));
    if (*hit == HTTRANSPARENT || *hit == HTNOWHERE) *hit = HTCLIENT;
    return target;
}

void PushInputMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, POINT pt) {
    MSG m{};
    m.hwnd = hwnd;
    m.message = message;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = static_cast<DWORD>(Now());
    m.pt = pt;
    queue().inputMessages.push_back(m);
}

void ConvertMouse(const InputEvent& e) {
    InputState& in = Input();
    in.cursor = e.point;
    if (e.action == MouseAction::kLeftDown) in.leftDown = true;
    if (e.action == MouseAction::kLeftUp) in.leftDown = false;

    int hit = HTCLIENT;
    HWND target = in.capture;
    bool captured = target && IsWindow(target);
    if (!captured) target = HitTest(e.point, &hit);
    if (!target) return;
    HWND top = GetAncestor(target, GA_ROOT);
    if (!captured && top && !IsWindowEnabled(top)) return;  // a window behind a modal dialog takes no clicks

    UINT messageOf = e.action == MouseAction::kMove ? WM_MOUSEMOVE
                     : e.action == MouseAction::kLeftDown ? WM_LBUTTONDOWN
                                                           : WM_LBUTTONUP;
    if (e.action == MouseAction::kLeftDown && !captured && top && top != in.active) {
        LRESULT r = SendMessageA(target, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(top), MAKELPARAM(hit, messageOf));
        if (r == MA_ACTIVATE || r == 2 /* MA_ACTIVATEANDEAT */) ActivateWindow(top, true);
        if (r == 2 || r == 4 /* MA_NOACTIVATEANDEAT */) return;
        if (!IsWindow(target)) return;
    }
    if (!captured) {
        SendMessageA(target, WM_SETCURSOR, reinterpret_cast<WPARAM>(target), MAKELPARAM(hit, messageOf));
        if (!IsWindow(target)) return;
    }

    Window* w = Lookup(target);
    if (!w) return;
    bool client = captured || hit == HTCLIENT;
    POINT o = ClientOrigin(w);
    UINT message = messageOf;
    if (e.action == MouseAction::kLeftDown) {
        // A second press on the same window, soon and close, is a double click.
        unsigned long long now = Now();
        bool pairs = e.allowDoubleClick && in.lastDownValid && !in.lastDownWasDouble && in.lastDownWindow == target &&
                     now - in.lastDownTime <= GetDoubleClickTime() &&
                     std::abs(in.lastDownPoint.x - e.point.x) <= GetSystemMetrics(SM_CXDOUBLECLK) / 2 &&
                     std::abs(in.lastDownPoint.y - e.point.y) <= GetSystemMetrics(SM_CYDOUBLECLK) / 2;
        bool wantsDouble = !client || (w->cls && (w->cls->style & CS_DBLCLKS));
        in.lastDownWasDouble = pairs && wantsDouble;
        if (in.lastDownWasDouble) message = WM_LBUTTONDBLCLK;
        in.lastDownValid = true;
        in.lastDownWindow = target;
        in.lastDownPoint = e.point;
        in.lastDownTime = now;
    }
    if (client) {
        LPARAM lp = MAKELPARAM(static_cast<SHORT>(e.point.x - o.x), static_cast<SHORT>(e.point.y - o.y));
        PushInputMessage(target, message, MouseKeys(in.leftDown), lp, e.point);
    } else {
        UINT nc = message - WM_MOUSEMOVE + WM_NCMOUSEMOVE;
        PushInputMessage(target, nc, static_cast<WPARAM>(hit),
                         MAKELPARAM(static_cast<SHORT>(e.point.x), static_cast<SHORT>(e.point.y)), e.point);
    }
}

void ConvertKey(const InputEvent& e) {
    // The key state follows the keys as their messages are taken, as on Windows.
    SetKeyDown(e.key, e.down);
    InputState& in = Input();
    HWND target = in.focus ? in.focus : in.active;
    if (!target || !IsWindow(target)) return;
    LPARAM lp = 1 | (static_cast<LPARAM>(static_cast<BYTE>(e.character)) << 16);
    if (!e.down) lp |= (LPARAM{1} << 30) | (LPARAM{1} << 31);
    bool alt = GetKeyState(VK_MENU) < 0 || e.key == VK_MENU;
    UINT message = e.down ? (alt ? WM_SYSKEYDOWN : WM_KEYDOWN) : (alt ? WM_SYSKEYUP : WM_KEYUP);
    PushInputMessage(target, message, e.key, lp, in.cursor);
}

void ConvertInput() {
    Queue& q = queue();
    while (q.inputMessages.empty() && !q.input.empty()) {
        InputEvent e = q.input.front();
        q.input.pop_front();
        if (e.mouse)
            ConvertMouse(e);
        else
            ConvertKey(e);
    }
}

Timer* DueTimer(HWND filter) {
    Queue& q = queue();
    unsigned long long now = Now();
    Timer* best = nullptr;
    for (Timer& t : q.timers) {
        if (t.due > now) continue;
        if (filter && filter != reinterpret_cast<HWND>(-1) && t.hwnd != filter && !IsChild(filter, t.hwnd)) continue;
        if (filter == reinterpret_cast<HWND>(-1) && t.hwnd) continue;
        if (!best || t.due < best->due || (t.due == best->due && t.serial < best->serial)) best = &t;
    }
    return best;
}

// One retrieval pass; false when nothing matches.
bool Retrieve(MSG* out, HWND filter, UINT first, UINT last, bool remove) {
    Queue& q = queue();
    for (auto it = q.posted.begin(); it != q.posted.end(); ++it) {
        if (!Matches(*it, filter, first, last)) continue;
        *out = *it;
        if (remove) q.posted.erase(it);
        return true;
    }
    if (q.quit) {
        *out = MSG{};
        out->message = WM_QUIT;
        out->wParam = static_cast<WPARAM>(q.quitCode);
        out->time = static_cast<DWORD>(Now());
        if (remove) q.quit = false;
        return true;
    }
    ConvertInput();
    for (auto it = q.inputMessages.begin(); it != q.inputMessages.end(); ++it) {
        if (!Matches(*it, filter, first, last)) continue;
        *out = *it;
        if (remove) q.inputMessages.erase(it);
        return true;
    }
    if (PaintAllowed(first, last)) {
        Window* w = NextWindowToPaint();
        if (w && (!filter || filter == w->handle || IsChild(filter, w->handle))) {
            *out = MSG{};
            out->hwnd = w->handle;
            out->message = WM_PAINT;
            out->time = static_cast<DWORD>(Now());
            out->pt = Input().cursor;
            return true;
        }
    }
    if (TimerAllowed(first, last)) {
        if (Timer* t = DueTimer(filter)) {
            *out = MSG{};
            out->hwnd = t->hwnd;
            out->message = WM_TIMER;
            out->wParam = t->id;
            out->lParam = reinterpret_cast<LPARAM>(t->proc);
            out->time = static_cast<DWORD>(Now());
            out->pt = Input().cursor;
            if (remove) t->due = Now() + t->interval;
            return true;
        }
    }
    return false;
}

void Remember(const MSG& m) { queue().last = m; }

}  // namespace

std::optional<unsigned long long> NextTimerDue() {
    std::optional<unsigned long long> next;
    for (const Timer& t : queue().timers)
        if (!next || t.due < *next) next = t.due;
    return next;
}

void DropMessagesFor(HWND hwnd) {
    Queue& q = queue();
    auto gone = [hwnd](const MSG& m) { return m.hwnd == hwnd; };
    q.posted.erase(std::remove_if(q.posted.begin(), q.posted.end(), gone), q.posted.end());
    q.inputMessages.erase(std::remove_if(q.inputMessages.begin(), q.inputMessages.end(), gone),
                          q.inputMessages.end());
}

void KillTimersOf(HWND hwnd) {
    auto& timers = queue().timers;
    timers.erase(std::remove_if(timers.begin(), timers.end(), [hwnd](const Timer& t) { return t.hwnd == hwnd; }),
                 timers.end());
}

bool PumpOne() {
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
    if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        return false;
    }
    HWND top = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (!top || !DialogOf(top) || !IsDialogMessageA(top, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return true;
}

bool ModalLoop(HWND modal, const std::function<bool()>& done, const std::function<void()>& onFirstIdle) {
    bool firstIdle = true;
    while (!done()) {
        MSG msg;
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (firstIdle) {
                firstIdle = false;
                if (onFirstIdle) onFirstIdle();
                continue;
            }
            Window* w = Lookup(modal);
            if (w && DialogOf(modal) && w->owner && !(w->style & DS_NOIDLEMSG))
                SendMessageA(w->owner, WM_ENTERIDLE, 0 /* MSGF_DIALOGBOX */, reinterpret_cast<LPARAM>(modal));
            if (done()) break;
            if (CurrentDriver().WaitForInput(modal, NextTimerDue()) == WaitResult::kExhausted) return false;
            continue;
        }
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return true;
        }
        if (!IsWindow(modal)) return true;
        if (!(DialogOf(modal) && IsDialogMessageA(modal, &msg))) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (firstIdle && msg.message == WM_TIMER) {
            firstIdle = false;
            if (onFirstIdle) onFirstIdle();
        }
    }
    return true;
}

}  // namespace luma::wm

namespace luma {

std::size_t LiveTimers() { return wm::queue().timers.size(); }

void InjectMouse(MouseAction action, POINT screen, bool allowDoubleClick) {
    wm::InputEvent e;
    e.mouse = true;
    e.action = action;
    e.point = screen;
    e.allowDoubleClick = allowDoubleClick;
    wm::queue().input.push_back(e);
}

void InjectKey(UINT virtualKey, bool down, char character) {
    wm::InputEvent e;
    e.key = virtualKey;
    e.down = down;
    e.character = character;
    wm::queue().input.push_back(e);
}

}  // namespace luma

using namespace luma::wm;

extern "C" {

LRESULT WINAPI SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (hwnd == reinterpret_cast<HWND>(0xFFFF)) {  // HWND_BROADCAST
        for (HWND top : TopLevelWindows())
            if (Window* w = Lookup(top)) CallProc(w->proc, top, msg, wParam, lParam);
        return 1;
    }
    Window* w = Find(hwnd);
    if (!w || IsDesktop(w)) return 0;
    return CallProc(w->proc, hwnd, msg, wParam, lParam);
}

BOOL WINAPI SendNotifyMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (hwnd != reinterpret_cast<HWND>(0xFFFF) && !Find(hwnd)) return FALSE;
    SendMessageA(hwnd, msg, wParam, lParam);
    return TRUE;
}

LRESULT WINAPI CallWindowProcA(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return CallProc(proc, hwnd, msg, wParam, lParam);
}

BOOL WINAPI PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (hwnd == reinterpret_cast<HWND>(0xFFFF)) {
        for (HWND top : TopLevelWindows()) PostMessageA(top, msg, wParam, lParam);
        return TRUE;
    }
    if (hwnd && !Find(hwnd)) return FALSE;
    MSG m{};
    m.hwnd = hwnd;
    m.message = msg;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = static_cast<DWORD>(Now());
    m.pt = Input().cursor;
    queue().posted.push_back(m);
    return TRUE;
}

void WINAPI PostQuitMessage(int exitCode) {
    queue().quit = true;
    queue().quitCode = exitCode;
}

BOOL WINAPI PeekMessageA(LPMSG msg, HWND hwnd, UINT first, UINT last, UINT remove) {
    MSG m;
    if (!Retrieve(&m, hwnd, first, last, (remove & PM_REMOVE) != 0)) return FALSE;
    Remember(m);
    if (msg) *msg = m;
    return TRUE;
}

BOOL WINAPI GetMessageA(LPMSG msg, HWND hwnd, UINT first, UINT last) {
    MSG m;
    while (!Retrieve(&m, hwnd, first, last, true)) {
        if (luma::CurrentDriver().WaitForInput(nullptr, NextTimerDue()) == luma::WaitResult::kExhausted) {
            luma::headless::NoteInputExhausted(nullptr);
            m = MSG{};
            m.message = WM_QUIT;
            break;
        }
    }
    Remember(m);
    if (msg) *msg = m;
    return m.message != WM_QUIT;
}

BOOL WINAPI WaitMessage(void) {
    MSG m;
    while (!Retrieve(&m, nullptr, 0, 0, false)) {
        if (luma::CurrentDriver().WaitForInput(nullptr, NextTimerDue()) == luma::WaitResult::kExhausted) return FALSE;
    }
    return TRUE;
}

BOOL WINAPI TranslateMessage(const MSG* msg) {
    if (!msg) return FALSE;
    if (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN) {
        return msg->message == WM_KEYUP || msg->message == WM_SYSKEYUP;
    }
    UINT key = static_cast<UINT>(msg->wParam);
    char scan = static_cast<char>((msg->lParam >> 16) & 0xFF);
    int ch = -1;
    if (scan != 0) {
        ch = static_cast<unsigned char>(scan);
    } else if (key >= 'A' && key <= 'Z') {
        bool upper = (GetKeyState(VK_SHIFT) < 0) != ((GetKeyState(VK_CAPITAL) & 1) != 0);
        ch = upper ? static_cast<int>(key) : std::tolower(static_cast<int>(key));
        if (GetKeyState(VK_CONTROL) < 0) ch = static_cast<int>(key - 'A' + 1);
    } else if (key >= '0' && key <= '9') {
        static const char shifted[] = ")!@#$%^&*(";
        ch = GetKeyState(VK_SHIFT) < 0 ? shifted[key - '0'] : static_cast<int>(key);
    } else {
        switch (key) {
        case VK_SPACE: ch = ' '; break;
        case VK_RETURN: ch = '\r'; break;
        case VK_TAB: ch = '\t'; break;
        case VK_BACK: ch = '\b'; break;
        case VK_ESCAPE: ch = 0x1B; break;
        default: break;
        }
    }
    if (ch >= 0) PostMessageA(msg->hwnd, msg->message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR, static_cast<WPARAM>(ch),
                              msg->lParam);
    return TRUE;
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
    if (!msg) return 0;
    if (msg->message == WM_TIMER && msg->lParam) {
        auto proc = reinterpret_cast<TIMERPROC>(msg->lParam);
        proc(msg->hwnd, WM_TIMER, msg->wParam, static_cast<DWORD>(Now()));
        return 0;
    }
    if (!msg->hwnd) return 0;
    Window* w = Find(msg->hwnd);
    if (!w) return 0;
    LRESULT result = CallProc(w->proc, msg->hwnd, msg->message, msg->wParam, msg->lParam);
    if (msg->message == WM_PAINT) {
        // A procedure that never called BeginPaint would be asked forever.
        if ((w = Lookup(msg->hwnd)) && (w->paint.update || w->paint.frame)) {
            w->paint.frame = false;
            ValidateRect(msg->hwnd, nullptr);
        }
    }
    return result;
}

LONG WINAPI GetMessageTime(void) { return static_cast<LONG>(queue().last.time); }

DWORD WINAPI GetMessagePos(void) {
    const POINT& p = queue().last.pt;
    return static_cast<DWORD>(MAKELONG(static_cast<SHORT>(p.x), static_cast<SHORT>(p.y)));
}

BOOL WINAPI InSendMessage(void) { return FALSE; }

UINT_PTR WINAPI SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
    if (hwnd && !Find(hwnd)) return 0;
    Queue& q = queue();
    elapse = std::clamp<UINT>(elapse, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
    Timer* existing = nullptr;
    for (Timer& t : q.timers)
        if (t.hwnd == hwnd && t.id == id && (hwnd || id)) existing = &t;
    if (!existing) {
        if (!luma::detail::AllocationMayProceed()) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return 0;
        }
        Timer t;
        t.hwnd = hwnd;
        t.id = hwnd ? id : q.nextThreadTimerId++;
        t.serial = q.nextTimerSerial++;
        q.timers.push_back(t);
        existing = &q.timers.back();
    }
    existing->interval = elapse;
    existing->proc = proc;
    existing->due = Now() + elapse;
    return hwnd ? (existing->id ? existing->id : 1) : existing->id;
}

BOOL WINAPI KillTimer(HWND hwnd, UINT_PTR id) {
    auto& timers = queue().timers;
    auto it = std::find_if(timers.begin(), timers.end(), [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
    if (it == timers.end()) return FALSE;
    timers.erase(it);
    return TRUE;
}

}  // extern "C"
