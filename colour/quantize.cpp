#include "colour/quantize.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "colour/nearest.h"
#include "colour/octree.h"
#include "image/packed_dib.h"
#include "plugin/guards.h"

namespace {

struct PoolBlock {
    HGLOBAL previous;
    OctreeNode nodes[Octree::kPoolBlockNodes];
};

}  // namespace

Octree::~Octree() {
    while (pool_) {
        HGLOBAL previous = static_cast<PoolBlock*>(pool_)->previous;
        GlobalFree(pool_);
        pool_ = previous;
    }
}

OctreeNode* Octree::NewNode() {
    OctreeNode* node;
    if (free_) {
        node = free_;
        free_ = node->parent;
        std::memset(node, 0, sizeof *node);
    } else {
        if (poolUsed_ == kPoolBlockNodes) {
            HGLOBAL block = GlobalAlloc(GPTR, sizeof(PoolBlock));
            if (!block) return nullptr;
            static_cast<PoolBlock*>(block)->previous = pool_;
            pool_ = block;
            poolUsed_ = 0;
        }
        node = &static_cast<PoolBlock*>(pool_)->nodes[poolUsed_++];
    }
    ++nodes_;
    return node;
}

bool Octree::Start(int depth, std::size_t nodeLimit) {
    depth_ = std::clamp(depth, 2, 8);
    nodeLimit_ = nodeLimit;
    root_ = NewNode();
    if (!root_) return false;
    root_->parent = root_;
    return true;
}

namespace {

// Squared distance from a channel value to the centre of its cube's side at
// each level. Every centre is a multiple of 1/2, so each square, their sums
// and their products with a run length are exact in a double.
struct SquareTable {
    double at[9][256];
};

constexpr SquareTable MakeSquares() {
    SquareTable table{};
    for (int value = 0; value < 256; ++value) {
        double centre = 127.5, half = 128;
        for (int level = 1; level <= 8; ++level) {
            half /= 2;
            centre += (value >> (8 - level)) & 1 ? half : -half;
            const double d = value - centre;
            table.at[level][value] = d * d;
        }
    }
    return table;
}

constexpr SquareTable kSquares = MakeSquares();

// Up to 2^51 every multiple of 1/4 is a double, so sums of node errors
// (multiples of 1/4) that stay below it come out the same in any order.
constexpr double kExactErrorLimit = 0x1p51;
constexpr std::int64_t kExactQuarters = std::int64_t{1} << 53;

}  // namespace

bool Octree::Add(int red, int green, int blue, double count) {
    OctreeNode* path[9];
    OctreeNode* node = root_;
    std::int64_t quarters = 0;
    bool exact = rootExact_;  // while every error is small enough to count in quarters
    for (int level = 1; level <= depth_; ++level) {
        const int shift = 8 - level;
        const int id = ((red >> shift) & 1) * 4 + ((green >> shift) & 1) * 2 + ((blue >> shift) & 1);
        if (!(node->childMask & (1 << id))) {
            OctreeNode* child = NewNode();
            if (!child) return false;
            child->childId = static_cast<BYTE>(id);
            child->level = static_cast<BYTE>(level);
            child->parent = node;
            node->children[id] = child;
            node->childMask = static_cast<BYTE>(node->childMask | (1 << id));
            if (level == depth_) ++leaves_;
        }
        node = node->children[id];
        path[level] = node;
        node->error += count * (kSquares.at[level][red] + kSquares.at[level][green] + kSquares.at[level][blue]);
        exact = exact && node->error <= kExactErrorLimit;
        if (exact) quarters += static_cast<std::int64_t>(node->error * 4);
    }
    node->pixelCount += count;
    node->redSum += count * red;
    node->greenSum += count * green;
    node->blueSum += count * blue;

    // The root takes each level's error in turn. While its sum stays exact
    // the order does not matter, and whole quarters keep it off a chain of
    // dependent floating additions; past that it must be the same chain.
    if (rootExact_) {
        if (exact && quarters <= kExactQuarters - rootQuarters_) {
            rootQuarters_ += quarters;
            return true;
        }
        rootExact_ = false;
        root_->error = static_cast<double>(rootQuarters_) / 4;
    }
    for (int level = 1; level <= depth_; ++level) root_->error += path[level]->error;
    return true;
}

