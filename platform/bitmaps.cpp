// Bitmaps from a module's resources and from files: LoadBitmap and
// LoadImage. A bitmap resource is a packed DIB; LoadBitmap and LoadImage
// without LR_CREATEDIBSECTION make a bitmap compatible with the screen, as
// Windows does, LR_CREATEDIBSECTION a DIB section in the resource's own format.
#include <windows.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

// The pieces of a packed DIB: its header (with the colour table or masks
// after it) and its pixels. Null when the bytes are no DIB.
struct Dib {
    std::vector<BYTE> info;  // BITMAPINFO with its colour table
    const BYTE* bits = nullptr;
    LONG width = 0;
    LONG height = 0;
};

bool ParseDib(const BYTE* data, size_t size, Dib* out) {
    if (size < sizeof(BITMAPINFOHEADER)) return false;
    BITMAPINFOHEADER h;
    std::memcpy(&h, data, sizeof h);
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biSize > size || h.biWidth <= 0 || h.biHeight == 0 ||
        h.biPlanes != 1)
        return false;
    size_t colors = 0;
    if (h.biBitCount <= 8) colors = h.biClrUsed ? h.biClrUsed : (size_t{1} << h.biBitCount);
    size_t masks = (h.biCompression == BI_BITFIELDS && h.biSize == sizeof(BITMAPINFOHEADER)) ? 12 : 0;
    size_t tableBytes = colors * sizeof(RGBQUAD) + masks;
    if (h.biSize + tableBytes > size) return false;
    long long rows = h.biHeight < 0 ? -static_cast<long long>(h.biHeight) : h.biHeight;
    long long stride = ((static_cast<long long>(h.biWidth) * h.biBitCount + 31) / 32) * 4;
    bool compressed = h.biCompression == BI_RLE8 || h.biCompression == BI_RLE4;
    if (!compressed && static_cast<long long>(h.biSize + tableBytes) + stride * rows > static_cast<long long>(size))
        return false;
    // GDI reads a 40-byte header; a longer one is cut to it, the table kept.
    out->info.assign(sizeof(BITMAPINFOHEADER) + tableBytes, 0);
    BITMAPINFOHEADER cut = h;
    cut.biSize = sizeof(BITMAPINFOHEADER);
    std::memcpy(out->info.data(), &cut, sizeof cut);
    std::memcpy(out->info.data() + sizeof cut, data + h.biSize, tableBytes);
    out->bits = data + h.biSize + tableBytes;
    out->width = h.biWidth;
    out->height = h.biHeight;
    return true;
}

RGBQUAD* Table(Dib& dib, size_t* count) {
    BITMAPINFOHEADER h;
    std::memcpy(&h, dib.info.data(), sizeof h);
    *count = h.biBitCount <= 8 ? (h.biClrUsed ? h.biClrUsed : (size_t{1} << h.biBitCount)) : 0;
    return reinterpret_cast<RGBQUAD*>(dib.info.data() + sizeof h);
}

void ReplaceColor(RGBQUAD& q, BYTE r, BYTE g, BYTE b, int sysColor) {
    if (q.rgbRed != r || q.rgbGreen != g || q.rgbBlue != b) return;
    COLORREF c = GetSysColor(sysColor);
    q.rgbRed = GetRValue(c);
    q.rgbGreen = GetGValue(c);
    q.rgbBlue = GetBValue(c);
}

// LR_LOADMAP3DCOLORS and LR_LOADTRANSPARENT change a paletted bitmap's table.
void MapColors(Dib& dib, UINT flags) {
    size_t count = 0;
    RGBQUAD* table = Table(dib, &count);
    if (!count) return;
    if (flags & LR_LOADTRANSPARENT) {
        // The colour of the first pixel becomes the window colour.
        BITMAPINFOHEADER h;
        std::memcpy(&h, dib.info.data(), sizeof h);
        const BYTE* row = dib.bits;
        if (h.biHeight > 0) {
            size_t stride = ((static_cast<size_t>(h.biWidth) * h.biBitCount + 31) / 32) * 4;
            row = dib.bits + stride * static_cast<size_t>(h.biHeight - 1);
        }
        unsigned index = h.biBitCount == 8 ? row[0] : h.biBitCount == 4 ? (row[0] >> 4) : (row[0] >> 7);
        if (index < count) {
            COLORREF c = GetSysColor(COLOR_WINDOW);
            table[index] = RGBQUAD{GetBValue(c), GetGValue(c), GetRValue(c), 0};
        }
    }
    if (flags & LR_LOADMAP3DCOLORS) {
        for (size_t i = 0; i < count; ++i) {
            ReplaceColor(table[i], 128, 128, 128, COLOR_3DSHADOW);
            ReplaceColor(table[i], 192, 192, 192, COLOR_3DFACE);
            ReplaceColor(table[i], 223, 223, 223, COLOR_3DLIGHT);
        }
    }
}

