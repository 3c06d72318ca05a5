#include "dialog/build_pipeline.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

#include "colour/fixed_palette.h"
#include "colour/quantize.h"
#include "colour/remap.h"
#include "colour/supercompress.h"
#include "dialog/frame_workers.h"
#include "dialog/main_dialog.h"
#include "dialog/wait_cursor.h"
#include "effects/effect_table.h"
#include "effects/framework.h"
#include "image/packed_dib.h"
#include "plugin/guards.h"
#include "plugin/message_dialog.h"
#include "settings/settings.h"

namespace {

constexpr char kComment[] =
    "CREATED BY...\r\n\r\n"
    "This graphic was created by Vellumark' Celwright Professional or Reelwright and the Lumafex plugin.\r\n\r\n"
    "See\r\n\r\n"
    "    https://vellumark.example/lumafex\r\n\r\n"
    "for more information.";

struct Options {
    bool trueColour;
    bool dither;
    bool customPalette;
    bool supercompress;
    bool maskBackground;
    bool comment;
    int palette;
};

bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

Options ReadOptions(HWND dialog) {
    Options options{};
    options.trueColour = Checked(dialog, kTrueColourBox);
    options.dither = Checked(dialog, kDitherBox);
    options.customPalette = Checked(dialog, kCustomPaletteBox);
    options.supercompress = Checked(dialog, kSupercompressBox) && !options.trueColour;
    options.maskBackground = Checked(dialog, kMaskBackgroundBox) && !options.supercompress;
    options.comment = AddDescriptiveCommentBlock != 0;
    options.palette = static_cast<int>(MainPalette);
    return options;
}

// The host's status line and progress display.
class HostLink {
public:
    explicit HostLink(HostContext* host) : callback_(host->callback) {}

    std::int64_t Ask(void* task, HostRequest code, std::int64_t a, const void* b) const {
        return callback_(task, code, a, const_cast<void*>(b));
    }
    void Status(const char* text) const { Ask(nullptr, kRequestStatusText, 0, text); }
    void Progress(int frame, int frames) const {
        Ask(nullptr, kRequestProgress, frame, reinterpret_cast<const void*>(static_cast<std::intptr_t>(frames)));
    }
    void ClearProgress() const { Progress(0, 0); }

