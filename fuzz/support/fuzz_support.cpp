#include "fuzz/support/fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "luma/testing.h"

namespace fuzzing {

const std::string& PrivateFolder() {
    static const std::string folder = [] {
        std::filesystem::path base = std::filesystem::temp_directory_path();
        std::filesystem::path path = base / ("lumafex-fuzz-" + std::to_string(getpid()));
        std::filesystem::create_directories(path / "config");
        std::filesystem::create_directories(path / "tmp");
        setenv("XDG_CONFIG_HOME", (path / "config").c_str(), 1);
        setenv("TMPDIR", (path / "tmp").c_str(), 1);
        // Removed when the fuzzer ends normally unless LUMAFEX_FUZZ_KEEP is
        // set; a crash leaves it to look at.
        static const std::string removed = path.string();
        if (std::getenv("LUMAFEX_FUZZ_KEEP")) return path.string();
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(removed, ignored);
        });
        return path.string();
    }();
    return folder;
}

void Start() {
    PrivateFolder();
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font = CreateFontA(-14, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Arial");
    HGDIOBJ previous = SelectObject(dc, font);
    SIZE extent;
    GetTextExtentPoint32A(dc, "Lumafex", 7, &extent);
    SelectObject(dc, previous);
    DeleteObject(font);
    DeleteDC(dc);
}

std::string WriteInputFile(const char* name, const std::uint8_t* data, std::size_t size) {
    std::string path = PrivateFolder() + "/" + name;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!file) Fail("cannot write the input file", path);
    return path;
}

std::uint8_t ByteReader::Byte() {
    if (size_ == 0) return 0;
    --size_;
    return *data_++;
}

std::uint32_t ByteReader::U32() {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(Byte()) << (8 * i);
    return value;
}

int ByteReader::Between(int low, int high) {
    std::uint32_t span = static_cast<std::uint32_t>(high - low) + 1;
    std::uint32_t raw = span <= 256 ? Byte() : span <= 65536 ? Byte() | (std::uint32_t{Byte()} << 8) : U32();
    return low + static_cast<int>(raw % span);
}

LeakCheck::LeakCheck()
    : blocks_(luma::LiveGlobalBlocks()),
      gdiObjects_(luma::LiveGdiObjects()),
      deviceContexts_(luma::LiveDeviceContexts()),
      windows_(luma::LiveWindows()) {}

void LeakCheck::Check(const char* where) const {
    auto compare = [where](const char* what, std::size_t before, std::size_t after) {
        if (after > before)
            Fail(where, std::string(what) + ": " + std::to_string(before) + " before, " + std::to_string(after) +
                            " after");
    };
    compare("global blocks", blocks_, luma::LiveGlobalBlocks());
    compare("GDI objects", gdiObjects_, luma::LiveGdiObjects());
    compare("device contexts", deviceContexts_, luma::LiveDeviceContexts());
    compare("windows", windows_, luma::LiveWindows());
}

void Fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "\n*** %s%s%s\n", what, detail.empty() ? "" : ": ", detail.c_str());
    std::abort();
}

}  // namespace fuzzing
