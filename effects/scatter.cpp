#include "effects/scatter.h"

#include "effects/pages.h"
#include "effects/source_image.h"
#include "image/packed_dib.h"
#include "luma/crt.h"

ScatterPage ReadScatterPage(HWND page, const ScatterControls& ids, ScatterRun& run) {
    ScatterPage values{ReadPageInt(page, ids.opacity), ReadPageInt(page, ids.size), ReadPageInt(page, ids.density),
                       ShadowSettings{0, 0, 0}};
    if (ids.shadowOpacity)
        values.shadow = ShadowSettings{ReadPageInt(page, ids.shadowOpacity), ReadPageInt(page, ids.shadowOffset),
                                       ReadPageInt(page, ids.shadowSoft)};
    run.frames = ReadPageInt(page, ids.frames);
    run.drift = ReadPageInt(page, ids.drift);
    crt::srand(static_cast<unsigned>(ReadPageInt(page, ids.seed)));
    run.colours = ReadColorSet(page, ids.colours);
    return values;
}

HGLOBAL TakeBuildPicture() {
    GlobalBlock picture(GetSourceImageCopy());
    GlobalLockGuard<BYTE> bytes(picture.get());
    if (!bytes || !PackedDibFits(bytes.get(), GlobalSize(picture.get()))) return nullptr;
    return picture.release();
}

FrameCanvas::FrameCanvas(HGLOBAL source, ScatterRun& run, int frame)
    : image_(source && run.frames > 0 ? CopyGlobalBlock(source) : nullptr) {
    if (!image_) return;
    pixels_ = GlobalLock(image_.get());
    if (!pixels_) return;
    const auto* header = static_cast<const BITMAPINFOHEADER*>(pixels_);
    run.width = header->biWidth;
    run.height = header->biHeight < 0 ? -header->biHeight : header->biHeight;
    run.frame = frame;
}

FrameCanvas::~FrameCanvas() {
    if (pixels_) GlobalUnlock(image_.get());
}

HGLOBAL FrameCanvas::Take() {
    if (pixels_) GlobalUnlock(image_.get());
    pixels_ = nullptr;
    return image_.release();
}

bool DrawMaskedElement(void* frame, HGLOBAL mask, HGLOBAL shadow, LONG x, LONG y, COLORREF colour, int opacity) {
    GlobalLockGuard<BYTE> coverage(mask);
    GlobalLockGuard<BYTE> shade(shadow);
    if (!coverage || (shadow && !shade)) return false;
    DrawElement(frame, coverage.get(), shade.get(), x, y, colour, opacity);
    return true;
}
