// Picture views and the pictures they show.
#include "qt/widgets.h"

#include <QCloseEvent>
#include <QMouseEvent>

#include <cstring>
#include <vector>

#include "luma/driver.h"

namespace luma::qt {
namespace {

bool IsTopLevel(HWND hwnd) { return (GetWindowLongA(hwnd, GWL_STYLE) & (WS_CHILD | WS_POPUP)) != WS_CHILD; }

QImage CopyRows(const BYTE* bits, int width, int height, int stride) {
    return QImage(bits, width, height, stride, QImage::Format_BGR888).copy();
}

}  // namespace

POINT WidgetOrigin(HWND hwnd) {
    if (IsTopLevel(hwnd)) {
        POINT origin{0, 0};
        ClientToScreen(hwnd, &origin);
        return origin;
    }
    RECT r{};
    GetWindowRect(hwnd, &r);
    return POINT{r.left, r.top};
}

QImage ShownPicture(HWND hwnd) {
    WindowPicture view = GetWindowPicture(hwnd);
    if (!view.bits) return {};
    QImage whole(view.bits, view.width, view.height, view.stride, QImage::Format_BGR888);
    if (!IsTopLevel(hwnd)) return whole;
    RECT window{};
    GetWindowRect(hwnd, &window);
    POINT client = WidgetOrigin(hwnd);
    RECT area{};
    GetClientRect(hwnd, &area);
    int dx = client.x - window.left, dy = client.y - window.top;
    if (dx < 0 || dy < 0 || dx + area.right > view.width || dy + area.bottom > view.height) return whole;
    return QImage(view.bits + static_cast<size_t>(dy) * static_cast<size_t>(view.stride) + static_cast<size_t>(dx) * 3,
                  area.right, area.bottom, view.stride, QImage::Format_BGR888);
}

QImage ParentBackground(HWND hwnd) {
    HWND parent = GetParent(hwnd);
    RECT r{};
    GetWindowRect(hwnd, &r);
    int width = r.right - r.left, height = r.bottom - r.top;
    if (!parent || width <= 0 || height <= 0) return {};
    POINT corner{r.left, r.top};
    ScreenToClient(parent, &corner);

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap) return {};
    HDC dc = CreateCompatibleDC(nullptr);
    QImage out;
    if (dc) {
        HGDIOBJ old = SelectObject(dc, bitmap);
        // The parent paints in its own client coordinates; patterns then line
        // up with what it painted around the child.
        SetViewportOrgEx(dc, -corner.x, -corner.y, nullptr);
        SetBrushOrgEx(dc, -corner.x, -corner.y, nullptr);
        RECT fill{0, 0, width, height};
        OffsetRect(&fill, corner.x, corner.y);
        FillRect(dc, &fill, GetSysColorBrush(COLOR_3DFACE));
        SendMessageA(parent, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
        GdiFlush();
        out = CopyRows(static_cast<const BYTE*>(bits), width, height, (width * 3 + 3) & ~3);
        SelectObject(dc, old);
        DeleteDC(dc);
    }
    DeleteObject(bitmap);
    return out;
}

PictureView::PictureView(HWND hwnd, const WidgetHooks& hooks, QWidget* parent)
    : QWidget(parent), hwnd_(hwnd), hooks_(hooks) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
}

void PictureView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QImage picture = ShownPicture(hwnd_);
    if (picture.isNull()) {
        painter.fillRect(rect(), QColor(GetRValue(GetSysColor(COLOR_3DFACE)), GetGValue(GetSysColor(COLOR_3DFACE)),
                                        GetBValue(GetSysColor(COLOR_3DFACE))));
        return;
    }
    painter.drawImage(0, 0, picture);
}

void PictureView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && hooks_.mouse) hooks_.mouse(hwnd_, WM_LBUTTONDOWN, event->position().toPoint());
}

void PictureView::mouseDoubleClickEvent(QMouseEvent* event) {
    // The message loop pairs the presses into a double click itself.
    mousePressEvent(event);
}

void PictureView::mouseMoveEvent(QMouseEvent* event) {
    if (hooks_.mouse) hooks_.mouse(hwnd_, WM_MOUSEMOVE, event->position().toPoint());
}

void PictureView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && hooks_.mouse) hooks_.mouse(hwnd_, WM_LBUTTONUP, event->position().toPoint());
}

void PictureView::closeEvent(QCloseEvent* event) {
    // The window decides whether it closes.
    event->ignore();
    if (hooks_.closeRequested) hooks_.closeRequested(hwnd_);
}

}  // namespace luma::qt
