// The frames of one build: records back to back in one moveable global
// block. The list owns every record's image and mask.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

struct FrameRecord {
    HGLOBAL image;  // 24-bit PackedDib as rendered, later its reduced form
    HGLOBAL mask;   // 1-bit mask of pixels unchanged since the previous frame, or none
    DWORD delay;    // in the host's units
    std::int32_t transparentIndex;  // -1: none
    BYTE reserved[32];
};

struct FrameList {
    HGLOBAL records = nullptr;
    std::int32_t count = 0;
};

static_assert(sizeof(FrameRecord) == 56 && offsetof(FrameRecord, mask) == 8 &&
              offsetof(FrameRecord, delay) == 16 && offsetof(FrameRecord, transparentIndex) == 20 &&
              offsetof(FrameRecord, reserved) == 24);
