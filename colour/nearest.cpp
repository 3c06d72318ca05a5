#include "colour/nearest.h"

#include <algorithm>
#include <climits>

#include "colour/colour_chooser.h"

int FindNearestColour(int red, int green, int blue, const BYTE* palette, int count) {
    if (!palette || count < 1) return 0;
    count = std::min(count, 256);
    int best = 0;
    int bestDistance = INT_MAX;
    for (int i = 0; i < count; ++i) {
        const BYTE* p = palette + i * 3;
        int d = ColourDistance(red - p[0], green - p[1], blue - p[2]);
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
            if (d == 0) break;
        }
    }
    return best;
}

namespace {

constexpr int kCellShift = 4;
constexpr int kCellsPerAxis = 256 >> kCellShift;
constexpr int kCells = kCellsPerAxis * kCellsPerAxis * kCellsPerAxis;
// The candidates a search has room for from the start: a photograph's frames
// fill some thousands of cells of a few dozen candidates, a small share of
// the grid's 4096 times 256.
constexpr std::size_t kFirstRoom = 65536;

// Distances from a channel value to the nearest and farthest point of the
// cell span [low, low + 15].
inline int Nearest(int value, int low) {
    int high = low + (1 << kCellShift) - 1;
    return value < low ? low - value : value > high ? value - high : 0;
}
inline int Farthest(int value, int low) {
    int high = low + (1 << kCellShift) - 1;
    return std::max(value - low, high - value);
}

}  // namespace

bool NearestColourSearch::Prepare(const BYTE* palette, int count) {
    palette_ = palette;
    count_ = std::clamp(count, 1, 256);
    used_ = 0;
    return candidates_.allocate(kFirstRoom) && reach_.allocate(kFirstRoom) && cellStart_.allocate(kCells) &&
           cellLength_.allocate(kCells);
}

bool NearestColourSearch::Reserve(std::size_t count) {
    if (used_ + count <= reach_.size()) return true;
    const std::size_t room = std::max(used_ + count, 2 * reach_.size());
    HeapArray<BYTE> candidates;
    HeapArray<int> reach;
    if (!candidates.allocate(room) || !reach.allocate(room)) return false;
    std::copy_n(candidates_.data(), used_, candidates.data());
    std::copy_n(reach_.data(), used_, reach.data());
    candidates_ = std::move(candidates);
    reach_ = std::move(reach);
    return true;
}

bool NearestColourSearch::FillCell(int cell) {
    int lowR = (cell >> (2 * kCellShift)) << kCellShift;
    int lowG = ((cell >> kCellShift) & (kCellsPerAxis - 1)) << kCellShift;
    int lowB = (cell & (kCellsPerAxis - 1)) << kCellShift;
    int nearest[256];
    int bound = INT_MAX;
    for (int i = 0; i < count_; ++i) {
        const BYTE* p = palette_ + i * 3;
        nearest[i] = ColourDistance(Nearest(p[0], lowR), Nearest(p[1], lowG), Nearest(p[2], lowB));
        bound = std::min(bound, ColourDistance(Farthest(p[0], lowR), Farthest(p[1], lowG), Farthest(p[2], lowB)));
    }
    BYTE list[256];
    int length = 0;
    for (int i = 0; i < count_; ++i)
        if (nearest[i] <= bound) list[length++] = static_cast<BYTE>(i);
    if (!Reserve(static_cast<std::size_t>(length))) return false;
    // Nearest first; equal reaches keep index order.
    std::stable_sort(list, list + length, [&](BYTE a, BYTE b) { return nearest[a] < nearest[b]; });
    std::copy_n(list, length, candidates_.data() + used_);
    for (int k = 0; k < length; ++k) reach_[used_ + k] = nearest[list[k]];
    cellStart_[cell] = static_cast<std::uint32_t>(used_);
    cellLength_[cell] = static_cast<std::uint16_t>(length + 1);
    used_ += static_cast<std::size_t>(length);
    return true;
}

