// The platform's window manager talks to the outside world through one
// Driver: it mirrors windows, shows painted pictures, keeps the clock that
// timers run on, waits for user input while a message loop is idle, and
// shows popup menus, file dialogs, beeps and cursors. The headless driver
// (the default) shows nothing and takes its input from an automation script;
// a GUI driver mirrors each window with a real widget.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace luma {

// What changed about a window (bits of WindowChanged).
enum WindowChange : unsigned {
    kTextChanged = 1u << 0,
    kVisibilityChanged = 1u << 1,
    kEnabledChanged = 1u << 2,
    kGeometryChanged = 1u << 3,
    kCheckChanged = 1u << 4,
    kItemsChanged = 1u << 5,
    kSelectionChanged = 1u << 6,
    kStyleChanged = 1u << 7,
    kOrderChanged = 1u << 8,
    kFocusChanged = 1u << 9,
    kPressedChanged = 1u << 10,
};

struct PopupMenuItem {
    UINT id = 0;  // 0 for separators and submenus
    std::string text;
    bool separator = false;
    bool grayed = false;
    bool checked = false;
    std::vector<PopupMenuItem> submenu;
};

struct PopupMenuRequest {
    HWND owner = nullptr;
    POINT where{};  // screen coordinates
    UINT flags = 0;  // TPM_* as given to TrackPopupMenu
    std::vector<PopupMenuItem> items;
};

struct FileDialogRequest {
    bool save = false;
    HWND owner = nullptr;
    HWND frame = nullptr;  // the dialog's own frame window (owner of a hook dialog), or null
    std::string title;
    std::string initialDir;
    std::string initialFile;  // what lpstrFile held on entry
    std::vector<std::pair<std::string, std::string>> filters;  // description, pattern ("*.LFX;*.TXT")
    int filterIndex = 1;  // 1-based
    std::string defaultExtension;
    DWORD flags = 0;  // OFN_*
};

struct FileDialogAnswer {
    std::string path;  // absolute or relative to the initial folder
    int filterIndex = 0;  // 0 keeps the request's
};

// What an idle message loop learns from the driver.
enum class WaitResult {
    kReady,      // something may have happened (input, time moved): look again
    kExhausted,  // nothing can ever happen any more (a headless script is used up)
};

class Driver {
public:
    virtual ~Driver() = default;

    // Mirroring. Created is announced once the window has answered WM_CREATE.
    virtual void WindowCreated(HWND) {}
    virtual void WindowDestroyed(HWND) {}
    virtual void WindowChanged(HWND, unsigned /*WindowChange bits*/) {}
    // The window drew on its picture (GetWindowPicture) inside area, in window
    // coordinates; the views of its top-level window and children may show it.
    virtual void WindowPainted(HWND, const RECT& /*area*/) {}

    // Milliseconds on the clock that timers and message times run on.
    virtual unsigned long long Now() = 0;

    // Called by a message loop with nothing to do. modal is the dialog whose
    // loop is waiting (null for GetMessage); deadline is when the next timer
    // falls due. A driver returns when input may have arrived or the deadline
    // passed, or reports that no input can come any more.
    virtual WaitResult WaitForInput(HWND modal, std::optional<unsigned long long> deadline) = 0;

    // Shows a popup menu; returns the chosen item's id, or 0 when dismissed.
    virtual UINT PopupMenu(const PopupMenuRequest& request) = 0;

    // Shows a file dialog; an answer, or nothing when cancelled.
    virtual std::optional<FileDialogAnswer> FileDialog(const FileDialogRequest& request) = 0;

    virtual void Beep(UINT type) = 0;
    virtual void CursorChanged(HCURSOR) {}

    // The screen, in pixels (GDI's screen DC has the same size).
    virtual SIZE ScreenSize() { return SIZE{1024, 768}; }
};

// The driver in use; the headless driver until another is installed.
Driver& CurrentDriver();

// Installs a driver (not owned) for the whole process; null restores the
// headless driver.
void SetDriver(Driver* driver);

// ---- Input from the user, as a driver delivers it ----------------------

enum class MouseAction { kMove, kLeftDown, kLeftUp };

// A mouse event at a screen point. The message loop turns it into the
// messages Windows sends (hit test, capture, activation, double clicks).
// allowDoubleClick false keeps a press from pairing with the previous one.
void InjectMouse(MouseAction action, POINT screen, bool allowDoubleClick = true);

// A key going down or up; GetKeyState follows when its message is taken.
// character is what the key types (0: none, the
// message loop derives letters, digits, space, Enter, Tab, Backspace and
// Escape from the key itself); any other byte is delivered as VK_PACKET.
void InjectKey(UINT virtualKey, bool down, char character = 0);

// Holds a key down or lets it go at once, outside the message stream (the
// state GetKeyState reports, as when a key is held before a dialog opens).
void SetKeyDown(UINT virtualKey, bool down);

// ---- Window pictures ---------------------------------------------------

// The window's painted picture. A top-level window and its children draw
// on one picture, as windows share the screen on Windows; this is the view
// of the window's own rectangle in it (non-client area included): top-down
// 24-bit rows, stride bytes apart (the top-level picture's stride). Null bits
// when nothing was painted yet. Valid until the window is painted, resized
// or destroyed; painting one window can change what its parent's and
// siblings' views show.
struct WindowPicture {
    const BYTE* bits = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;
};
WindowPicture GetWindowPicture(HWND hwnd);

}  // namespace luma
