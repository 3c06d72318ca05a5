// Tracks: the picture cut into strips that each scroll round inside their
// own bounds at their own speed, braking at the end when asked, and closing
// on the unmoved picture held for the Pause time.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "effects/effect_bodies.h"
#include "effects/elements.h"
#include "effects/pages.h"
#include "effects/tracks.h"
#include "image/packed_dib.h"
#include "luma/crt.h"
#include "plugin/guards.h"
#include "settings/settings.h"

namespace {

constexpr int kModeControl = 528;
constexpr int kTracksControl = 532;
constexpr int kFramesControl = 530;
constexpr int kDelayControl = 524;
constexpr int kPauseControl = 526;
constexpr int kSeedControl = 534;
constexpr int kSpeedsControl = 537;
constexpr int kSlowEndControl = 536;

constexpr int kSpeedList[4] = {1, 2, 4, 8};
constexpr int kMinimumStrip = 4;

TracksState tracks;

TracksState& State(BuildContext* context) { return *static_cast<TracksState*>(context->state); }

// The page's mode; a list without a valid selection counts as the first mode.
int ReadMode(HWND page) {
    LRESULT selection = SendDlgItemMessageA(page, kModeControl, CB_GETCURSEL, 0, 0);
    return selection >= 0 && selection <= kTracksSlideLeftAndRight ? static_cast<int>(selection) : 0;
}

// The number the selected "Tracks:" item shows, 0 without a selection.
int ReadStripCount(HWND page) {
    LRESULT selection = SendDlgItemMessageA(page, kTracksControl, CB_GETCURSEL, 0, 0);
    if (selection < 0) return 0;
    LRESULT length = SendDlgItemMessageA(page, kTracksControl, CB_GETLBTEXTLEN, static_cast<WPARAM>(selection), 0);
    char text[32] = {};
    if (length < 0 || length >= static_cast<LRESULT>(sizeof text)) return 0;
    SendDlgItemMessageA(page, kTracksControl, CB_GETLBTEXT, static_cast<WPARAM>(selection),
                        reinterpret_cast<LPARAM>(text));
    return std::atoi(text);
}

std::size_t PixelBytes(const DibLayout& layout) { return static_cast<std::size_t>(layout.bits / 8); }

void FreeTracks(BuildContext* context) {
    TracksState& state = State(context);
    for (int k = 0; state.strips && k < state.count; ++k)
        if (state.strips[k].image) GlobalFree(state.strips[k].image);
    if (state.strips) GlobalFree(state.strips);
    state.strips = nullptr;
    state.count = 0;
}

// Copies the strip's columns (or rows) of picture into its own picture.
HGLOBAL CutStrip(const void* picture, const DibLayout& layout, const TrackStrip& strip) {
    const bool columns = TracksColumnMode(strip.mode);
    BYTE palette[768];
    DibTableToTriplets(picture, palette);
    GlobalBlock image(CreatePackedDib(columns ? strip.extent : layout.width, columns ? layout.height : strip.extent,
                                      palette, layout.bits));
    GlobalLockGuard<BYTE> pixels(image.get());
    DibLayout own;
    if (!pixels || !DibLayout::From(pixels.get(), own)) return nullptr;
    const std::size_t bytes = PixelBytes(layout);
    for (LONG y = 0; y < own.height; ++y) {
        const BYTE* from = columns ? layout.Row(picture, y) + static_cast<std::size_t>(strip.start) * bytes
                                   : layout.Row(picture, strip.start + y);
        std::memcpy(own.Row(pixels.get(), y), from, static_cast<std::size_t>(own.width) * bytes);
    }
    return image.release();
}

// Copies the strip's picture back to its place on the canvas.
void PasteStrip(void* canvas, const DibLayout& layout, const void* image, const DibLayout& own,
                const TrackStrip& strip) {
    const bool columns = TracksColumnMode(strip.mode);
    const std::size_t bytes = PixelBytes(layout);
    for (LONG y = 0; y < own.height; ++y) {
        BYTE* to = columns ? layout.Row(canvas, y) + static_cast<std::size_t>(strip.start) * bytes
                           : layout.Row(canvas, strip.start + y);
        std::memcpy(to, own.Row(image, y), static_cast<std::size_t>(own.width) * bytes);
    }
}

// Turns the strip's picture round by step pixels: up (columns) or left
// (bands) for a positive step.
void RotateStrip(void* image, const DibLayout& own, bool columns, int step) {
    const LONG length = columns ? own.height : own.width;
    int shift = step % length;
    if (shift < 0) shift += length;
    if (shift == 0) return;
    BYTE* first = own.Row(image, own.height - 1);  // rows are stored bottom-up
    if (columns) {
        // Row y takes row y + shift: in storage order the rows turn the other way.
        BYTE* end = first + own.stride * static_cast<std::size_t>(own.height);
        std::rotate(first, end - own.stride * static_cast<std::size_t>(shift), end);
        return;
    }
    const std::size_t bytes = PixelBytes(own);
    for (LONG y = 0; y < own.height; ++y) {
        BYTE* row = own.Row(image, y);
        std::rotate(row, row + static_cast<std::size_t>(shift) * bytes,
                    row + static_cast<std::size_t>(own.width) * bytes);
    }
}

int InitialiseTracks(BuildContext* context, LONG width, LONG height) {
    TracksState& state = State(context);
    const HWND page = context->page;
    const int seed = ReadPageInt(page, kSeedControl);
    int count = std::clamp(ReadStripCount(page), 2, 256);
    const int mode = ReadMode(page);
    const int speeds = ReadPageInt(page, kSpeedsControl);
    const int frames = ReadPageInt(page, kFramesControl);
    const bool preview = (context->flags & kPreviewFlag) != 0;
    crt::srand(static_cast<unsigned>(seed));

    GlobalBlock source(SourceCanvas(width, height));
    GlobalLockGuard<BYTE> picture(source.get());
    DibLayout layout;
    if (!picture || !DibLayout::From(picture.get(), layout)) return 0;
    state.width = width;
    state.height = height;
    state.total = preview ? frames : frames - 1;
    state.time = 0;

    const LONG length = TracksColumnMode(mode) ? layout.width : layout.height;
    while (count >= 2 && length / count < kMinimumStrip) --count;
    if (count < 2) return 0;

    state.strips = static_cast<TrackStrip*>(GlobalAlloc(GPTR, sizeof(TrackStrip) * static_cast<std::size_t>(count)));
    if (!state.strips) return 0;
    state.count = count;
    // Strips meet where the fractions k / count of the length, taken in
    // single precision, fall.
    auto boundary = [&](int k) {
        return static_cast<int>(static_cast<float>(length) * (static_cast<float>(k) / static_cast<float>(count)));
    };
    int previous = 0;
    for (int k = 0; k < count; ++k) {
        TrackStrip& strip = state.strips[k];
        strip.speed = kSpeedList[speeds > 1 ? PickIndexWithoutRepeat(std::min(speeds, 4), previous) : 0];
        if (mode == kTracksSlideDown || mode == kTracksSlideRight) strip.speed = -strip.speed;
        if ((mode == kTracksSlideUpAndDown || mode == kTracksSlideLeftAndRight) && crt::rand() % 2 == 0)
            strip.speed = -strip.speed;
        strip.start = boundary(k);
        strip.extent = boundary(k + 1) - strip.start;
        strip.counter = preview ? state.total / 2 : 0;
        strip.mode = mode;
        strip.shift = 0.0f;
        strip.image = CutStrip(picture.get(), layout, strip);
        if (!strip.image) {
            FreeTracks(context);
            return 0;
        }
    }
    return 1;
}

HGLOBAL RenderTracks(BuildContext* context, int frame) {
    TracksState& state = State(context);
    const bool preview = (context->flags & kPreviewFlag) != 0;
    // The preview shows the strips an eighth of the way round.
    state.time = preview ? state.total / 8 : frame;
    GlobalBlock canvas(SourceCanvas(state.width, state.height));
    GlobalLockGuard<BYTE> pixels(canvas.get());
    DibLayout layout;
    if (!pixels || !DibLayout::From(pixels.get(), layout)) return nullptr;
    for (int k = 0; k < state.count; ++k) {
        TrackStrip& strip = state.strips[k];
        if (strip.counter >= 0 && strip.counter < state.total) {
            const bool columns = TracksColumnMode(strip.mode);
            GlobalLockGuard<BYTE> image(strip.image);
            DibLayout own;
            if (!image || !DibLayout::From(image.get(), own)) return nullptr;
            const LONG length = columns ? layout.height : layout.width;
            const float value = static_cast<float>(length) / static_cast<float>(state.total) *
                                    static_cast<float>(strip.speed) * static_cast<float>(state.time) -
                                strip.shift;
            const int step = static_cast<int>(static_cast<double>(value) + 0.5);
            strip.shift += static_cast<float>(step);
            RotateStrip(image.get(), own, columns, step);
            PasteStrip(pixels.get(), layout, image.get(), own, strip);
        }
        ++strip.counter;
    }
    return canvas.release();
}

int BuildTracks(BuildContext* context) {
    if (!context || !context->frames) return 0;
    const HWND page = context->page;
    const int delay = ReadPageInt(page, kDelayControl);
    const int pause = ReadPageInt(page, kPauseControl);
    const int frames = ReadPageInt(page, kFramesControl);
    const bool slowEnd = ReadPageCheck(page, kSlowEndControl);
    context->flags &= ~kPreviewFlag;
    if (!StartBody(context, TracksBody)) return 0;
    BodyStateGuard guard(context, TracksBody);
    const int total = frames - 1;
    const long long threshold = static_cast<long long>(total) * Style011SlowFactor / 100;
    DWORD frameDelay = static_cast<DWORD>(delay);
    for (int i = 0; i < total; ++i) {
        HGLOBAL image = RenderTracks(context, i);
        if (slowEnd && i > threshold) frameDelay += static_cast<DWORD>(delay);
        if (!AppendImage(context, image, frameDelay)) return 0;
        ReportProgress(context, i, total);
    }
    const TracksState& state = State(context);
    return AppendImage(context, SourceCanvas(state.width, state.height), static_cast<DWORD>(pause));
}

int TracksPageEvent(HWND, int) { return 0; }

}  // namespace

constexpr EffectBody TracksBody{&tracks,         sizeof tracks,  InitialiseTracks, RenderTracks,
                                FreeTracks,      kDelayControl,  kFramesControl};

const EffectOperations TracksOperations{PreviewWith<TracksBody>, BuildTracks, DefaultBackgroundColour,
                                        TracksPageEvent};
