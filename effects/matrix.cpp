// Matrix: the picture, reduced to one cell of an n x n grid, travels from
// cell to cell, cross-fading from each into the next and resting there for
// the Pause. Each reduced copy can carry a frame in the background colour
// that fades towards the inside, roughened by a cloudy texture. The frames
// are the size of the grid.
#include <algorithm>

#include "effects/effect_bodies.h"
#include "effects/effect_table.h"
#include "effects/pages.h"
#include "effects/source_image.h"
#include "image/filters.h"
#include "image/packed_dib.h"
#include "image/resample.h"
#include "luma/crt.h"
#include "plugin/guards.h"
#include "plugin/lifecycle.h"

namespace {

constexpr int kSizeList = 668;
constexpr int kGutterField = 670;
constexpr int kDelayField = 674;
constexpr int kPauseField = 676;
constexpr int kFadeFramesField = 678;
constexpr int kSeedField = 680;
constexpr int kRandomBox = 682;
constexpr int kDistressedBox = 683;
constexpr int kFrameWidthField = 684;
constexpr int kTextureBitmap = 7151;
constexpr int kTextureSide = 256;
constexpr int kLargestGrid = 8;

enum TilePhase { kHidden, kFadingIn, kShown, kFadingOut };

struct MatrixTile {
    LONG x, y;  // top-left corner of its cell on the canvas
    int phase;
    float opacity;
    int counter;    // frames spent in the present fade
    HGLOBAL image;  // the reduced picture with its frame
    int index;
};

struct MatrixState {
    LONG canvasWidth, canvasHeight;
    int delay, pause;
    int frameDelay;  // of the frame just rendered
    int gutter, fadeFrames;
    COLORREF background;
    int tileCount;
    MatrixTile tiles[kLargestGrid * kLargestGrid];
    int shownCount;
    int finished;
    bool preview;
};

MatrixState state;

// Matrix masks its gutter colour.
DWORD MatrixBackgroundColour(HWND page, int ask) {
    return ask == 0 ? ReadPageColour(page, kMatrixBackgroundControl) : kNoBackground;
}

int GridSize(HWND page) {
    LRESULT index = SendDlgItemMessageA(page, kSizeList, CB_GETCURSEL, 0, 0);
    if (index < 0) index = 0;
    if (index > kLargestGrid - 2) index = kLargestGrid - 2;
    return static_cast<int>(index) + 2;
}

// The frame texture as a picture of its own; null when it cannot be had.
HGLOBAL LoadTexture() {
    HMODULE module = PluginModule();
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCE(kTextureBitmap), RT_BITMAP);
    HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    const DWORD size = resource ? SizeofResource(module, resource) : 0;
    if (!bytes || !PackedDibFits(bytes, size)) return nullptr;
    return GlobalBlockFromMemory(bytes, size);
}

struct FrameLook {
    int percent;
    bool distressed;
    COLORREF colour;
    const void* texture;  // locked, when distressed
    DibLayout textureLayout;
};

// The tile with a frame: a mask of rings fading inwards from the edge,
// roughened by the texture at a random offset, blurred, and the colour laid
// over the picture through it.
HGLOBAL FrameTile(HGLOBAL picture, int k, const FrameLook& look) {
    GlobalLockGuard<BYTE> tile(picture);
    DibLayout layout;
    if (!tile || !DibLayout::From(tile.get(), layout)) return nullptr;
    const LONG w = layout.width, h = layout.height;
    const int ox = crt::rand() % (kTextureSide / (k + 1));
    const int oy = crt::rand() % (kTextureSide / (k + 1));
    int rings = static_cast<int>(std::min(w, h) * look.percent / 100);
    if (rings < 1) rings = 1;
    const double step = 255.0 / rings;
    float level = 255.0f;

    BYTE greys[768];
    for (int i = 0; i < 256; ++i) greys[3 * i] = greys[3 * i + 1] = greys[3 * i + 2] = static_cast<BYTE>(i);
    GlobalBlock mask(CreatePackedDib(w, h, greys, 8));
    {
        GlobalLockGuard<BYTE> bits(mask.get());
        DibLayout maskLayout;
        if (!bits || !DibLayout::From(bits.get(), maskLayout)) return nullptr;
        for (int r = 0; r < rings; ++r) {
            int intensity = static_cast<int>(level);
            intensity = std::clamp(intensity, 0, 255);
            level = static_cast<float>(level - step);
            auto set = [&](LONG x, LONG y) {
                if (x < 0 || y < 0 || x >= w || y >= h) return;
                int value = intensity;
                if (look.distressed) {
                    const DWORD texel = look.textureLayout.Read(
                        look.textureLayout.Row(look.texture, (y + oy) % kTextureSide), (x + ox) % kTextureSide);
                    value = std::clamp(static_cast<int>(texel & 0xFF) / 2 - 64 + intensity, 0, 255);
                }
                maskLayout.Row(bits.get(), y)[x] = static_cast<BYTE>(value);
            };
            for (LONG y = r; y <= h - r - 1; ++y) {
                set(r, y);
                set(w - r - 1, y);
            }
            for (LONG x = r - 1; x <= w - r; ++x) {
                set(x, r);
                set(x, h - r - 1);
            }
        }
    }
    GlobalBlock blurred(GaussianBlurDib(mask.get(), 0, 22));
    GlobalBlock framed(CreatePackedDib(w, h, nullptr, 24));
    GlobalLockGuard<BYTE> m(blurred.get()), out(framed.get());
    DibLayout maskLayout, outLayout;
    if (!m || !out || !DibLayout::From(m.get(), maskLayout) || !DibLayout::From(out.get(), outLayout)) return nullptr;
    for (LONG y = 0; y < h; ++y) {
        const BYTE* weights = maskLayout.Row(m.get(), y);
        const BYTE* pixels = layout.Row(tile.get(), y);
        BYTE* row = outLayout.Row(out.get(), y);
        for (LONG x = 0; x < w; ++x) {
            const DWORD weight = weights[x];
            const DWORD pixel = layout.Read(pixels, x);
            DWORD colour = 0;
            for (int shift = 0; shift < 24; shift += 8)
                colour |= (((look.colour >> shift) & 0xFF) * weight / 255 + ((pixel >> shift) & 0xFF) * (255 - weight) / 255)
                          << shift;
            outLayout.Write(row, x, colour);
        }
    }
    return framed.release();
}

