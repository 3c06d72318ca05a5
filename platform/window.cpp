// Windows and window classes: creation and destruction in Windows' message
// order, the parent/child tree in z-order, geometry, styles, text, user data
// and properties, and the default window procedure.
#include <windows.h>

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "fault.h"
#include "luma/testing.h"
#include "wm.h"

namespace luma::wm {
namespace {

constexpr int kErrorCannotFindClass = 1407;
constexpr int kErrorChildWindowWithoutParent = 1406;  // ERROR_TLW_WITH_WSCHILD
constexpr int kErrorInvalidIndex = 1413;
constexpr int kErrorAccessDenied = 5;

// Flags SetWindowPos works out for WM_WINDOWPOSCHANGED, as Windows does.
constexpr UINT kNoClientSize = 0x0800;
constexpr UINT kNoClientMove = 0x1000;

struct Registry {
    std::vector<std::unique_ptr<WindowClass>> classes;
    ATOM nextAtom = 0xC000;
    std::unordered_map<HWND, std::unique_ptr<Window>> windows;
    std::unique_ptr<Window> desktop;
    uintptr_t nextHandle = 0x10020;
    unsigned long long nextSerial = 1;
    size_t live = 0;
    std::map<std::string, UINT> messages;  // RegisterWindowMessage, by upper-case name
    UINT nextMessage = 0xC000;
};

Registry& registry() {
    static Registry* r = new Registry;  // outlives static destructors that may destroy windows
    return *r;
}

std::string Upper(const char* s) {
    std::string out(s ? s : "");
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

bool SameName(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

HWND NewHandle() {
    Registry& r = registry();
    HWND h = reinterpret_cast<HWND>(r.nextHandle);
    r.nextHandle += 2;
    return h;
}

void ReleaseIfDead(Window* w) {
    if (!w || !w->destroyed || w->busy > 0) return;
    registry().windows.erase(w->handle);
}

void Unlink(Window* w) {
    if (!w->parent) return;
    auto& siblings = w->parent->children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), w), siblings.end());
    w->parent = nullptr;
}

// Places w among its siblings: after is HWND_TOP, HWND_BOTTOM or a sibling.
void LinkAfter(Window* w, Window* parent, HWND after) {
    auto& siblings = parent->children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), w), siblings.end());
    w->parent = parent;
    if (after == HWND_TOP || after == HWND_TOPMOST || after == HWND_NOTOPMOST) {
        siblings.insert(siblings.begin(), w);
        return;
    }
    if (after == HWND_BOTTOM) {
        siblings.push_back(w);
        return;
    }
    auto it = std::find_if(siblings.begin(), siblings.end(), [&](Window* s) { return s->handle == after; });
    if (it == siblings.end()) {
        siblings.insert(siblings.begin(), w);
        return;
    }
    siblings.insert(it + 1, w);
}

Window* RootOf(Window* w) {
    while (w && w->parent && !IsDesktop(w->parent)) w = w->parent;
    return w;
}

WindowClass* ClassByAtomOrName(LPCSTR name, HINSTANCE instance) {
    Registry& r = registry();
    if (IS_INTRESOURCE(name)) {
        ATOM atom = static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(name));
        for (auto& c : r.classes)
            if (c->atom == atom) return c.get();
        return nullptr;
    }
    // "#32770" names the dialog class by its atom.
    if (name[0] == '#') {
        char* end = nullptr;
        unsigned long atom = std::strtoul(name + 1, &end, 10);
        if (end && *end == '\0' && atom <= 0xFFFF) return ClassByAtomOrName(MAKEINTATOM(atom), instance);
    }
    // A class of the caller's module first, then any application class, then the system's.
    WindowClass* any = nullptr;
    WindowClass* system = nullptr;
    for (auto& c : r.classes) {
        if (!SameName(c->name, name)) continue;
        if (c->system) {
            system = c.get();
        } else if (c->instance == instance) {
            return c.get();
        } else if (!any) {
            any = c.get();
        }
    }
    return any ? any : system;
}

int Clamp16(int v) { return std::clamp(v, -32768, 32767); }

}  // namespace

bool Window::IsTopLevel() const { return parent && IsDesktop(parent); }

Window* Lookup(HWND hwnd) {
    if (!hwnd) return nullptr;
    Registry& r = registry();
    if (r.desktop && hwnd == r.desktop->handle) return r.desktop.get();
    auto it = r.windows.find(hwnd);
    if (it == r.windows.end() || it->second->destroyed) return nullptr;
    return it->second.get();
}

Window* Find(HWND hwnd) {
    Window* w = Lookup(hwnd);
    if (!w) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return w;
}

Window* Desktop() {
    Registry& r = registry();
    if (!r.desktop) {
        r.desktop = std::make_unique<Window>();
        r.desktop->handle = reinterpret_cast<HWND>(uintptr_t{0x10010});
        r.desktop->style = WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_POPUP;
        r.desktop->created = true;
    }
    SIZE screen = luma::CurrentDriver().ScreenSize();
    r.desktop->rect = RECT{0, 0, screen.cx, screen.cy};
    r.desktop->client = r.desktop->rect;
    return r.desktop.get();
}

bool IsDesktop(const Window* w) { return w && registry().desktop && w == registry().desktop.get(); }

std::vector<HWND> ChildrenOf(HWND parent) {
    std::vector<HWND> out;
    Window* w = parent ? Lookup(parent) : Desktop();
    if (!w) return out;
    for (Window* c : w->children) out.push_back(c->handle);
    return out;
}

std::vector<HWND> TopLevelWindows() { return ChildrenOf(Desktop()->handle); }

void RegisterSystemClass(const char* name, ATOM atom, UINT style, WNDPROC proc, int wndExtra, HCURSOR cursor,
                         HBRUSH background) {
    Registry& r = registry();
    for (auto& c : r.classes)
        if (c->system && SameName(c->name, name)) return;
    auto c = std::make_unique<WindowClass>();
    c->name = name;
    c->atom = atom ? atom : r.nextAtom++;
    c->style = style | CS_GLOBALCLASS;
    c->proc = proc;
    c->wndExtra = wndExtra;
    c->cursor = cursor;
    c->background = background;
    c->system = true;
    r.classes.push_back(std::move(c));
}

WindowClass* FindClass(LPCSTR name, HINSTANCE instance) {
    if (!name) return nullptr;
    EnsureSystemClasses();
    return ClassByAtomOrName(name, instance);
}

POINT ClientOrigin(const Window* w) {
    if (!w || IsDesktop(w)) return POINT{0, 0};
    POINT base = w->parent ? ClientOrigin(w->parent) : POINT{0, 0};
    return POINT{base.x + w->rect.left + w->client.left, base.y + w->rect.top + w->client.top};
}

RECT ScreenRect(const Window* w) {
    if (!w || IsDesktop(w)) return Desktop()->rect;
    POINT base = w->parent ? ClientOrigin(w->parent) : POINT{0, 0};
    return RECT{base.x + w->rect.left, base.y + w->rect.top, base.x + w->rect.right, base.y + w->rect.bottom};
}