void Octree::SyncRootError() {
    if (rootExact_) root_->error = static_cast<double>(rootQuarters_) / 4;
}

// Folds the node's subtree into its parent, deepest first, keeping count of
// the nodes left holding pixels for a reduction.
void Octree::Merge(OctreeNode* node, bool top) {
    // A walk would have counted this one before reaching the ancestor that takes it.
    if (!top && node->pixelCount > 0) ++ghosts_;
    for (int id = 0; id < 8; ++id)
        if (node->childMask & (1 << id)) Merge(node->children[id], false);
    OctreeNode* parent = node->parent;
    if (node->pixelCount > 0) --filled_;
    const bool parentHeldNone = !(parent->pixelCount > 0);
    parent->pixelCount += node->pixelCount;
    if (parentHeldNone && parent->pixelCount > 0) ++filled_;
    parent->redSum += node->redSum;
    parent->greenSum += node->greenSum;
    parent->blueSum += node->blueSum;
    parent->childMask = static_cast<BYTE>(parent->childMask & ~(1 << node->childId));
    --nodes_;
    node->merged = 1;
    node->parent = free_;
    free_ = node;
}

void Octree::PruneLevel(OctreeNode* node) {
    for (int id = 0; id < 8; ++id) {
        if (!(node->childMask & (1 << id))) continue;
        OctreeNode* child = node->children[id];
        if (child->level == depth_)
            Merge(child);
        else
            PruneLevel(child);
    }
}

bool Octree::AddPicture(const void* dib, const DibLayout& layout) {
    bool added = true;
    for (LONG k = 0; k < layout.height && added; ++k) {
        // A level-1 tree has nothing left to prune into.
        if (nodes_ > nodeLimit_ && depth_ > 1) {
            PruneLevel(root_);
            --depth_;
        }
        const BYTE* row = layout.Row(dib, layout.height - 1 - k);
        const BYTE* end = row + static_cast<std::size_t>(layout.width) * 3;
        while (row < end) {
            const BYTE* run = row + 3;
            while (run < end && run[0] == row[0] && run[1] == row[1] && run[2] == row[2]) run += 3;
            if (!Add(row[2], row[1], row[0], static_cast<double>((run - row) / 3))) {
                added = false;
                break;
            }
            row = run;
        }
    }
    SyncRootError();
    return added;
}

void Octree::ReducePass(OctreeNode* node) {
    for (int id = 0; id < 8; ++id)
        if (node->childMask & (1 << id)) ReducePass(node->children[id]);
    // The root has no parent to go into; it stays and takes what its children give it.
    if (node != root_ && node->error <= threshold_) {
        Merge(node);
        return;
    }
    if (node->pixelCount > 0) ++leaves_;
    if (node->error < nextThreshold_) nextThreshold_ = node->error;
}

// Each pass walks the whole tree in post-order: it merges every node whose
// error is within the threshold, counts the nodes it keeps that hold pixels
// (even those an ancestor's merge takes a moment later) and finds the least
// error among them for the next pass.
void Octree::ReduceByWalks(std::size_t most) {
    while (leaves_ > most) {
        threshold_ = nextThreshold_;
        nextThreshold_ = root_->error - 1;
        leaves_ = 0;
        ReducePass(root_);
    }
}

struct Octree::Candidate {
    double error;
    OctreeNode* node;
    std::uint32_t order;  // in post-order, the order of the walks
};

void Octree::ListCandidates(OctreeNode* node, Candidate* list, std::size_t& count) {
    for (int id = 0; id < 8; ++id)
        if (node->childMask & (1 << id)) ListCandidates(node->children[id], list, count);
    if (node->pixelCount > 0) ++filled_;
    if (node == root_) return;
    list[count] = {node->error, node, static_cast<std::uint32_t>(count)};
    ++count;
}

