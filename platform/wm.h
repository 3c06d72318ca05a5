// Inside the window manager: window and class records, and the helpers the
// window, message, dialog, control and painting code share. One thread owns
// every window, as the plug-in's host thread does on Windows; nothing here
// is locked.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "luma/driver.h"
#include "luma/resources.h"

namespace luma::wm {

// Per-window storage of a system control class (button, edit...). Owned by
// the window record, so it outlives every procedure call still running on a
// window that was destroyed meanwhile.
struct ControlState {
    virtual ~ControlState() = default;
};

struct WindowClass {
    std::string name;
    ATOM atom = 0;
    UINT style = 0;
    WNDPROC proc = nullptr;
    int clsExtra = 0;
    int wndExtra = 0;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr;
    HICON iconSmall = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    std::string menuName;
    bool system = false;  // built in: BUTTON, EDIT, dialogs...
    std::vector<BYTE> extra;
    int windows = 0;  // live windows of this class
};

// A dialog's own data (Windows keeps it beside the window).
struct DialogInfo {
    HFONT font = nullptr;
    bool ownsFont = false;
    int baseX = 8;
    int baseY = 16;
    INT_PTR result = IDOK;  // doubles as the default button id until EndDialog, as on Windows
    bool ended = false;
    bool modal = false;
    HWND savedFocus = nullptr;
    HWND disabledOwner = nullptr;
};

struct Picture;  // pixels of a top-level window (paint.cpp)

// Painting state of a window: what needs painting and what was painted.
// A top-level window owns one picture that it and its children draw on, as
// they share the screen on Windows; each child sees its part of it.
struct PaintState {
    std::optional<RECT> update;  // client coordinates
    bool erase = false;
    bool frame = false;              // the non-client area needs WM_NCPAINT
    bool active = false;             // caption drawn active (WM_NCACTIVATE)
    std::shared_ptr<Picture> picture;  // top-level windows only
};

struct Window {
    HWND handle = nullptr;
    WindowClass* cls = nullptr;
    Window* parent = nullptr;  // the desktop for top-level windows
    HWND owner = nullptr;
    std::vector<Window*> children;  // z-order, top first
    DWORD style = 0;
    DWORD exStyle = 0;
    LONG_PTR id = 0;  // control id, or the menu of a top-level window
    HINSTANCE instance = nullptr;
    std::string text;
    RECT rect{};    // window rectangle in the parent's client coordinates (screen for top-level)
    RECT client{};  // client rectangle relative to the window's top-left corner
    WNDPROC proc = nullptr;
    LONG_PTR userData = 0;
    std::vector<BYTE> extra;
    std::map<std::string, HANDLE> props;
    std::unique_ptr<ControlState> control;
    std::unique_ptr<DialogInfo> dialog;
    PaintState paint;
    unsigned long long serial = 0;  // creation order

    bool created = false;    // WM_NCCREATE answered
    bool destroying = false;  // DestroyWindow under way
    bool destroyed = false;  // WM_NCDESTROY sent: the handle is no longer valid
    int busy = 0;            // procedure calls on the stack