RECT ClientRectOf(const Window* w) {
    return RECT{0, 0, std::max<LONG>(w->client.right - w->client.left, 0),
                std::max<LONG>(w->client.bottom - w->client.top, 0)};
}

bool IsVisible(const Window* w) {
    for (; w && !IsDesktop(w); w = w->parent)
        if (!(w->style & WS_VISIBLE)) return false;
    return w != nullptr;
}

void NonClientBorders(DWORD style, DWORD exStyle, RECT* insets) {
    int adjust = 0;
    if ((exStyle & (WS_EX_STATICEDGE | WS_EX_DLGMODALFRAME)) == WS_EX_STATICEDGE)
        adjust = 1;
    else if ((exStyle & WS_EX_DLGMODALFRAME) || (style & (WS_THICKFRAME | WS_DLGFRAME)))
        adjust = 2;
    if (style & WS_THICKFRAME) adjust += GetSystemMetrics(SM_CXFRAME) - GetSystemMetrics(SM_CXDLGFRAME);
    if ((style & (WS_BORDER | WS_DLGFRAME)) || (exStyle & WS_EX_DLGMODALFRAME)) adjust++;
    *insets = RECT{adjust, adjust, adjust, adjust};
    if ((style & WS_CAPTION) == WS_CAPTION)
        insets->top += GetSystemMetrics((exStyle & WS_EX_TOOLWINDOW) ? SM_CYSMCAPTION : SM_CYCAPTION);
    if (exStyle & WS_EX_CLIENTEDGE) {
        insets->left += GetSystemMetrics(SM_CXEDGE);
        insets->right += GetSystemMetrics(SM_CXEDGE);
        insets->top += GetSystemMetrics(SM_CYEDGE);
        insets->bottom += GetSystemMetrics(SM_CYEDGE);
    }
    if (style & WS_VSCROLL) insets->right += GetSystemMetrics(SM_CXVSCROLL);
    if (style & WS_HSCROLL) insets->bottom += GetSystemMetrics(SM_CYHSCROLL);
}

void NotifyParent(HWND child, UINT code) {
    Window* w = Lookup(child);
    if (!w || !w->parent || IsDesktop(w->parent)) return;
    SendMessageA(w->parent->handle, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(w->id), code),
                 reinterpret_cast<LPARAM>(child));
}

LRESULT CallProc(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!proc) return 0;
    Registry& r = registry();
    auto it = r.windows.find(hwnd);
    Window* w = it == r.windows.end() ? nullptr : it->second.get();
    if (w) ++w->busy;
    LRESULT result = proc(hwnd, msg, wParam, lParam);
    if (w) {
        --w->busy;
        ReleaseIfDead(w);
    }
    return result;
}

namespace {

// WM_PARENTNOTIFY up the chain of parents, as Windows sends it.
void SendParentNotify(Window* w, UINT event) {
    HWND child = w->handle;
    LONG_PTR id = w->id;
    for (;;) {
        Window* cur = Lookup(child);
        if (!cur || !cur->IsChild() || (cur->exStyle & WS_EX_NOPARENTNOTIFY)) return;
        Window* parent = cur->parent;
        if (!parent || IsDesktop(parent)) return;
        HWND parentHandle = parent->handle;
        SendMessageA(parentHandle, WM_PARENTNOTIFY, MAKEWPARAM(event, static_cast<WORD>(id)),
                     reinterpret_cast<LPARAM>(w->handle));
        child = parentHandle;
    }
}

void SendDestroyMessages(HWND hwnd) {
    Window* w = Lookup(hwnd);
    if (!w) return;
    if (Input().active == hwnd) ActivateOtherWindow(hwnd);
    SendMessageA(hwnd, WM_DESTROY, 0, 0);
    if (!Lookup(hwnd)) return;
    for (HWND child : ChildrenOf(hwnd))
        if (Lookup(child)) SendDestroyMessages(child);
}

void FreeWindow(HWND hwnd) {
    for (HWND child : ChildrenOf(hwnd)) FreeWindow(child);
    Window* w = Lookup(hwnd);
    if (!w) return;
    KillTimersOf(hwnd);
    DropMessagesFor(hwnd);
    ForgetWindow(hwnd);
    Unlink(w);
    SendMessageA(hwnd, WM_NCDESTROY, 0, 0);
    w = registry().windows.count(hwnd) ? registry().windows[hwnd].get() : nullptr;
    if (!w) return;
    if (w->created) luma::CurrentDriver().WindowDestroyed(hwnd);
    if (w->cls) --w->cls->windows;
    if (!w->IsChild() && w->id) DestroyMenu(reinterpret_cast<HMENU>(w->id));
    w->destroyed = true;
    w->children.clear();
    --registry().live;
    ReleaseIfDead(w);
}

}  // namespace

void Notify(HWND hwnd, unsigned changes) {
    Window* w = Lookup(hwnd);
    if (w && w->created && !IsDesktop(w)) luma::CurrentDriver().WindowChanged(hwnd, changes);
}

unsigned long long Now() { return luma::CurrentDriver().Now(); }

}  // namespace luma::wm

namespace luma {

std::size_t LiveWindows() { return wm::registry().live; }

}  // namespace luma

using namespace luma::wm;

