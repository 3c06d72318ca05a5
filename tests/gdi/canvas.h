// A memory DC with a DIB section selected, for drawing tests.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

struct Canvas {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    BYTE* bits = nullptr;
    int width = 0;
    int height = 0;
    int depth = 24;

    // A top-down (or bottom-up) section; colours gives the table of a
    // paletted one.
    Canvas(int w, int h, int bitCount = 24, bool topDown = true, std::vector<RGBQUAD> colours = {})
        : width(w), height(h), depth(bitCount) {
        std::vector<BYTE> info(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
        auto* bi = reinterpret_cast<BITMAPINFO*>(info.data());
        bi->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bi->bmiHeader.biWidth = w;
        bi->bmiHeader.biHeight = topDown ? -h : h;
        bi->bmiHeader.biPlanes = 1;
        bi->bmiHeader.biBitCount = static_cast<WORD>(bitCount);
        bi->bmiHeader.biCompression = BI_RGB;
        if (!colours.empty()) bi->bmiHeader.biClrUsed = static_cast<DWORD>(colours.size());
        for (std::size_t i = 0; i < colours.size(); ++i) bi->bmiColors[i] = colours[i];
        dc = CreateCompatibleDC(nullptr);
        void* p = nullptr;
        bitmap = CreateDIBSection(dc, bi, DIB_RGB_COLORS, &p, nullptr, 0);
        bits = static_cast<BYTE*>(p);
        previous = SelectObject(dc, bitmap);
    }
    ~Canvas() {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    std::size_t Stride() const { return ((static_cast<std::size_t>(width) * depth + 31) / 32) * 4; }
    std::vector<BYTE> Bytes() const { return std::vector<BYTE>(bits, bits + Stride() * height); }
    COLORREF At(int x, int y) const { return GetPixel(dc, x, y); }
    void Clear(COLORREF colour) {
        HBRUSH b = CreateSolidBrush(colour);
        RECT r{0, 0, width, height};
        FillRect(dc, &r, b);
        DeleteObject(b);
    }
    // The smallest rectangle holding every pixel that is not `background`;
    // empty when there is none.
    RECT InkBox(COLORREF background) const {
        RECT box{width, height, 0, 0};
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (At(x, y) != background) {
                    box.left = std::min<LONG>(box.left, x);
                    box.top = std::min<LONG>(box.top, y);
                    box.right = std::max<LONG>(box.right, x + 1);
                    box.bottom = std::max<LONG>(box.bottom, y + 1);
                }
        return box;
    }
};
