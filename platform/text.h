// Fonts for GDI: faces found through Fontconfig, sized as Windows sizes
// TrueType fonts, and glyphs rendered by FreeType without anti-aliasing
// (one choice, everywhere), as on a classic Windows screen.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace luma::text {

struct Glyph {
    int advance = 0;  // pixels to the next glyph's origin
    int left = 0;     // bitmap's left edge from the origin
    int top = 0;      // bitmap's top row above the baseline
    int width = 0;
    int rows = 0;
    std::vector<std::uint8_t> coverage;  // rows x width, 1 where the glyph sets a pixel
};

struct Metrics {
    int ascent = 0;
    int descent = 0;
    int internalLeading = 0;
    int externalLeading = 0;
    int aveCharWidth = 0;
    int maxCharWidth = 0;
    int underlinePosition = 0;  // pixels below the baseline
    int underlineThickness = 1;
    int strikeoutPosition = 0;  // pixels above the baseline
    bool fixedPitch = false;
};

class FontInstance {
public:
    // The face LOGFONT names (or the usual stand-in for it) at the size it
    // asks for; none when no font can be found or loaded.
    static std::shared_ptr<FontInstance> Open(const LOGFONTA& font);
    ~FontInstance();
    FontInstance(const FontInstance&) = delete;
    FontInstance& operator=(const FontInstance&) = delete;

    const Metrics& metrics() const { return metrics_; }
    const std::string& family() const { return family_; }
    // The glyph of a character; the face's missing-glyph box when it has none.
    const Glyph& GlyphFor(char32_t character);

private:
    FontInstance() = default;
    struct Face;
    std::shared_ptr<Face> face_;
    int pixelHeight_ = 0;
    int pixelWidth_ = 0;
    Metrics metrics_;
    std::string family_;
    std::mutex lock_;
    std::map<char32_t, Glyph> glyphs_;
};

// UTF-8 text as characters; bytes that are not valid UTF-8 stand for
// themselves (Latin-1), so no input is lost.
std::u32string DecodeUtf8(const char* text, std::size_t bytes);

}  // namespace luma::text