extern "C" {

/* ---- Classes ------------------------------------------------------------ */

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* wc) {
    if (!wc || wc->cbSize != sizeof(WNDCLASSEXA) || !wc->lpszClassName || wc->cbWndExtra < 0 ||
        wc->cbClsExtra < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    EnsureSystemClasses();
    Registry& r = registry();
    LPCSTR name = wc->lpszClassName;
    if (IS_INTRESOURCE(name)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    for (auto& c : r.classes) {
        if (c->system || !SameName(c->name, name)) continue;
        if (c->instance == wc->hInstance || (c->style & CS_GLOBALCLASS)) {
            SetLastError(ERROR_CLASS_ALREADY_EXISTS);
            return 0;
        }
    }
    if (!luma::detail::AllocationMayProceed()) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    auto c = std::make_unique<WindowClass>();
    c->name = name;
    c->atom = r.nextAtom++;
    c->style = wc->style;
    c->proc = wc->lpfnWndProc;
    c->clsExtra = wc->cbClsExtra;
    c->wndExtra = wc->cbWndExtra;
    c->instance = wc->hInstance;
    c->icon = wc->hIcon;
    c->iconSmall = wc->hIconSm;
    c->cursor = wc->hCursor;
    c->background = wc->hbrBackground;
    if (wc->lpszMenuName && !IS_INTRESOURCE(wc->lpszMenuName)) c->menuName = wc->lpszMenuName;
    c->extra.assign(static_cast<size_t>(wc->cbClsExtra), 0);
    ATOM atom = c->atom;
    r.classes.push_back(std::move(c));
    return atom;
}

ATOM WINAPI RegisterClassA(const WNDCLASSA* wc) {
    if (!wc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    WNDCLASSEXA ex{};
    ex.cbSize = sizeof ex;
    ex.style = wc->style;
    ex.lpfnWndProc = wc->lpfnWndProc;
    ex.cbClsExtra = wc->cbClsExtra;
    ex.cbWndExtra = wc->cbWndExtra;
    ex.hInstance = wc->hInstance;
    ex.hIcon = wc->hIcon;
    ex.hCursor = wc->hCursor;
    ex.hbrBackground = wc->hbrBackground;
    ex.lpszMenuName = wc->lpszMenuName;
    ex.lpszClassName = wc->lpszClassName;
    return RegisterClassExA(&ex);
}

BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE instance) {
    if (!className) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    Registry& r = registry();
    for (auto it = r.classes.begin(); it != r.classes.end(); ++it) {
        WindowClass* c = it->get();
        if (c->system) continue;
        bool match = IS_INTRESOURCE(className)
                         ? c->atom == static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(className))
                         : SameName(c->name, className);
        if (!match || c->instance != instance) continue;
        if (c->windows > 0) {
            SetLastError(ERROR_CLASS_HAS_WINDOWS);
            return FALSE;
        }
        r.classes.erase(it);
        return TRUE;
    }
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
}

BOOL WINAPI GetClassInfoExA(HINSTANCE instance, LPCSTR className, LPWNDCLASSEXA wc) {
    WindowClass* c = FindClass(className, instance);
    if (!c || !wc) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    wc->style = c->style;
    wc->lpfnWndProc = c->proc;
    wc->cbClsExtra = c->clsExtra;
    wc->cbWndExtra = c->wndExtra;
    wc->hInstance = c->system ? nullptr : c->instance;
    wc->hIcon = c->icon;
    wc->hIconSm = c->iconSmall;
    wc->hCursor = c->cursor;
    wc->hbrBackground = c->background;
    wc->lpszMenuName = c->menuName.empty() ? nullptr : c->menuName.c_str();
    wc->lpszClassName = IS_INTRESOURCE(className) ? c->name.c_str() : className;
    return c->atom;
}

BOOL WINAPI GetClassInfoA(HINSTANCE instance, LPCSTR className, LPWNDCLASSA wc) {
    WNDCLASSEXA ex{};
    ex.cbSize = sizeof ex;
    if (!GetClassInfoExA(instance, className, &ex)) return FALSE;
    if (!wc) return FALSE;
    wc->style = ex.style;
    wc->lpfnWndProc = ex.lpfnWndProc;
    wc->cbClsExtra = ex.cbClsExtra;
    wc->cbWndExtra = ex.cbWndExtra;
    wc->hInstance = ex.hInstance;
    wc->hIcon = ex.hIcon;
    wc->hCursor = ex.hCursor;
    wc->hbrBackground = ex.hbrBackground;
    wc->lpszMenuName = ex.lpszMenuName;
    wc->lpszClassName = ex.lpszClassName;
    return TRUE;
}

int WINAPI GetClassNameA(HWND hwnd, LPSTR name, int size) {
    Window* w = Find(hwnd);
    if (!w || !name || size <= 0) return 0;
    std::string n = IsDesktop(w) ? std::string("#32769") : w->cls->name;
    int count = std::min<int>(static_cast<int>(n.size()), size - 1);
    std::memcpy(name, n.data(), static_cast<size_t>(count));
    name[count] = '\0';
    return count;
}

ULONG_PTR WINAPI GetClassLongPtrA(HWND hwnd, int index) {
    Window* w = Find(hwnd);
    if (!w || !w->cls) return 0;
    WindowClass* c = w->cls;
    switch (index) {
    case GCLP_HBRBACKGROUND: return reinterpret_cast<ULONG_PTR>(c->background);
    case GCLP_HCURSOR: return reinterpret_cast<ULONG_PTR>(c->cursor);
    case GCLP_HICON: return reinterpret_cast<ULONG_PTR>(c->icon);
    case GCLP_HMODULE: return reinterpret_cast<ULONG_PTR>(c->instance);
    case GCLP_WNDPROC: return reinterpret_cast<ULONG_PTR>(c->proc);
    case GCL_CBWNDEXTRA: return static_cast<ULONG_PTR>(c->wndExtra);
    case GCL_CBCLSEXTRA: return static_cast<ULONG_PTR>(c->clsExtra);
    case GCL_STYLE: return c->style;
    case GCW_ATOM: return c->atom;
    default:
        if (index >= 0 && index + static_cast<int>(sizeof(ULONG_PTR)) <= c->clsExtra) {
            ULONG_PTR v = 0;
            std::memcpy(&v, c->extra.data() + index, sizeof v);
            return v;
        }
        SetLastError(kErrorInvalidIndex);
        return 0;
    }
}

ULONG_PTR WINAPI SetClassLongPtrA(HWND hwnd, int index, LONG_PTR value) {
    Window* w = Find(hwnd);
    if (!w || !w->cls) return 0;
    WindowClass* c = w->cls;
    ULONG_PTR old = GetClassLongPtrA(hwnd, index);
    switch (index) {
    case GCLP_HBRBACKGROUND: c->background = reinterpret_cast<HBRUSH>(value); break;
    case GCLP_HCURSOR: c->cursor = reinterpret_cast<HCURSOR>(value); break;
    case GCLP_HICON: c->icon = reinterpret_cast<HICON>(value); break;
    case GCLP_WNDPROC: c->proc = reinterpret_cast<WNDPROC>(value); break;
    case GCL_STYLE: c->style = static_cast<UINT>(value); break;
    default:
        if (index >= 0 && index + static_cast<int>(sizeof(ULONG_PTR)) <= c->clsExtra) {
            std::memcpy(c->extra.data() + index, &value, sizeof value);
            break;
        }
        SetLastError(kErrorInvalidIndex);
        return 0;
    }
    return old;
}

DWORD WINAPI GetClassLongA(HWND hwnd, int index) { return static_cast<DWORD>(GetClassLongPtrA(hwnd, index)); }

UINT WINAPI RegisterWindowMessageA(LPCSTR name) {
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    Registry& r = registry();
    std::string key = Upper(name);
    auto it = r.messages.find(key);
    if (it != r.messages.end()) return it->second;
    UINT msg = r.nextMessage++;
    r.messages.emplace(key, msg);
    return msg;
}

/* ---- Creation and destruction -------------------------------------------- */

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                            int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
    WindowClass* cls = FindClass(className, instance);
    if (!cls) {
        SetLastError(kErrorCannotFindClass);
        return nullptr;
    }
    Window* parentWindow = nullptr;
    HWND owner = nullptr;
    if (parent == reinterpret_cast<HWND>(Desktop()->handle)) parent = nullptr;
    if (parent) {
        parentWindow = Find(parent);
        if (!parentWindow) return nullptr;
    }
    bool child = (style & (WS_CHILD | WS_POPUP)) == WS_CHILD;
    if (child && !parentWindow) {
        SetLastError(kErrorChildWindowWithoutParent);
        return nullptr;
    }
    if (!child) {
        if (parentWindow) owner = RootOf(parentWindow)->handle;
        parentWindow = Desktop();
        // Overlapped windows always have a caption and clip their siblings.
        if (!(style & WS_POPUP)) style |= WS_CAPTION | WS_CLIPSIBLINGS;
    }
    if (!luma::detail::AllocationMayProceed()) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }

    if (!child) {
        SIZE screen = luma::CurrentDriver().ScreenSize();
        int n = static_cast<int>(registry().live % 8);
        if (x == CW_USEDEFAULT) {
            x = 20 + 24 * n;
            y = 20 + 24 * n;
        }
        if (width == CW_USEDEFAULT) {
            width = screen.cx * 3 / 4;
            height = screen.cy * 3 / 4;
        }
    } else {
        if (x == CW_USEDEFAULT) x = y = 0;
        if (width == CW_USEDEFAULT) width = height = 0;
    }
    width = std::max(width, 0);
    height = std::max(height, 0);

    Registry& r = registry();
    auto record = std::make_unique<Window>();
    Window* w = record.get();
    w->handle = NewHandle();
    w->cls = cls;
    w->owner = owner;
    w->style = style & ~WS_VISIBLE;  // shown at the end, as Windows does
    w->exStyle = exStyle;
    w->id = reinterpret_cast<LONG_PTR>(menu);
    w->instance = instance;
    w->rect = RECT{x, y, x + width, y + height};
    w->client = RECT{0, 0, width, height};
    w->proc = cls->proc;
    w->extra.assign(static_cast<size_t>(cls->wndExtra), 0);
    w->serial = r.nextSerial++;
    HWND hwnd = w->handle;
    r.windows.emplace(hwnd, std::move(record));
    ++r.live;
    ++cls->windows;
    LinkAfter(w, parentWindow, child ? HWND_BOTTOM : HWND_TOP);

    CREATESTRUCTA cs{};
    cs.lpCreateParams = param;
    cs.hInstance = instance;
    cs.hMenu = menu;
    cs.hwndParent = child ? parent : owner;
    cs.cy = height;
    cs.cx = width;
    cs.y = y;
    cs.x = x;
    cs.style = static_cast<LONG>(style);
    cs.lpszName = windowName;
    cs.lpszClass = className;
    cs.dwExStyle = exStyle;

    if (!SendMessageA(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) {
        FreeWindow(hwnd);
        return nullptr;
    }
    if (!(w = Lookup(hwnd))) return nullptr;
    w->created = true;
    RECT area = w->rect;
    SendMessageA(hwnd, WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&area));
    if (!(w = Lookup(hwnd))) return nullptr;
    w->client = RECT{area.left - w->rect.left, area.top - w->rect.top, area.right - w->rect.left,
                     area.bottom - w->rect.top};
    if (w->client.right < w->client.left) w->client.right = w->client.left;
    if (w->client.bottom < w->client.top) w->client.bottom = w->client.top;
    ResizePicture(w);

    if (SendMessageA(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        FreeWindow(hwnd);
        return nullptr;
    }
    if (!(w = Lookup(hwnd))) return nullptr;
    luma::CurrentDriver().WindowCreated(hwnd);
    RECT client = ClientRectOf(w);
    SendMessageA(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
    if (!(w = Lookup(hwnd))) return nullptr;
    SendMessageA(hwnd, WM_MOVE, 0,
                 MAKELPARAM(Clamp16(w->rect.left + w->client.left), Clamp16(w->rect.top + w->client.top)));
    if (!(w = Lookup(hwnd))) return nullptr;
    if (w->IsChild()) SendParentNotify(w, WM_CREATE);
    if (!Lookup(hwnd)) return nullptr;
    if (style & WS_VISIBLE) ShowWindow(hwnd, child ? SW_SHOW : SW_SHOWNORMAL);
    return Lookup(hwnd) ? hwnd : nullptr;
}

BOOL WINAPI DestroyWindow(HWND hwnd) {
    Window* w = Find(hwnd);
    if (!w) return FALSE;
    if (IsDesktop(w)) {
        SetLastError(kErrorAccessDenied);
        return FALSE;
    }
    if (w->destroying) return TRUE;
    w->destroying = true;
    bool child = w->IsChild();
    if (child) SendParentNotify(w, WM_DESTROY);
    if (!(w = Lookup(hwnd))) return TRUE;
    if (w->style & WS_VISIBLE) {
        // Only child windows are told with WM_SHOWWINDOW.
        if (child)
            ShowWindow(hwnd, SW_HIDE);
        else
            SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
    }
    if (!Lookup(hwnd)) return TRUE;
    if (!child) {
        // Owned windows go first; those of other windows keep theirs.
        for (;;) {
            HWND owned = nullptr;
            for (HWND top : TopLevelWindows()) {
                Window* t = Lookup(top);
                if (t && t->owner == hwnd && !t->destroying) {
                    owned = top;
                    break;
                }
            }
            if (!owned) break;
            DestroyWindow(owned);
        }
    }
    SendDestroyMessages(hwnd);
    if (!Lookup(hwnd)) return TRUE;
    FreeWindow(hwnd);
    return TRUE;
}

BOOL WINAPI IsWindow(HWND hwnd) { return Lookup(hwnd) != nullptr; }

BOOL WINAPI IsWindowVisible(HWND hwnd) {
    Window* w = Lookup(hwnd);
    return w && IsVisible(w);
}

BOOL WINAPI IsWindowEnabled(HWND hwnd) {
    Window* w = Lookup(hwnd);
    return w && !(w->style & WS_DISABLED);
}

BOOL WINAPI IsChild(HWND parent, HWND hwnd) {
    Window* p = Lookup(parent);
    Window* w = Lookup(hwnd);
    if (!p || !w) return FALSE;
    while (w->IsChild() && w->parent) {
        w = w->parent;
        if (w == p) return TRUE;
    }
    return FALSE;
}

BOOL WINAPI IsIconic(HWND hwnd) {
    Window* w = Lookup(hwnd);
    return w && (w->style & WS_MINIMIZE);
}

BOOL WINAPI IsZoomed(HWND hwnd) {
    Window* w = Lookup(hwnd);
    return w && (w->style & WS_MAXIMIZE);
}

/* ---- State -------------------------------------------------------------- */

BOOL WINAPI EnableWindow(HWND hwnd, BOOL enable) {
    Window* w = Find(hwnd);
    if (!w || IsDesktop(w)) return FALSE;
    BOOL wasDisabled = (w->style & WS_DISABLED) != 0;
    if (enable && wasDisabled) {
        w->style &= ~WS_DISABLED;
        Notify(hwnd, luma::kEnabledChanged);
        SendMessageA(hwnd, WM_ENABLE, TRUE, 0);
    } else if (!enable && !wasDisabled) {
        SendMessageA(hwnd, WM_CANCELMODE, 0, 0);
        if (!(w = Lookup(hwnd))) return FALSE;
        w->style |= WS_DISABLED;
        Notify(hwnd, luma::kEnabledChanged);
        HWND focus = Input().focus;
        if (focus == hwnd || IsChild(hwnd, focus)) SetFocus(nullptr);
        if (Input().capture == hwnd) ReleaseCapture();
        SendMessageA(hwnd, WM_ENABLE, FALSE, 0);
    }
    return wasDisabled;
}

BOOL WINAPI ShowWindow(HWND hwnd, int command) {
    Window* w = Find(hwnd);
    if (!w || IsDesktop(w)) return FALSE;
    bool wasVisible = (w->style & WS_VISIBLE) != 0;
    bool show = command != SW_HIDE;
    UINT flags = SWP_NOSIZE | SWP_NOMOVE;
    switch (command) {
    case SW_HIDE:
        if (!wasVisible) return FALSE;
        flags |= SWP_HIDEWINDOW | SWP_NOZORDER | SWP_NOACTIVATE;
        break;
    case SW_SHOWNA:
    case SW_SHOWNOACTIVATE:
    case SW_SHOWMINNOACTIVE:
        flags |= SWP_SHOWWINDOW | SWP_NOACTIVATE | SWP_NOZORDER;
        break;
    default:
        flags |= SWP_SHOWWINDOW;
        break;
    }
    if (w->IsChild()) flags |= SWP_NOACTIVATE | SWP_NOZORDER;
    if (show != wasVisible) {
        SendMessageA(hwnd, WM_SHOWWINDOW, show, 0);
        if (!(w = Lookup(hwnd))) return wasVisible;
    }
    if (show == wasVisible && !show) return wasVisible;
    SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, flags);
    return wasVisible;
}

