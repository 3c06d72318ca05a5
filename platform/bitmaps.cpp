// Bitmaps from resources and files: LoadBitmap, LoadImage.
#include <windows.h>

extern "C" {

HBITMAP WINAPI LoadBitmapA(HINSTANCE, LPCSTR) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
}

HANDLE WINAPI LoadImageA(HINSTANCE, LPCSTR, UINT, int, int, UINT) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
}

}  // extern "C"
