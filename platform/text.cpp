#include "text.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cctype>
#include <cstring>
#include <new>

namespace luma::text {

namespace {

// One FreeType library for the process; faces keep it alive so that it
// outlasts every font, whatever order static objects end in.
struct Library {
    FT_Library library = nullptr;
    std::mutex lock;  // FreeType and Fontconfig calls are serialised here
    Library() {
        if (FT_Init_FreeType(&library)) library = nullptr;
        FcInit();
    }
    ~Library() {
        if (library) FT_Done_FreeType(library);
        FcFini();
    }
};

std::shared_ptr<Library> library() {
    static std::shared_ptr<Library> shared = std::make_shared<Library>();
    return shared;
}

bool sameName(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b)
        if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b))) return false;
    return *a == *b;
}

// Windows' own screen faces are not here; the faces that stand in for them
// (Liberation's metric twins, through Fontconfig's aliases) keep text the
// same size.
std::string substitute(const char* requested) {
    static const char* const sans[] = {"",       "MS Sans Serif", "MS Shell Dlg", "MS Shell Dlg 2", "Microsoft Sans Serif",
                                       "System", "Tahoma",        "Segoe UI",     "Helv",           "Small Fonts"};
    static const char* const mono[] = {"Courier", "Fixedsys", "Terminal", "Lucida Console", "Consolas"};
    static const char* const serif[] = {"MS Serif", "Times", "Tms Rmn"};
    for (const char* n : sans)
        if (sameName(requested, n)) return "Arial";
    for (const char* n : mono)
        if (sameName(requested, n)) return "Courier New";
    for (const char* n : serif)
        if (sameName(requested, n)) return "Times New Roman";
    return requested;
}

int mulDiv(long long a, long long b, long long c) {
    if (c == 0) return 0;
    long long v = a * b;
    return static_cast<int>(v >= 0 ? (v + c / 2) / c : (v - c / 2) / c);
}

int scaled(FT_Long units, FT_Fixed scale) { return static_cast<int>((FT_MulFix(units, scale) + 32) >> 6); }

}  // namespace

struct FontInstance::Face {
    std::shared_ptr<Library> owner;
    FT_Face face = nullptr;
    ~Face() {
        if (face) {
            std::lock_guard guard(owner->lock);
            FT_Done_Face(face);
        }
    }
};

FontInstance::~FontInstance() = default;

std::shared_ptr<FontInstance> FontInstance::Open(const LOGFONTA& log) {
    std::shared_ptr<Library> lib = library();
    if (!lib->library) return nullptr;
    char requested[LF_FACESIZE + 1] = {};
    std::memcpy(requested, log.lfFaceName, LF_FACESIZE);
    std::string family = substitute(requested);

    std::string path;
    int index = 0;
    {
        std::lock_guard guard(lib->lock);
        FcPattern* pattern = FcPatternCreate();
        if (!pattern) return nullptr;
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
        // Stand-ins for any face Fontconfig does not know.
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("Liberation Sans"));
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
        int weight = log.lfWeight == FW_DONTCARE ? FW_NORMAL : static_cast<int>(log.lfWeight);
        FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
        FcPatternAddInteger(pattern, FC_SLANT, log.lfItalic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
        FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
        FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcPattern* match = FcFontMatch(nullptr, pattern, &result);
        FcPatternDestroy(pattern);
        if (!match) return nullptr;
        FcChar8* file = nullptr;
        if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file)
            path = reinterpret_cast<const char*>(file);
        FcPatternGetInteger(match, FC_INDEX, 0, &index);
        FcPatternDestroy(match);
    }
    if (path.empty()) return nullptr;

    std::shared_ptr<FontInstance> font(new (std::nothrow) FontInstance);
    if (!font) return nullptr;
    auto face = std::make_shared<Face>();
    face->owner = lib;
    std::lock_guard guard(lib->lock);
    if (FT_New_Face(lib->library, path.c_str(), index, &face->face)) {
        face->face = nullptr;
        return nullptr;
    }
    FT_Face f = face->face;
    if (!FT_IS_SCALABLE(f)) return nullptr;
    font->face_ = face;
    font->family_ = f->family_name ? f->family_name : family;

    // TrueType sizing as Windows does it: a positive height is the cell
    // (ascent plus descent from the OS/2 table), a negative one the em.
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(f, FT_SFNT_OS2));
    const auto* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(f, FT_SFNT_HHEA));
    long winAscent = os2 ? os2->usWinAscent : f->ascender;
    long winDescent = os2 ? os2->usWinDescent : -f->descender;
    long cellUnits = std::max(1L, winAscent + winDescent);
    long height = log.lfHeight == 0 ? 16 : log.lfHeight;
    // The em in 26.6 pixels; a cell height scales the em by a fraction so
    // that ascent and descent add up to it as on Windows.
    long em = height > 0 ? mulDiv(height * 64, f->units_per_EM, cellUnits) : -height * 64;
    em = std::max(em, 64L);
    long emX = em;
    if (log.lfWidth != 0 && os2 && os2->xAvgCharWidth > 0) {
        long average = mulDiv(os2->xAvgCharWidth, em, f->units_per_EM);
        if (average > 0) emX = std::max(64L, static_cast<long>(mulDiv(em, std::labs(static_cast<long>(log.lfWidth)) * 64, average)));
    }
    if (FT_Set_Char_Size(f, emX, em, 72, 72)) return nullptr;
    font->pixelHeight_ = static_cast<int>((em + 32) >> 6);
    font->pixelWidth_ = static_cast<int>((emX + 32) >> 6);

    FT_Fixed ys = f->size->metrics.y_scale, xs = f->size->metrics.x_scale;
    Metrics& m = font->metrics_;
    m.ascent = scaled(winAscent, ys);
    m.descent = scaled(winDescent, ys);
    m.internalLeading = scaled(winAscent + winDescent - f->units_per_EM, ys);
    if (hhea) {
        long lineGap = hhea->Line_Gap - ((winAscent + winDescent) - (hhea->Ascender - hhea->Descender));
        m.externalLeading = std::max(0, scaled(lineGap, ys));
    }
    m.aveCharWidth = os2 && os2->xAvgCharWidth ? scaled(os2->xAvgCharWidth, xs) : 0;
    m.maxCharWidth = scaled(f->bbox.xMax - f->bbox.xMin, xs);
    m.underlinePosition = std::max(1, -scaled(f->underline_position, ys));
    m.underlineThickness = std::max(1, scaled(f->underline_thickness, ys));
    m.strikeoutPosition = os2 ? scaled(os2->yStrikeoutPosition, ys) : m.ascent / 3;
    m.fixedPitch = FT_IS_FIXED_WIDTH(f);
    if (m.aveCharWidth == 0) {
        // The width of 'x' when the face does not state an average.
        if (!FT_Load_Char(f, 'x', FT_LOAD_TARGET_MONO)) m.aveCharWidth = static_cast<int>((f->glyph->advance.x + 32) >> 6);
    }
    return font;
}

