#include "dialog/marker_window.h"

#include <strings.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "dialog/main_dialog.h"
#include "dialog/preview.h"
#include "effects/common_build.h"
#include "plugin/folders.h"
#include "plugin/guards.h"
#include "plugin/lifecycle.h"
#include "settings/bound_controls.h"

namespace {

constexpr char kCurrentMarkerWindow[] = "LumafexMarkerWindow";

constexpr float kDefaultX[kMarkerCount] = {0.25f, 0.75f, 0.75f, 0.25f, 0.5f};
constexpr float kDefaultY[kMarkerCount] = {0.25f, 0.25f, 0.75f, 0.75f, 0.5f};

// Only one drag can run at a time: the marker being dragged and where its
// rectangle was drawn last.
struct Drag {
    HWND window = nullptr;
    int index = -1;
    POINT last{0, 0};
};
Drag drag;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

HGLOBAL StateBlock(HWND window) { return reinterpret_cast<HGLOBAL>(GetWindowLongPtrA(window, GWLP_USERDATA)); }

// A fraction from a file or document: hand-edited text can hold anything,
// and a position off the picture or not a number has no place.
float SaneFraction(double value, float fallback) {
    if (!std::isfinite(value)) return fallback;
    if (value < 0.0) return 0.0f;
    if (value > 1.0) return 1.0f;
    return static_cast<float>(value);
}

void SetDefaults(MarkerSet& set) {
    std::memcpy(set.fx, kDefaultX, sizeof set.fx);
    std::memcpy(set.fy, kDefaultY, sizeof set.fy);
}

SIZE ClientSize(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    return SIZE{client.right - client.left, client.bottom - client.top};
}

POINT MarkerCentre(const MarkerSet& set, int index, SIZE client) {
    return POINT{static_cast<LONG>(static_cast<float>(client.cx) * set.fx[index]),
                 static_cast<LONG>(static_cast<float>(client.cy) * set.fy[index])};
}

RECT MarkerRect(POINT centre) {
    return RECT{centre.x - kMarkerHalf, centre.y - kMarkerHalf, centre.x + kMarkerHalf, centre.y + kMarkerHalf};
}

// Inverts the dotted square round centre; drawing it twice erases it.
void InvertMarker(HWND window, POINT centre) {
    HDC dc = GetDC(window);
    if (!dc) return;
    RECT square = MarkerRect(centre);
    DrawFocusRect(dc, &square);
    ReleaseDC(window, dc);
}

POINT Clamped(HWND window, POINT point) {
    SIZE client = ClientSize(window);
    auto clamp = [](LONG v, LONG high) {
        if (v > high) v = high;
        return v < kMarkerHalf ? kMarkerHalf : v;
    };
    return POINT{clamp(point.x, client.cx - kMarkerHalf), clamp(point.y, client.cy - kMarkerHalf)};
}

POINT MousePoint(LPARAM lParam) {
    return POINT{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
}

// The markers are drawn by inversion over the preview, so they are painted
// afresh only together with the preview beneath them.
void RepaintWithPreview(HWND window) {
    if (HWND preview = GetDlgItem(GetParent(window), kPreviewControl)) InvalidateRect(preview, nullptr, TRUE);
    InvalidateRect(window, nullptr, TRUE);
}

void ReadMarkerFile(int id, MarkerSet& set) {
    const char* path = MarkerFilePath(id);
    File file(path[0] ? std::fopen(path, "rb") : nullptr);
    if (!file) return;
    char line[MAX_PATH];
    while (std::fgets(line, sizeof line, file.get())) {
        line[std::strcspn(line, "\r\n")] = 0;
        float* values = nullptr;
        const char* tag = std::strstr(line, "MARKERX");
        if (tag) {
            values = set.fx;
        } else if ((tag = std::strstr(line, "MARKERY"))) {
            values = set.fy;
        } else {
            continue;
        }
        const char* number = tag + 7;
        int index = std::atoi(number);
        if (index < 0) index = 0;
        if (index > kMarkerCount - 1) index = kMarkerCount - 1;
        // The value starts two characters on, past the index digits.
        const char* value = number;
        for (int i = 0; i < 2 && *value; ++i) ++value;
        while (*value == ' ' || *value == '=') ++value;
        values[index] = SaneFraction(std::atof(value), values[index]);
    }
}

void WriteMarkerFile(int id, const MarkerSet& set) {
    const char* path = MarkerFilePath(id);
    File file(path[0] ? std::fopen(path, "wb") : nullptr);
    if (!file) return;
    std::fprintf(file.get(), "[MARKERS]\r\n");
    for (int i = 0; i < kMarkerCount; ++i) {
        std::fprintf(file.get(), "MARKERX%.2d = %f\r\n", i, static_cast<double>(set.fx[i]));
        std::fprintf(file.get(), "MARKERY%.2d = %f\r\n", i, static_cast<double>(set.fy[i]));
    }
}

void WriteDocumentLine(HWND window, const MarkerSet& set, std::FILE* file) {
    if (!file) return;
    std::fprintf(file, "%s%d=%.5f,%.5f,%.5f,%.5f,%.5f,%.5f,%.5f,%.5f,%.5f,%.5f\r\n", "MARKER", GetDlgCtrlID(window),
                 set.fx[0], set.fx[1], set.fx[2], set.fx[3], set.fx[4], set.fy[0], set.fy[1], set.fy[2], set.fy[3],
                 set.fy[4]);
}

// Takes the ten numbers of a document line; those the line lacks keep
// their value.
bool ReadDocumentLine(const char* line, MarkerSet& set) {
    if (!line || strncasecmp(line, "MARKER", 6) != 0) return false;
    const char* text = DocumentLineValue(line);
    if (!text) return false;
    float* targets[2 * kMarkerCount];
    for (int i = 0; i < kMarkerCount; ++i) {
        targets[i] = &set.fx[i];
        targets[kMarkerCount + i] = &set.fy[i];
    }
    for (int i = 0; i < 2 * kMarkerCount; ++i) {
        if (i > 0) {
            if (*text != ',') break;
            ++text;
        }
        char* end = nullptr;
        double value = std::strtod(text, &end);
        if (end == text) break;
        *targets[i] = SaneFraction(value, *targets[i]);
        text = end;
    }
    return true;
}

void Paint(HWND window, const MarkerSet& set) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (dc) {
        SIZE client = ClientSize(window);
        for (int i = 0; i < kMarkerCount; ++i) {
            RECT square = MarkerRect(MarkerCentre(set, i, client));
            DrawFocusRect(dc, &square);
        }
    }
    EndPaint(window, &paint);
}

void StartDrag(HWND window, const MarkerSet& set, POINT point) {
    SIZE client = ClientSize(window);
    for (int i = 0; i < kMarkerCount; ++i) {
        POINT centre = MarkerCentre(set, i, client);
        RECT square = MarkerRect(centre);
        if (!PtInRect(&square, point)) continue;
        drag = Drag{window, i, point};
        SetCapture(window);
        InvertMarker(window, centre);
        InvertMarker(window, point);
        return;
    }
    MessageBeep(MB_ICONEXCLAMATION);
}

bool Dragging(HWND window) { return drag.window == window && drag.index >= 0 && GetCapture() == window; }

void MoveDrag(HWND window, POINT point) {
    point = Clamped(window, point);
    InvertMarker(window, drag.last);
    InvertMarker(window, point);
    drag.last = point;
}

void EndDrag(HWND window, MarkerSet& set, POINT point) {
    MoveDrag(window, point);
    SIZE client = ClientSize(window);
    if (client.cx > 0) set.fx[drag.index] = static_cast<float>(drag.last.x) / static_cast<float>(client.cx);
    if (client.cy > 0) set.fy[drag.index] = static_cast<float>(drag.last.y) / static_cast<float>(client.cy);
    drag = Drag{};
    ReleaseCapture();
    RepaintWithPreview(window);
}

void Forget(HWND window) {
    if (drag.window == window) {
        drag = Drag{};
        if (GetCapture() == window) ReleaseCapture();
    }
    HWND parent = GetParent(window);
    if (parent && GetPropA(parent, kCurrentMarkerWindow) == window) RemovePropA(parent, kCurrentMarkerWindow);
}

LRESULT Handle(HWND window, MarkerSet& set, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case kMarkerLoadMessage:
        if (wParam != 0) break;
        SetDefaults(set);
        if (GetKeyState(VK_SHIFT) >= 0) ReadMarkerFile(GetDlgCtrlID(window), set);
        RepaintWithPreview(window);
        return 1;
    case WM_PAINT:
        Paint(window, set);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        StartDrag(window, set, MousePoint(lParam));
        return 0;
    case WM_MOUSEMOVE:
        if (Dragging(window)) MoveDrag(window, MousePoint(lParam));
        return 0;
    case WM_LBUTTONUP:
        if (Dragging(window)) EndDrag(window, set, MousePoint(lParam));
        return 0;
    case WM_CAPTURECHANGED:
        // Capture taken away mid-drag: the marker stays where it was.
        if (drag.window == window && reinterpret_cast<HWND>(lParam) != window) {
            drag = Drag{};
            RepaintWithPreview(window);
        }
        return 0;
    case kWriteLineMessage:
        WriteDocumentLine(window, set, reinterpret_cast<std::FILE*>(lParam));
        return 0;
    case kReadLineMessage:
        if (!ReadDocumentLine(reinterpret_cast<const char*>(lParam), set)) return 0;
        if (IsWindowVisible(window)) RepaintWithPreview(window);
        return 1;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

LRESULT CALLBACK MarkerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ERASEBKGND) return 1;  // the preview shows through
    HGLOBAL block = StateBlock(window);
    if (message == WM_DESTROY) {
        Forget(window);
        if (block) {
            {
                GlobalLockGuard<MarkerSet> set(block);
                if (set) WriteMarkerFile(GetDlgCtrlID(window), *set.get());
            }
            SetWindowLongPtrA(window, GWLP_USERDATA, 0);
            GlobalFree(block);
        }
        return 0;
    }
    GlobalLockGuard<MarkerSet> set(block);
    if (!set) return DefWindowProcA(window, message, wParam, lParam);
    return Handle(window, *set.get(), message, wParam, lParam);
}

