#include "effects/source_frame.h"

#include <cstdlib>

#include "effects/source_image.h"
#include "plugin/guards.h"

HGLOBAL SourceFrame(LONG width, LONG height) {
    GlobalBlock copy(GetSourceImageCopy());
    {
        GlobalLockGuard<BITMAPINFOHEADER> header(copy.get());
        if (!header || GlobalSize(copy.get()) < sizeof(BITMAPINFOHEADER) || header->biWidth != width ||
            std::abs(header->biHeight) != height)
            return nullptr;
    }
    return copy.release();
}
