// Bad Video: a faulty video signal. A programme of disturbances plays one
// after another, each alternating the plain picture with broken frames at
// random delays, optionally seen on a drawn monitor.
#include "effects/bad_video.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

#include "effects/effect_bodies.h"
#include "effects/source_image.h"
#include "image/filters.h"
#include "image/gdi_guards.h"
#include "image/packed_dib.h"
#include "luma/crt.h"
#include "plugin/guards.h"

namespace {

constexpr int kLightControl = 787;
constexpr int kDarkControl = 789;
constexpr int kShortDelayControl = 791;
constexpr int kLongDelayControl = 793;
constexpr int kSeedControl = 795;
constexpr int kMonitorTypeControl = 802;
constexpr int kMonitorColourControl = 804;
constexpr int kMediumDelayControl = 806;

enum DisturbanceKind : std::int32_t {
    kFlash = 0,
    kSnowFade = 1,
    kSnowFlash = 2,
    kRasterFlash = 3,
    kBlockError = 4,
};
constexpr int kKinds = 5;
// The check box of each kind; the programme always plays in this order.
constexpr int kKindControls[kKinds] = {797, 798, 799, 800, 801};

constexpr int kFadeLength = 16;
// The progress total counts every fade step and the hold as a frame of its
// own, although the step that ends each clouding shares its frame.
constexpr int kFadeExpectedFrames = 65;
constexpr int kLineOpacity = 240;

struct BadVideoDisturbance {
    std::int32_t kind;
    // Flash, snow flash, raster flash and block error.
    std::int32_t total;
    std::int32_t counter;
    std::int32_t baseDelay;
    std::int32_t lineOpacity;  // raster flash
    std::int32_t blockSize;    // block error
    // Snow fade.
    std::int32_t fadeLength;
    float level;
    std::int32_t phase;
};

struct BadVideoState {
    LONG width;
    LONG height;
    std::int32_t expectedFrames;
    COLORREF light;
    COLORREF dark;
    COLORREF monitorColour;
    std::int32_t shortDelay;
    std::int32_t longDelay;
    std::int32_t mediumDelay;
    std::int32_t monitorType;
    BadVideoDisturbance disturbances[kKinds];
    std::int32_t count;
    std::int32_t current;
    std::int32_t finished;
    std::int32_t frameDelay;
    HGLOBAL overlay;  // none without a monitor
    HGLOBAL mask;
    HGLOBAL picture;  // the SourceImage at 24 bits, which every frame starts from
    std::size_t stride;
    BYTE snow[256][3];  // the snow colour of each drawn number, blue, green, red
};

BadVideoState badVideoState;

BadVideoState& State(BuildContext* context) { return *static_cast<BadVideoState*>(context->state); }

// Row y from the top of a 24-bit frame of the state's size.
BYTE* Row(const BadVideoState& s, BYTE* dib, LONG y) {
    return dib + sizeof(BITMAPINFOHEADER) + s.stride * static_cast<std::size_t>(s.height - 1 - y);
}

// One draw in lo..hi - 1, never below 1: a frame without delay would not show.
std::int32_t RandomDelay(std::int32_t lo, std::int32_t hi) {
    const int draw = crt::rand();
    return std::max(hi > lo ? draw % (hi - lo) + lo : lo, 1);
}

std::int32_t FlashDelay(const BadVideoDisturbance& d) {
    return RandomDelay(4 * d.baseDelay / 10, 25 * d.baseDelay / 10);
}

std::int32_t BlockErrorDelay(const BadVideoDisturbance& d) { return RandomDelay(d.baseDelay / 10, 5 * d.baseDelay); }

std::int32_t FadeDelay(const BadVideoState& s) { return RandomDelay(s.shortDelay, 25 * s.shortDelay / 10); }

HGLOBAL PictureFrame(const BadVideoState& s) { return CopyGlobalBlock(s.picture); }

HGLOBAL SolidFrame(const BadVideoState& s, COLORREF colour) {
    GlobalBlock frame(CreatePackedDib(s.width, s.height, nullptr, 24));
    GlobalLockGuard<BYTE> out(frame.get());
    if (!out) return nullptr;
    BYTE* first = Row(s, out.get(), 0);
    for (LONG x = 0; x < s.width; ++x) {
        first[3 * x] = GetBValue(colour);
        first[3 * x + 1] = GetGValue(colour);
        first[3 * x + 2] = GetRValue(colour);
    }
    for (LONG y = 1; y < s.height; ++y) std::memcpy(Row(s, out.get(), y), first, s.stride);
    return frame.release();
}

// Fresh snow over the picture: each pixel is its snow colour weighted by
// snowWeight / 255 plus the picture weighted by the rest, each term
// truncated. One number is drawn per pair of pixels, row by row from the
// top, the second pixel of a pair a lighter grain; a pair starting at
// x = width still takes its draw.
HGLOBAL SnowFrame(const BadVideoState& s, int snowWeight) {
    GlobalBlock frame(CreatePackedDib(s.width, s.height, nullptr, 24));
    GlobalLockGuard<BYTE> out(frame.get()), picture(s.picture);
    if (!out || !picture) return nullptr;
    BYTE snow[256][3], rest[256];
    for (int n = 0; n < 256; ++n) {
        for (int c = 0; c < 3; ++c) snow[n][c] = static_cast<BYTE>(s.snow[n][c] * snowWeight / 255);
        rest[n] = static_cast<BYTE>(n * (255 - snowWeight) / 255);
    }
    auto put = [&](BYTE* o, const BYTE* p, int n) {
        for (int c = 0; c < 3; ++c) o[c] = static_cast<BYTE>(snow[n][c] + rest[p[c]]);
    };
    for (LONG y = 0; y < s.height; ++y) {
        BYTE* o = Row(s, out.get(), y);
        const BYTE* p = Row(s, picture.get(), y);
        for (LONG x = 0; x <= s.width; x += 2) {
            const int n = crt::rand() % 256;
            if (x < s.width) put(o + 3 * x, p + 3 * x, n);
            if (x + 1 < s.width) put(o + 3 * x + 3, p + 3 * x + 3, std::min(n + n / 2, 255));
        }
    }
    return frame.release();
}

// The draws of a snow image whose frame is not kept.
void SkipSnow(const BadVideoState& s) {
    const std::int64_t draws = static_cast<std::int64_t>(s.height) * (s.width / 2 + 1);
    for (std::int64_t i = 0; i < draws; ++i) crt::rand();
}

// Every even row from the top darkened into a scan line of the dark colour.
HGLOBAL RasterFrame(const BadVideoState& s, int opacity) {
    GlobalBlock frame(PictureFrame(s));
    GlobalLockGuard<BYTE> out(frame.get());
    if (!out) return nullptr;
    const BYTE line[3] = {static_cast<BYTE>(GetBValue(s.dark) * opacity / 255),
                          static_cast<BYTE>(GetGValue(s.dark) * opacity / 255),
                          static_cast<BYTE>(GetRValue(s.dark) * opacity / 255)};
    BYTE rest[256];
    for (int v = 0; v < 256; ++v) rest[v] = static_cast<BYTE>(v * (255 - opacity) / 255);
    for (LONG y = 0; y < s.height; y += 2) {
        BYTE* o = Row(s, out.get(), y);
        for (LONG x = 0; x < s.width; ++x, o += 3)
            for (int c = 0; c < 3; ++c) o[c] = static_cast<BYTE>(line[c] + rest[o[c]]);
    }
    return frame.release();
}

// Entry of the 3-3-2 palette: three bits of red, three of green, two of blue.
COLORREF GlitchColour(int entry) {
    static constexpr BYTE kEighths[8] = {0, 36, 72, 108, 144, 180, 216, 255};
    static constexpr BYTE kQuarters[4] = {0, 85, 170, 255};
    return RGB(kEighths[entry / 32], kEighths[(entry / 4) % 8], kQuarters[entry % 4]);
}

// The picture with the size x size blocks whose running count (size² per
// block, row of blocks by row of blocks) lies in [start, end) flattened to
// their average colour; with glitch set, a third of them also pulled half
// way to a random colour of the 3-3-2 palette.
HGLOBAL BlockErrorFrame(const BadVideoState& s, std::int64_t start, std::int64_t end, LONG size, bool glitch) {
    GlobalBlock frame(PictureFrame(s));
    GlobalLockGuard<BYTE> out(frame.get());
    if (!out) return nullptr;
    const std::int64_t area = static_cast<std::int64_t>(size) * size;
    std::int64_t count = 0;
    for (LONG top = 0; top < s.height && count < end; top += size) {
        const LONG bottom = std::min(top + size, s.height);
        for (LONG left = 0; left < s.width && count < end; left += size, count += area) {
            if (count < start) continue;
            const LONG right = std::min(left + size, s.width);
            std::uint64_t sum[3] = {0, 0, 0};
            for (LONG y = top; y < bottom; ++y) {
                const BYTE* p = Row(s, out.get(), y) + 3 * static_cast<std::size_t>(left);
                for (LONG x = left; x < right; ++x, p += 3)
                    for (int c = 0; c < 3; ++c) sum[c] += p[c];
            }
            const std::uint64_t pixels = static_cast<std::uint64_t>(right - left) * (bottom - top);
            BYTE colour[3];
            for (int c = 0; c < 3; ++c) colour[c] = static_cast<BYTE>(sum[c] / pixels);
            if (glitch && crt::rand() % 3 == 0) {
                const COLORREF p = GlitchColour(crt::rand() % 256);
                colour[0] = static_cast<BYTE>((colour[0] + GetBValue(p)) / 2);
                colour[1] = static_cast<BYTE>((colour[1] + GetGValue(p)) / 2);
                colour[2] = static_cast<BYTE>((colour[2] + GetRValue(p)) / 2);
            }
            for (LONG y = top; y < bottom; ++y) {
                BYTE* o = Row(s, out.get(), y) + 3 * static_cast<std::size_t>(left);
                for (LONG x = left; x < right; ++x, o += 3) std::memcpy(o, colour, 3);
            }
        }
    }
    return frame.release();
}

// A disturbance's frame is done; the next disturbance follows its last one.
void Advance(BadVideoState& s, BadVideoDisturbance& d) {
    if (++d.counter >= d.total) ++s.current;
}

HGLOBAL RunFlash(BadVideoState& s, BadVideoDisturbance& d) {
    s.frameDelay = FlashDelay(d);
    HGLOBAL frame = (d.counter & 1) ? SolidFrame(s, (d.counter & 2) ? s.light : s.dark) : PictureFrame(s);
    Advance(s, d);
    return frame;
}

HGLOBAL RunSnowFlash(BadVideoState& s, BadVideoDisturbance& d) {
    s.frameDelay = FlashDelay(d);
    HGLOBAL frame = (d.counter & 1) ? SnowFrame(s, 255) : PictureFrame(s);
    Advance(s, d);
    return frame;
}

HGLOBAL RunRasterFlash(BadVideoState& s, BadVideoDisturbance& d) {
    s.frameDelay = FlashDelay(d);
    HGLOBAL frame = (d.counter & 1) ? RasterFrame(s, d.lineOpacity) : PictureFrame(s);
    Advance(s, d);
    return frame;
}

HGLOBAL RunBlockError(BadVideoState& s, BadVideoDisturbance& d) {
    HGLOBAL frame;
    if (d.counter % 4 != 0) {
        const std::int64_t area = static_cast<std::int64_t>(s.width) * s.height;
        const std::int64_t start = crt::rand() % area;
        const std::int64_t length = crt::rand() % (area - start);
        s.frameDelay = BlockErrorDelay(d);
        const LONG size = d.blockSize + crt::rand() % 6;
        const bool glitch = crt::rand() % 2 != 0;
        frame = BlockErrorFrame(s, start, start + length, size, glitch);
    } else {
        s.frameDelay = BlockErrorDelay(d);
        frame = PictureFrame(s);
    }
    Advance(s, d);
    return frame;
}

// One step of a fade at the current level: fresh snow, its delay, the blend;
// clouding turns the picture into snow as the level rises, clearing turns
// the snow back into the picture. Without render the step draws its numbers
// and makes no frame.
HGLOBAL FadeStep(BadVideoState& s, BadVideoDisturbance& d, bool clouding, bool render) {
    const int a = std::clamp(static_cast<int>(d.level * 255), 0, 255);
    HGLOBAL frame = nullptr;
    if (render) frame = SnowFrame(s, clouding ? a : 255 - a);
    else SkipSnow(s);
    s.frameDelay = FadeDelay(s);
    d.level = static_cast<float>(static_cast<double>(d.level) + 1.0 / 16);
    ++d.counter;
    return frame;
}

void NextFadePhase(BadVideoDisturbance& d) {
    d.level = 0.0f;
    d.counter = 0;
    ++d.phase;
}

// Phases: cloud over, clear, hold the picture for the long delay, cloud
// over, clear. The step that ends a clouding also takes the clearing's first
// step, so that frame shows pure snow with the clearing's delay.
HGLOBAL RunSnowFade(BadVideoState& s, BadVideoDisturbance& d) {
    GlobalBlock frame;
    if (d.phase == 0 || d.phase == 3) {
        const bool ends = d.counter + 1 >= d.fadeLength;
        frame.reset(FadeStep(s, d, true, !ends));
        if (ends) NextFadePhase(d);
        else if (!frame) return nullptr;
    }
    if (d.phase == 1 || d.phase == 4) {
        frame.reset(FadeStep(s, d, false, true));
        if (!frame) return nullptr;
        if (d.counter >= d.fadeLength) {
            NextFadePhase(d);
            if (d.phase == 5) ++s.current;
        }
    } else if (d.phase == 2) {
        frame.reset(PictureFrame(s));
        s.frameDelay = s.longDelay;
        d.phase = 3;
    }
    return frame.release();
}

// Per channel trunc(frame x (255 - m) / 255) + trunc(overlay x m / 255).
bool ApplyMonitor(const BadVideoState& s, HGLOBAL frame) {
    if (!s.mask) return true;
    GlobalLockGuard<BYTE> out(frame), overlay(s.overlay), mask(s.mask);
    DibLayout maskLayout;
    if (!out || !overlay || !mask || !DibLayout::From(mask.get(), maskLayout)) return false;
    for (LONG y = 0; y < s.height; ++y) {
        BYTE* o = Row(s, out.get(), y);
        const BYTE* v = Row(s, overlay.get(), y);
        const BYTE* m = maskLayout.Row(mask.get(), y);
        for (LONG x = 0; x < s.width; ++x, o += 3, v += 3) {
            const unsigned cover = m[x];
            if (cover == 0) continue;
            for (int c = 0; c < 3; ++c) o[c] = static_cast<BYTE>(o[c] * (255 - cover) / 255 + v[c] * cover / 255);
        }
    }
    return true;
}

int ReadMonitorType(HWND page) {
    const LRESULT selection = SendDlgItemMessageA(page, kMonitorTypeControl, CB_GETCURSEL, 0, 0);
    return selection >= kNoMonitor && selection <= kFlatScreenMonitor ? static_cast<int>(selection) : kNoMonitor;
}

// The programme in its fixed order, the snow fade alone when nothing is
// checked; draws each disturbance's length.
void PlanDisturbances(HWND page, BadVideoState& s) {
    for (int kind = 0; kind < kKinds; ++kind)
        if (ReadPageCheck(page, kKindControls[kind])) s.disturbances[s.count++].kind = kind;
    if (s.count == 0) s.disturbances[s.count++].kind = kSnowFade;
    for (int i = 0; i < s.count; ++i) {
        BadVideoDisturbance& d = s.disturbances[i];
        if (d.kind == kSnowFade) {
            d.fadeLength = kFadeLength;
            s.expectedFrames += kFadeExpectedFrames;
            continue;
        }
        d.total = crt::rand() % 24 + 12;
        d.baseDelay = s.mediumDelay;
        d.lineOpacity = kLineOpacity;
        d.blockSize = std::max<LONG>(4, std::min(s.width, s.height) / 16);
        s.expectedFrames += d.total;
    }
}

void BadVideoFreeState(BuildContext* context) {
    BadVideoState& s = State(context);
    for (HGLOBAL* block : {&s.overlay, &s.mask, &s.picture}) {
        if (*block) GlobalFree(*block);
        *block = nullptr;
    }
}

// Takes ownership of source, the SourceImage copy.
int InitialiseFrom(BuildContext* context, HGLOBAL source) {
    GlobalBlock copy(source);
    // Every frame shares one plain 24-bit layout, whatever the source's header holds.
    GlobalBlock picture(ToTrueColourDib(copy.get()));
    if (!picture) return 0;
    copy.reset();
    BadVideoState& s = State(context);
    {
        GlobalLockGuard<BITMAPINFOHEADER> header(picture.get());
        if (!header) return 0;
        s.width = header->biWidth;
        s.height = header->biHeight;
    }
    s.stride = DibStride(s.width, 24);
    HWND page = context->page;
    crt::srand(static_cast<unsigned>(ReadPageInt(page, kSeedControl)));
    s.light = ReadPageColour(page, kLightControl) & 0xFFFFFF;
    s.dark = ReadPageColour(page, kDarkControl) & 0xFFFFFF;
    s.monitorColour = ReadPageColour(page, kMonitorColourControl) & 0xFFFFFF;
    s.shortDelay = ReadPageInt(page, kShortDelayControl);
    s.mediumDelay = ReadPageInt(page, kMediumDelayControl);
    s.longDelay = ReadPageInt(page, kLongDelayControl);
    s.monitorType = ReadMonitorType(page);
    for (int n = 0; n < 256; ++n) {
        auto mix = [n](unsigned dark, unsigned light) {
            return static_cast<BYTE>(dark * (255 - n) / 255 + light * n / 255);
        };
        s.snow[n][0] = mix(GetBValue(s.dark), GetBValue(s.light));
        s.snow[n][1] = mix(GetGValue(s.dark), GetGValue(s.light));
        s.snow[n][2] = mix(GetRValue(s.dark), GetRValue(s.light));
    }
    PlanDisturbances(page, s);
    if (!MakeMonitor(s.monitorType, s.width, s.height, s.monitorColour, &s.overlay, &s.mask)) return 0;
    s.picture = picture.release();
    return 1;
}

int BadVideoInitialise(BuildContext* context, LONG, LONG) { return InitialiseFrom(context, GetSourceImageCopy()); }

// Frames follow the programme, not the caller's index.
HGLOBAL BadVideoRenderFrame(BuildContext* context, int) {
    BadVideoState& s = State(context);
    GlobalBlock frame;
    if (s.current < s.count) {
        BadVideoDisturbance& d = s.disturbances[s.current];
        switch (d.kind) {
        case kFlash: frame.reset(RunFlash(s, d)); break;
        case kSnowFade: frame.reset(RunSnowFade(s, d)); break;
        case kSnowFlash: frame.reset(RunSnowFlash(s, d)); break;
        case kRasterFlash: frame.reset(RunRasterFlash(s, d)); break;
        default: frame.reset(RunBlockError(s, d)); break;
        }
    } else {
        frame.reset(PictureFrame(s));
    }
    if (s.current >= s.count) s.finished = 1;
    if (!frame || !ApplyMonitor(s, frame.get())) return nullptr;
    return frame.release();
}

// The programme decides the frame count and each frame's delay, so the
// build runs its own loop until the last disturbance is done.
int BadVideoBuild(BuildContext* context) {
    if (!context || !context->frames) return 0;
    std::memset(&badVideoState, 0, sizeof badVideoState);
    context->state = &badVideoState;
    if (!BadVideoInitialise(context, 0, 0)) {
        BadVideoFreeState(context);
        return 0;
    }
    struct FreeAtEnd {
        BuildContext* context;
        ~FreeAtEnd() { BadVideoFreeState(context); }
    } freeAtEnd{context};
    const BadVideoState& s = badVideoState;
    for (int i = 0; !s.finished; ++i) {
        GlobalBlock image(BadVideoRenderFrame(context, i));
        if (!image) return 0;
        FrameRecord record{};
        record.image = image.get();
        record.delay = static_cast<DWORD>(s.frameDelay);
        record.transparentIndex = -1;
        if (!AppendFrame(context->frames, &record)) return 0;
        image.release();
        ReportProgress(context, i, s.expectedFrames);
    }
    return 1;
}

// Monitor drawing. Each layer is drawn white on black at four times the
// picture's size, reduced to it, and painted in its colour into the overlay.

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr double kUpperRimShade = 1.55;
constexpr double kLowerRimShade = 1.95;
constexpr double kEdgeShade = 0.5;

class MonitorCanvas {
public:
    bool Open(LONG width, LONG height) {
        w4_ = 4 * width;
        h4_ = 4 * height;
        large_.reset(CreatePackedDib(w4_, h4_, nullptr, 8));
        return large_ && surface_.Open(w4_, h4_);
    }
    HDC dc() const { return surface_.dc(); }
    LONG w4() const { return w4_; }
    LONG h4() const { return h4_; }

