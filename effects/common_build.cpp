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

int CommonPreview(BuildContext* context, const EffectBody& body) {
    if (!context) return 0;
    context->flags |= kPreviewFlag;
    ResetState(context, body);
    LONG width = 0, height = 0;
    if (!SourceImageSize(width, height)) return 0;
    if (!body.Initialise || !body.Initialise(context, width, height)) return 0;
    context->previewImage = body.RenderFrame ? body.RenderFrame(context, 0) : nullptr;
    if (body.FreeState) body.FreeState(context);
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
    ResetState(context, body);
    LONG width = 0, height = 0;
    if (!SourceImageSize(width, height)) return 0;
    if (!body.Initialise || !body.Initialise(context, width, height)) return 0;
    for (int i = 0; i < frames; ++i) {
        GlobalBlock image(body.RenderFrame ? body.RenderFrame(context, i) : nullptr);
        if (!image) {
            if (body.FreeState) body.FreeState(context);
            return 0;
        }
        FrameRecord record{};
        record.image = image.get();
        record.delay = static_cast<DWORD>(delay);
        record.transparentIndex = -1;
        if (!AppendFrame(context->frames, &record)) {
            if (body.FreeState) body.FreeState(context);
            return 0;
        }
        image.release();
        ReportProgress(context, i, frames);
    }
    if (body.FreeState) body.FreeState(context);
    return 1;
}

int RenderingNotAvailable(BuildContext*, LONG, LONG) { return 0; }