    bool IsChild() const { return (style & (WS_CHILD | WS_POPUP)) == WS_CHILD; }
    bool IsTopLevel() const;
    int Width() const { return rect.right - rect.left; }
    int Height() const { return rect.bottom - rect.top; }
};

// ---- Records -------------------------------------------------------------

Window* Find(HWND hwnd);     // a valid window, or null (last error set)
Window* Lookup(HWND hwnd);   // the same without touching the last error
Window* Desktop();
bool IsDesktop(const Window* w);
std::vector<HWND> ChildrenOf(HWND parent);  // z-order snapshot
std::vector<HWND> TopLevelWindows();        // z-order snapshot
WindowClass* FindClass(LPCSTR name, HINSTANCE instance);
void EnsureSystemClasses();
// Registers a built-in class (called by the controls and dialogs).
void RegisterSystemClass(const char* name, ATOM atom, UINT style, WNDPROC proc, int wndExtra, HCURSOR cursor,
                         HBRUSH background);

// The typed control state of a window, created on first use.
template <typename T>
T* StateOf(HWND hwnd) {
    Window* w = Lookup(hwnd);
    if (!w) return nullptr;
    if (!w->control) w->control = std::make_unique<T>();
    return static_cast<T*>(w->control.get());
}

// ---- Procedures and messages --------------------------------------------

LRESULT CallProc(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
void DropMessagesFor(HWND hwnd);
void KillTimersOf(HWND hwnd);
void NotifyParent(HWND child, UINT code);  // WM_COMMAND with the child's id and code
void ForgetWindow(HWND hwnd);              // focus, capture, active window
bool AnyPaintPending();

// Runs a modal message loop for window modal until done() holds. Messages
// go through IsDialogMessage when modal is a dialog. onFirstIdle runs the
// first time the queue is empty. Returns false when the driver reported that
// no input can come any more (done() may still be false then).
bool ModalLoop(HWND modal, const std::function<bool()>& done, const std::function<void()>& onFirstIdle = {});
// Delivers one queued message, paint or due timer without waiting; false when idle.
bool PumpOne();
std::optional<unsigned long long> NextTimerDue();

// ---- Geometry ------------------------------------------------------------

POINT ClientOrigin(const Window* w);  // screen coordinates of the client area's corner
RECT ScreenRect(const Window* w);     // window rectangle in screen coordinates
RECT ClientRectOf(const Window* w);   // (0, 0, width, height) of the client area
bool IsVisible(const Window* w);      // WS_VISIBLE on the window and every ancestor
void NonClientBorders(DWORD style, DWORD exStyle, RECT* insets);  // what AdjustWindowRectEx adds

// ---- Driver --------------------------------------------------------------

void Notify(HWND hwnd, unsigned changes);
unsigned long long Now();

// ---- Painting (paint.cpp) -------------------------------------------------

void InvalidateWindow(Window* w, const RECT* client, bool erase, bool children);
void InvalidateFrame(Window* w);
void ResizePicture(Window* w);
void PaintNow(HWND hwnd, bool children);  // delivers pending WM_NCPAINT/WM_PAINT at once
Window* NextWindowToPaint();
void DrawNonClient(HWND hwnd);            // DefWindowProc's WM_NCPAINT
void EraseBackground(HWND hwnd, HDC dc);  // DefWindowProc's WM_ERASEBKGND
HBRUSH ControlColor(HWND hwnd, UINT msg, HDC dc);  // DefWindowProc's WM_CTLCOLOR*

// ---- Dialogs (dialog.cpp) --------------------------------------------------

DialogInfo* DialogOf(HWND hwnd);
void RegisterDialogClass();
int MulDivDialog(int value, int base, int divisor);  // MulDiv as dialog units use it

// ---- Resources (resources.cpp) -----------------------------------------------

const luma::DialogTemplate* FindDialogTemplate(HINSTANCE instance, LPCSTR name);

// ---- GDI bridges (paint.cpp) -------------------------------------------------

HFONT CreateDialogFont(const char* faceName, int pointSize);
void DeleteObjectFont(HFONT font);
bool MeasureDialogFont(HFONT font, SIZE* units);
void FillDialogBackground(HWND hwnd, HDC dc, HBRUSH brush);
// Height of a font's characters (tmHeight); null: the system font.
int FontHeight(HWND hwnd, HFONT font);

// ---- Input state (input.cpp) -------------------------------------------------

struct InputState {
    HWND focus = nullptr;
    HWND active = nullptr;
    HWND capture = nullptr;
    POINT cursor{};
    BYTE keys[256] = {};
    HCURSOR cursorShape = nullptr;
    int cursorCount = 0;
    bool leftDown = false;
    // the last button press, for double clicks
    HWND lastDownWindow = nullptr;
    POINT lastDownPoint{};
    unsigned long long lastDownTime = 0;
    bool lastDownWasDouble = false;
    bool lastDownValid = false;
};
InputState& Input();
void ActivateWindow(HWND top, bool byMouse);  // WM_NCACTIVATE/WM_ACTIVATE, focus restore
void ActivateOtherWindow(HWND leaving);

// Dialog base units for a font, as the dialog manager derives them.
SIZE DialogBaseUnits(const char* faceName, int pointSize, HFONT font);

}  // namespace luma::wm
