#include "plugin/folders.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>

namespace {

// Appends piece, cut so that the whole stays within MAX_PATH characters.
void Append(char* path, const char* piece) {
    std::size_t used = std::strlen(path);
    std::size_t room = used < MAX_PATH - 1 ? MAX_PATH - 1 - used : 0;
    std::size_t length = std::strlen(piece);
    if (length > room) length = room;
    std::memcpy(path + used, piece, length);
    path[used + length] = 0;
}

// A separator before the next piece unless the path ends in one.
void AppendSeparator(char* path) {
    std::size_t used = std::strlen(path);
    if (used == 0 || path[used - 1] != '/') Append(path, "/");
}

// The special folder's path into buffer; false when there is none.
bool SpecialFolder(char (&buffer)[MAX_PATH], int folder) {
    buffer[0] = 0;
    if (!SHGetSpecialFolderPathA(nullptr, buffer, folder, FALSE) || !buffer[0]) {
        buffer[0] = 0;
        return false;
    }
    return true;
}

}  // namespace

const char* MakerFolder(const char* name) {
    static char path[MAX_PATH];
    if (!SpecialFolder(path, CSIDL_APPDATA)) return path;
    AppendSeparator(path);
    Append(path, "Vellumark/");
    Append(path, name ? name : "");
    return path;
}

const char* DataFolder(const char* name) {
    static char path[MAX_PATH];
    if (!SpecialFolder(path, CSIDL_APPDATA)) return path;
    AppendSeparator(path);
    Append(path, "Vellumark");
    AppendSeparator(path);
    Append(path, "Lumafex");
    AppendSeparator(path);
    Append(path, name ? name : "");
    return path;
}

const char* DocumentsFolder(const char* name) {
    static char path[MAX_PATH];
    if (!SpecialFolder(path, CSIDL_PERSONAL)) return path;
    AppendSeparator(path);
    Append(path, name ? name : "");
    return path;
}