    static void MarkProgress(void* link, int frame, int frames) {
        static_cast<const HostLink*>(link)->Progress(frame, frames);
    }

private:
    HostCallback callback_;
};

// The frames of one run, freed with every image and mask whatever happens.
struct RunFrames {
    FrameList list;
    RunFrames() = default;
    RunFrames(const RunFrames&) = delete;
    RunFrames& operator=(const RunFrames&) = delete;
    ~RunFrames() { FreeFrameList(&list); }
};

// The palette the frames are reduced to, and the entries set aside.
struct RunPalette {
    BYTE triplets[768];
    int depth = 8;
    int colours = 256;
    int transparent = -1;   // entry after the built colours, for Mask background
    int spare = -1;         // entry of the pixels supercompression leaves unchanged
    COLORREF spareColour = 0;
};

COLORREF PaletteColour(COLORREF background) {
    return background == kNoBackground ? kNoBackgroundPaletteColour : background;
}

void SetEntry(BYTE* triplets, int entry, COLORREF colour) {
    triplets[entry * 3] = GetRValue(colour);
    triplets[entry * 3 + 1] = GetGValue(colour);
    triplets[entry * 3 + 2] = GetBValue(colour);
}

// A palette built from all frames, completed with the background colour and
// an entry for transparency where one is wanted. False when memory fails.
bool BuildPaletteFromFrames(const FrameList& frames, const Options& options, COLORREF background,
                            RunPalette& palette) {
    const bool reserve = options.supercompress || options.maskBackground;
    int count = reserve ? 255 : 256;
    if (!BuildFramePalette(&count, palette.triplets, frames)) return false;
    if (!options.maskBackground) PutBackgroundColour(palette.triplets, &count, PaletteColour(background));
    SortPaletteByLuminance(palette.triplets, count);
    palette.depth = DepthForColourCount(reserve ? count + 1 : count);
    palette.transparent = count;
    palette.colours = count;
    if (options.maskBackground) SetEntry(palette.triplets, count, PaletteColour(background));
    if (options.supercompress) {
        palette.spare = count;
        palette.spareColour = PaletteColour(background);
        SetEntry(palette.triplets, count, palette.spareColour);
    }
    return true;
}

LONG PictureDimension(HGLOBAL image, bool height) {
    GlobalLockGuard<BITMAPINFOHEADER> header(image);
    if (!header || GlobalSize(image) < sizeof(BITMAPINFOHEADER)) return 0;
    LONG value = height ? header->biHeight : header->biWidth;
    return value < 0 ? -value : value;
}

// Replaces a frame's picture by a new one, freeing the old.
void Replace(HGLOBAL& picture, GlobalBlock& by) {
    GlobalFree(picture);
    picture = by.release();
}

// Reduces one frame to the palette and writes its transparent and spare
// entries; the reduced picture replaces the rendered one. False when memory
// fails.
bool ReduceFrame(FrameReducer& reducer, FrameRecord& record, bool first, const Options& options,
                 const RunPalette& palette, COLORREF background) {
    GlobalBlock remapped(options.dither ? reducer.Dither(record.image) : reducer.Remap(record.image));
    if (!remapped) return false;
    if (options.supercompress) {
        // No rendered pixel has the colour of an effect without a background.
        if (first && palette.spare >= 0 && background != kNoBackground) {
            GlobalBlock masked(MaskBackgroundColour(remapped.get(), record.image, background, palette.spare));
            if (!masked) return false;
            remapped = std::move(masked);
        }
        if (record.mask && !ApplyChangeMask(remapped.get(), record.mask, palette.spare, palette.spareColour))
            return false;
        record.transparentIndex = palette.spare;
    }
    if (options.maskBackground && palette.transparent >= 0) {
        GlobalBlock masked(MaskBackgroundColour(remapped.get(), record.image, background, palette.transparent));
        if (!masked) return false;
        remapped = std::move(masked);
        // The host learns which entry is see-through from the frame.
        record.transparentIndex = palette.transparent;
    }
    Replace(record.image, remapped);
    return true;
}

// Reduces every frame to the palette (unless true colour is wanted), on
// every core, and finds the largest frame size. False when memory fails.
bool RemapFrames(FrameList& frames, const Options& options, const RunPalette& palette, COLORREF background,
                 const HostLink& link, LONG& width, LONG& height) {
    GlobalLockGuard<FrameRecord> records(frames.records);
    if (!records) return false;
    FrameRecord* record = records.get();
    const auto progress = [&](int i) { link.Progress(i, frames.count); };
    if (!options.trueColour) {
        // Each worker keeps its colour choices from frame to frame.
        const FrameJobMaker makeJob = [&]() -> FrameJob {
            auto reducer = std::make_shared<FrameReducer>(palette.triplets, palette.depth, palette.colours);
            return [&, reducer](int i) {
                return ReduceFrame(*reducer, record[i], i == 0, options, palette, background);
            };
        };
        if (!RunFrameJobs(frames.count, FrameThreads(), makeJob, progress)) return false;
    } else {
        for (int i = 0; i < frames.count; ++i) progress(i);
    }
    for (int i = 0; i < frames.count; ++i) {
        width = std::max(width, PictureDimension(record[i].image, false));
        height = std::max(height, PictureDimension(record[i].image, true));
    }
    return true;
}

FrameRecord FrameAt(const FrameList& frames, int index) {
    GlobalLockGuard<FrameRecord> records(frames.records);
    return records ? records.get()[index] : FrameRecord{};
}

// Requests 1 (or 5), 2 for every frame, 3 and 4. Returns whether the host
// took the whole animation.
int HandOver(HWND dialog, const HostLink& link, BuildMode mode, const FrameList& frames, const RunPalette& palette,
             LONG width, LONG height, bool comment) {
    TaskRecord task{};
    task.size = sizeof task;
    task.version = kInterfaceVersion;
    task.owner = dialog;
    task.bitsPerPixel = static_cast<std::uint32_t>(palette.depth);
    task.width = static_cast<std::uint32_t>(width);
    task.height = static_cast<std::uint32_t>(height);
    std::memcpy(task.palette, palette.triplets, sizeof task.palette);
    task.frameCount = static_cast<std::uint32_t>(frames.count);
    HostRequest create = mode == BuildMode::Test ? kRequestNewTestAnimation : kRequestNewAnimation;
    if (!link.Ask(nullptr, create, 0, &task)) {
        MessageDialog(dialog, "Error creating new task.");
        return 0;
    }
    for (int i = 0; i < frames.count; ++i) {
        const FrameRecord frame = FrameAt(frames, i);
        ImageRecord image{};
        image.size = sizeof image;
        image.version = kInterfaceVersion;
        image.image = frame.image;
        image.delay = frame.delay;
        image.frameIndex = static_cast<std::uint32_t>(i);
        image.transparentIndex = frame.transparentIndex;
        if (!link.Ask(&task, kRequestAddFrame, 0, &image)) {
            MessageDialog(dialog, "There has been an error adding an image to the current file object.");
            link.Ask(&task, kRequestFinish, 0, nullptr);
            return 0;
        }
    }
    if (comment) link.Ask(&task, kRequestComment, 0, kComment);
    link.Ask(&task, kRequestFinish, 1, nullptr);
    return 1;
}

void MemoryError(HWND dialog) { MessageDialog(dialog, LoadResourceString(kStringMemoryError)); }

}  // namespace

