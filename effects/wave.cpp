// Wave: one soft, tilted band of light swept across the picture once per
// animation; the first frame, before the band enters, is held for the Pause
// time.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>

#include "effects/effect_bodies.h"
#include "effects/pages.h"
#include "image/filters.h"
#include "image/gdi_guards.h"
#include "image/packed_dib.h"
#include "plugin/guards.h"

namespace {

constexpr int kFramesControl = 818;
constexpr int kSizeControl = 820;
constexpr int kDensityControl = 822;
constexpr int kDelayControl = 824;
constexpr int kAngleControl = 826;
constexpr int kColourControl = 828;
constexpr int kPauseControl = 830;
constexpr int kDirectionControl = 832;

constexpr double kPi = std::numbers::pi;
// The band is drawn at four times the picture's size and reduced.
constexpr int kScale = 4;

enum Direction : std::int32_t { kUp = 0, kRight = 1, kLeft = 2, kDown = 3 };

// One line of the band across its travel (a row of a horizontal band, a
// column of a vertical one): the stretch along it that the strokes reach.
struct BandRun {
    std::int32_t start;
    std::int32_t length;
    std::size_t offset;  // of its coverage in the state's list
};

struct WaveState {
    std::int32_t width;
    std::int32_t height;
    std::int32_t time;
    std::int32_t frames;
    std::int32_t size;
    std::int32_t angle;
    std::int32_t density;
    std::int32_t direction;
    COLORREF colour;
    std::int32_t preview;
    // What every frame shares, at four times the picture's size: the band's
    // width, the distance it travels, its slant (rounded as its end offset
    // and as its span), and the band itself, drawn once: frames differ only
    // in where it lies across its travel.
    std::int32_t bandWidth;
    std::int32_t travel;
    std::int32_t offset;
    std::int32_t slant;
    std::int32_t bandOrigin;  // where the band's first line lies across the travel, at position 0
    std::int32_t bandLines;   // lines of the band across the travel
    BandRun* runs;            // per line
    BYTE* coverage;           // of every run, back to back
    std::size_t coverageBytes;
};

WaveState wave;

WaveState& State(BuildContext* context) { return *static_cast<WaveState*>(context->state); }

// Bands lie across the picture for the up and down directions.
bool Horizontal(const WaveState& state) { return state.direction == kUp || state.direction == kDown; }

void FreeWave(BuildContext* context) {
    WaveState& state = State(context);
    if (state.runs) GlobalFree(state.runs);
    if (state.coverage) GlobalFree(state.coverage);
    state.runs = nullptr;
    state.coverage = nullptr;
    state.coverageBytes = 0;
}

// The ends of the band's centre line across its travel, relative to its position.
void BandEnds(const WaveState& state, int& first, int& second) {
    first = state.angle >= 0 ? 0 : state.offset;
    second = state.angle >= 0 ? -state.offset : 0;
}

// The band is drawn a piece of lines at a time, so a long slant never needs
// one huge surface; each piece is the same strokes moved back by whole lines.
constexpr std::size_t kPieceBytes = 4u << 20;

// Every stroke of the band with its centre line at position, on an open surface.
bool DrawStrokes(const WaveState& state, HDC dc, LONG length, int position) {
    int first, second;
    BandEnds(state, first, second);
    const int strokes = state.bandWidth;
    for (int i = 0; i < strokes; ++i) {
        const float part = static_cast<float>(i) / static_cast<float>(strokes);
        const int grey = static_cast<int>(std::sin(static_cast<double>(part) * 90 * kPi / 180) * state.density) & 0xFF;
        GdiObject pen(CreatePen(PS_SOLID, strokes - i, RGB(grey, grey, grey)));
        if (!pen) return false;
        Selection selected(dc, pen.get());
        if (!selected) return false;
        if (Horizontal(state)) {
            MoveToEx(dc, 0, position + first, nullptr);
            LineTo(dc, length, position + second);
        } else {
            MoveToEx(dc, position + first, 0, nullptr);
            LineTo(dc, position + second, length);
        }
    }
    return true;
}

// Appends the runs of lines from..from+lines-1, read from a drawn piece.
bool KeepRuns(WaveState& state, const void* piece, const DibLayout& layout, int from, int lines) {
    const bool horizontal = Horizontal(state);
    const LONG length = horizontal ? layout.width : layout.height;
    // The grey strokes' coverage is any of their channels: red is at byte 2.
    auto at = [&](int line, LONG along) {
        return horizontal ? layout.Row(piece, line)[static_cast<std::size_t>(along) * 3 + 2]
                          : layout.Row(piece, along)[static_cast<std::size_t>(line) * 3 + 2];
    };
    std::size_t bytes = state.coverageBytes;
    for (int line = 0; line < lines; ++line) {
        BandRun& run = state.runs[from + line];
        LONG start = 0, end = length;
        while (start < end && at(line, start) == 0) ++start;
        while (end > start && at(line, end - 1) == 0) --end;
        run = BandRun{static_cast<std::int32_t>(start), static_cast<std::int32_t>(end - start), bytes};
        bytes += static_cast<std::size_t>(run.length);
    }
    if (bytes == state.coverageBytes) return true;
    auto* grown = static_cast<BYTE*>(GlobalAlloc(GPTR, bytes));
    if (!grown) return false;
    if (state.coverage) {
        std::memcpy(grown, state.coverage, state.coverageBytes);
        GlobalFree(state.coverage);
    }
    state.coverage = grown;
    state.coverageBytes = bytes;
    for (int line = 0; line < lines; ++line) {
        const BandRun& run = state.runs[from + line];
        for (LONG k = 0; k < run.length; ++k) grown[run.offset + static_cast<std::size_t>(k)] = at(line, run.start + k);
    }
    return true;
}

// Draws the band once, far enough from its first line that all of it shows,
// and keeps its coverage line by line.
bool DrawBand(WaveState& state) {
    const LONG length = (Horizontal(state) ? state.width : state.height) * kScale;
    int first, second;
    BandEnds(state, first, second);
    const int margin = state.bandWidth + 8;
    const int position = margin - std::min(first, second);
    state.bandOrigin = -position;
    state.bandLines = std::abs(first - second) + 2 * margin;
    state.runs = static_cast<BandRun*>(GlobalAlloc(GPTR, sizeof(BandRun) * static_cast<std::size_t>(state.bandLines)));
    if (!state.runs) return false;
    const int piece = static_cast<int>(std::clamp<std::size_t>(kPieceBytes / (3 * static_cast<std::size_t>(length)), 16,
                                                               static_cast<std::size_t>(state.bandLines)));
    for (int from = 0; from < state.bandLines; from += piece) {
        const int lines = std::min(piece, state.bandLines - from);
        GlobalBlock picture;
        {
            SurfaceGuard surface;
            if (!(Horizontal(state) ? surface.Open(length, lines) : surface.Open(lines, length))) return false;
            PatBlt(surface.dc(), 0, 0, surface.get().bounds.right, surface.get().bounds.bottom, BLACKNESS);
            if (!DrawStrokes(state, surface.dc(), length, position - from)) return false;
            picture.reset(surface.Take());
        }
        GlobalLockGuard<BYTE> pixels(picture.get());
        DibLayout layout;
        if (!pixels || !DibLayout::From(pixels.get(), layout) || !KeepRuns(state, pixels.get(), layout, from, lines))
            return false;
    }
    return true;
}

int InitialiseWave(BuildContext* context, LONG width, LONG height) {
    WaveState& state = State(context);
    const HWND page = context->page;
    state.width = width;
    state.height = height;
    state.frames = ReadPageInt(page, kFramesControl);
    state.size = ReadPageInt(page, kSizeControl);
    state.angle = ReadPageInt(page, kAngleControl);
    state.density = ReadPageInt(page, kDensityControl);
    // The pad's cells are 0..3; a larger stored value counts as the last.
    state.direction = std::min(ReadPageInt(page, kDirectionControl), static_cast<int>(kDown));
    state.colour = ReadPageColour(page, kColourControl);
    state.preview = (context->flags & kPreviewFlag) != 0;
    if (width <= 0 || height <= 0 || state.frames <= 0) return 0;

    const std::int64_t shorter = std::min<std::int64_t>(kScale * static_cast<std::int64_t>(width),
                                                        kScale * static_cast<std::int64_t>(height));
    state.bandWidth = static_cast<std::int32_t>(std::max<std::int64_t>(4, shorter * state.size / 100));
    const double theta = (360 - state.angle) * kPi / 180;
    const LONG length = (Horizontal(state) ? width : height) * kScale;
    state.travel = (Horizontal(state) ? height : width) * kScale;
    const float offset = static_cast<float>(-length * std::sin(theta) / std::cos(theta));
    state.offset = static_cast<std::int32_t>(offset + 0.5);
    state.slant = static_cast<std::int32_t>(std::fabs(offset) + 0.5);
    if (!DrawBand(state)) {
        FreeWave(context);
        return 0;
    }
    return 1;
}

// Where the band's centre line lies across its travel at the state's time.
int Position(const WaveState& state) {
    const int progress = state.direction == kUp || state.direction == kLeft ? state.frames - state.time : state.time;
    const std::int64_t span = static_cast<std::int64_t>(state.slant) + state.travel + state.bandWidth;
    return static_cast<int>(span * progress / state.frames) - state.bandWidth / 2;
}

// The band's coverage over the whole picture at four times its size, as an
// 8-bit picture, with its first line at `first` across the travel; lines
// from..to-1 of the band are the ones inside.
HGLOBAL BandMask(const WaveState& state, int first, int from, int to) {
    GlobalBlock mask(CreatePackedDib(state.width * kScale, state.height * kScale, nullptr, 8));
    GlobalLockGuard<BYTE> pixels(mask.get());
    DibLayout layout;
    if (!pixels || !DibLayout::From(pixels.get(), layout)) return nullptr;
    for (int line = from; line < to; ++line) {
        const BandRun& run = state.runs[line];
        const BYTE* coverage = state.coverage + run.offset;
        if (Horizontal(state)) {
            std::memcpy(layout.Row(pixels.get(), first + line) + run.start, coverage,
                        static_cast<std::size_t>(run.length));
        } else {
            for (LONG k = 0; k < run.length; ++k) layout.Row(pixels.get(), run.start + k)[first + line] = coverage[k];
        }
    }
    return mask.release();
}

HGLOBAL RenderWave(BuildContext* context, int frame) {
    WaveState& state = State(context);
    // The preview shows the band halfway through its sweep.
    state.time = state.preview ? state.frames / 2 : frame;
    GlobalBlock canvas(SourceCanvas(state.width, state.height));
    if (!canvas) return nullptr;
    const int first = Position(state) + state.bandOrigin;
    const int from = std::max(0, -first), to = std::min(state.bandLines, state.travel - first);
    // Nothing of the band inside the picture: the frame is the plain picture.
    bool shows = false;
    for (int line = from; line < to && !shows; ++line) shows = state.runs[line].length > 0;
    if (!shows) return canvas.release();
    GlobalBlock large(BandMask(state, first, from, to));
    GlobalBlock mask(ScaleDibPercent(large.get(), 25, 25));
    GlobalLockGuard<BYTE> pixels(canvas.get()), coverage(mask.get());
    if (!pixels || !coverage) return nullptr;
    BlendColourThroughMask(pixels.get(), coverage.get(), 0, 0, state.colour, 255, 0);
    return canvas.release();
}

int BuildWave(BuildContext* context) {
    if (!context || !context->frames) return 0;
    const int delay = ReadPageInt(context->page, kDelayControl);
    const int pause = ReadPageInt(context->page, kPauseControl);
    context->flags &= ~kPreviewFlag;
    if (!StartBody(context, WaveBody)) return 0;
    BodyStateGuard guard(context, WaveBody);
    const int frames = State(context).frames;
    for (int i = 0; i < frames; ++i) {
        HGLOBAL image = RenderWave(context, i);
        if (!AppendImage(context, image, static_cast<DWORD>(i == 0 ? pause : delay))) return 0;
        ReportProgress(context, i, frames);
    }
    return 1;
}

}  // namespace

constexpr EffectBody WaveBody{&wave, sizeof wave, InitialiseWave, RenderWave, FreeWave, kDelayControl, kFramesControl};

const EffectOperations WaveOperations{PreviewWith<WaveBody>, BuildWave, DefaultBackgroundColour, DefaultPageEvent};