    // Reduces the layer drawn so far, paints colour through it into the
    // overlay and clears the surface for the next layer. With keep the
    // reduced layer is handed over as well.
    bool Paint(HGLOBAL overlay, COLORREF colour, HGLOBAL* keep = nullptr) {
        GlobalBlock reduced(Reduce());
        GlobalLockGuard<BYTE> target(overlay), mask(reduced.get());
        if (!target || !mask) return false;
        BlendColourThroughMask(target.get(), mask.get(), 0, 0, colour, 255, 0);
        PatBlt(dc(), 0, 0, w4_, h4_, BLACKNESS);
        if (keep) *keep = reduced.release();
        return true;
    }

private:
    // The drawing is grey, so its red channel at 8 bits reduces to the same
    // coverage as the whole surface, at a third of the work.
    HGLOBAL Reduce() {
        GdiFlush();
        {
            GlobalLockGuard<BYTE> large(large_.get());
            DibLayout layout;
            if (!large || !DibLayout::From(large.get(), layout)) return nullptr;
            const BYTE* bits = static_cast<const BYTE*>(surface_.get().bits);
            const std::size_t sectionStride = DibStride(w4_, 24);
            // Section and picture both store their rows bottom-up.
            for (LONG row = 0; row < h4_; ++row) {
                const BYTE* in = bits + sectionStride * row + 2;
                BYTE* out = large.get() + sizeof(BITMAPINFOHEADER) + layout.tableBytes + layout.stride * row;
                for (LONG x = 0; x < w4_; ++x, in += 3) out[x] = *in;
            }
        }
        return ScaleDibPercent(large_.get(), 25, 25);
    }

