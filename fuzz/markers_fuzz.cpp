// Marker files and the marker lines of settings documents on any bytes, read
// by a real marker window over the main dialog: every position stays on the
// picture, and what the window saves reads back to the same places and saves
// again to the same file. Nothing is left behind.
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "dialog/marker_window.h"
#include "fuzz/support/fuzz_support.h"
#include "fuzz/support/main_dialog_session.h"
#include "luma/automation.h"
#include "settings/bound_controls.h"

namespace {

// Fine enough that a position saved with six decimals shows as at most one
// unit's difference.
constexpr LONG kScale = 1000000;

using Positions = std::array<POINT, kMarkerCount>;

std::string ReadFile(const char* path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

Positions Read(HWND window, const char* when) {
    Positions positions{};
    for (int i = 0; i < kMarkerCount; ++i) {
        if (!GetMarkerPosition(window, i, kScale, kScale, &positions[i]))
            fuzzing::Fail("a marker has no position", when);
        const POINT p = positions[i];
        if (p.x < 0 || p.x > kScale || p.y < 0 || p.y > kScale)
            fuzzing::Fail("a marker off the picture",
                          std::string(when) + ": " + std::to_string(p.x) + "," + std::to_string(p.y));
    }
    return positions;
}

void ExpectClose(const Positions& a, const Positions& b, const char* what) {
    for (int i = 0; i < kMarkerCount; ++i)
        if (std::abs(a[i].x - b[i].x) > 1 || std::abs(a[i].y - b[i].y) > 1)
            fuzzing::Fail(what, "marker " + std::to_string(i));
}

// Each line of the input offered as a document line, as opening a settings
// document offers them.
void OfferLines(HWND window, const std::uint8_t* data, std::size_t size) {
    std::string line;
    for (std::size_t i = 0; i <= size; ++i) {
        if (i < size && data[i] != '\n') {
            line.push_back(static_cast<char>(data[i]));
            continue;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        SendMessageA(window, kReadLineMessage, 0, reinterpret_cast<LPARAM>(line.c_str()));
        line.clear();
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzing::Start();
    fuzzing::MainDialog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const HWND dialog = fuzzing::MainDialog();
    const std::string path = MarkerFilePath(kRainMarkers);
    if (path.empty()) fuzzing::Fail("no data folder for marker files");
    static const bool folderMade = [&] {
        std::error_code error;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
        return !error;
    }();
    if (!folderMade) fuzzing::Fail("cannot make the data folder", path);
    const fuzzing::LeakCheck leaks;

    if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, file);
        std::fclose(file);
    } else {
        fuzzing::Fail("cannot write the marker file", path);
    }
    HWND window = CreateMarkerWindow(dialog, kRainMarkers);
    if (!window) fuzzing::Fail("the marker window did not open");
    Read(window, "from the marker file");
    OfferLines(window, data, size);
    const Positions held = Read(window, "from document lines");

    DestroyMarkerWindow(dialog, kRainMarkers);
    const std::string saved = ReadFile(path.c_str());
    window = CreateMarkerWindow(dialog, kRainMarkers);
    if (!window) fuzzing::Fail("the marker window did not open again");
    ExpectClose(held, Read(window, "from the saved file"), "a marker moved on its way through the file");
    DestroyMarkerWindow(dialog, kRainMarkers);
    if (ReadFile(path.c_str()) != saved) fuzzing::Fail("a saved marker file read and saved again differs");

    luma::automation::Pump();
    luma::automation::Reset();
    leaks.Check("reading markers left something behind");
    return 0;
}