HBITMAP MakeBitmap(Dib& dib, int cx, int cy, UINT flags) {
    MapColors(dib, flags);
    const auto* info = reinterpret_cast<const BITMAPINFO*>(dib.info.data());
    LONG rows = dib.height < 0 ? -dib.height : dib.height;
    int width = cx > 0 ? cx : dib.width;
    int height = cy > 0 ? cy : rows;
    HDC screen = GetDC(nullptr);
    if (!screen) return nullptr;
    HBITMAP bitmap = nullptr;
    if (flags & LR_CREATEDIBSECTION) {
        BITMAPINFOHEADER h;
        std::memcpy(&h, dib.info.data(), sizeof h);
        std::vector<BYTE> shape = dib.info;
        BITMAPINFOHEADER sized = h;
        sized.biWidth = width;
        sized.biHeight = dib.height < 0 ? -height : height;
        sized.biCompression = (h.biCompression == BI_RLE8 || h.biCompression == BI_RLE4) ? BI_RGB : h.biCompression;
        sized.biSizeImage = 0;
        if (flags & LR_MONOCHROME) sized.biBitCount = 1;
        std::memcpy(shape.data(), &sized, sizeof sized);
        void* pixels = nullptr;
        bitmap = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(shape.data()), DIB_RGB_COLORS, &pixels, nullptr, 0);
    } else if (flags & LR_MONOCHROME) {
        bitmap = CreateBitmap(width, height, 1, 1, nullptr);
    } else {
        bitmap = CreateCompatibleBitmap(screen, width, height);
    }
    bool ok = bitmap != nullptr;
    if (ok) {
        HDC dc = CreateCompatibleDC(screen);
        ok = dc != nullptr;
        if (ok) {
            HGDIOBJ old = SelectObject(dc, bitmap);
            ok = old && StretchDIBits(dc, 0, 0, width, height, 0, 0, dib.width, rows, dib.bits, info, DIB_RGB_COLORS,
                                      SRCCOPY) != 0;
            if (old) SelectObject(dc, old);
            DeleteDC(dc);
        }
    }
    ReleaseDC(nullptr, screen);
    if (!ok && bitmap) {
        DeleteObject(bitmap);
        bitmap = nullptr;
    }
    return bitmap;
}

HBITMAP FromResource(HINSTANCE instance, LPCSTR name, int cx, int cy, UINT flags) {
    HRSRC found = FindResourceA(instance, name, RT_BITMAP);
    if (!found) return nullptr;
    const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(instance, found)));
    Dib dib;
    if (!data || !ParseDib(data, SizeofResource(instance, found), &dib)) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    return MakeBitmap(dib, cx, cy, flags);
}

HBITMAP FromFile(LPCSTR path, int cx, int cy, UINT flags) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    std::vector<BYTE> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    BITMAPFILEHEADER header;
    Dib dib;
    if (file.size() < sizeof header) return nullptr;
    std::memcpy(&header, file.data(), sizeof header);
    if (header.bfType != 0x4D42 || !ParseDib(file.data() + sizeof header, file.size() - sizeof header, &dib)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // The file header says where the pixels start; gaps after the table are allowed.
    if (header.bfOffBits >= sizeof header + dib.info.size() && header.bfOffBits < file.size()) {
        size_t needed = ((static_cast<size_t>(dib.width) *
                              reinterpret_cast<const BITMAPINFOHEADER*>(dib.info.data())->biBitCount +
                          31) /
                         32) *
                        4 * static_cast<size_t>(dib.height < 0 ? -dib.height : dib.height);
        if (header.bfOffBits + needed <= file.size()) dib.bits = file.data() + header.bfOffBits;
    }
    return MakeBitmap(dib, cx, cy, flags);
}

// LR_SHARED images are made once per module and name and never freed, as Windows keeps them.
std::map<std::pair<HINSTANCE, std::string>, HANDLE>& shared() {
    static auto* images = new std::map<std::pair<HINSTANCE, std::string>, HANDLE>;
    return *images;
}

std::string Key(LPCSTR name) {
    return IS_INTRESOURCE(name) ? "#" + std::to_string(reinterpret_cast<ULONG_PTR>(name)) : std::string(name);
}

}  // namespace

extern "C" {

HBITMAP WINAPI LoadBitmapA(HINSTANCE instance, LPCSTR name) {
    if (!name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!instance) {
        // The system's own OBM_ bitmaps are not part of this platform.
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return FromResource(instance, name, 0, 0, 0);
}

HANDLE WINAPI LoadImageA(HINSTANCE instance, LPCSTR name, UINT type, int cx, int cy, UINT flags) {
    if (!name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (type == IMAGE_CURSOR) return (flags & LR_LOADFROMFILE) ? nullptr : LoadCursorA(instance, name);
    if (type == IMAGE_ICON) return (flags & LR_LOADFROMFILE) ? nullptr : LoadIconA(instance, name);
    if (type != IMAGE_BITMAP) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::pair<HINSTANCE, std::string> key{instance, Key(name)};
    if (flags & LR_SHARED) {
        auto it = shared().find(key);
        if (it != shared().end()) return it->second;
    }
    HBITMAP bitmap = (flags & LR_LOADFROMFILE) ? FromFile(name, cx, cy, flags)
                     : instance                ? FromResource(instance, name, cx, cy, flags)
                                               : nullptr;
    if (!bitmap && !instance && !(flags & LR_LOADFROMFILE)) SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    if (bitmap && (flags & LR_SHARED)) shared()[key] = bitmap;
    return bitmap;
}

}  // extern "C"
