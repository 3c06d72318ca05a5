// How the main dialog looks: the tinted texture behind it, transparent
// static texts, the owner-drawn text fields and colour buttons, and the
// animated emblem.
#pragma once

#include <windows.h>

inline constexpr int kDialogTextureBitmap = 7012;
inline constexpr int kEmblemFrames = 9001;

// The colour the texture is tinted towards: the button face, or, when that
// is brighter than 200, two parts shadow to one part face.
COLORREF TextureTint(COLORREF face, COLORREF shadow);

// Adds tint - 128 per channel to every colour of a locked PackedDib (its
// table entries, or its pixels when it has none), clamped to 0..255.
void TintPackedDib(void* dib, COLORREF tint);

// The brush that paints the dialog's background: the tinted texture tiled
// from the client's top-left corner, or null for the plain button face
// (SolidBackground set, a screen of fewer than 9 bits, or no texture).
class DialogBackground {
public:
    DialogBackground() = default;
    DialogBackground(const DialogBackground&) = delete;
    DialogBackground& operator=(const DialogBackground&) = delete;
    ~DialogBackground() { Free(); }

    void Make();
    void Free();
    HBRUSH brush() const { return brush_; }

private:
    HBRUSH brush_ = nullptr;
};

// Text colours of static texts and check boxes: the window-text colour on a
// transparent background. Returns the brush they erase with (none).
HBRUSH TransparentStaticColours(HDC dc);

// The picture-size and picture-path fields: filled with the highlight-text
// colour, framed with the button shadow, one line of button text inset by 4
// and 2 pixels; a path is shortened in its middle.
void DrawTextField(const DRAWITEMSTRUCT& item, bool path);

// A colour button: its colour (the face colour while disabled) inside a
// raised edge that is sunken while pressed, with a focus rectangle.
void DrawColourButton(const DRAWITEMSTRUCT& item, COLORREF colour);

// The emblem: square frames of a strip blended over the button face, shown
// one after the other.
class Emblem {
public:
    Emblem() = default;
    Emblem(const Emblem&) = delete;
    Emblem& operator=(const Emblem&) = delete;
    ~Emblem() { Stop(); }

    // Loads the frames, sizes the control to a frame plus 2 pixels and
    // starts the timer. False when the frames cannot be had (the control
    // then stays plain).
    bool Start(HWND dialog, int control, UINT_PTR timer, UINT interval);
    // Moves to the next frame, wrapping to the first, and repaints.
    void Next();
    void Draw(const DRAWITEMSTRUCT& item) const;
    void Stop();

    int frames() const { return frames_; }
    int current() const { return current_; }
    int size() const { return size_; }

private:
    HWND dialog_ = nullptr;
    int control_ = 0;
    UINT_PTR timer_ = 0;
    HGLOBAL strip_ = nullptr;  // 24-bit PackedDib, frames top to bottom
    int size_ = 0;
    int frames_ = 0;
    int current_ = 0;
};

// A strip of square 32-bit frames with alpha (a BMP file held as data
// resource id) blended over background into a new 24-bit PackedDib: each
// channel c * a / 255 + background * (255 - a) / 255. Null when the resource
// is missing, not such a picture, or memory fails.
HGLOBAL LoadBlendedStrip(int id, COLORREF background);

// Draws a whole PackedDib with its top-left corner at (x, y), its own
// palette selected and realised when it has 8 bits or fewer.
void DrawPackedDib(HDC dc, int x, int y, HGLOBAL dib);
