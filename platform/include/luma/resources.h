// A module's resource table: dialog templates held as C++ data, string
// tables, bitmaps and data blobs, registered under the module handle that
// FindResource, LoadString, LoadBitmap and the dialog functions take.
// Binary files are embedded at build time by lumafex_embed_resources()
// (cmake/Resources.cmake), which generates the registration.
#pragma once

#include <windows.h>

#include <cstddef>

namespace luma {

// One control of a dialog template. Coordinates are dialog units.
struct DialogItemTemplate {
    const char* className;  // "BUTTON", "EDIT", "STATIC", "COMBOBOX", UPDOWN_CLASS or a registered class
    const char* text;
    int id;
    short x, y, cx, cy;
    DWORD style;  // as a binary template holds it (WS_VISIBLE for a shown control); WS_CHILD is implied
    DWORD exStyle = 0;
};

// A dialog template. With a font name the dialog's base units come from
// that font (DS_SETFONT is implied).
struct DialogTemplate {
    DWORD style;
    DWORD exStyle;
    short x, y, cx, cy;
    const char* caption;
    const char* fontName;  // null: the system font
    WORD pointSize;
    const DialogItemTemplate* items;
    size_t itemCount;
    const char* className = nullptr;  // null: the dialog class
};

template <size_t N>
constexpr DialogTemplate MakeDialogTemplate(DWORD style, DWORD exStyle, short x, short y, short cx, short cy,
                                            const char* caption, const char* fontName, WORD pointSize,
                                            const DialogItemTemplate (&items)[N], const char* className = nullptr) {
    return DialogTemplate{style, exStyle, x, y, cx, cy, caption, fontName, pointSize, items, N, className};
}

// One resource. type and name are what FindResource takes: MAKEINTRESOURCE
// numbers or strings (compared without case).
//  - RT_DIALOG: data points to a DialogTemplate.
//  - RT_STRING: one string per entry, named by its string id; data is the
//    UTF-8 text, size its length without the terminator.
//  - RT_BITMAP: a packed DIB (the bitmap file without its 14-byte header).
//  - anything else: the bytes as they are.
struct Resource {
    LPCSTR type;
    LPCSTR name;
    const void* data;
    size_t size;
};

// Adds resources to a module's table; the table keeps pointers, so the
// entries and their data must outlive the registration. Entries registered
// later take precedence over earlier ones with the same type and name.
void RegisterResources(HMODULE module, const Resource* resources, size_t count);
void UnregisterResources(HMODULE module, const Resource* resources, size_t count);

// Registers a table under the module that holds the table itself for as long
// as the object lives: a static ResourceRegistration in a module's source
// makes its resources appear when the module loads and go when it unloads.
class ResourceRegistration {
public:
    ResourceRegistration(const Resource* resources, size_t count);
    template <size_t N>
    explicit ResourceRegistration(const Resource (&resources)[N]) : ResourceRegistration(resources, N) {}
    ~ResourceRegistration();
    ResourceRegistration(const ResourceRegistration&) = delete;
    ResourceRegistration& operator=(const ResourceRegistration&) = delete;

    HMODULE module() const { return module_; }

private:
    HMODULE module_;
    const Resource* resources_;
    size_t count_;
};

}  // namespace luma
