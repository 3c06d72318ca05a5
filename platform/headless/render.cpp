// Screenshots without a display: a window as its top-level window's picture
// shows it, after every pending paint of that window has been delivered.
#include <windows.h>

#include <cstring>

#include "luma/automation.h"
#include "luma/driver.h"
#include "wm.h"

namespace luma::automation {

HGLOBAL Render(HWND hwnd) {
    if (!IsWindow(hwnd) || !IsWindowVisible(hwnd)) return nullptr;
    HWND root = GetAncestor(hwnd, GA_ROOT);
    wm::PaintNow(root, true);
    if (!IsWindow(hwnd)) return nullptr;
    WindowPicture view = GetWindowPicture(hwnd);
    if (!view.bits || view.width <= 0 || view.height <= 0) return nullptr;
    size_t stride = (static_cast<size_t>(view.width) * 3 + 3) & ~size_t{3};
    HGLOBAL block = GlobalAlloc(GHND, sizeof(BITMAPINFOHEADER) + stride * static_cast<size_t>(view.height));
    if (!block) return nullptr;
    auto* bytes = static_cast<BYTE*>(GlobalLock(block));
    if (!bytes) {
        GlobalFree(block);
        return nullptr;
    }
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = view.width;
    header.biHeight = view.height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(stride * static_cast<size_t>(view.height));
    std::memcpy(bytes, &header, sizeof header);
    // The picture is stored top-down, a packed DIB bottom-up.
    for (int y = 0; y < view.height; ++y)
        std::memcpy(bytes + sizeof header + stride * static_cast<size_t>(view.height - 1 - y),
                    view.bits + static_cast<size_t>(y) * static_cast<size_t>(view.stride),
                    static_cast<size_t>(view.width) * 3);
    GlobalUnlock(block);
    return block;
}

}  // namespace luma::automation
