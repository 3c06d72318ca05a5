#include "controls/host_button.h"

#include "controls/subclass.h"
#include "image/gdi_guards.h"
#include "plugin/lifecycle.h"

namespace {

constexpr char kOriginalProcedure[] = "LumafexHostButtonProcedure";
constexpr char kLook[] = "LumafexHostButtonLook";
constexpr LONG_PTR kPressedFlag = 1;

// The look painters share the fields of an owner-draw record.
using Painter = void (*)(const DRAWITEMSTRUCT& item);

bool Pressed(const DRAWITEMSTRUCT& item) { return (item.itemState & ODS_SELECTED) != 0; }

void Fill(HDC dc, RECT rect, COLORREF colour) {
    GdiObject brush(CreateSolidBrush(colour));
    if (brush) FillRect(dc, &rect, static_cast<HBRUSH>(brush.get()));
}

RECT Moved(RECT rect, int d) {
    OffsetRect(&rect, d, d);
    return rect;
}

// Polyline with a solid one-pixel pen.
template <size_t N>
void Lines(HDC dc, COLORREF colour, const POINT (&points)[N]) {
    GdiObject pen(CreatePen(PS_SOLID, 1, colour));
    Selection selected(dc, pen.get());
    Polyline(dc, points, static_cast<int>(N));
}

void Caption(const DRAWITEMSTRUCT& item, int dx, int dy) {
    char text[MAX_PATH + 1] = {};
    GetWindowTextA(item.hwndItem, text, sizeof text);
    RECT place = item.rcItem;
    place.bottom -= 1;
    OffsetRect(&place, dx, dy);
    int mode = SetBkMode(item.hDC, TRANSPARENT);
    COLORREF ink = SetTextColor(item.hDC, GetSysColor((item.itemState & ODS_DISABLED) ? COLOR_BTNSHADOW : COLOR_BTNTEXT));
    DrawTextA(item.hDC, text, -1, &place, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SetTextColor(item.hDC, ink);
    SetBkMode(item.hDC, mode);
}

// The top two rows and left two columns in shadow: the button sunk in.
void PressedEdge(HDC dc, const RECT& r) {
    Fill(dc, RECT{r.left, r.top, r.right, r.top + 2}, GetSysColor(COLOR_BTNSHADOW));
    Fill(dc, RECT{r.left, r.top + 2, r.left + 2, r.bottom}, GetSysColor(COLOR_BTNSHADOW));
}

void PaintLook1(const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    const RECT& r = item.rcItem;
    const COLORREF face = GetSysColor(COLOR_BTNFACE), shadow = GetSysColor(COLOR_BTNSHADOW),
                   light = GetSysColor(COLOR_BTNHIGHLIGHT);
    Fill(dc, r, face);
    if (Pressed(item)) PressedEdge(dc, r);
    const int d = Pressed(item) ? 2 : 0;
    ShadeLines(dc, Moved(RECT{r.left, r.top, r.right, r.top + 4}, d), light, face, kShadeRows);
    ShadeLines(dc, Moved(RECT{r.left, r.bottom - 4, r.right, r.bottom}, d), face, shadow, kShadeRows);
    ShadeLines(dc, Moved(RECT{r.left, r.top + 1, r.left + 2, r.bottom - 2}, d), light, face, kShadeColumns);
    ShadeLines(dc, Moved(RECT{r.right - 3, r.top + 2, r.right, r.bottom - 2}, d), face, shadow, kShadeColumns);
    SetPixel(dc, r.left, r.top, face);
    SetPixel(dc, r.right - 1, r.top, face);
    SetPixel(dc, r.left, r.bottom - 1, face);
    SetPixel(dc, r.right - 1, r.bottom - 1, face);
    SetPixel(dc, r.right - 1, r.top + 2, face);
    Caption(item, d, d);
}

void PaintLook2(const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    const RECT& r = item.rcItem;
    const COLORREF face = GetSysColor(COLOR_BTNFACE), shadow = GetSysColor(COLOR_BTNSHADOW),
                   light = GetSysColor(COLOR_BTNHIGHLIGHT);
    const bool pressed = Pressed(item);
    RECT inner = r;
    InflateRect(&inner, -2, -2);
    ShadeLines(dc, inner, pressed ? shadow : light, pressed ? light : shadow, kShadeRows);
    const COLORREF topLeft = pressed ? shadow : light, bottomRight = pressed ? light : shadow;
    Lines(dc, topLeft, {POINT{r.left, r.bottom - 2}, POINT{r.left, r.top}, POINT{r.right - 1, r.top}});
    Lines(dc, topLeft, {POINT{r.left + 1, r.bottom - 3}, POINT{r.left + 1, r.top + 1}, POINT{r.right - 2, r.top + 1}});
    Lines(dc, bottomRight, {POINT{r.right - 1, r.top + 1}, POINT{r.right - 1, r.bottom - 1}, POINT{r.left, r.bottom - 1}});
    Lines(dc, bottomRight,
          {POINT{r.right - 2, r.top + 2}, POINT{r.right - 2, r.bottom - 2}, POINT{r.left + 1, r.bottom - 2}});
    SetPixel(dc, r.left, r.top, face);
    SetPixel(dc, r.right - 1, r.top, face);
    SetPixel(dc, r.left, r.bottom - 1, face);
    SetPixel(dc, r.right - 1, r.bottom - 1, face);
    Caption(item, 0, pressed ? 2 : 0);
}

void PaintLook3(const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    const RECT& r = item.rcItem;
    const COLORREF face = GetSysColor(COLOR_BTNFACE), shadow = GetSysColor(COLOR_BTNSHADOW),
                   light = GetSysColor(COLOR_BTNHIGHLIGHT), dark = GetSysColor(COLOR_3DDKSHADOW);
    // The corners stay as they were: a rounded look.
    IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
    ExcludeClipRect(dc, r.left, r.top, r.left + 1, r.top + 1);
    ExcludeClipRect(dc, r.right - 1, r.top, r.right, r.top + 1);
    ExcludeClipRect(dc, r.left, r.bottom - 1, r.left + 1, r.bottom);
    ExcludeClipRect(dc, r.right - 1, r.bottom - 1, r.right, r.bottom);
    Fill(dc, r, face);
    if (Pressed(item)) PressedEdge(dc, r);
    const int d = Pressed(item) ? 2 : 0;
    const int h = (r.bottom - r.top) * 55 / 100;
    auto lighter = [](BYTE c) { return static_cast<BYTE>(c * 128 / 255 + 127); };
    const COLORREF glow = RGB(lighter(GetRValue(dark)), lighter(GetGValue(dark)), lighter(GetBValue(dark)));
    ShadeLines(dc, Moved(RECT{r.left, r.top, r.right, r.top + h}, d), light, shadow, kShadeRows);
    ShadeLines(dc, Moved(RECT{r.left, r.top + h, r.right, r.bottom}, d), glow, face, kShadeRows);
    Lines(dc, shadow, {POINT{r.left + 1, r.top}, POINT{r.right - 1, r.top}});
    Lines(dc, shadow, {POINT{r.left + 1, r.bottom - 1}, POINT{r.right - 1, r.bottom - 1}});
    Lines(dc, shadow, {POINT{r.left, r.top + 1}, POINT{r.left, r.bottom - 1}});
    Lines(dc, shadow, {POINT{r.right - 1, r.top + 1}, POINT{r.right - 1, r.bottom - 1}});
    Caption(item, d, d);
    SelectClipRgn(dc, nullptr);
}

constexpr Painter kPainters[] = {PaintLook1, PaintLook2, PaintLook3};

void Paint(HWND button) {
    const int look = HostButtonLook(button);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(button, &paint);
    if (dc && look >= 1 && look <= 3) {
        DRAWITEMSTRUCT item{};
        item.CtlType = ODT_BUTTON;
        item.CtlID = static_cast<UINT>(GetDlgCtrlID(button));
        item.itemAction = ODA_DRAWENTIRE;
        item.itemState = ((GetWindowLongPtrA(button, GWLP_USERDATA) & kPressedFlag) ? ODS_SELECTED : 0) |
                         (IsWindowEnabled(button) ? 0 : ODS_DISABLED);
        item.hwndItem = button;
        item.hDC = dc;
        GetClientRect(button, &item.rcItem);
        auto font = reinterpret_cast<HGDIOBJ>(SendMessageA(GetParent(button), WM_GETFONT, 0, 0));
        HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
        kPainters[look - 1](item);
        if (previous) SelectObject(dc, previous);
    }
    EndPaint(button, &paint);
}

void SetPressed(HWND button, bool pressed) {
    LONG_PTR data = GetWindowLongPtrA(button, GWLP_USERDATA);
    SetWindowLongPtrA(button, GWLP_USERDATA, pressed ? (data | kPressedFlag) : (data & ~kPressedFlag));
    InvalidateRect(button, nullptr, FALSE);
    UpdateWindow(button);
}

LRESULT PassOn(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCDESTROY) RemovePropA(window, kLook);
    return CallKeptProcedure(kOriginalProcedure, window, message, wParam, lParam);
}

LRESULT CALLBACK HostButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        Paint(button);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        SetPressed(button, true);
        break;
    case WM_LBUTTONUP:
        SetPressed(button, false);
        break;
    case WM_ENABLE:
    case WM_SETTEXT: {
        // The class would only ask the dialog to draw it; caption and its colour follow here.
        LRESULT result = PassOn(button, message, wParam, lParam);
        InvalidateRect(button, nullptr, FALSE);
        return result;
    }
    }
    return PassOn(button, message, wParam, lParam);
}

}  // namespace