BOOL WINAPI SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    Window* w = Find(hwnd);
    if (!w || IsDesktop(w)) return FALSE;
    WINDOWPOS pos{hwnd, insertAfter, x, y, cx, cy, flags};
    if (flags & SWP_NOMOVE) {
        pos.x = w->rect.left;
        pos.y = w->rect.top;
    }
    if (flags & SWP_NOSIZE) {
        pos.cx = w->Width();
        pos.cy = w->Height();
    }
    bool visible = (w->style & WS_VISIBLE) != 0;
    if (visible) pos.flags &= ~SWP_SHOWWINDOW;
    if (!visible) pos.flags &= ~SWP_HIDEWINDOW;
    if (pos.hwndInsertAfter == hwnd) pos.flags |= SWP_NOZORDER;
    if (!(pos.flags & SWP_NOSENDCHANGING)) {
        SendMessageA(hwnd, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
        if (!(w = Lookup(hwnd))) return FALSE;
    }
    pos.cx = std::max(pos.cx, 0);
    pos.cy = std::max(pos.cy, 0);
    if (pos.x == w->rect.left && pos.y == w->rect.top) pos.flags |= SWP_NOMOVE;
    if (pos.cx == w->Width() && pos.cy == w->Height()) pos.flags |= SWP_NOSIZE;

    RECT oldRect = w->rect;
    RECT oldClient = w->client;
    RECT oldScreen = ScreenRect(w);
    bool wasVisible = IsVisible(w);
    unsigned changes = 0;

    if (!(pos.flags & SWP_NOZORDER) && w->parent) {
        auto& siblings = w->parent->children;
        auto before = siblings;
        LinkAfter(w, w->parent, pos.hwndInsertAfter);
        if (before != siblings) changes |= luma::kOrderChanged;
    }
    if ((pos.flags & (SWP_NOMOVE | SWP_NOSIZE)) != (SWP_NOMOVE | SWP_NOSIZE) || (pos.flags & SWP_FRAMECHANGED)) {
        w->rect = RECT{pos.x, pos.y, pos.x + pos.cx, pos.y + pos.cy};
        if (!(pos.flags & SWP_NOSIZE) || (pos.flags & SWP_FRAMECHANGED)) {
            RECT area = w->rect;
            NCCALCSIZE_PARAMS params{};
            params.rgrc[0] = area;
            params.rgrc[1] = oldRect;
            params.rgrc[2] = oldClient;
            params.lppos = &pos;
            SendMessageA(hwnd, WM_NCCALCSIZE, TRUE, reinterpret_cast<LPARAM>(&params));
            if (!(w = Lookup(hwnd))) return FALSE;
            area = params.rgrc[0];
            w->client = RECT{area.left - w->rect.left, area.top - w->rect.top, area.right - w->rect.left,
                             area.bottom - w->rect.top};
            if (w->client.right < w->client.left) w->client.right = w->client.left;
            if (w->client.bottom < w->client.top) w->client.bottom = w->client.top;
        } else {
            w->client = oldClient;
        }
        if (!EqualRect(&oldRect, &w->rect)) changes |= luma::kGeometryChanged;
    }
    if (pos.flags & SWP_SHOWWINDOW) {
        w->style |= WS_VISIBLE;
        changes |= luma::kVisibilityChanged;
    }
    if (pos.flags & SWP_HIDEWINDOW) {
        w->style &= ~WS_VISIBLE;
        changes |= luma::kVisibilityChanged;
    }
    bool clientSizeSame = (oldClient.right - oldClient.left) == (w->client.right - w->client.left) &&
                          (oldClient.bottom - oldClient.top) == (w->client.bottom - w->client.top);
    bool clientMoveSame = oldRect.left + oldClient.left == w->rect.left + w->client.left &&
                          oldRect.top + oldClient.top == w->rect.top + w->client.top;
    if (clientSizeSame) pos.flags |= kNoClientSize;
    if (clientMoveSame) pos.flags |= kNoClientMove;

    // Repaint what the change uncovered and what it shows anew.
    bool nowVisible = IsVisible(w);
    bool sized = !EqualRect(&oldRect, &w->rect) && (w->Width() != oldRect.right - oldRect.left ||
                                                     w->Height() != oldRect.bottom - oldRect.top);
    if (w->Width() != oldRect.right - oldRect.left || w->Height() != oldRect.bottom - oldRect.top) ResizePicture(w);
    if (!(pos.flags & SWP_NOREDRAW)) {
        Window* parent = w->parent;
        if (wasVisible && parent && (changes & (luma::kGeometryChanged | luma::kVisibilityChanged | luma::kOrderChanged))) {
            POINT origin = ClientOrigin(parent);
            RECT old = oldScreen;
            OffsetRect(&old, -origin.x, -origin.y);
            if (!IsDesktop(parent)) InvalidateWindow(parent, &old, true, true);
        }
        if (nowVisible && ((changes & luma::kVisibilityChanged) || sized || (pos.flags & SWP_FRAMECHANGED) ||
                           (changes & luma::kOrderChanged) || !(pos.flags & SWP_NOMOVE))) {
            InvalidateFrame(w);
            InvalidateWindow(w, nullptr, true, true);
        }
    }
    if (changes) Notify(hwnd, changes);

    if ((pos.flags & SWP_HIDEWINDOW)) {
        HWND focus = Input().focus;
        if (focus && (focus == hwnd || IsChild(hwnd, focus))) {
            if (w->IsChild())
                SetFocus(w->parent->handle);
            else
                SetFocus(nullptr);
        }
        if (!w->IsChild() && Input().active == hwnd) ActivateOtherWindow(hwnd);
    }
    if ((pos.flags & (SWP_NOZORDER | SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW | SWP_HIDEWINDOW | SWP_FRAMECHANGED)) !=
        (SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER)) {
        SendMessageA(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
        if (!(w = Lookup(hwnd))) return TRUE;
    }
    if (!(pos.flags & SWP_NOACTIVATE) && w->IsTopLevel() && (w->style & WS_VISIBLE) && !(w->style & WS_DISABLED))
        ActivateWindow(hwnd, false);
    return TRUE;
}

BOOL WINAPI MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    if (!repaint) flags |= SWP_NOREDRAW;
    return SetWindowPos(hwnd, nullptr, x, y, width, height, flags);
}

