// Plasma Arc: a jagged electric arc across the picture, grown afresh every
// frame from two random trees that meet in the middle.
#pragma once

#include <windows.h>

#include <cstdint>

#include "plugin/guards.h"

enum PlasmaArcMode : int {
    kSimpleArc = 0,    // climbs from the bottom to the top
    kGraduatedArc = 1, // the same, starting and ending flat
    kStrikeArc = 2,    // waits at the bottom, sweeps up, waits at the top
};

// Each frame's fork tree stops growing at this many nodes. Its node count
// grows about twofold per 18 pixels of picture width, so a wide picture
// would otherwise never finish; the sample picture's trees stay well below.
inline constexpr std::uint32_t kMaxForkNodes = 1u << 25;

// Grows one frame's arc on the double-size surface. The chain walks right
// from the left edge as a single path; the fork tree walks left from the
// right edge and forks at every node. The arc is the chain, then a link from
// the chain's end to the fork tree's leaf nearest in height, on up to the
// tree's root. Only the path from root to each row's first leaf is kept, so
// the memory is set by the picture's width, not by the tree's size.
class PlasmaArcWalk {
public:
    // Room for a picture width wide (the surface is twice that) and bands of
    // up to maxHalfHeight either side of their middle, with steps from
    // minStep up to maxStep. False when memory fails.
    bool Prepare(LONG width, int maxHalfHeight, int minStep, int maxStep);
    void Release();

    // Grows both trees in the band of half-height halfHeight about y
    // (halfHeight at most the prepared one), drawing the random numbers in
    // their stated order.
    void Grow(int y, int halfHeight);

    // The chain from its root, and the link from its end through the nearest
    // leaf to the fork tree's root.
    const POINT* chain() const { return chain_.data(); }
    int chainLength() const { return chainLength_; }
    const POINT* link() const { return link_.data(); }
    int linkLength() const { return linkLength_; }
    std::uint32_t forkNodes() const { return forkNodes_; }

private:
    // A node's second child, waiting for its first subtree to be done.
    struct Pending {
        POINT at;
        int depth;  // where on the path it would go
    };
    // Both children's moves from a node, per turn and step.
    struct Fork {
        POINT first;
        POINT second;
    };

    POINT Offset(int direction, int degrees, int step) const;
    int TurnDegrees() const;
    int Step() const;
    void GrowForkTree(POINT root, const RECT& bounds);
    void GrowChain(POINT root, const RECT& bounds);
    void KeepLeaf(int depth, int row, std::uint64_t order);
    void LinkNearestLeaf();

    LONG width_ = 0;
    int maxHalfHeight_ = 0;
    int minStep_ = 0;
    int stepSpan_ = 1;
    int capacity_ = 0;  // the longest path either tree can hold
    HeapArray<POINT> offsets_;  // per angle -50..50 and step: the move of a rightward step
    HeapArray<Fork> forks_;     // per step and turn 0..50
    HeapArray<BYTE> steps_;     // per random number: its step beyond the shortest
    HeapArray<POINT> chain_;
    HeapArray<POINT> path_;      // the fork tree's path to the node being grown, from corner_
    HeapArray<Pending> pending_;
    HeapArray<POINT> rowPaths_;  // per band row: the path to its first leaf
    HeapArray<int> rowLengths_;  // 0 while the row has none
    HeapArray<std::uint64_t> rowOrder_;  // when that leaf was examined
    HeapArray<POINT> link_;
    int chainLength_ = 0;
    int linkLength_ = 0;
    int rowBase_ = 0;
    int rowCount_ = 0;
    POINT corner_{};  // the fork tree's band's top left
    std::uint32_t forkNodes_ = 0;
};

// Frames a build of `frames` yields in mode: Strike adds frames.
int PlasmaArcFrameCount(int frames, int mode);
