// The operations most effects share: Preview renders frame 0 alone, Build
// renders Frames frames at the page's Delay into the FrameList. An effect
// supplies only its body: its state block and the three steps below.
#pragma once

#include <windows.h>

#include <cstddef>

#include "effects/framework.h"
#include "effects/pages.h"

struct EffectBody {
    void* state;            // the effect's state block, zeroed before each use
    std::size_t stateSize;
    // Builds the per-build state for a picture of width x height; 0 on failure
    // (having freed what it made).
    int (*Initialise)(BuildContext* context, LONG width, LONG height);
    // Renders frame `frame`; a new PackedDib, or null on failure.
    HGLOBAL (*RenderFrame)(BuildContext* context, int frame);
    void (*FreeState)(BuildContext* context);
    int delayControl;   // page field of the frame delay
    int framesControl;  // page field of the frame count
};

int CommonPreview(BuildContext* context, const EffectBody& body);
int CommonBuild(BuildContext* context, const EffectBody& body);
// The build loop with a delay and frame count of the effect's choosing.
int BuildFrames(BuildContext* context, const EffectBody& body, int delay, int frames);

template <const EffectBody& Body>
int PreviewWith(BuildContext* context) {
    return CommonPreview(context, Body);
}

template <const EffectBody& Body>
int BuildWith(BuildContext* context) {
    return CommonBuild(context, Body);
}

template <int StyleNumber>
int PageSetupOf(BuildContext* context) {
    return SetUpPage(context, StyleNumber);
}

// Width and height of the picture an effect animates; false when there is none.
bool SourceImageSize(LONG& width, LONG& height);

// Reports progress (request 13) to the build's host, if it has one.
void ReportProgress(const BuildContext* context, int frame, int frames);

// For effects with a build loop of their own. StartBody zeroes the body's
// state, points the context at it and initialises it for the SourceImage's
// size: 0 when there is no picture or the state cannot be made.
int StartBody(BuildContext* context, const EffectBody& body);

// A SourceImage copy as the canvas of a frame whose state was made for a
// picture of width x height: none unless the copy is a readable 24- or
// 32-bit picture of that size. A copy that fails falls back to the
// SampleImage, which this tells apart from the picture the state was made for.
HGLOBAL SourceCanvas(LONG width, LONG height);

// Appends image to the build's frames with delay and no transparent index.
// On failure the image is freed and 0 returned.
int AppendImage(BuildContext* context, HGLOBAL image, DWORD delay);

// Frees an initialised body's state at the end of its scope.
class BodyStateGuard {
public:
    BodyStateGuard(BuildContext* context, const EffectBody& body) : context_(context), body_(body) {}
    BodyStateGuard(const BodyStateGuard&) = delete;
    BodyStateGuard& operator=(const BodyStateGuard&) = delete;
    ~BodyStateGuard() {
        if (body_.FreeState) body_.FreeState(context_);
    }

private:
    BuildContext* context_;
    const EffectBody& body_;
};
