// The widgets that mirror platform windows: a picture view for windows the
// plug-in paints itself, and native controls that draw their parent's
// background under them (the dialogs' textured backgrounds show through
// labels and check boxes as they do around them).
#pragma once

#include <windows.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QWidget>

#include <functional>

namespace luma::qt {

class QtDriver;

// Where a window's widget starts, in platform screen coordinates: the client
// area of a top-level window (Qt draws the frame), the whole window rectangle
// of a child.
POINT WidgetOrigin(HWND hwnd);

// The part of the window's painted picture its widget shows; null when
// nothing was painted yet. Rows are top-down blue-green-red.
QImage ShownPicture(HWND hwnd);

// The parent's background under a child window, as the parent erases it.
QImage ParentBackground(HWND hwnd);

// Hooks from the widgets back to the driver.
struct WidgetHooks {
    // The widget took the keyboard focus: by the user's choice, or by Qt's
    // when it activated the window.
    std::function<void(HWND, bool)> focused;
    std::function<void(HWND, UINT, QPoint)> mouse;  // WM_* mouse message at a widget point
    std::function<void(HWND)> closeRequested;      // the frame's close button
};

// A window painted by the plug-in's own code.
class PictureView : public QWidget {
public:
    PictureView(HWND hwnd, const WidgetHooks& hooks, QWidget* parent);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    HWND hwnd_;
    const WidgetHooks& hooks_;
};

// A native control over its parent's background.
template <typename Base>
class NativeControl : public Base {
public:
    NativeControl(HWND hwnd, const WidgetHooks& hooks, QWidget* parent)
        : Base(parent), hwnd_(hwnd), hooks_(hooks) {}
    void ForgetBackground() { background_ = QImage(); }

protected:
    void paintEvent(QPaintEvent* event) override {
        if (background_.isNull() || background_.size() != this->size()) background_ = ParentBackground(hwnd_);
        if (!background_.isNull()) {
            QPainter painter(this);
            painter.drawImage(0, 0, background_);
        }
        Base::paintEvent(event);
    }
    void focusInEvent(QFocusEvent* event) override {
        Base::focusInEvent(event);
        Qt::FocusReason reason = event->reason();
        bool qtsChoice = reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason;
        if (hooks_.focused) hooks_.focused(hwnd_, !qtsChoice);
    }

private:
    HWND hwnd_;
    const WidgetHooks& hooks_;
    QImage background_;
};

using NativeButton = NativeControl<QPushButton>;
using NativeCheckBox = NativeControl<QCheckBox>;
using NativeLabel = NativeControl<QLabel>;
using NativeEdit = NativeControl<QLineEdit>;

// A drop-down list that tells the window when its list opens and closes.
class NativeCombo : public NativeControl<QComboBox> {
public:
    NativeCombo(HWND hwnd, const WidgetHooks& hooks, QWidget* parent) : NativeControl(hwnd, hooks, parent) {}
    std::function<void()> opened;
    std::function<void()> closed;
    // The list was open for the choice being reported (not a key on the closed box).
    bool fromList = false;

    void showPopup() override {
        if (opened) opened();
        QComboBox::showPopup();
    }
    void hidePopup() override {
        QComboBox::hidePopup();
        if (closed) closed();
    }
};

}  // namespace luma::qt