bool PreviewPictureRect(HWND mainDialog, RECT* rect) {
    *rect = RECT{0, 0, 0, 0};
    HWND preview = mainDialog ? GetDlgItem(mainDialog, kPreviewControl) : nullptr;
    if (!preview) return false;
    RECT area;
    if (LastPreviewPictureRect(&area)) {
        *rect = area;
        MapWindowPoints(preview, mainDialog, reinterpret_cast<POINT*>(rect), 2);
        return true;
    }
    // Not drawn yet: where the preview will draw the picture.
    GetClientRect(preview, &area);
    InflateRect(&area, -4, -4);
    const LONG areaWidth = area.right - area.left;
    const LONG areaHeight = area.bottom - area.top;
    LONG width = areaWidth, height = areaHeight;
    if (!SourceImageSize(width, height) || width <= 0 || height <= 0) {
        width = areaWidth;
        height = areaHeight;
    }
    if (areaWidth <= 0 || areaHeight <= 0) {
        width = height = 0;
    } else if (const int percent = PreviewPercent(areaWidth, areaHeight, width, height); percent != 100) {
        // Sized as ScaleDibPercent sizes the preview's picture.
        width = static_cast<LONG>(width * static_cast<double>(percent) / 100.0 + 0.5);
        height = static_cast<LONG>(height * static_cast<double>(percent) / 100.0 + 0.5);
    }
    rect->left = area.left + (areaWidth - width) / 2;
    rect->top = area.top + (areaHeight - height) / 2;
    rect->right = rect->left + width;
    rect->bottom = rect->top + height;
    MapWindowPoints(preview, mainDialog, reinterpret_cast<POINT*>(rect), 2);
    return true;
}