BOOL WINAPI BringWindowToTop(HWND hwnd) {
    return SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

/* ---- Geometry ----------------------------------------------------------- */

BOOL WINAPI GetWindowRect(HWND hwnd, LPRECT rect) {
    Window* w = Find(hwnd);
    if (!w || !rect) return FALSE;
    *rect = ScreenRect(w);
    return TRUE;
}

BOOL WINAPI GetClientRect(HWND hwnd, LPRECT rect) {
    Window* w = Find(hwnd);
    if (!w || !rect) return FALSE;
    *rect = IsDesktop(w) ? w->rect : ClientRectOf(w);
    return TRUE;
}

BOOL WINAPI AdjustWindowRectEx(LPRECT rect, DWORD style, BOOL menu, DWORD exStyle) {
    if (!rect) return FALSE;
    RECT insets;
    NonClientBorders(style, exStyle, &insets);
    if (menu) insets.top += GetSystemMetrics(SM_CYMENU);
    rect->left -= insets.left;
    rect->top -= insets.top;
    rect->right += insets.right;
    rect->bottom += insets.bottom;
    return TRUE;
}

BOOL WINAPI AdjustWindowRect(LPRECT rect, DWORD style, BOOL menu) { return AdjustWindowRectEx(rect, style, menu, 0); }

BOOL WINAPI ClientToScreen(HWND hwnd, LPPOINT point) {
    Window* w = Find(hwnd);
    if (!w || !point) return FALSE;
    POINT o = ClientOrigin(w);
    point->x += o.x;
    point->y += o.y;
    return TRUE;
}

BOOL WINAPI ScreenToClient(HWND hwnd, LPPOINT point) {
    Window* w = Find(hwnd);
    if (!w || !point) return FALSE;
    POINT o = ClientOrigin(w);
    point->x -= o.x;
    point->y -= o.y;
    return TRUE;
}

int WINAPI MapWindowPoints(HWND from, HWND to, LPPOINT points, UINT count) {
    POINT a{0, 0}, b{0, 0};
    if (from) {
        Window* w = Find(from);
        if (!w) return 0;
        a = ClientOrigin(w);
    }
    if (to) {
        Window* w = Find(to);
        if (!w) return 0;
        b = ClientOrigin(w);
    }
    int dx = a.x - b.x, dy = a.y - b.y;
    for (UINT i = 0; points && i < count; ++i) {
        points[i].x += dx;
        points[i].y += dy;
    }
    SetLastError(NO_ERROR);
    return MAKELONG(static_cast<WORD>(static_cast<SHORT>(dx)), static_cast<WORD>(static_cast<SHORT>(dy)));
}

HWND WINAPI ChildWindowFromPoint(HWND parent, POINT point) {
    Window* p = Find(parent);
    if (!p) return nullptr;
    RECT client = IsDesktop(p) ? p->rect : ClientRectOf(p);
    if (!PtInRect(&client, point)) return nullptr;
    for (Window* c : p->children) {
        if (PtInRect(&c->rect, point)) return c->handle;
    }
    return parent;
}

HWND WINAPI WindowFromPoint(POINT point) {
    Window* w = Desktop();
    for (;;) {
        Window* hit = nullptr;
        POINT origin = ClientOrigin(w);
        POINT local{point.x - origin.x, point.y - origin.y};
        for (Window* c : w->children) {
            if (!(c->style & WS_VISIBLE) || (c->style & WS_DISABLED && c->IsChild())) continue;
            if (PtInRect(&c->rect, local)) {
                hit = c;
                break;
            }
        }
        if (!hit) break;
        if (hit->style & WS_DISABLED) return nullptr;
        w = hit;
        RECT client = ClientRectOf(w);
        POINT o = ClientOrigin(w);
        POINT inside{point.x - o.x, point.y - o.y};
        if (!PtInRect(&client, inside)) break;
    }
    return IsDesktop(w) ? nullptr : w->handle;
}

/* ---- Tree --------------------------------------------------------------- */

HWND WINAPI GetParent(HWND hwnd) {
    Window* w = Find(hwnd);
    if (!w || IsDesktop(w)) return nullptr;
    if (w->IsChild()) return w->parent ? w->parent->handle : nullptr;
    if (w->style & WS_POPUP) return w->owner;
    return nullptr;
}

HWND WINAPI SetParent(HWND hwnd, HWND parent) {
    Window* w = Find(hwnd);
    if (!w || IsDesktop(w)) return nullptr;
    Window* newParent = parent ? Find(parent) : Desktop();
    if (!newParent) return nullptr;
    for (Window* p = newParent; p; p = p->parent)
        if (p == w) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
    HWND old = w->parent && !IsDesktop(w->parent) ? w->parent->handle : Desktop()->handle;
    bool wasVisible = (w->style & WS_VISIBLE) != 0;
    if (wasVisible) ShowWindow(hwnd, SW_HIDE);
    if (!(w = Lookup(hwnd))) return nullptr;
    LinkAfter(w, newParent, HWND_TOP);
    if (IsDesktop(newParent)) w->owner = nullptr;
    ResizePicture(w);
    Notify(hwnd, luma::kGeometryChanged | luma::kOrderChanged);
    if (wasVisible) ShowWindow(hwnd, SW_SHOW);
    return old;
}

HWND WINAPI GetAncestor(HWND hwnd, UINT flags) {
    Window* w = Find(hwnd);
    if (!w || IsDesktop(w)) return nullptr;
    switch (flags) {
    case GA_PARENT: return w->parent ? w->parent->handle : nullptr;
    case GA_ROOT: return RootOf(w)->handle;
    case GA_ROOTOWNER: {
        Window* root = RootOf(w);
        while (root->owner) {
            Window* o = Lookup(root->owner);
            if (!o) break;
            root = RootOf(o);
        }
        return root->handle;
    }
    default: SetLastError(ERROR_INVALID_PARAMETER); return nullptr;
    }
}

HWND WINAPI GetWindow(HWND hwnd, UINT command) {
    Window* w = Find(hwnd);
    if (!w) return nullptr;
    if (command == GW_CHILD) return w->children.empty() ? nullptr : w->children.front()->handle;
    if (command == GW_OWNER) return w->owner;
    if (command == GW_ENABLEDPOPUP) return nullptr;
    if (!w->parent) return nullptr;
    auto& siblings = w->parent->children;
    auto it = std::find(siblings.begin(), siblings.end(), w);
    switch (command) {
    case GW_HWNDFIRST: return siblings.front()->handle;
    case GW_HWNDLAST: return siblings.back()->handle;
    case GW_HWNDNEXT: return (it == siblings.end() || it + 1 == siblings.end()) ? nullptr : (*(it + 1))->handle;
    case GW_HWNDPREV: return (it == siblings.begin() || it == siblings.end()) ? nullptr : (*(it - 1))->handle;
    default: SetLastError(ERROR_INVALID_PARAMETER); return nullptr;
    }
}

HWND WINAPI GetTopWindow(HWND hwnd) {
    Window* w = hwnd ? Find(hwnd) : Desktop();
    if (!w || w->children.empty()) return nullptr;
    return w->children.front()->handle;
}

HWND WINAPI GetDesktopWindow(void) { return Desktop()->handle; }

}  // extern "C"