    SurfaceGuard surface_;
    GlobalBlock large_;
    LONG w4_ = 0;
    LONG h4_ = 0;
};

bool DrawWithPen(HDC dc, int style, int width, COLORREF colour, auto draw) {
    GdiObject pen(CreatePen(style, width, colour));
    if (!pen) return false;
    Selection selected(dc, pen.get());
    draw();
    return true;
}

bool Outline(HDC dc, const POINT* points, DWORD count, int width) {
    return DrawWithPen(dc, PS_SOLID, width, kWhite, [&] { PolyBezier(dc, points, count); });
}

// A flood fill may find nothing to fill on a picture too small to hold the
// seed; the layer then stays as drawn.
void FillOutside(HDC dc) {
    Selection brush(dc, GetStockObject(WHITE_BRUSH));
    ExtFloodFill(dc, 4, 4, kBlack, FLOODFILLSURFACE);
}

void BlackTriangle(HDC dc, POINT a, POINT b, POINT c) {
    Selection pen(dc, GetStockObject(NULL_PEN)), brush(dc, GetStockObject(BLACK_BRUSH));
    const POINT corners[3] = {a, b, c};
    Polygon(dc, corners, 3);
}

bool OuterEdge(HDC dc, LONG w4, LONG h4) {
    Selection brush(dc, GetStockObject(NULL_BRUSH));
    return DrawWithPen(dc, PS_INSIDEFRAME, 4, kWhite, [&] { Rectangle(dc, 0, 0, w4, h4); });
}

struct Segment {
    POINT from;
    POINT to;
};

void DrawSegments(HDC dc, const Segment (&segments)[4]) {
    for (const Segment& s : segments) {
        MoveToEx(dc, s.from.x, s.from.y, nullptr);
        LineTo(dc, s.to.x, s.to.y);
    }
}

// Soft streaks across the four corners: ever narrower and brighter strokes,
// brightest along their middle.
bool CornerGloss(HDC dc, LONG w4, LONG h4, LONG b, LONG width, LONG height) {
    const int strokes = std::max<LONG>(4, std::min(width, height) / 10);
    const LONG d = 3 * b / 2;
    const Segment diagonals[4] = {{{4, 4}, {d - 4, d - 4}},
                                  {{w4 - 4, 4}, {w4 - d - 4, d - 4}},
                                  {{4, h4 - 4}, {d, h4 - d - 4}},
                                  {{w4 - 4, h4 - 4}, {w4 - d - 4, h4 - d - 4}}};
    for (int j = 0; j < strokes; ++j) {
        const BYTE level = static_cast<BYTE>(j * 255 / strokes);
        if (!DrawWithPen(dc, PS_SOLID, 4 * (strokes - j), RGB(level, level, level), [&] { DrawSegments(dc, diagonals); }))
            return false;
    }
    return true;
}

// Retro and Studio: a cushion-shaped screen of Bézier segments.
bool DrawCushionMonitor(MonitorCanvas& canvas, const POINT* outline, DWORD count, bool gloss, COLORREF colour,
                        LONG b, LONG width, LONG height, HGLOBAL overlay, HGLOBAL* mask) {
    HDC dc = canvas.dc();
    const LONG w4 = canvas.w4(), h4 = canvas.h4();
    if (!Outline(dc, outline, count, 4)) return false;
    FillOutside(dc);
    GlobalBlock body;
    HGLOBAL kept = nullptr;
    if (!canvas.Paint(overlay, colour, &kept)) return false;
    body.reset(kept);
    if (!Outline(dc, outline, count, 8)) return false;
    BlackTriangle(dc, {0, h4}, {w4, 0}, {w4, h4});
    if (!canvas.Paint(overlay, MonitorShade(colour, kUpperRimShade))) return false;
    if (!Outline(dc, outline, count, 8)) return false;
    BlackTriangle(dc, {0, h4}, {0, 0}, {w4, 0});
    if (!canvas.Paint(overlay, MonitorShade(colour, kLowerRimShade))) return false;
    if (!OuterEdge(dc, w4, h4) || !canvas.Paint(overlay, MonitorShade(colour, kEdgeShade))) return false;
    if (gloss && (!CornerGloss(dc, w4, h4, b, width, height) ||
                  !canvas.Paint(overlay, MonitorShade(colour, kLowerRimShade))))
        return false;
    // The mask is the body's own layer.
    *mask = body.release();
    return true;
}

bool DrawRetroMonitor(MonitorCanvas& canvas, COLORREF colour, LONG b, LONG width, LONG height, HGLOBAL overlay,
                      HGLOBAL* mask) {
    const LONG w4 = canvas.w4(), h4 = canvas.h4(), cx = w4 / 2, cy = h4 / 2;
    const POINT outline[13] = {{b, cy},           {b, b},           {b, b},           {cx, b},
                               {w4 - b, b},       {w4 - b, b},      {w4 - b, cy},     {w4 - b, h4 - b},
                               {w4 - b, h4 - b},  {cx, h4 - b},     {b, h4 - b},      {b, h4 - b},
                               {b, cy}};
    return DrawCushionMonitor(canvas, outline, 13, true, colour, b, width, height, overlay, mask);
}

bool DrawStudioMonitor(MonitorCanvas& canvas, COLORREF colour, LONG b, LONG width, LONG height, HGLOBAL overlay,
                       HGLOBAL* mask) {
    const LONG w4 = canvas.w4(), h4 = canvas.h4(), e = 3 * b;
    // Straight sides between points e from the corners, each corner rounded
    // with both control points in it.
    const POINT outline[25] = {
        {b, h4 - e},      {b, e},           {b, h4 - e},      {b, e},
        {b, b},           {b, b},           {e, b},
        {w4 - e, b},      {e, b},           {w4 - e, b},
        {w4 - b, b},      {w4 - b, b},      {w4 - b, e},
        {w4 - b, h4 - e}, {w4 - b, e},      {w4 - b, h4 - e},
        {w4 - b, h4 - b}, {w4 - b, h4 - b}, {w4 - e, h4 - b},
        {e, h4 - b},      {w4 - e, h4 - b}, {e, h4 - b},
        {b, h4 - b},      {b, h4 - b},      {b, h4 - e}};
    return DrawCushionMonitor(canvas, outline, 25, false, colour, b, width, height, overlay, mask);
}

// A flat screen: a plain rectangle with mitred corners in the frame.
bool DrawFlatScreenMonitor(MonitorCanvas& canvas, COLORREF colour, LONG b, HGLOBAL overlay, HGLOBAL* mask) {
    HDC dc = canvas.dc();
    const LONG w4 = canvas.w4(), h4 = canvas.h4(), right = w4 - b - 4, bottom = h4 - b - 4;
    PatBlt(dc, 0, 0, w4, h4, WHITENESS);
    const RECT screen{b, b, right, bottom};
    FillRect(dc, &screen, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    GlobalBlock body;
    HGLOBAL kept = nullptr;
    if (!canvas.Paint(overlay, colour, &kept)) return false;
    body.reset(kept);
    const POINT upper[3] = {{b, bottom}, {b, b}, {right, b}};
    if (!DrawWithPen(dc, PS_SOLID, 8, kWhite, [&] { Polyline(dc, upper, 3); }) ||
        !canvas.Paint(overlay, MonitorShade(colour, kUpperRimShade)))
        return false;
    const POINT lower[3] = {{b, h4 - b - 1}, {right, bottom}, {right, b}};
    if (!DrawWithPen(dc, PS_SOLID, 8, kWhite, [&] { Polyline(dc, lower, 3); }) ||
        !canvas.Paint(overlay, MonitorShade(colour, kLowerRimShade)))
        return false;
    const Segment mitres[4] = {{{4, 4}, {b - 4, b - 4}},
                               {{w4 - 4, 4}, {right, b - 4}},
                               {{4, h4 - 4}, {b, bottom}},
                               {{w4 - 4, h4 - 4}, {right, bottom}}};
    if (!DrawWithPen(dc, PS_SOLID, 4, kWhite, [&] { DrawSegments(dc, mitres); }) ||
        !canvas.Paint(overlay, MonitorShade(colour, kUpperRimShade)))
        return false;
    if (!OuterEdge(dc, w4, h4) || !canvas.Paint(overlay, MonitorShade(colour, kEdgeShade))) return false;
    *mask = body.release();
    return true;
}

}  // namespace

COLORREF MonitorShade(COLORREF colour, double factor) {
    int channels[3] = {static_cast<int>(GetRValue(colour) * factor), static_cast<int>(GetGValue(colour) * factor),
                       static_cast<int>(GetBValue(colour) * factor)};
    const int excess = *std::max_element(channels, channels + 3) - 255;
    if (factor > 1 && excess > 0)
        for (int& c : channels) c = std::max(c - excess, 0);
    return RGB(channels[0], channels[1], channels[2]);
}

bool MakeMonitor(int type, LONG width, LONG height, COLORREF colour, HGLOBAL* overlay, HGLOBAL* mask) {
    *overlay = *mask = nullptr;
    if (type == kNoMonitor) return true;
    constexpr LONG kLargest = std::numeric_limits<LONG>::max() / 4;  // the 4x drawing must fit
    if (width <= 0 || height <= 0 || width > kLargest || height > kLargest) return false;
    const LONG rim = std::min(width, height) * 5 / 100;
    const LONG b = 4 * std::max<LONG>(2, rim);
    GlobalBlock picture(CreatePackedDib(width, height, nullptr, 24));
    MonitorCanvas canvas;
    if (!picture || !canvas.Open(width, height)) return false;
    HGLOBAL cover = nullptr;
    bool drawn = false;
    switch (type) {
    case kRetroMonitor: drawn = DrawRetroMonitor(canvas, colour, b, width, height, picture.get(), &cover); break;
    case kStudioMonitor: drawn = DrawStudioMonitor(canvas, colour, b, width, height, picture.get(), &cover); break;
    default: drawn = DrawFlatScreenMonitor(canvas, colour, b, picture.get(), &cover); break;
    }
    if (!drawn) return false;
    *overlay = picture.release();
    *mask = cover;
    return true;
}

constexpr EffectBody BadVideoBody{&badVideoState, sizeof(BadVideoState), BadVideoInitialise, BadVideoRenderFrame,
                                  BadVideoFreeState, kShortDelayControl, 0};

constexpr EffectOperations BadVideoOperations{PreviewWith<BadVideoBody>, BadVideoBuild, DefaultBackgroundColour,
                                              DefaultPageEvent};