int NearestColourSearch::Find(int red, int green, int blue) {
    int cell = ((red >> kCellShift) << (2 * kCellShift)) | ((green >> kCellShift) << kCellShift) | (blue >> kCellShift);
    if (!cellLength_[cell] && !FillCell(cell)) return FindNearestColour(red, green, blue, palette_, count_);
    const std::size_t offset = cellStart_[cell];
    const BYTE* list = candidates_.data() + offset;
    const int* reach = reach_.data() + offset;
    const int length = cellLength_[cell] - 1;
    int best = list[0];
    const BYTE* p = palette_ + best * 3;
    int bestDistance = ColourDistance(red - p[0], green - p[1], blue - p[2]);
    // An exact entry can only be met among the candidates of reach 0, which
    // run in index order, so the first one found is the first in the palette.
    for (int k = 1; k < length && bestDistance != 0 && reach[k] <= bestDistance; ++k) {
        const int i = list[k];
        p = palette_ + i * 3;
        int d = ColourDistance(red - p[0], green - p[1], blue - p[2]);
        if (d < bestDistance || (d == bestDistance && i < best)) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

namespace {

inline std::uint32_t Slot(std::uint32_t colour, int bits) { return (colour * 2654435761u) >> (32 - bits); }

}  // namespace

bool ColourChooser::Prepare(const BYTE* palette, int count, bool fastRemap) {
    palette_ = palette;
    fast_ = fastRemap;
    count = std::clamp(count, 1, 256);
    if (!search_.Prepare(palette, count) || !memoKey_.allocate(std::size_t{1} << kMemoBits) ||
        !memoIndex_.allocate(std::size_t{1} << kMemoBits))
        return false;
    if (!fast_) return true;
    if (!exactKey_.allocate(kExactSlots) || !exactIndex_.allocate(kExactSlots) || !cache_.allocate(32768))
        return false;
    constexpr int kSlotBits = 10;
    static_assert(kExactSlots == 1 << kSlotBits);
    for (int i = 0; i < count; ++i) {
        const BYTE* p = palette + i * 3;
        std::uint32_t colour = p[0] | (p[1] << 8) | (p[2] << 16);
        std::uint32_t slot = Slot(colour, kSlotBits);
        while (exactKey_[slot] && exactKey_[slot] != colour + 1) slot = (slot + 1) & (kExactSlots - 1);
        if (exactKey_[slot]) continue;  // an earlier entry has this colour
        exactKey_[slot] = colour + 1;
        exactIndex_[slot] = static_cast<BYTE>(i);
    }
    return true;
}

int ColourChooser::ExactEntry(std::uint32_t colour) const {
    std::uint32_t slot = Slot(colour, 10);
    for (; exactKey_[slot]; slot = (slot + 1) & (kExactSlots - 1))
        if (exactKey_[slot] == colour + 1) return exactIndex_[slot];
    return -1;
}

int ColourChooser::CacheEntry(int index) {
    if (!cache_[index])
        cache_[index] =
            static_cast<std::uint16_t>(search_.Find((index & 31) * 8, ((index >> 5) & 31) * 8, (index >> 10) * 8) + 1);
    return cache_[index] - 1;
}

int ColourChooser::Decide(int red, int green, int blue) {
    if (!fast_) return search_.Find(red, green, blue);
    int exact = ExactEntry(red | (green << 8) | (blue << 16));
    return exact >= 0 ? exact : CacheEntry((red >> 3) + 32 * (green >> 3) + 1024 * (blue >> 3));
}

int ColourChooser::Choose(int red, int green, int blue) {
    std::uint32_t colour = red | (green << 8) | (blue << 16);
    if (colour + 1 == lastKey_) return lastIndex_;
    std::uint32_t slot = Slot(colour, kMemoBits);
    if (memoKey_[slot] != colour + 1) {
        memoKey_[slot] = colour + 1;
        memoIndex_[slot] = static_cast<BYTE>(Decide(red, green, blue));
    }
    lastKey_ = colour + 1;
    lastIndex_ = memoIndex_[slot];
    return lastIndex_;
}