namespace {

bool EnumTree(HWND parent, WNDENUMPROC proc, LPARAM param) {
    for (HWND child : ChildrenOf(parent)) {
        if (!Lookup(child)) continue;
        if (!proc(child, param)) return false;
        if (!EnumTree(child, proc, param)) return false;
    }
    return true;
}

}  // namespace

extern "C" {

BOOL WINAPI EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM param) {
    if (!proc) return FALSE;
    if (parent && !Find(parent)) return FALSE;
    return EnumTree(parent ? parent : Desktop()->handle, proc, param);
}

BOOL WINAPI EnumWindows(WNDENUMPROC proc, LPARAM param) {
    if (!proc) return FALSE;
    for (HWND top : TopLevelWindows()) {
        if (!Lookup(top)) continue;
        if (!proc(top, param)) return FALSE;
    }
    return TRUE;
}

HWND WINAPI FindWindowA(LPCSTR className, LPCSTR windowName) {
    WindowClass* cls = className ? FindClass(className, nullptr) : nullptr;
    if (className && !cls) return nullptr;
    for (HWND top : TopLevelWindows()) {
        Window* w = Lookup(top);
        if (!w) continue;
        if (cls && w->cls != cls) continue;
        if (windowName && w->text != windowName) continue;
        return top;
    }
    return nullptr;
}