// The passes of ReduceByWalks without the walks. Errors do not change while
// reducing, so the nodes sorted once by error give each pass's merges (the
// front of the list up to the threshold) and the next threshold (the first
// node after them still in the tree). The merges go in the walk's order, so
// every parent sums its children as the walk would.
void Octree::Reduce(int maxColours) {
    SyncRootError();
    const std::size_t most = static_cast<std::size_t>(std::max(maxColours, 1));
    nextThreshold_ = 0;
    if (leaves_ <= most) return;
    HeapArray<Candidate> list;
    if (!list.allocate(nodes_ - 1)) {
        ReduceByWalks(most);
        return;
    }
    std::size_t count = 0;
    filled_ = 0;
    ListCandidates(root_, list.data(), count);
    Candidate* const first = list.data();
    Candidate* const last = first + count;
    std::sort(first, last, [](const Candidate& a, const Candidate& b) { return a.error < b.error; });

    Candidate* next = first;
    while (leaves_ > most) {
        threshold_ = nextThreshold_;
        nextThreshold_ = root_->error - 1;
        Candidate* end = next;
        while (end < last && end->error <= threshold_) ++end;
        for (Candidate* c = end; c < last; ++c) {
            if (c->node->merged) continue;
            if (c->error < nextThreshold_) nextThreshold_ = c->error;
            break;
        }

        std::sort(next, end, [](const Candidate& a, const Candidate& b) { return a.order < b.order; });
        ghosts_ = 0;
        for (Candidate* c = next; c < end; ++c)
            if (!c->node->merged) Merge(c->node);
        next = end;
        leaves_ = filled_ + ghosts_;
    }
}

void Octree::Write(OctreeNode* node, BYTE* palette, int& next) {
    for (int id = 0; id < 8; ++id)
        if (node->childMask & (1 << id)) Write(node->children[id], palette, next);
    if (node->pixelCount == 0 || next >= 256) return;
    node->paletteIndex = next;
    const double n = node->pixelCount;
    BYTE* entry = palette + next * 3;
    entry[0] = static_cast<BYTE>(static_cast<int>((node->redSum + n / 2) / n));
    entry[1] = static_cast<BYTE>(static_cast<int>((node->greenSum + n / 2) / n));
    entry[2] = static_cast<BYTE>(static_cast<int>((node->blueSum + n / 2) / n));
    ++next;
}

int Octree::WritePalette(BYTE* palette) {
    int next = 0;
    Write(root_, palette, next);
    return next;
}

namespace {

// The frames' distinct colours in order of first appearance, up to 256; a
// 257th colour ends the list for good.
class ExactColours {
public:
    bool Start() { return slots_.allocate(kSlots); }
    bool Overflowed() const { return overflow_; }
    int Count() const { return count_; }
    std::uint32_t Colour(int i) const { return colours_[i]; }

    void AddPicture(const void* dib, const DibLayout& layout) {
        for (LONG y = 0; y < layout.height && !overflow_; ++y) {
            const BYTE* p = layout.Row(dib, y);
            std::uint32_t previous = 0xFFFFFFFF;
            for (LONG x = 0; x < layout.width; ++x, p += 3) {
                std::uint32_t colour = p[2] | (p[1] << 8) | (p[0] << 16);
                if (colour == previous) continue;
                previous = colour;
                if (!Add(colour)) return;
            }
        }
    }

private:
    static constexpr int kSlotBits = 10;
    static constexpr std::uint32_t kSlots = 1u << kSlotBits;

    // False once a colour beyond 256 turns up.
    bool Add(std::uint32_t colour) {
        std::uint32_t slot = (colour * 2654435761u) >> (32 - kSlotBits);
        for (; slots_[slot]; slot = (slot + 1) & (kSlots - 1))
            if (slots_[slot] == colour + 1) return true;
        if (count_ == 256) {
            overflow_ = true;
            return false;
        }
        slots_[slot] = colour + 1;
        colours_[count_++] = colour;
        return true;
    }

    HeapArray<std::uint32_t> slots_;  // colour + 1; 0 while empty
    std::uint32_t colours_[256] = {};
    int count_ = 0;
    bool overflow_ = false;
};

}  // namespace

