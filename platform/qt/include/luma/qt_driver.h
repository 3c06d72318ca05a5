// The Qt driver: every platform window gets a widget. Push buttons, check
// boxes, edit fields, labels and drop-down lists are native Qt widgets kept
// in step with their window both ways; dialogs, owner-drawn buttons and
// custom windows show the picture the plug-in's GDI code painted and pass
// their mouse input to the window procedure. Idle message loops wait in a Qt
// event loop, timers run in real time, popup menus are QMenus and file
// dialogs QFileDialogs. A QApplication must exist while the driver is used.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "luma/driver.h"

class QWidget;

namespace luma::qt {

class QtDriver final : public Driver {
public:
    QtDriver();
    ~QtDriver() override;
    QtDriver(const QtDriver&) = delete;
    QtDriver& operator=(const QtDriver&) = delete;

    void WindowCreated(HWND hwnd) override;
    void WindowDestroyed(HWND hwnd) override;
    void WindowChanged(HWND hwnd, unsigned changes) override;
    void WindowPainted(HWND hwnd, const RECT& area) override;
    unsigned long long Now() override;
    WaitResult WaitForInput(HWND modal, std::optional<unsigned long long> deadline) override;
    UINT PopupMenu(const PopupMenuRequest& request) override;
    std::optional<FileDialogAnswer> FileDialog(const FileDialogRequest& request) override;
    void Beep(UINT type) override;
    void CursorChanged(HCURSOR cursor) override;
    SIZE ScreenSize() override;

    // The widget that mirrors a window (null when none), and the other way round.
    QWidget* WidgetOf(HWND hwnd) const;
    HWND WindowOf(const QWidget* widget) const;

    // Runs step on the platform's side: at once when no message loop is
    // waiting, else as soon as the waiting loop regains control. What a user
    // does to a widget reaches the window this way, never from inside a Qt
    // event handler, so a window procedure may open dialogs or destroy
    // windows freely.
    void Deliver(std::function<void()> step);

    // Whether a message loop is waiting in the driver now (the modal dialog,
    // or null for a plain loop), for front ends that operate dialogs.
    bool Waiting() const;
    HWND WaitingModal() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

// Installs a QtDriver for the process while it lives; the headless driver
// comes back afterwards.
class ScopedQtDriver {
public:
    ScopedQtDriver();
    ~ScopedQtDriver();
    ScopedQtDriver(const ScopedQtDriver&) = delete;
    ScopedQtDriver& operator=(const ScopedQtDriver&) = delete;
    QtDriver& driver() { return *driver_; }

private:
    std::unique_ptr<QtDriver> driver_;
};

}  // namespace luma::qt
