#include "effects/scatter.h"

#include "effects/elements.h"
#include "effects/source_image.h"
#include "image/packed_dib.h"

HGLOBAL TakeBuildPicture() {
    GlobalBlock picture(GetSourceImageCopy());
    GlobalLockGuard<BYTE> bytes(picture.get());
    if (!bytes || !PackedDibFits(bytes.get(), GlobalSize(picture.get()))) return nullptr;
    return picture.release();
}

FrameCanvas::FrameCanvas(HGLOBAL source) : image_(source ? CopyGlobalBlock(source) : nullptr) {
    if (!image_) return;
    pixels_ = GlobalLock(image_.get());
    if (!pixels_) return;
    const auto* header = static_cast<const BITMAPINFOHEADER*>(pixels_);
    width_ = header->biWidth;
    height_ = header->biHeight < 0 ? -header->biHeight : header->biHeight;
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