int QuantizerDepth(int maxColours) {
    int depth = 0;
    for (int n = maxColours; n > 0; n >>= 2) ++depth;
    return std::clamp(depth, 2, 8);
}

namespace {

// Calls visit(locked picture, layout) for each readable 24-bit frame image in
// list order until it returns false. False when a block cannot be locked.
template <class Visit>
bool ForEachTrueColourFrame(const FrameList& frames, Visit visit) {
    if (frames.count <= 0) return true;
    if (!frames.records || GlobalSize(frames.records) < frames.count * sizeof(FrameRecord)) return false;
    GlobalLockGuard<FrameRecord> records(frames.records);
    if (!records) return false;
    for (int i = 0; i < frames.count; ++i) {
        HGLOBAL image = records.get()[i].image;
        if (!image) continue;
        GlobalLockGuard<BYTE> dib(image);
        if (!dib) return false;
        DibLayout layout;
        if (!PackedDibFits(dib.get(), GlobalSize(image)) || !DibLayout::From(dib.get(), layout) ||
            layout.bits != 24)
            continue;
        if (!visit(dib.get(), layout)) break;
    }
    return true;
}

}  // namespace

int BuildFramePalette(int* maxColours, BYTE* palette, const FrameList& frames) {
    if (!maxColours || !palette) return 0;
    std::memset(palette, 0, 768);
    const int limit = *maxColours <= 0 || *maxColours > 256 ? 256 : *maxColours;

    Octree tree;
    ExactColours exact;
    if (!tree.Start(QuantizerDepth(limit)) || !exact.Start()) return 0;

    // The tree's answer is only wanted when the frames hold too many colours
    // for the list, so it is grown afterwards and only then.
    if (!ForEachTrueColourFrame(frames, [&](const void* dib, const DibLayout& layout) {
            exact.AddPicture(dib, layout);
            return !exact.Overflowed();
        }))
        return 0;
    if (!exact.Overflowed() && exact.Count() <= limit) {
        for (int i = 0; i < exact.Count(); ++i) {
            std::uint32_t c = exact.Colour(i);
            palette[i * 3] = static_cast<BYTE>(c);
            palette[i * 3 + 1] = static_cast<BYTE>(c >> 8);
            palette[i * 3 + 2] = static_cast<BYTE>(c >> 16);
        }
        *maxColours = exact.Count();
        return 1;
    }

    bool grown = true;
    if (!ForEachTrueColourFrame(frames, [&](const void* dib, const DibLayout& layout) {
            grown = tree.AddPicture(dib, layout);
            return grown;
        }) ||
        !grown)
        return 0;
    tree.Reduce(limit);
    *maxColours = tree.WritePalette(palette);
    return 1;
}

void PutBackgroundColour(BYTE* palette, int* count, COLORREF colour) {
    const BYTE red = GetRValue(colour), green = GetGValue(colour), blue = GetBValue(colour);
    int entry;
    if (*count < 254) {
        entry = std::max(*count, 0);
        *count = entry + 1;
    } else {
        entry = FindNearestColour(red, green, blue, palette, *count);
    }
    palette[entry * 3] = red;
    palette[entry * 3 + 1] = green;
    palette[entry * 3 + 2] = blue;
}

void SortPaletteByLuminance(BYTE* palette, int count) {
    count = std::min(count, 256);
    auto luminance = [&](int i) { return Luminance(palette[i * 3], palette[i * 3 + 1], palette[i * 3 + 2]); };
    for (bool swapped = true; swapped;) {
        swapped = false;
        for (int i = 0; i + 1 < count; ++i) {
            if (luminance(i + 1) < luminance(i)) {
                std::swap_ranges(palette + i * 3, palette + i * 3 + 3, palette + i * 3 + 3);
                swapped = true;
            }
        }
    }
}

int DepthForColourCount(int n) {
    if (n < 3) return 1;
    if (n < 5) return 2;
    if (n < 9) return 3;
    if (n < 17) return 4;
    if (n < 33) return 5;
    if (n < 65) return 6;
    if (n <= 128) return 7;
    if (n <= 256) return 8;
    return 24;
}
