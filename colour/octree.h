// The octree colour quantizer behind BuildFramePalette. Its pieces are
// public so that tests can reach the level pruning, which the palette sizes
// of a build never trigger.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "image/packed_dib.h"

// Tree depth for a palette of at most maxColours: how often it can be shifted
// right by two bits before it is 0, limited to 2..8.
int QuantizerDepth(int maxColours);

struct OctreeNode {
    double pixelCount;
    double redSum, greenSum, blueSum;
    // Squared distances of every pixel that passed through to the centre of
    // this node's cube, weighted by run length.
    double error;
    std::int32_t paletteIndex;
    BYTE childId;
    BYTE level;
    BYTE childMask;
    BYTE merged;  // folded into its parent by a reduction
    OctreeNode* parent;  // the root is its own parent
    OctreeNode* children[8];
};

class Octree {
public:
    static constexpr std::size_t kNodeLimit = 266817;
    static constexpr std::size_t kPoolBlockNodes = 1536;

    Octree() = default;
    Octree(const Octree&) = delete;
    Octree& operator=(const Octree&) = delete;
    ~Octree();

    // Makes the root; depth is limited to 2..8. False when memory fails.
    bool Start(int depth, std::size_t nodeLimit = kNodeLimit);

    // Classifies a locked 24-bit picture, stored rows in order, runs of equal
    // pixels at once. False when the node pool cannot grow.
    bool AddPicture(const void* dib, const DibLayout& layout);

    // Merges nodes in passes of rising error until at most maxColours
    // nodes hold pixels.
    void Reduce(int maxColours);

    // Writes one triplet per node holding pixels, children before their
    // parent, and returns how many (never more than 256).
    int WritePalette(BYTE* palette);

    int depth() const { return depth_; }
    std::size_t nodes() const { return nodes_; }
    std::size_t leaves() const { return leaves_; }
    const OctreeNode* root() const { return root_; }

private:
    struct Candidate;

    OctreeNode* NewNode();
    bool Add(int red, int green, int blue, double count);
    void SyncRootError();
    void Merge(OctreeNode* node, bool top = true);
    void PruneLevel(OctreeNode* node);
    void ReducePass(OctreeNode* node);
    void ReduceByWalks(std::size_t most);
    void ListCandidates(OctreeNode* node, Candidate* list, std::size_t& count);
    void Write(OctreeNode* node, BYTE* palette, int& next);

    HGLOBAL pool_ = nullptr;         // newest block; each block links the one before
    std::size_t poolUsed_ = kPoolBlockNodes;
    OctreeNode* free_ = nullptr;     // merged nodes, linked through parent
    OctreeNode* root_ = nullptr;
    int depth_ = 0;
    std::size_t nodeLimit_ = kNodeLimit;
    std::size_t nodes_ = 0;
    std::size_t leaves_ = 0;
    double threshold_ = 0;
    double nextThreshold_ = 0;

    // The root's error in quarters while every addition to it is exact (see Add).
    std::int64_t rootQuarters_ = 0;
    bool rootExact_ = true;

    // Nodes left holding pixels, and nodes a pass counted before an ancestor
    // of theirs was merged; Merge keeps them, Reduce starts them afresh and
    // only it reads them (pruning may take them round past zero).
    std::size_t filled_ = 0;
    std::size_t ghosts_ = 0;
};
