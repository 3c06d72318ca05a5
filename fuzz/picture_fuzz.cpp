// The host's picture decoders (PNG, JPEG, GIF, WebP, BMP, chosen by the
// first bytes as for a file) on any bytes: a complete 24-bit picture within
// the host's limits, or a HostError, and nothing left behind.
#include <new>

#include "fuzz/support/fuzz_support.h"
#include "host/core/decode/picture_decoder.h"
#include "host/core/host_error.h"
#include "host/core/limits.h"
#include "image/packed_dib.h"
#include "luma/memory.h"
#include "plugin/guards.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzing::Start();
    // Small files may announce pictures up to the host's 1 GiB limit; a budget
    // far below it keeps each run fast and walks the out-of-memory roads.
    luma::SetMemoryBudget(std::size_t{64} << 20);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzzing::LeakCheck leaks;
    try {
        GlobalBlock picture(DecodePicture(data, size));
        if (!picture) fuzzing::Fail("a decoder returned no picture and no error");
        GlobalLockGuard<BYTE> dib(picture.get());
        DibLayout layout;
        if (!dib || !PackedDibFits(dib.get(), GlobalSize(picture.get())) || !DibLayout::From(dib.get(), layout) ||
            layout.bits != 24 || layout.width > kMaxPictureSide || layout.height > kMaxPictureSide)
            fuzzing::Fail("a decoder returned a picture that is not a 24-bit PackedDib within the limits");
    } catch (const HostError&) {
    } catch (const std::bad_alloc&) {
    }
    leaks.Check("decoding left something behind");
    return 0;
}
