#include "host/core/write/gif_lzw.h"

#include <algorithm>

namespace {

constexpr unsigned kLargestCode = 4095;
constexpr unsigned kWidestCode = 12;
// How far ahead a choice between a pixel's two values looks.
constexpr int kLookAhead = 6;
// How many strings in a row may be coded a pixel short.
constexpr int kShortenedInARow = 2;
constexpr unsigned kHalfTable = (kLargestCode + 1) / 2;

// Packs codes least significant bit first into length-prefixed sub-blocks,
// four bytes at a time while the open block has room for them.
class BlockPacker {
public:
    explicit BlockPacker(std::vector<BYTE>& out) : out_(out) {
        out_.clear();
        out_.push_back(0);
    }

    void Put(unsigned code, unsigned width) {
        bits_ |= std::uint64_t{code} << count_;
        count_ += width;
        if (count_ < 32) return;
        if (room_ > 4) {
            const std::size_t at = out_.size();
            out_.resize(at + 4);
            for (int i = 0; i < 4; ++i) out_[at + i] = static_cast<BYTE>(bits_ >> (8 * i));
            room_ -= 4;
        } else {
            for (int i = 0; i < 4; ++i) Byte(static_cast<BYTE>(bits_ >> (8 * i)));
        }
        bits_ >>= 32;
        count_ -= 32;
    }

    void Finish() {
        for (; count_ > 0; count_ = count_ > 8 ? count_ - 8 : 0, bits_ >>= 8) Byte(static_cast<BYTE>(bits_));
        if (room_ == 255) {
            out_.back() = 0;  // the open block is empty: it becomes the terminator
            return;
        }
        out_[out_.size() - (255 - room_) - 1] = static_cast<BYTE>(255 - room_);
        out_.push_back(0);
    }

private:
    void Byte(BYTE b) {
        out_.push_back(b);
        if (--room_ == 0) {
            out_[out_.size() - 256] = 255;
            out_.push_back(0);
            room_ = 255;
        }
    }

    std::vector<BYTE>& out_;
    unsigned room_ = 255;  // in the open block
    std::uint64_t bits_ = 0;
    unsigned count_ = 0;
};

// The code the table gives next and the width codes take, as a decoder
// counts them: every code after a clear counts one up, and the width grows
// once the count passes its range.
class CodeCounter {
public:
    explicit CodeCounter(int minimumCodeSize) : minimum_(static_cast<unsigned>(minimumCodeSize)) { Clear(); }

    unsigned Next() const { return next_; }
    unsigned Width() const { return width_; }
    void Clear() {
        width_ = minimum_ + 1;
        next_ = (1u << minimum_) + 2;
    }
    void Count() {
        ++next_;
        if (next_ > (1u << width_) && width_ < kWidestCode) ++width_;
    }
    bool Full() const { return next_ > kLargestCode; }

private:
    unsigned minimum_;
    unsigned width_ = 0;
    unsigned next_ = 0;
};

constexpr int kSlotBits = 15;  // eight slots a code keeps probes short
constexpr unsigned kSlotMask = (1u << kSlotBits) - 1;

unsigned SlotOf(std::uint32_t key) { return (key * 2654435761u) >> (32 - kSlotBits); }

}  // namespace

GifLzwEncoder::GifLzwEncoder()
    : slots_(std::size_t{1} << kSlotBits),
      frequentChild_(kLargestCode + 1),
      childMask_(kLargestCode + 1),
      rootOf_(kLargestCode + 1),
      length_(kLargestCode + 1) {}

void GifLzwEncoder::ClearTable() {
    std::fill(slots_.begin(), slots_.end(), 0u);
    longest_.fill(1);
    std::fill(frequentChild_.begin(), frequentChild_.end(), std::int16_t{-1});
    std::fill(childMask_.begin(), childMask_.end(), 0);
}

inline int GifLzwEncoder::Find(unsigned code, unsigned value, unsigned& slot) const {
    const std::uint32_t key = (code << 8) | value;
    for (slot = SlotOf(key); slots_[slot] != 0; slot = (slot + 1) & kSlotMask)
        if (slots_[slot] >> 12 == key) return static_cast<int>(slots_[slot] & 0xFFF);
    return -1;
}

inline int GifLzwEncoder::Child(unsigned code, unsigned value) const {
    if (value == frequent_) return frequentChild_[code];
    if (!(childMask_[code] >> (value & 63) & 1)) return -1;
    unsigned slot;
    return Find(code, value, slot);
}

