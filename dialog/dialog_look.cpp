#include "dialog/dialog_look.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "image/gdi_guards.h"
#include "image/packed_dib.h"
#include "plugin/guards.h"
#include "plugin/lifecycle.h"
#include "settings/settings.h"

namespace {

BYTE Clamp(int value) { return static_cast<BYTE>(std::clamp(value, 0, 255)); }

BYTE Shift(BYTE channel, BYTE tint) { return Clamp(channel + tint - 128); }

int Brightness(COLORREF colour) {
    return (77 * GetRValue(colour) + 150 * GetGValue(colour) + 28 * GetBValue(colour)) / 255;
}

// The bytes of a resource of the plug-in, or none.
const BYTE* ResourceBytes(LPCSTR name, LPCSTR type, DWORD& size) {
    HMODULE module = PluginModule();
    HRSRC resource = FindResourceA(module, name, type);
    if (!resource) return nullptr;
    HGLOBAL loaded = LoadResource(module, resource);
    size = SizeofResource(module, resource);
    return loaded && size ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
}

// A logical palette of a colour table's entries.
HPALETTE TablePalette(const BITMAPINFO* info, int entries) {
    std::vector<BYTE> record(sizeof(LOGPALETTE) + sizeof(PALETTEENTRY) * static_cast<std::size_t>(entries));
    auto* log = reinterpret_cast<LOGPALETTE*>(record.data());
    log->palVersion = 0x300;
    log->palNumEntries = static_cast<WORD>(entries);
    PALETTEENTRY* out = log->palPalEntry;
    for (int i = 0; i < entries; ++i)
        out[i] =
            PALETTEENTRY{info->bmiColors[i].rgbRed, info->bmiColors[i].rgbGreen, info->bmiColors[i].rgbBlue, 0};
    return CreatePalette(log);
}

}  // namespace

COLORREF TextureTint(COLORREF face, COLORREF shadow) {
    if (Brightness(face) <= 200) return face;
    auto mix = [](BYTE s, BYTE f) { return static_cast<BYTE>((2 * s + f) / 3); };
    return RGB(mix(GetRValue(shadow), GetRValue(face)), mix(GetGValue(shadow), GetGValue(face)),
               mix(GetBValue(shadow), GetBValue(face)));
}

void TintPackedDib(void* dib, COLORREF tint) {
    DibLayout layout;
    if (!dib || !DibLayout::From(dib, layout)) return;
    const BYTE red = GetRValue(tint), green = GetGValue(tint), blue = GetBValue(tint);
    if (layout.bits <= 8) {
        RGBQUAD* table = layout.Table(dib);
        for (std::size_t i = 0; i < layout.tableBytes / sizeof(RGBQUAD); ++i) {
            table[i].rgbRed = Shift(table[i].rgbRed, red);
            table[i].rgbGreen = Shift(table[i].rgbGreen, green);
            table[i].rgbBlue = Shift(table[i].rgbBlue, blue);
        }
        return;
    }
    const int bytes = layout.bits / 8;
    for (LONG y = 0; y < layout.height; ++y) {
        BYTE* pixel = layout.Row(dib, y);
        for (LONG x = 0; x < layout.width; ++x, pixel += bytes) {
            pixel[0] = Shift(pixel[0], blue);
            pixel[1] = Shift(pixel[1], green);
            pixel[2] = Shift(pixel[2], red);
        }
    }
}

void DialogBackground::Make() {
    Free();
    if (SolidBackground) return;
    {
        HDC screen = GetDC(nullptr);
        const int bits = screen ? GetDeviceCaps(screen, BITSPIXEL) : 0;
        if (screen) ReleaseDC(nullptr, screen);
        if (bits < 9) return;
    }
    DWORD size = 0;
    const BYTE* bytes = ResourceBytes(MAKEINTRESOURCE(kDialogTextureBitmap), RT_BITMAP, size);
    if (!bytes) return;
    GlobalBlock texture(GlobalBlockFromMemory(bytes, size));
    GlobalLockGuard<BYTE> dib(texture.get());
    if (!dib || !PackedDibFits(dib.get(), size)) return;
    TintPackedDib(dib.get(), TextureTint(GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_BTNSHADOW)));
    brush_ = CreateDIBPatternBrushPt(dib.get(), DIB_RGB_COLORS);
}

