// What the fuzz targets share: a private folder for the files they read, the
// byte reader that splits an input into parameters, and the check that an
// input left no global block, GDI object or device context behind.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzzing {

// Called once before the first input: makes the private folder and starts
// the font machinery, whose caches live as long as the process and must
// not be taken for a leak of the first input that draws text.
void Start();

// A folder of this process's own, made on first use, where XDG_CONFIG_HOME
// and TMPDIR point too, so no target ever reads or writes the user's files.
// It goes when the process ends, unless LUMAFEX_FUZZ_KEEP is set.
const std::string& PrivateFolder();

// Writes bytes to name inside the private folder and returns its path.
std::string WriteInputFile(const char* name, const std::uint8_t* data, std::size_t size);

// Takes leading bytes off an input as small parameters; once the input is
// used up every value reads as 0.
class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::uint8_t Byte();
    std::uint32_t U32();
    // A value in [low, high], from one, two or four bytes as the range needs.
    int Between(int low, int high);

    const std::uint8_t* Rest() const { return data_; }
    std::size_t Left() const { return size_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

// Counts of what the platform holds when made; Check aborts, naming the
// counter, when an input left more behind, so the fuzzer keeps the input.
class LeakCheck {
public:
    LeakCheck();
    void Check(const char* where) const;

private:
    std::size_t blocks_;
    std::size_t gdiObjects_;
    std::size_t deviceContexts_;
    std::size_t windows_;
};

// Stops the run with a message; the fuzzer records the input as a crash.
[[noreturn]] void Fail(const char* what, const std::string& detail = {});

}  // namespace fuzzing
