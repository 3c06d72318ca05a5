#include "settings/documents.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "effects/source_image.h"
#include "plugin/message_dialog.h"
#include "settings/bound_controls.h"
#include "settings/text_parse.h"

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// The first line is read up to this many characters.
constexpr std::size_t kFirstLineLimit = 8191;
// Longest line kept of the others; the rest of a longer one is passed over.
constexpr std::size_t kLineLimit = 8191;

bool ReadLine(std::FILE* file, std::string& line, std::size_t limit) {
    line.clear();
    int c;
    bool any = false;
    while ((c = std::fgetc(file)) != EOF) {
        any = true;
        if (c == '\n') break;
        if (line.size() < limit) line.push_back(static_cast<char>(c));
    }
    return any;
}

BOOL CALLBACK WriteChildLine(HWND child, LPARAM file) {
    // Only the dialog's own children; a control's inner windows are no bound controls.
    SendMessageA(child, kWriteLineMessage, 0, file);
    return TRUE;
}

}  // namespace

int SaveDocument(HWND dialog, const char* path) {
    File file(path && *path ? std::fopen(path, "wb") : nullptr);
    if (!file) {
        MessageDialog(dialog, "There has been an error creating the requested file.");
        return 0;
    }
    std::fprintf(file.get(), ";This is a document created by %s by %s - do not edit.\r\n", "Lumafex Plugin",
                 "Vellumark");
    std::fprintf(file.get(), ";Start of document\r\n");
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        WriteChildLine(child, reinterpret_cast<LPARAM>(file.get()));
    std::fprintf(file.get(), ";End of document\r\n");
    std::FILE* raw = file.release();
    if (std::ferror(raw) | std::fclose(raw)) {
        MessageDialog(dialog, "There has been an error creating the requested file.");
        return 0;
    }
    return 1;
}

int OpenDocument(HWND dialog, const char* path) {
    File file(path && *path ? std::fopen(path, "rb") : nullptr);
    if (!file) {
        MessageDialog(dialog, "There has been an error opening the requested file.");
        return 0;
    }
    std::string line;
    if (ReadLine(file.get(), line, kFirstLineLimit) &&
        (line.find("Lumafex Plugin") == std::string::npos || line.find("Vellumark") == std::string::npos)) {
        file.reset();
        MessageDialog(dialog, "This file has been damaged.");
        return 0;
    }
    while (ReadLine(file.get(), line, kLineLimit)) {
        if (!line.empty() && line.front() == ';') continue;
        line = line.substr(0, line.find_first_of("\r\n"));
        int id = line.size() > 6 ? ParseInt(std::string_view(line).substr(6)) : 0;
        if (id <= 0) continue;
        if (HWND control = GetDlgItem(dialog, id))
            SendMessageA(control, kReadLineMessage, 0, reinterpret_cast<LPARAM>(line.c_str()));
    }
    file.reset();

    char picture[1024] = {};
    GetDlgItemTextA(dialog, kPicturePathControl, picture, sizeof picture);
    if (picture[0]) LoadSourcePicture(dialog, picture);
    SendMessageA(dialog, kShowPageMessage, 0, 0);
    return 1;
}