void DialogBackground::Free() {
    if (brush_) DeleteObject(brush_);
    brush_ = nullptr;
}

HBRUSH TransparentStaticColours(HDC dc) {
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
}

void DrawTextField(const DRAWITEMSTRUCT& item, bool path) {
    RECT box = item.rcItem;
    FillRect(item.hDC, &box, GetSysColorBrush(COLOR_HIGHLIGHTTEXT));
    FrameRect(item.hDC, &box, GetSysColorBrush(COLOR_BTNSHADOW));
    char text[1024] = {};
    GetWindowTextA(item.hwndItem, text, sizeof text);
    auto font = reinterpret_cast<HFONT>(SendMessageA(GetParent(item.hwndItem), WM_GETFONT, 0, 0));
    Selection selectFont(item.hDC, font);
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, GetSysColor(COLOR_BTNTEXT));
    InflateRect(&box, -4, -2);
    DrawTextA(item.hDC, text, -1, &box,
              DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | (path ? DT_PATH_ELLIPSIS : 0));
}

void DrawColourButton(const DRAWITEMSTRUCT& item, COLORREF colour) {
    RECT box = item.rcItem;
    FillRect(item.hDC, &box, GetSysColorBrush(COLOR_BTNFACE));
    const bool pressed = item.itemState & ODS_SELECTED;
    DrawEdge(item.hDC, &box, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    RECT swatch = item.rcItem;
    InflateRect(&swatch, -6, -5);
    if (!IsRectEmpty(&swatch)) {
        GdiObject brush((item.itemState & ODS_DISABLED) ? nullptr : CreateSolidBrush(colour & 0xFFFFFF));
        FillRect(item.hDC, &swatch, brush ? static_cast<HBRUSH>(brush.get()) : GetSysColorBrush(COLOR_BTNFACE));
    }
    if (item.itemState & ODS_FOCUS) {
        RECT focus = item.rcItem;
        InflateRect(&focus, -4, -3);
        DrawFocusRect(item.hDC, &focus);
    }
}

HGLOBAL LoadBlendedStrip(int id, COLORREF background) {
    DWORD size = 0;
    const BYTE* file = ResourceBytes(MAKEINTRESOURCE(id), RT_RCDATA, size);
    constexpr DWORD kFileHeader = 14;
    if (!file || size < kFileHeader + sizeof(BITMAPINFOHEADER) || file[0] != 'B' || file[1] != 'M') return nullptr;
    DWORD offset;
    std::memcpy(&offset, file + 10, sizeof offset);
    BITMAPINFOHEADER header;
    std::memcpy(&header, file + kFileHeader, sizeof header);
    const int bits = header.biBitCount;
    if (header.biSize < sizeof header || header.biWidth <= 0 || header.biHeight == 0 ||
        header.biCompression != BI_RGB || (bits != 24 && bits != 32))
        return nullptr;
    const LONG width = header.biWidth;
    const bool bottomUp = header.biHeight > 0;
    const LONG height = bottomUp ? header.biHeight : -header.biHeight;
    const std::size_t stride = DibStride(width, bits);
    if (offset > size || (size - offset) / stride < static_cast<std::size_t>(height)) return nullptr;

    GlobalBlock strip(CreatePackedDib(width, height, nullptr, 24));
    GlobalLockGuard<BYTE> out(strip.get());
    DibLayout layout;
    if (!out || !DibLayout::From(out.get(), layout)) return nullptr;
    const int bg[3] = {GetBValue(background), GetGValue(background), GetRValue(background)};
    for (LONG y = 0; y < height; ++y) {
        const BYTE* in = file + offset + stride * static_cast<std::size_t>(bottomUp ? height - 1 - y : y);
        BYTE* to = layout.Row(out.get(), y);
        for (LONG x = 0; x < width; ++x, in += bits / 8, to += 3) {
            const int alpha = bits == 32 ? in[3] : 255;
            for (int c = 0; c < 3; ++c) to[c] = static_cast<BYTE>(in[c] * alpha / 255 + bg[c] * (255 - alpha) / 255);
        }
    }
    return strip.release();
}

bool Emblem::Start(HWND dialog, int control, UINT_PTR timer, UINT interval) {
    Stop();
    strip_ = LoadBlendedStrip(kEmblemFrames, GetSysColor(COLOR_BTNFACE));
    if (!strip_) return false;
    {
        GlobalLockGuard<BITMAPINFOHEADER> header(strip_);
        size_ = header->biWidth;
        frames_ = std::max<LONG>(1, header->biHeight / header->biWidth);
    }
    dialog_ = dialog;
    control_ = control;
    current_ = 0;
    SetWindowPos(GetDlgItem(dialog, control), nullptr, 0, 0, size_ + 2, size_ + 2,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    timer_ = SetTimer(dialog, timer, interval, nullptr) ? timer : 0;
    return true;
}

void Emblem::Next() {
    if (!strip_) return;
    current_ = (current_ + 1) % frames_;
    InvalidateRect(GetDlgItem(dialog_, control_), nullptr, FALSE);
}

void Emblem::Draw(const DRAWITEMSTRUCT& item) const {
    RECT box = item.rcItem;
    FillRect(item.hDC, &box, GetSysColorBrush(COLOR_BTNFACE));
    if (!SolidBackground) FrameRect(item.hDC, &box, GetSysColorBrush(COLOR_BTNSHADOW));
    GlobalLockGuard<BYTE> strip(strip_);
    DibLayout layout;
    if (!strip || !DibLayout::From(strip.get(), layout)) return;
    auto* info = reinterpret_cast<const BITMAPINFO*>(strip.get());
    // Source rows count from the bottom of the strip, as for every bottom-up DIB.
    const int fromBottom = layout.height - (current_ + 1) * size_;
    SetDIBitsToDevice(item.hDC, box.left + 1, box.top + 1, static_cast<DWORD>(size_), static_cast<DWORD>(size_), 0,
                      fromBottom, 0, static_cast<UINT>(layout.height), strip.get() + sizeof(BITMAPINFOHEADER),
                      info, DIB_RGB_COLORS);
}

void Emblem::Stop() {
    if (timer_ && dialog_ && IsWindow(dialog_)) KillTimer(dialog_, timer_);
    timer_ = 0;
    if (strip_) GlobalFree(strip_);
    strip_ = nullptr;
    frames_ = size_ = current_ = 0;
}

void DrawPackedDib(HDC dc, int x, int y, HGLOBAL dib) {
    GlobalLockGuard<BYTE> bytes(dib);
    DibLayout layout;
    if (!bytes || !DibLayout::From(bytes.get(), layout)) return;
    auto* info = reinterpret_cast<const BITMAPINFO*>(bytes.get());
    const BYTE* pixels = bytes.get() + sizeof(BITMAPINFOHEADER) + layout.tableBytes;
    GdiObject palette(layout.bits <= 8 ? TablePalette(info, static_cast<int>(layout.tableBytes / sizeof(RGBQUAD)))
                                       : nullptr);
    HPALETTE previous = palette ? SelectPalette(dc, static_cast<HPALETTE>(palette.get()), FALSE) : nullptr;
    if (palette) RealizePalette(dc);
    StretchDIBits(dc, x, y, layout.width, layout.height, 0, 0, layout.width, layout.height, pixels, info,
                  DIB_RGB_COLORS, SRCCOPY);
    if (previous) SelectPalette(dc, previous, FALSE);
}