void FreeMatrix(BuildContext*) {
    for (MatrixTile& tile : state.tiles)
        if (tile.image) GlobalFree(tile.image);
    state = MatrixState{};
}

// The visiting order: cell 0 first, the others drawn one by one from those
// left, the last of them moving into the place of the one taken.
void ShuffleCells(int* order, int count) {
    int remaining[kLargestGrid * kLargestGrid];
    for (int i = 1; i < count; ++i) remaining[i - 1] = i;
    int m = count - 1;
    order[0] = 0;
    for (int slot = 1; slot < count; ++slot) {
        const int r = crt::rand() % m;
        order[slot] = remaining[r];
        --m;
        if (r < m) remaining[r] = remaining[m];
    }
}

int InitialiseMatrix(BuildContext* context, LONG, LONG) {
    HWND page = context->page;
    const int n = GridSize(page);
    state.gutter = ReadPageInt(page, kGutterField);
    state.fadeFrames = ReadPageInt(page, kFadeFramesField);
    state.delay = ReadPageInt(page, kDelayField);
    state.pause = ReadPageInt(page, kPauseField);
    state.background = ReadPageColour(page, kMatrixBackgroundControl);
    state.preview = (context->flags & kPreviewFlag) != 0;
    FrameLook look{ReadPageInt(page, kFrameWidthField), ReadPageCheck(page, kDistressedBox), state.background, nullptr,
                   {}};
    const bool random = ReadPageCheck(page, kRandomBox);
    crt::srand(static_cast<unsigned>(ReadPageInt(page, kSeedField)));

    GlobalBlock source(GetSourceImageCopy());
    LONG width = 0, height = 0;
    {
        GlobalLockGuard<BITMAPINFOHEADER> header(source.get());
        if (!header) return 0;
        width = header->biWidth;
        height = header->biHeight;
    }
    const LONG tileWidth = width / n, tileHeight = height / n;
    GlobalBlock scaled(ResizeDib(source.get(), tileWidth, tileHeight, 0, 1.0));
    if (!scaled) return 0;
    source.reset();
    GlobalBlock texture(look.distressed && look.percent > 0 ? LoadTexture() : nullptr);
    GlobalLockGuard<BYTE> texels(texture.get());
    if (look.distressed && look.percent > 0) {
        if (!texels || !DibLayout::From(texels.get(), look.textureLayout) ||
            look.textureLayout.width < kTextureSide || look.textureLayout.height < kTextureSide)
            return 0;
        look.texture = texels.get();
    }

    const int g = state.gutter;
    state.tileCount = n * n;
    state.canvasWidth = n * tileWidth + (n + 1) * g;
    state.canvasHeight = n * tileHeight + (n + 1) * g;
    int order[kLargestGrid * kLargestGrid];
    if (random) {
        ShuffleCells(order, state.tileCount);
    } else {
        for (int i = 0; i < state.tileCount; ++i) order[i] = i;
    }
    for (int k = 0; k < state.tileCount; ++k) {
        MatrixTile& tile = state.tiles[k];
        const int cell = order[k];
        tile.x = (tileWidth + g) * (cell % n) + g;
        tile.y = (tileHeight + g) * (cell / n) + g;
        tile.index = k;
        if (state.preview) {
            tile.phase = kShown;
        } else if (k == 0) {
            tile.phase = kFadingIn;
        } else if (k == state.tileCount - 1) {
            tile.phase = kFadingOut;
            tile.opacity = 1.0f;
        }
        tile.image = look.percent > 0 ? FrameTile(scaled.get(), k, look) : CopyGlobalBlock(scaled.get());
        if (!tile.image) {
            FreeMatrix(context);
            return 0;
        }
    }
    return 1;
}