const char* DescriptiveComment() { return kComment; }

int RunBuild(HWND dialog, HostContext* host, BuildMode mode) {
    LRESULT selection = SendDlgItemMessageA(dialog, kEffectList, CB_GETCURSEL, 0, 0);
    const EffectRecord* effect = EffectAt(selection == CB_ERR ? 0 : static_cast<int>(selection));
    return effect ? RunBuildWith(dialog, host, mode, *effect) : 0;
}

int RunBuildWith(HWND dialog, HostContext* host, BuildMode mode, const EffectRecord& record) {
    if (!host || !host->callback) return 0;
    Options options = ReadOptions(dialog);
    WaitCursor wait;
    const HostLink link(host);
    const EffectRecord* effect = &record;

    RunFrames frames;
    BuildContext context{};
    context.page = dialog;
    context.frames = &frames.list;
    context.host = host;

    const COLORREF background = effect->BackgroundColour(dialog, 0);
    if (background == kNoBackground) options.maskBackground = false;

    RunPalette palette;
    palette.colours = 256;
    BuildFixedPalette(palette.triplets, &palette.depth, options.palette);

    link.ClearProgress();
    link.Status("Building");
    if (!effect->Build(&context)) {
        MemoryError(dialog);
        return 0;
    }
    link.ClearProgress();
    if (frames.list.count <= 0) {
        MemoryError(dialog);
        return 0;
    }
    if (frames.list.count == 1) options.supercompress = false;

    if (options.customPalette && !options.trueColour) {
        link.Status("Quantizing");
        if (!BuildPaletteFromFrames(frames.list, options, background, palette)) {
            MemoryError(dialog);
            return 0;
        }
    }

    if (options.supercompress) {
        link.ClearProgress();
        link.Status("Supercompressing");
        if (!MarkUnchangedPixels(frames.list, background, HostLink::MarkProgress,
                                 const_cast<HostLink*>(&link))) {
            MemoryError(dialog);
            return 0;
        }
    }

    link.ClearProgress();
    link.Status("Remapping");
    LONG width = 0, height = 0;
    if (!RemapFrames(frames.list, options, palette, background, link, width, height)) {
        MemoryError(dialog);
        return 0;
    }
    link.ClearProgress();

    return HandOver(dialog, link, mode, frames.list, palette, width, height, options.comment);
}