int HostButtonLook(HWND button) {
    if (!button || reinterpret_cast<WNDPROC>(GetWindowLongPtrA(button, GWLP_WNDPROC)) != HostButtonProc) return 0;
    return static_cast<int>(reinterpret_cast<INT_PTR>(GetPropA(button, kLook)));
}

int MakeHostStyleButton(HWND dialog, int id) {
    const HostContext* host = CurrentHostContext();
    const DWORD look = host ? host->buttonStyle : 0;
    // Looks beyond the three known ones keep the system's look.
    if (look < 1 || look > 3) return 0;
    HWND button = dialog ? GetDlgItem(dialog, id) : nullptr;
    if (!button) return 0;
    SetWindowLongA(button, GWL_STYLE, GetWindowLongA(button, GWL_STYLE) | BS_OWNERDRAW);
    SetPropA(button, kLook, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(look)));
    SubclassControl(button, kOriginalProcedure, HostButtonProc);
    InvalidateRect(button, nullptr, TRUE);
    return 1;
}

void ShadeLines(HDC dc, const RECT& rect, COLORREF a, COLORREF b, int direction) {
    const bool rows = direction == kShadeRows;
    const int n = rows ? rect.bottom - rect.top : rect.right - rect.left;
    if (n <= 0) return;
    double red = GetRValue(a), green = GetGValue(a), blue = GetBValue(a);
    const double stepRed = (GetRValue(b) - red) / n, stepGreen = (GetGValue(b) - green) / n,
                 stepBlue = (GetBValue(b) - blue) / n;
    for (int i = 0; i < n; ++i) {
        GdiObject pen(CreatePen(PS_SOLID, 1,
                                RGB(static_cast<int>(red), static_cast<int>(green), static_cast<int>(blue))));
        Selection selected(dc, pen.get());
        if (rows) {
            MoveToEx(dc, rect.left, rect.top + i, nullptr);
            LineTo(dc, rect.right, rect.top + i);
        } else {
            MoveToEx(dc, rect.left + i, rect.top, nullptr);
            LineTo(dc, rect.left + i, rect.bottom);
        }
        red += stepRed;
        green += stepGreen;
        blue += stepBlue;
    }
}