int GifLzwEncoder::Reach(unsigned code, std::size_t j, int depth) const {
    if (depth == 0 || j >= count_) return 0;
    int best = 0;
    const int first = Child(code, pixels_[j]);
    if (first >= 0) best = 1 + Reach(static_cast<unsigned>(first), j + 1, depth - 1);
    if (alternative_[j] != pixels_[j] && best < depth) {
        const int second = Child(code, alternative_[j]);
        if (second >= 0) best = std::max(best, 1 + Reach(static_cast<unsigned>(second), j + 1, depth - 1));
    }
    return best;
}

// Of a pixel's two values, the one whose string reaches further; on a tie the
// pixel's own, which the caller chose to make runs. Most pixels have one
// value, or one that the table knows after the string: only the rest look
// ahead, out of line.
inline int GifLzwEncoder::Step(unsigned code, std::size_t j) const {
    const unsigned own = pixels_[j], other = alternative_[j];
    const int first = Child(code, own);
    if (other == own) return first;
    const int second = Child(code, other);
    if (first < 0 || second < 0) return first >= 0 ? first : second;
    return Further(j, first, second);
}

unsigned GifLzwEncoder::Start(std::size_t j) const {
    if (alternative_[j] == pixels_[j]) return pixels_[j];
    return static_cast<unsigned>(Further(j, pixels_[j], alternative_[j]));
}

// When the own value's string looks all the way ahead the other cannot beat
// it; else the other need only be looked at one pixel further than the own
// one reaches.
int GifLzwEncoder::Further(std::size_t j, int own, int other) const {
    const int reach = Reach(static_cast<unsigned>(own), j + 1, kLookAhead);
    if (reach == kLookAhead) return own;
    return Reach(static_cast<unsigned>(other), j + 1, reach + 1) > reach ? other : own;
}

void GifLzwEncoder::Walk(std::size_t j, unsigned first, Path& path) const {
    path.codes[0] = static_cast<std::uint16_t>(first);
    path.size = 1;
    Continue(j, path);
}

void GifLzwEncoder::Continue(std::size_t j, Path& path) const {
    std::uint16_t* codes = path.codes.data();
    std::size_t size = path.size;
    // The code goes on in a register: read back from the path, each step
    // would wait on the store before it.
    for (unsigned code = codes[size - 1]; j + size < count_;) {
        const int next = Step(code, j + size);
        if (next < 0) break;
        code = static_cast<unsigned>(next);
        codes[size++] = static_cast<std::uint16_t>(code);
    }
    path.size = size;
}