/* ---- Window data -------------------------------------------------------- */

LONG_PTR WINAPI GetWindowLongPtrA(HWND hwnd, int index) {
    Window* w = Find(hwnd);
    if (!w) return 0;
    switch (index) {
    case GWL_STYLE: return static_cast<LONG>(w->style);
    case GWL_EXSTYLE: return static_cast<LONG>(w->exStyle);
    case GWLP_ID: return w->id;
    case GWLP_USERDATA: return w->userData;
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_HINSTANCE: return reinterpret_cast<LONG_PTR>(w->instance);
    case GWLP_HWNDPARENT:
        return reinterpret_cast<LONG_PTR>(w->IsChild() ? (w->parent ? w->parent->handle : nullptr) : w->owner);
    default:
        if (index >= 0 && static_cast<size_t>(index) + sizeof(LONG_PTR) <= w->extra.size()) {
            LONG_PTR v;
            std::memcpy(&v, w->extra.data() + index, sizeof v);
            return v;
        }
        SetLastError(kErrorInvalidIndex);
        return 0;
    }
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value) {
    Window* w = Find(hwnd);
    if (!w || IsDesktop(w)) return 0;
    LONG_PTR old;
    switch (index) {
    case GWL_STYLE:
    case GWL_EXSTYLE: {
        STYLESTRUCT ss{};
        ss.styleOld = index == GWL_STYLE ? w->style : w->exStyle;
        ss.styleNew = static_cast<DWORD>(value);
        SendMessageA(hwnd, WM_STYLECHANGING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&ss));
        if (!(w = Lookup(hwnd))) return 0;
        old = static_cast<LONG>(index == GWL_STYLE ? w->style : w->exStyle);
        if (index == GWL_STYLE)
            w->style = ss.styleNew;
        else
            w->exStyle = ss.styleNew;
        unsigned changes = luma::kStyleChanged;
        if ((ss.styleOld ^ ss.styleNew) & WS_VISIBLE && index == GWL_STYLE) changes |= luma::kVisibilityChanged;
        if ((ss.styleOld ^ ss.styleNew) & WS_DISABLED && index == GWL_STYLE) changes |= luma::kEnabledChanged;
        Notify(hwnd, changes);
        SendMessageA(hwnd, WM_STYLECHANGED, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&ss));
        return old;
    }
    case GWLP_ID:
        old = w->id;
        w->id = value;
        return old;
    case GWLP_USERDATA:
        old = w->userData;
        w->userData = value;
        return old;
    case GWLP_WNDPROC:
        old = reinterpret_cast<LONG_PTR>(w->proc);
        w->proc = reinterpret_cast<WNDPROC>(value);
        return old;
    case GWLP_HINSTANCE:
        old = reinterpret_cast<LONG_PTR>(w->instance);
        w->instance = reinterpret_cast<HINSTANCE>(value);
        return old;
    case GWLP_HWNDPARENT:
        if (w->IsChild()) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        old = reinterpret_cast<LONG_PTR>(w->owner);
        w->owner = reinterpret_cast<HWND>(value);
        return old;
    default:
        if (index >= 0 && static_cast<size_t>(index) + sizeof(LONG_PTR) <= w->extra.size()) {
            std::memcpy(&old, w->extra.data() + index, sizeof old);
            std::memcpy(w->extra.data() + index, &value, sizeof value);
            return old;
        }
        SetLastError(kErrorInvalidIndex);
        return 0;
    }
}

LONG WINAPI GetWindowLongA(HWND hwnd, int index) {
    Window* w = Find(hwnd);
    if (!w) return 0;
    if (index == GWLP_WNDPROC || index == GWLP_HINSTANCE || index == GWLP_HWNDPARENT) {
        SetLastError(kErrorInvalidIndex);  // pointer-sized: GetWindowLongPtr on 64-bit Windows
        return 0;
    }
    if (index >= 0) {
        if (static_cast<size_t>(index) + sizeof(LONG) > w->extra.size()) {
            SetLastError(kErrorInvalidIndex);
            return 0;
        }
        LONG v;
        std::memcpy(&v, w->extra.data() + index, sizeof v);
        return v;
    }
    return static_cast<LONG>(GetWindowLongPtrA(hwnd, index));
}

LONG WINAPI SetWindowLongA(HWND hwnd, int index, LONG value) {
    Window* w = Find(hwnd);
    if (!w) return 0;
    if (index == GWLP_WNDPROC || index == GWLP_HINSTANCE || index == GWLP_HWNDPARENT) {
        SetLastError(kErrorInvalidIndex);
        return 0;
    }
    if (index >= 0) {
        if (static_cast<size_t>(index) + sizeof(LONG) > w->extra.size()) {
            SetLastError(kErrorInvalidIndex);
            return 0;
        }
        LONG old;
        std::memcpy(&old, w->extra.data() + index, sizeof old);
        std::memcpy(w->extra.data() + index, &value, sizeof value);
        return old;
    }
    if (index == GWL_STYLE || index == GWL_EXSTYLE)
        return static_cast<LONG>(SetWindowLongPtrA(hwnd, index, static_cast<LONG_PTR>(static_cast<DWORD>(value))));
    return static_cast<LONG>(SetWindowLongPtrA(hwnd, index, value));
}