const Glyph& FontInstance::GlyphFor(char32_t character) {
    std::lock_guard guard(lock_);
    auto found = glyphs_.find(character);
    if (found != glyphs_.end()) return found->second;
    Glyph glyph;
    {
        std::lock_guard library(face_->owner->lock);
        FT_Face f = face_->face;
        if (!FT_Load_Char(f, character, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME)) {
            FT_GlyphSlot slot = f->glyph;
            const FT_Bitmap& bitmap = slot->bitmap;
            glyph.advance = static_cast<int>((slot->advance.x + 32) >> 6);
            glyph.left = slot->bitmap_left;
            glyph.top = slot->bitmap_top;
            glyph.width = static_cast<int>(bitmap.width);
            glyph.rows = static_cast<int>(bitmap.rows);
            glyph.coverage.assign(static_cast<std::size_t>(glyph.width) * glyph.rows, 0);
            for (int y = 0; y < glyph.rows; ++y) {
                const unsigned char* row = bitmap.buffer + static_cast<std::ptrdiff_t>(y) * bitmap.pitch;
                for (int x = 0; x < glyph.width; ++x) {
                    bool set = bitmap.pixel_mode == FT_PIXEL_MODE_MONO ? (row[x / 8] >> (7 - x % 8)) & 1 : row[x] >= 128;
                    glyph.coverage[static_cast<std::size_t>(y) * glyph.width + x] = set;
                }
            }
        }
    }
    return glyphs_.emplace(character, std::move(glyph)).first->second;
}

std::u32string DecodeUtf8(const char* text, std::size_t bytes) {
    std::u32string out;
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    std::size_t i = 0;
    while (i < bytes) {
        unsigned char c = s[i];
        std::size_t extra = (c >= 0xC2 && c <= 0xDF) ? 1 : (c >= 0xE0 && c <= 0xEF) ? 2 : (c >= 0xF0 && c <= 0xF4) ? 3 : 0;
        bool valid = extra > 0 && i + extra < bytes;
        char32_t value = c & (0x3F >> extra);
        for (std::size_t k = 1; valid && k <= extra; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) valid = false;
            value = (value << 6) | (s[i + k] & 0x3F);
        }
        if (!valid) {
            out.push_back(c);
            ++i;
            continue;
        }
        out.push_back(value);
        i += extra + 1;
    }
    return out;
}

}  // namespace luma::text