// Draws the tile into its cell at opacity a over the background.
void BlendTile(const DibLayout& canvas, void* canvasBits, const MatrixTile& tile, int a) {
    GlobalLockGuard<BYTE> picture(tile.image);
    DibLayout layout;
    if (!picture || !DibLayout::From(picture.get(), layout)) return;
    BYTE weighted[256];
    for (int v = 0; v < 256; ++v) weighted[v] = static_cast<BYTE>(v * a / 255);
    const BYTE back[3] = {static_cast<BYTE>(GetBValue(state.background) * (255 - a) / 255),
                          static_cast<BYTE>(GetGValue(state.background) * (255 - a) / 255),
                          static_cast<BYTE>(GetRValue(state.background) * (255 - a) / 255)};
    for (LONG y = 0; y < layout.height; ++y) {
        if (tile.y + y < 0 || tile.y + y >= canvas.height) continue;
        const BYTE* from = layout.Row(picture.get(), y);
        BYTE* to = canvas.Row(canvasBits, tile.y + y);
        for (LONG x = 0; x < layout.width; ++x) {
            if (tile.x + x < 0 || tile.x + x >= canvas.width) continue;
            const BYTE* p = from + 3 * x;
            BYTE* q = to + 3 * (tile.x + x);
            for (int c = 0; c < 3; ++c) q[c] = static_cast<BYTE>(back[c] + weighted[p[c]]);
        }
    }
}

HGLOBAL RenderMatrix(BuildContext*, int) {
    GlobalBlock canvas(CreatePackedDib(state.canvasWidth, state.canvasHeight, nullptr, 24));
    GlobalLockGuard<BYTE> bits(canvas.get());
    DibLayout layout;
    if (!bits || !DibLayout::From(bits.get(), layout)) return nullptr;
    FillDibRect(bits.get(), 0, 0, layout.width, layout.height, state.background);
    state.frameDelay = 0;
    for (int k = 0; k < state.tileCount; ++k) {
        MatrixTile& tile = state.tiles[k];
        if (tile.phase == kHidden) continue;
        if (state.preview || tile.phase == kShown) {
            GlobalLockGuard<BYTE> picture(tile.image);
            DibLayout tileLayout;
            if (!picture || !DibLayout::From(picture.get(), tileLayout)) return nullptr;
            CopyDibRect(bits.get(), tile.x, tile.y, picture.get(), 0, 0, tileLayout.width, tileLayout.height);
            tile.phase = kFadingOut;
            tile.counter = 0;
            state.frameDelay = state.pause;
            if (++state.shownCount < state.tileCount) state.tiles[state.shownCount].phase = kFadingIn;
            else state.finished = 1;
            continue;
        }
        const int a = std::clamp(static_cast<int>(tile.opacity * 255.0), 0, 255);
        BlendTile(layout, bits.get(), tile, a);
        ++tile.counter;
        if (tile.phase == kFadingIn) {
            tile.opacity = static_cast<float>(tile.opacity + 1.0 / state.fadeFrames);
            if (tile.counter == state.fadeFrames) {
                tile.opacity = 1.0f;
                tile.phase = kShown;
                tile.counter = 0;
            }
        } else {
            tile.opacity = static_cast<float>(tile.opacity - 1.0 / state.fadeFrames);
            if (tile.counter == state.fadeFrames) {
                tile.opacity = 0.0f;
                tile.phase = kHidden;
                tile.counter = 0;
            }
        }
        state.frameDelay = std::max(state.frameDelay, state.delay);
    }
    return canvas.release();
}

}  // namespace

constexpr EffectBody MatrixBody{&state, sizeof(MatrixState), InitialiseMatrix, RenderMatrix, FreeMatrix, kDelayField,
                                kFadeFramesField};

namespace {

// Frames until the last tile has arrived: n x n fades of F frames and one
// more, each with the delay its render chose.
int BuildMatrix(BuildContext* context) {
    if (!context || !context->frames) return 0;
    context->state = &state;
    state = MatrixState{};
    if (!InitialiseMatrix(context, 0, 0)) return 0;
    const int total = state.tileCount * state.fadeFrames;
    for (int i = 0; !state.finished && i <= total; ++i) {
        GlobalBlock image(RenderMatrix(context, i));
        FrameRecord record{};
        record.image = image.get();
        record.delay = static_cast<DWORD>(state.frameDelay);
        record.transparentIndex = -1;
        if (!image || !AppendFrame(context->frames, &record)) {
            FreeMatrix(context);
            return 0;
        }
        image.release();
        ReportProgress(context, i, total);
    }
    FreeMatrix(context);
    return 1;
}

}  // namespace

const EffectOperations MatrixOperations{PreviewWith<MatrixBody>, BuildMatrix, MatrixBackgroundColour,
                                        DefaultPageEvent};