HWND FindMarkerWindow(HWND mainDialog, int id) {
    HWND window = mainDialog ? GetDlgItem(mainDialog, id) : nullptr;
    if (!window) return nullptr;
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return strcasecmp(name, kMarkerWindowClass) == 0 ? window : nullptr;
}

HWND CreateMarkerWindow(HWND mainDialog, int id) {
    if (!mainDialog) return nullptr;
    HWND window = FindMarkerWindow(mainDialog, id);
    if (window) {
        // Shown again after its page was hidden; its positions stay.
        ShowWindow(window, SW_SHOWNA);
        RefreshMarkerWindow(window);
    } else {
        GlobalBlock block(GlobalAlloc(GHND, sizeof(MarkerSet)));
        if (!block) return nullptr;
        RECT area;
        PreviewPictureRect(mainDialog, &area);
        window = CreateWindowExA(WS_EX_TRANSPARENT, kMarkerWindowClass, "", WS_CHILD | WS_VISIBLE, area.left,
                                 area.top, area.right - area.left, area.bottom - area.top, mainDialog,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), PluginModule(), nullptr);
        if (!window) return nullptr;
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(block.release()));
        SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        SendMessageA(window, kMarkerLoadMessage, 0, 0);
        ShowWindow(window, SW_SHOWNA);
        UpdateWindow(window);
    }
    SetPropA(mainDialog, kCurrentMarkerWindow, window);
    return window;
}