WORD WINAPI GetWindowWord(HWND hwnd, int index) {
    Window* w = Find(hwnd);
    if (!w) return 0;
    if (index < 0 || static_cast<size_t>(index) + sizeof(WORD) > w->extra.size()) {
        SetLastError(kErrorInvalidIndex);
        return 0;
    }
    WORD v;
    std::memcpy(&v, w->extra.data() + index, sizeof v);
    return v;
}

int WINAPI GetWindowTextA(HWND hwnd, LPSTR text, int size) {
    if (text && size > 0) text[0] = '\0';
    if (!Find(hwnd) || !text || size <= 0) return 0;
    return static_cast<int>(SendMessageA(hwnd, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(text)));
}

int WINAPI GetWindowTextLengthA(HWND hwnd) {
    if (!Find(hwnd)) return 0;
    return static_cast<int>(SendMessageA(hwnd, WM_GETTEXTLENGTH, 0, 0));
}

BOOL WINAPI SetWindowTextA(HWND hwnd, LPCSTR text) {
    if (!Find(hwnd)) return FALSE;
    return SendMessageA(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) != 0;
}

BOOL WINAPI SetPropA(HWND hwnd, LPCSTR name, HANDLE data) {
    Window* w = Find(hwnd);
    if (!w || !name) return FALSE;
    std::string key = IS_INTRESOURCE(name) ? "#" + std::to_string(reinterpret_cast<ULONG_PTR>(name)) : Upper(name);
    w->props[key] = data;
    return TRUE;
}

HANDLE WINAPI GetPropA(HWND hwnd, LPCSTR name) {
    Window* w = Find(hwnd);
    if (!w || !name) return nullptr;
    std::string key = IS_INTRESOURCE(name) ? "#" + std::to_string(reinterpret_cast<ULONG_PTR>(name)) : Upper(name);
    auto it = w->props.find(key);
    return it == w->props.end() ? nullptr : it->second;
}

HANDLE WINAPI RemovePropA(HWND hwnd, LPCSTR name) {
    Window* w = Find(hwnd);
    if (!w || !name) return nullptr;
    std::string key = IS_INTRESOURCE(name) ? "#" + std::to_string(reinterpret_cast<ULONG_PTR>(name)) : Upper(name);
    auto it = w->props.find(key);
    if (it == w->props.end()) return nullptr;
    HANDLE data = it->second;
    w->props.erase(it);
    return data;
}

/* ---- Default window procedure ------------------------------------------- */

LRESULT WINAPI DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window* w = Lookup(hwnd);
    if (!w) return 0;
    switch (msg) {
    case WM_NCCREATE: {
        auto* cs = reinterpret_cast<CREATESTRUCTA*>(lParam);
        if (cs && cs->lpszName && !IS_INTRESOURCE(cs->lpszName)) w->text = cs->lpszName;
        return TRUE;
    }
    case WM_NCCALCSIZE: {
        RECT* area = reinterpret_cast<RECT*>(lParam);
        if (!area) return 0;
        RECT insets;
        NonClientBorders(w->style, w->exStyle, &insets);
        area->left += insets.left;
        area->top += insets.top;
        area->right -= insets.right;
        area->bottom -= insets.bottom;
        if (area->right < area->left) area->right = area->left;
        if (area->bottom < area->top) area->bottom = area->top;
        return 0;
    }
    case WM_NCHITTEST: {
        POINT pt{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
        RECT screen = ScreenRect(w);
        if (!PtInRect(&screen, pt)) return HTNOWHERE;
        POINT o = ClientOrigin(w);
        RECT client = ClientRectOf(w);
        OffsetRect(&client, o.x, o.y);
        if (PtInRect(&client, pt)) return HTCLIENT;
        if ((w->style & WS_CAPTION) == WS_CAPTION && pt.y < client.top && pt.y >= client.top - GetSystemMetrics(SM_CYCAPTION))
            return HTCAPTION;
        return HTBORDER;
    }
    case WM_SETTEXT: {
        const char* text = reinterpret_cast<const char*>(lParam);
        w->text = text ? text : "";
        Notify(hwnd, luma::kTextChanged);
        if ((w->style & WS_CAPTION) == WS_CAPTION) InvalidateFrame(w);
        return TRUE;
    }
    case WM_GETTEXT: {
        char* buffer = reinterpret_cast<char*>(lParam);
        if (!buffer || wParam == 0) return 0;
        size_t n = std::min(w->text.size(), static_cast<size_t>(wParam) - 1);
        std::memcpy(buffer, w->text.data(), n);
        buffer[n] = '\0';
        return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(w->text.size());
    case WM_CLOSE: DestroyWindow(hwnd); return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE) SendMessageA(hwnd, WM_CLOSE, 0, 0);
        return 0;
    case WM_WINDOWPOSCHANGED: {
        auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
        if (!pos) return 0;
        if (!(pos->flags & kNoClientMove))
            SendMessageA(hwnd, WM_MOVE, 0,
                         MAKELPARAM(Clamp16(w->rect.left + w->client.left), Clamp16(w->rect.top + w->client.top)));
        if (!(w = Lookup(hwnd))) return 0;
        if (!(pos->flags & kNoClientSize)) {
            RECT client = ClientRectOf(w);
            SendMessageA(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
        }
        return 0;
    }
    case WM_SETCURSOR: {
        if (w->IsChild() && w->parent) {
            if (SendMessageA(w->parent->handle, WM_SETCURSOR, wParam, lParam)) return TRUE;
            if (!(w = Lookup(hwnd))) return FALSE;
        }
        if (static_cast<SHORT>(LOWORD(lParam)) == HTCLIENT) {
            if (w->cls && w->cls->cursor) SetCursor(w->cls->cursor);
            return TRUE;
        }
        SetCursor(LoadCursorA(nullptr, IDC_ARROW));
        return FALSE;
    }
    case WM_MOUSEACTIVATE:
        if (w->IsChild() && w->parent) {
            LRESULT r = SendMessageA(w->parent->handle, WM_MOUSEACTIVATE, wParam, lParam);
            if (r) return r;
        }
        return MA_ACTIVATE;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && !(w->style & WS_MINIMIZE)) SetFocus(hwnd);
        return 0;
    case WM_NCACTIVATE:
        w->paint.active = wParam != 0;
        InvalidateFrame(w);
        return TRUE;
    case WM_CANCELMODE:
        if (Input().capture == hwnd) ReleaseCapture();
        return 0;
    case WM_CONTEXTMENU:
        if (w->IsChild() && w->parent) SendMessageA(w->parent->handle, msg, wParam, lParam);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_NCPAINT: DrawNonClient(hwnd); return 0;
    case WM_ERASEBKGND: {
        if (!w->cls || !w->cls->background) return 0;
        EraseBackground(hwnd, reinterpret_cast<HDC>(wParam));
        return 1;
    }
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: return reinterpret_cast<LRESULT>(ControlColor(hwnd, msg, reinterpret_cast<HDC>(wParam)));
    case WM_PRINTCLIENT:
    case WM_PRINT: return 0;
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM: return -1;
    case WM_GETDLGCODE: return 0;
    default: return 0;
    }
}

}  // extern "C"