void GifLzwEncoder::Encode(const BYTE* pixels, const BYTE* alternative, std::size_t count, int minimumCodeSize,
                           std::vector<BYTE>& out) {
    pixels_ = pixels;
    alternative_ = alternative;
    count_ = count;
    // Where pixels may take either of two values, one of the two is mostly
    // the same (transparency): the one the first two different pairs share.
    std::size_t first = 0;
    while (first < count && pixels[first] == alternative[first]) ++first;
    frequent_ = first < count ? pixels[first] : count ? pixels[0] : 0;
    for (std::size_t i = first + 1; i < count; ++i) {
        const bool sharesOwn = pixels[i] == pixels[first] || alternative[i] == pixels[first];
        const bool sharesOther = pixels[i] == alternative[first] || alternative[i] == alternative[first];
        if (sharesOwn != sharesOther) {
            frequent_ = sharesOwn ? pixels[first] : alternative[first];
            break;
        }
    }
    const unsigned clear = 1u << minimumCodeSize;
    const unsigned end = clear + 1;
    BlockPacker packer(out);
    CodeCounter counter(minimumCodeSize);
    ClearTable();
    packer.Put(clear, counter.Width());
    for (unsigned root = 0; root < clear; ++root) {
        rootOf_[root] = static_cast<BYTE>(root);
        length_[root] = 1;
    }
    std::size_t at = 0;
    int shortenedInARow = 0;
    if (count) Walk(0, Start(0), path_);
    while (at < count) {
        // path_ holds the longest string from here, one code per length. One
        // pixel less is taken when the string after it is then longer by
        // more: the shorter parse covers more in two codes. But the code such
        // a string adds repeats one the table has (the string one pixel
        // longer), a code lost for as long as the table lasts: while the
        // table is less than half full that loss outweighs what the parse
        // gains, and it is not tried. And pixels that repeat in a short
        // period would have every string cut so, the table never growing:
        // no more than two in a row.
        std::size_t length = path_.size;
        bool walked = false;  // whether following_ holds the string after this one
        bool shortened = false;
        if (length > 1 && at + length < count) {
            Walk(at + length, Start(at + length), following_);
            // No string from the pixel before can be long enough when none
            // starting with either of its values is.
            const std::size_t before = at + length - 1;
            if (shortenedInARow < kShortenedInARow && counter.Next() > kHalfTable &&
                std::max(longest_[pixels[before]], longest_[alternative[before]]) > following_.size + 1) {
                Walk(before, Start(before), shorter_);
                if (shorter_.size > following_.size + 1) {
                    --length;
                    following_.swap(shorter_);
                    shortened = true;
                }
            }
            walked = true;
        }
        shortenedInARow = shortened ? shortenedInARow + 1 : 0;
        const unsigned code = path_[length - 1];
        packer.Put(code, counter.Width());
        at += length;
        if (at == count) break;
        // The decoder adds a code for the string and the next one's first
        // pixel whether or not that string is known; one already known is not
        // looked up again.
        const unsigned value = walked ? following_[0] : Start(at);
        const unsigned next = counter.Next();
        unsigned slot;
        if (Find(code, value, slot) < 0) {
            slots_[slot] = ((code << 8) | value) << 12 | next;
            childMask_[code] |= std::uint64_t{1} << (value & 63);
            if (value == frequent_) frequentChild_[code] = static_cast<std::int16_t>(next);
        }
        rootOf_[next] = rootOf_[code];
        length_[next] = static_cast<std::uint16_t>(length_[code] + 1);
        longest_[rootOf_[next]] = std::max(longest_[rootOf_[next]], std::size_t{length_[next]});
        counter.Count();
        bool cleared = false;
        if (counter.Full()) {
            // A full table starts again.
            packer.Put(clear, counter.Width());
            ClearTable();
            counter.Clear();
            cleared = true;
        }
        // The string walked already is still the longest unless the new code
        // could lengthen it.
        if (walked && !cleared) {
            path_.swap(following_);
            // The new code can change the walk only where it passes code or
            // looks ahead into it: the steps before stand.
            const std::size_t through = length_[code];
            if (through <= path_.size && path_[through - 1] == code) {
                path_.size = through > kLookAhead + 1 ? through - kLookAhead : 1;
                Continue(at, path_);
            }
        } else {
            Walk(at, value, path_);
        }
    }
    if (count) counter.Count();
    packer.Put(end, counter.Width());
    packer.Finish();
}

bool GifLzwEncoder::Relabels(const BYTE* pixels, const BYTE* alternative, const BYTE* laterPixels,
                             const BYTE* laterAlternative, std::size_t count, std::array<BYTE, 256>& values) {
    std::array<short, 256> forth, back;
    forth.fill(-1);
    back.fill(-1);
    auto pair = [&](BYTE from, BYTE to) {
        if (forth[from] < 0 && back[to] < 0) {
            forth[from] = to;
            back[to] = from;
        }
        return forth[from] == to;
    };
    for (std::size_t i = 0; i < count; ++i)
        if (!pair(pixels[i], laterPixels[i]) || !pair(alternative[i], laterAlternative[i])) return false;
    for (std::size_t v = 0; v < 256; ++v) values[v] = static_cast<BYTE>(std::max<short>(forth[v], 0));
    return true;
}

void GifLzwEncoder::Renumber(const std::vector<BYTE>& data, int from, int to, const std::array<BYTE, 256>& values,
                             std::vector<BYTE>& out) {
    const unsigned fromClear = 1u << from, toClear = 1u << to;
    CodeCounter reading(from), writing(to);
    BlockPacker packer(out);
    std::uint64_t bits = 0;
    unsigned count = 0;
    for (std::size_t block = 0; block < data.size() && data[block] != 0; block += data[block] + 1u) {
        const std::size_t end = std::min(data.size(), block + 1 + data[block]);
        for (std::size_t at = block + 1; at < end; ++at) {
            bits |= std::uint64_t{data[at]} << count;
            count += 8;
            while (count >= reading.Width()) {
                const unsigned code = static_cast<unsigned>(bits) & ((1u << reading.Width()) - 1);
                bits >>= reading.Width();
                count -= reading.Width();
                if (code == fromClear) {
                    packer.Put(toClear, writing.Width());
                    reading.Clear();
                    writing.Clear();
                } else if (code == fromClear + 1) {
                    packer.Put(toClear + 1, writing.Width());
                    packer.Finish();
                    return;
                } else {
                    packer.Put(code < fromClear ? values[code] : code - fromClear + toClear, writing.Width());
                    reading.Count();
                    writing.Count();
                }
            }
        }
    }
    packer.Finish();
}
