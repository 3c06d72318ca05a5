#include "effects/source_image.h"

#include "image/packed_dib.h"
#include "plugin/guards.h"
#include "plugin/lifecycle.h"
#include "plugin/message_dialog.h"
#include "resources/plugin_resources.h"

namespace {

// Stays loaded from one run of the main dialog to the next.
HGLOBAL sourceImage = nullptr;

HGLOBAL SampleImageCopy() {
    HMODULE module = PluginModule();
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCE(kSampleImageBitmap), RT_BITMAP);
    if (!resource) return nullptr;
    HGLOBAL loaded = LoadResource(module, resource);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    DWORD size = SizeofResource(module, resource);
    if (!bytes || size == 0) return nullptr;
    return GlobalBlockFromMemory(bytes, size);
}

}  // namespace

HGLOBAL GetSourceImageCopy() {
    if (sourceImage) {
        if (HGLOBAL copy = CopyGlobalBlock(sourceImage)) return copy;
    }
    return SampleImageCopy();
}

HGLOBAL GetSourceFrame(LONG width, LONG height) {
    GlobalBlock copy(GetSourceImageCopy());
    GlobalLockGuard<BITMAPINFOHEADER> header(copy.get());
    if (!header || header->biWidth != width || header->biHeight != height) return nullptr;
    return copy.release();
}

bool HasSourceImage() { return sourceImage != nullptr; }

void SetSourceImage(HGLOBAL picture) {
    if (sourceImage && sourceImage != picture) GlobalFree(sourceImage);
    sourceImage = picture;
}

int LoadSourcePicture(HWND owner, const char* path) {
    HostContext* host = CurrentHostContext();
    GlobalBlock decoded;
    if (host && host->callback && path && *path) {
        decoded.reset(reinterpret_cast<HGLOBAL>(
            host->callback(nullptr, kRequestDecodeImage, 0, const_cast<char*>(path))));
    }
    bool fits = false;
    if (decoded) {
        GlobalLockGuard<BYTE> bytes(decoded.get());
        fits = bytes && PackedDibFits(bytes.get(), GlobalSize(decoded.get()));
    }
    GlobalBlock converted(fits ? ToTrueColourDib(decoded.get()) : nullptr);
    if (!converted) {
        MessageDialog(owner, "There has been error loading the selected image file");
        return 0;
    }
    SetSourceImage(converted.release());
    return 1;
}
