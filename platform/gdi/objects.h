// GDI objects behind their handles. A handle is the address of its object,
// looked up in one table so that a stale or foreign handle is refused
// rather than followed.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fault.h"
#include "gdi/region.h"
#include "gdi/surface.h"

namespace luma::text {
class FontInstance;
}

namespace luma::gdi {

enum class Kind { Pen, Brush, Font, Bitmap, Region, Palette, Dc };

struct Object {
    explicit Object(Kind k) : kind(k) {}
    virtual ~Object() = default;
    Kind kind;
    bool stock = false;
    int selections = 0;  // DCs that have it selected
};

struct Pen : Object {
    Pen() : Object(Kind::Pen) {}
    LOGPEN log{};
    bool dcPen = false;
};

struct Brush : Object {
    Brush() : Object(Kind::Brush) {}
    LOGBRUSH log{};
    bool dcBrush = false;
    // Pattern brushes keep their own copy of the pattern's colours, row by
    // row from the top; monochrome patterns keep their bits and take the
    // DC's text and background colours when used.
    int patternWidth = 0;
    int patternHeight = 0;
    bool monoPattern = false;
    std::vector<COLORREF> pattern;
};

struct Font : Object {
    Font() : Object(Kind::Font) {}
    LOGFONTA log{};
    std::shared_ptr<text::FontInstance> instance;  // resolved on first use
};

struct Palette : Object {
    Palette() : Object(Kind::Palette) {}
    std::vector<PALETTEENTRY> entries;
};

struct Bitmap : Object {
    Bitmap() : Object(Kind::Bitmap) {}
    luma::detail::BudgetCharge charge;  // storage's bytes
    std::unique_ptr<BYTE[]> storage;
    std::vector<RGBQUAD> table;
    BITMAPINFOHEADER header{};  // as a DIB section reports it
    bool isDibSection = false;
    Surface surface;
    void Bind();  // points the surface at storage and table
};

struct RegionObject : Object {
    RegionObject() : Object(Kind::Region) {}
    Region region;
};

struct Dc;

// Looks a handle up; null when it is not an object of that kind.
Object* Find(HANDLE handle);
template <class T>
T* FindAs(HANDLE handle, Kind kind) {
    Object* object = Find(handle);
    return object && object->kind == kind ? static_cast<T*>(object) : nullptr;
}
Dc* FindDc(HDC dc);

// Registers an object and returns its handle; null when the fault injector
// or memory refuses it (the object is then destroyed).
HANDLE Register(std::unique_ptr<Object> object);
// Registers an object that belongs to the system (stock objects, the
// system colour brushes): never counted, never refused, never deleted.
HANDLE RegisterSystemObject(std::unique_ptr<Object> object);
// Removes and destroys a registered object.
void Destroy(HANDLE handle);

HGDIOBJ StockObject(int index);
// The 1 x 1 monochrome bitmap every memory DC starts with.
HBITMAP StockBitmap();

}  // namespace luma::gdi
