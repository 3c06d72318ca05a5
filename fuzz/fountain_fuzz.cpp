// Fills from any fill record and fountain definition: a 24-bit picture of the
// asked size or none, a ramp of the asked length, and nothing left behind.
// The input is the record's fields, the fill's size, the ramp's length and
// which of the three operations runs, then the stored fountain definition
// (cut or padded with zeros to its size).
#include <algorithm>
#include <cstring>

#include "fuzz/support/fuzz_support.h"
#include "image/fills.h"
#include "image/packed_dib.h"

namespace {

void CheckPicture(HGLOBAL picture, LONG width, LONG height, const char* what) {
    if (!picture) return;
    GlobalLockGuard<BYTE> dib(picture);
    DibLayout layout;
    if (!dib || !PackedDibFits(dib.get(), GlobalSize(picture)) || !DibLayout::From(dib.get(), layout) ||
        layout.bits != 24 || layout.width != width || layout.height != height)
        fuzzing::Fail(what, "not a 24-bit picture of the asked size");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzing::Start();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::ByteReader in(data, size);
    FillRecord record;
    std::memset(&record, 0, sizeof record);
    record.kind = static_cast<LONG>(in.Byte()) - 1;  // the four kinds and their neighbours
    record.colour1 = in.U32();
    record.colour2 = in.U32();
    record.edge = static_cast<LONG>(in.U32());
    record.centreX = static_cast<LONG>(in.U32());
    record.centreY = static_cast<LONG>(in.U32());
    record.midpoint = static_cast<LONG>(in.U32());
    record.angle = static_cast<LONG>(in.U32());
    record.twoColour = in.Byte() & 1;
    const LONG width = in.Between(1, 48), height = in.Between(1, 48);
    const int steps = in.Between(1, 1024);
    const int operation = in.Between(0, 2);
    std::memcpy(&record.fountain, in.Rest(), std::min(in.Left(), sizeof record.fountain));

    const fuzzing::LeakCheck leaks;
    {
        HeapArray<COLORREF> ramp;
        switch (operation) {
        case 0: {
            GlobalBlock fill(MakeFill(width, height, record));
            if (!fill) fuzzing::Fail("MakeFill made nothing");
            CheckPicture(fill.get(), width, height, "MakeFill");
            break;
        }
        case 1: {
            GlobalBlock fountain(RenderFountain(record.fountain, width, height));
            if (!fountain) fuzzing::Fail("RenderFountain made nothing");
            CheckPicture(fountain.get(), width, height, "RenderFountain");
            break;
        }
        default:
            if (!MakeColourRamp(record, steps, ramp) || ramp.size() != static_cast<std::size_t>(steps))
                fuzzing::Fail("MakeColourRamp gave no ramp of the asked length");
        }
    }
    leaks.Check("a fill left something behind");
    return 0;
}
