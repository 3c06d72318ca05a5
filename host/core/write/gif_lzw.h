// The LZW coding of a GIF image's pixels, done here rather than by giflib so
// that the writer can code a frame in more than one way and keep the
// shortest, and so that a pixel that may take either of two values (a pixel
// the frame leaves unchanged: transparent, or the colour already shown)
// takes the one that codes shorter.
#pragma once

#include <windows.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

class GifLzwEncoder {
public:
    GifLzwEncoder();

    // Codes count pixels, each below 1 << minimumCodeSize (2 to 8), and
    // replaces out with the image data as it follows the minimum code size
    // byte in a file: sub-blocks of at most 255 bytes, each after its length
    // byte, ending with the empty block. Pixel i may be coded as pixels[i]
    // or, where they differ, as alternative[i]; pixels[i] where neither
    // codes shorter as far as the coder looks ahead.
    void Encode(const BYTE* pixels, const BYTE* alternative, std::size_t count, int minimumCodeSize,
                std::vector<BYTE>& out);
    void Encode(const BYTE* pixels, std::size_t count, int minimumCodeSize, std::vector<BYTE>& out) {
        Encode(pixels, pixels, count, minimumCodeSize, out);
    }

    // Whether the later pixels and their alternatives are the earlier ones
    // with each value v replaced by values[v], the same one wherever it
    // occurs; values is set for the values that occur.
    static bool Relabels(const BYTE* pixels, const BYTE* alternative, const BYTE* laterPixels,
                         const BYTE* laterAlternative, std::size_t count, std::array<BYTE, 256>& values);
    // The image data coded with minimumCodeSize from, made again for pixels
    // whose every value v is now values[v], coded with minimumCodeSize to (no
    // larger than from): the same strings, numbered and sized as a decoder
    // of the new code size counts them. The coding of a second table for the
    // same pixels without coding them again; out may not be data.
    static void Renumber(const std::vector<BYTE>& data, int from, int to, const std::array<BYTE, 256>& values,
                         std::vector<BYTE>& out);

private:
    // The code of the string code followed by value, or -1 with slot set to
    // where that string would go.
    int Find(unsigned code, unsigned value, unsigned& slot) const;
    // The same answer, without the slot; the frequent value's from its own
    // small table.
    int Child(unsigned code, unsigned value) const;
    // How many pixels from j on the string of code can take in, either value
    // of each, looking at most depth pixels ahead.
    int Reach(unsigned code, std::size_t j, int depth) const;
    // The code the string of code grows into with pixel j, of its two values
    // the one that reaches further; -1 when neither is in the table.
    int Step(unsigned code, std::size_t j) const;
    // Of own and other, the codes of pixel j's own value and its
    // alternative, the one that reaches further; own on a tie. Step's choice
    // when both are in the table, out of line.
    int Further(std::size_t j, int own, int other) const;
    // The value a string starting at pixel j starts with.
    unsigned Start(std::size_t j) const;
    // The codes of the longest string from pixel j that starts with first,
    // one a length.
    struct Path;
    void Walk(std::size_t j, unsigned first, Path& path) const;
    // Walks on from the last of the path's codes.
    void Continue(std::size_t j, Path& path) const;

    void ClearTable();

    // Each slot holds (code << 8 | value) << 12 | the code of that string,
    // or 0 when empty (no string has code 0).
    std::vector<std::uint32_t> slots_;
    // One value gets a table of its own, indexed by code (-1: not in the
    // table): small enough to stay in the nearest cache, and met by most
    // lookups where many pixels may be transparent.
    unsigned frequent_ = 0;
    std::vector<std::int16_t> frequentChild_;
    // Per code, a bit for each value (modulo 64) it has a child for: most
    // lookups that fail end here, without a probe into the slots.
    std::vector<std::uint64_t> childMask_;
    // A string's codes, one a length. No string is longer than the table,
    // so the room is set once.
    struct Path {
        std::vector<std::uint16_t> codes;
        std::size_t size = 0;

        Path() : codes(4097) {}
        unsigned back() const { return codes[size - 1]; }
        unsigned operator[](std::size_t i) const { return codes[i]; }
        void swap(Path& other) {
            codes.swap(other.codes);
            std::swap(size, other.size);
        }
    };
    Path path_, following_, shorter_;
    std::vector<BYTE> rootOf_;     // each code's first value
    std::vector<std::uint16_t> length_;  // of each code's string
    std::array<std::size_t, 256> longest_;  // the longest string starting with each value
    const BYTE* pixels_ = nullptr;
    const BYTE* alternative_ = nullptr;
    std::size_t count_ = 0;
};
