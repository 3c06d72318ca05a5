// A PackedDib as a host hands it in: a global block whose header may lie
// about its size, depth or layout. It goes through everything the plug-in
// does with a host's picture (taking it as the source image, ToTrueColourDib,
// ScaleDibPercent) and through the host's own check of a frame and its
// writers. The input is two percentages, a delay, a transparent index and
// the writer's format, then the block's bytes.
#include <algorithm>
#include <cstring>

#include "effects/source_image.h"
#include "fuzz/support/fuzz_support.h"
#include "host/core/host.h"
#include "image/packed_dib.h"
#include "luma/memory.h"
#include "plugin/guards.h"
#include "plugin/lifecycle.h"

namespace {

HGLOBAL handedIn = nullptr;

std::int64_t Answer(void*, std::uint32_t code, std::int64_t, void*) {
    return code == kRequestDecodeImage ? reinterpret_cast<std::int64_t>(CopyGlobalBlock(handedIn)) : 0;
}

HostContext pluginHost{sizeof(HostContext), kInterfaceVersion, 0, 0, Answer, 0, kHundredthsFlag};

// A sound picture of width x height at bits per pixel, or nothing; fails
// the run for anything else.
void CheckPicture(HGLOBAL picture, const char* what, LONG width, LONG height, int bits) {
    if (!picture) return;
    GlobalLockGuard<BYTE> dib(picture);
    DibLayout layout;
    if (!dib || !PackedDibFits(dib.get(), GlobalSize(picture)) || !DibLayout::From(dib.get(), layout) ||
        layout.bits != bits || layout.width != width || layout.height != height)
        fuzzing::Fail(what, "not a sound picture of the expected size and depth");
}

struct Header {
    LONG width = 0, height = 0;
    int bits = 0;
};

Header Peek(const std::uint8_t* bytes, std::size_t size) {
    Header h;
    if (size < sizeof(BITMAPINFOHEADER)) return h;
    BITMAPINFOHEADER header;
    std::memcpy(&header, bytes, sizeof header);
    h.width = header.biWidth;
    h.height = header.biHeight;
    h.bits = header.biBitCount;
    return h;
}

// The host's road for a frame: a test animation announced with the depth
// and size the header claims, the frame added (the host checks it and its
// writer encodes it), the animation abandoned so nothing is written.
void ThroughHost(HGLOBAL block, const Header& h, std::uint32_t delay, std::int32_t transparent, int format) {
    static ScriptedServices services;
    HostOptions options;
    options.personality = format == 0 ? HostPersonality::Gif : HostPersonality::TrueColour;
    options.outputPath = format == 2 ? "frame.webp" : format == 1 ? "frame.png" : "frame.gif";
    Host host(options, services);
    TaskRecord task{};
    task.size = sizeof task;
    task.version = kInterfaceVersion;
    task.bitsPerPixel = h.bits >= 1 && h.bits <= 8 ? static_cast<std::uint32_t>(h.bits) : 24;
    // The writers hold a whole canvas; a small one keeps each run quick, and
    // frames larger than it take the host's refusal.
    task.width = static_cast<std::uint32_t>(std::clamp<LONG>(h.width, 1, 256));
    task.height = static_cast<std::uint32_t>(std::clamp<LONG>(h.height, 1, 256));
    task.frameCount = 1;
    if (!host.Answer(nullptr, kRequestNewTestAnimation, 0, &task)) return;
    ImageRecord image{};
    image.size = sizeof image;
    image.version = kInterfaceVersion;
    image.image = block;
    image.delay = delay;
    image.transparentIndex = transparent;
    host.Answer(nullptr, kRequestAddFrame, 0, &image);
    host.Answer(nullptr, kRequestFinish, 0, nullptr);
    services.messages.clear();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzing::Start();
    luma::SetMemoryBudget(std::size_t{64} << 20);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::ByteReader in(data, size);
    const int percentX = in.Between(1, 400), percentY = in.Between(1, 400);
    const std::uint32_t delay = in.Byte();
    const std::int32_t transparent = in.Between(-2, 257);
    const int format = in.Between(0, 2);
    if (in.Left() == 0) return 0;

    const fuzzing::LeakCheck leaks;
    {
        GlobalBlock block(GlobalBlockFromMemory(in.Rest(), in.Left()));
        if (!block) return 0;
        handedIn = block.get();
        const Header h = Peek(in.Rest(), in.Left());
        // What ScaleDibPercent must make, where it makes anything.
        const double scaledWidth = h.width * static_cast<double>(percentX) / 100.0 + 0.5;
        const double scaledHeight = h.height * static_cast<double>(percentY) / 100.0 + 0.5;

        GlobalBlock converted(ToTrueColourDib(block.get()));
        CheckPicture(converted.get(), "ToTrueColourDib", h.width, h.height, 24);
        GlobalBlock scaled(ScaleDibPercent(block.get(), percentX, percentY));
        if (scaled)
            CheckPicture(scaled.get(), "ScaleDibPercent", static_cast<LONG>(scaledWidth),
                         static_cast<LONG>(scaledHeight), h.bits);

        // A block the plug-in refuses always takes the same road, a message
        // box, which costs more than everything else here; inputs with
        // delay 0 walk it, the others only when the block is sound.
        bool sound = false;
        {
            GlobalLockGuard<BYTE> bytes(block.get());
            sound = bytes && PackedDibFits(bytes.get(), GlobalSize(block.get()));
        }
        SetCurrentHostContext(&pluginHost);
        if ((sound || delay == 0) && LoadSourcePicture(nullptr, "handed-in.bmp")) {
            GlobalBlock source(GetSourceImageCopy());
            CheckPicture(source.get(), "the source image", h.width, h.height, 24);
        }
        SetSourceImage(nullptr);
        SetCurrentHostContext(nullptr);

        ThroughHost(block.get(), h, delay, transparent, format);
        handedIn = nullptr;
    }
    leaks.Check("a handed-in picture left something behind");
    return 0;
}
