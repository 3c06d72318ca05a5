#include "effects/common_build.h"
#include "effects/effect_bodies.h"

#include <cstdint>
#include <cstring>

#include "effects/source_image.h"
#include "image/packed_dib.h"
#include "plugin/guards.h"

bool SourceImageSize(LONG& width, LONG& height) {
    GlobalBlock copy(GetSourceImageCopy());
    if (!copy) return false;
    GlobalLockGuard<BITMAPINFOHEADER> header(copy.get());
    if (!header || GlobalSize(copy.get()) < sizeof(BITMAPINFOHEADER)) return false;
    width = header->biWidth;
    height = header->biHeight < 0 ? -header->biHeight : header->biHeight;
    return true;
}

namespace {

void ResetState(BuildContext* context, const EffectBody& body) {
    if (body.state && body.stateSize) std::memset(body.state, 0, body.stateSize);
    context->state = body.state;
}

}  // namespace

void ReportProgress(const BuildContext* context, int frame, int frames) {
    if (context && context->host && context->host->callback)
        context->host->callback(nullptr, kRequestProgress, frame,
                                reinterpret_cast<void*>(static_cast<std::intptr_t>(frames)));
}

int StartBody(BuildContext* context, const EffectBody& body) {
    ResetState(context, body);
    LONG width = 0, height = 0;
    if (!SourceImageSize(width, height)) return 0;
    return body.Initialise && body.Initialise(context, width, height) ? 1 : 0;
}

HGLOBAL SourceCanvas(LONG width, LONG height) {
    GlobalBlock canvas(GetSourceImageCopy());
    GlobalLockGuard<BYTE> pixels(canvas.get());
    DibLayout layout;
    if (!pixels || !PackedDibFits(pixels.get(), GlobalSize(canvas.get())) || !DibLayout::From(pixels.get(), layout) ||
        (layout.bits != 24 && layout.bits != 32) || layout.width != width || layout.height != height)
        return nullptr;
    return canvas.release();
}

int AppendImage(BuildContext* context, HGLOBAL image, DWORD delay) {
    GlobalBlock owned(image);
    if (!owned || !context->frames) return 0;
    FrameRecord record{};
    record.image = owned.get();
    record.delay = delay;
    record.transparentIndex = -1;
    if (!AppendFrame(context->frames, &record)) return 0;
    owned.release();
    return 1;
}

int CommonPreview(BuildContext* context, const EffectBody& body) {
    if (!context) return 0;
    context->flags |= kPreviewFlag;
    if (!StartBody(context, body)) return 0;
    BodyStateGuard state(context, body);
    context->previewImage = body.RenderFrame ? body.RenderFrame(context, 0) : nullptr;
    return 1;
}

int CommonBuild(BuildContext* context, const EffectBody& body) {
    if (!context || !context->frames) return 0;
    const int delay = ReadPageInt(context->page, body.delayControl);
    const int frames = ReadPageInt(context->page, body.framesControl);
    return BuildFrames(context, body, delay, frames);
}

int BuildFrames(BuildContext* context, const EffectBody& body, int delay, int frames) {
    if (!context || !context->frames) return 0;
    if (!StartBody(context, body)) return 0;
    BodyStateGuard state(context, body);
    for (int i = 0; i < frames; ++i) {
        HGLOBAL image = body.RenderFrame ? body.RenderFrame(context, i) : nullptr;
        if (!AppendImage(context, image, static_cast<DWORD>(delay))) return 0;
        ReportProgress(context, i, frames);
    }
    return 1;
}

int RenderingNotAvailable(BuildContext*, LONG, LONG) { return 0; }