void RefreshMarkerWindow(HWND window) {
    if (!window || !IsWindow(window)) return;
    RECT area;
    PreviewPictureRect(GetParent(window), &area);
    SetWindowPos(window, HWND_TOP, area.left, area.top, area.right - area.left, area.bottom - area.top,
                 SWP_NOACTIVATE);
    RepaintWithPreview(window);
}

void DestroyMarkerWindow(HWND mainDialog, int id) {
    if (HWND window = FindMarkerWindow(mainDialog, id)) DestroyWindow(window);
}

HWND CurrentMarkerWindow(HWND mainDialog) {
    if (!mainDialog) return nullptr;
    auto window = static_cast<HWND>(GetPropA(mainDialog, kCurrentMarkerWindow));
    return window && IsWindow(window) && GetParent(window) == mainDialog ? window : nullptr;
}

void RepaintMarkerWindow(HWND mainDialog) {
    HWND window = CurrentMarkerWindow(mainDialog);
    if (!window || !IsWindowVisible(window)) return;
    // Painting the inverted markers again over a preview that is not being
    // repainted would erase them; with the preview they come back on top.
    HWND preview = GetDlgItem(mainDialog, kPreviewControl);
    RECT pending;
    if (preview && GetUpdateRect(preview, &pending, FALSE)) InvalidateRect(window, nullptr, FALSE);
}

int GetMarkerPosition(HWND window, int index, LONG width, LONG height, POINT* point) {
    if (index < 0 || index >= kMarkerCount || !point) return 0;
    const bool isMarkerWindow =
        window && reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC)) == MarkerWindowProc;
    GlobalLockGuard<MarkerSet> set(isMarkerWindow ? StateBlock(window) : nullptr);
    if (set) {
        point->x = static_cast<LONG>(static_cast<float>(width) * set->fx[index]);
        point->y = static_cast<LONG>(static_cast<float>(height) * set->fy[index]);
        return 1;
    }
    const POINT defaults[kMarkerCount] = {{width / 4, height / 4},
                                          {width - width / 4, height / 4},
                                          {width - width / 4, height - height / 4},
                                          {width / 4, height - height / 4},
                                          {width / 2, height / 2}};
    *point = defaults[index];
    return 1;
}

const char* MarkerFilePath(int id) {
    char name[32];
    std::snprintf(name, sizeof name, "MARKER%5.5d.mkr", id);
    return DataFolder(name);
}

int MarkerPageEvent(HWND page, int code, int id) {
    switch (code) {
    case 1:
        DestroyMarkerWindow(page, id);
        return 1;
    case 2:
        CreateMarkerWindow(page, id);
        return 1;
    case 3:
        RefreshMarkerWindow(FindMarkerWindow(page, id));
        return 1;
    }
    return 0;
}
