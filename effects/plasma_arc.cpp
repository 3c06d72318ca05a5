// Plasma Arc.
#include "effects/plasma_arc.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "effects/effect_bodies.h"
#include "image/filters.h"
#include "image/gdi_guards.h"
#include "image/packed_dib.h"
#include "luma/crt.h"

namespace {

constexpr int kDelayField = 378;
constexpr int kSeedField = 380;
constexpr int kColourButton = 382;
constexpr int kEnergyField = 384;
constexpr int kSizeField = 386;
constexpr int kComplexityField = 388;
constexpr int kOpacityField = 390;
constexpr int kFramesField = 392;
constexpr int kDisturbanceField = 394;
constexpr int kModeList = 396;

constexpr double kMaxTurn = 50.0;
constexpr int kMaxDegrees = 50;
constexpr double kRadiansPerDegree = 0.017453292519943295;
constexpr int kUnreachable = 0xFFFFFFF;
constexpr int kRandomValues = crt::RAND_MAX_VALUE + 1;

// A random number's turn in degrees, r / 32767 of the largest turn in
// double, is (50 r) / 32767 in integers for every r: no 50 r is a multiple
// of 32767 but 0 and the top, so rounding never crosses a whole degree.
constexpr int TurnOf(int r) { return static_cast<int>(r / 32767.0 * kMaxTurn); }
constexpr int Turn(int r) { return (r * kMaxDegrees) / crt::RAND_MAX_VALUE; }
constexpr bool TurnsAgree() {
    for (int r = 0; r < kRandomValues; ++r)
        if (Turn(r) != TurnOf(r)) return false;
    return true;
}
static_assert(TurnsAgree());

struct PlasmaArcState {
    LONG width;
    LONG height;
    int frame;  // within the current phase
    int frames;
    int phase;  // Strike: 0 waiting at the bottom, 1 sweeping up, 2 waiting at the top
    int waitFrames;
    int sweepFrames;
    bool preview;
    int mode;
    COLORREF colour;
    int halfHeight;
    int energy;
    int opacity;
};

PlasmaArcState plasmaArcState;
// The walk keeps its room for the length of one build.
PlasmaArcWalk plasmaArcWalk;

bool Inside(POINT p, const RECT& r) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

POINT Add(POINT a, POINT b) { return POINT{a.x + b.x, a.y + b.y}; }

int StrikeWait(int frames) { return frames / 8; }
int StrikeSweep(int frames) { return frames - StrikeWait(frames) / 2; }

}  // namespace

bool PlasmaArcWalk::Prepare(LONG width, int maxHalfHeight, int minStep, int maxStep) {
    Release();
    width_ = width;
    maxHalfHeight_ = std::max(maxHalfHeight, 0);
    minStep_ = minStep;
    stepSpan_ = std::clamp(maxStep - minStep, 1, 256);
    // Every step moves at least this far sideways, which bounds both trees' depth.
    const int advance = std::max(static_cast<int>(minStep * std::cos(kMaxDegrees * kRadiansPerDegree)), 1);
    capacity_ = static_cast<int>(width / advance) + 3;
    const std::size_t rows = 2 * static_cast<std::size_t>(maxHalfHeight_) + 1;
    const std::size_t capacity = static_cast<std::size_t>(capacity_);
    if (!offsets_.allocate((2 * kMaxDegrees + 1) * static_cast<std::size_t>(stepSpan_)) ||
        !forks_.allocate((kMaxDegrees + 1) * static_cast<std::size_t>(stepSpan_)) || !chain_.allocate(capacity) ||
        !path_.allocate(capacity) || !pending_.allocate(capacity) || !rowPaths_.allocate(rows * capacity) ||
        !rowLengths_.allocate(rows) || !rowOrder_.allocate(rows) || !link_.allocate(capacity + 1) ||
        !steps_.allocate(kRandomValues)) {
        Release();
        return false;
    }
    // Each tree node draws a step: looked up, not divided out.
    for (int r = 0; r < kRandomValues; ++r) steps_[static_cast<std::size_t>(r)] = static_cast<BYTE>(r % stepSpan_);
    for (int degrees = -kMaxDegrees; degrees <= kMaxDegrees; ++degrees)
        for (int i = 0; i < stepSpan_; ++i) {
            const double a = degrees * kRadiansPerDegree;
            const int step = minStep + i;
            offsets_[static_cast<std::size_t>((degrees + kMaxDegrees) * stepSpan_ + i)] =
                POINT{static_cast<LONG>(step * std::cos(a)), static_cast<LONG>(step * std::sin(a))};
        }
    for (int i = 0; i < stepSpan_; ++i)
        for (int degrees = 0; degrees <= kMaxDegrees; ++degrees)
            forks_[static_cast<std::size_t>(i * (kMaxDegrees + 1) + degrees)] =
                Fork{Offset(-1, degrees, minStep + i), Offset(-1, -degrees, minStep + i)};
    return true;
}

void PlasmaArcWalk::Release() {
    offsets_.allocate(0);
    forks_.allocate(0);
    chain_.allocate(0);
    path_.allocate(0);
    pending_.allocate(0);
    rowPaths_.allocate(0);
    link_.allocate(0);
    rowLengths_.allocate(0);
    rowOrder_.allocate(0);
    steps_.allocate(0);
    chainLength_ = linkLength_ = 0;
}

int PlasmaArcWalk::TurnDegrees() const { return Turn(crt::rand()); }

int PlasmaArcWalk::Step() const { return steps_[static_cast<std::size_t>(crt::rand())] + minStep_; }

// Leftward steps are the rightward ones negated: trunc(-v) is -trunc(v).
POINT PlasmaArcWalk::Offset(int direction, int degrees, int step) const {
    POINT p = offsets_[static_cast<std::size_t>((degrees + kMaxDegrees) * stepSpan_ + (step - minStep_))];
    return direction > 0 ? p : POINT{-p.x, -p.y};
}

void PlasmaArcWalk::Grow(int y, int halfHeight) {
    halfHeight = std::clamp(halfHeight, 0, maxHalfHeight_);
    const RECT left{0, y - halfHeight, width_, y + halfHeight};
    const RECT right{width_, y - halfHeight, 2 * width_, y + halfHeight};
    GrowForkTree(POINT{2 * width_, y}, right);
    GrowChain(POINT{0, y}, left);
    LinkNearestLeaf();
}

// Depth first, the first branch's whole subtree before the second branch.
// A node is examined as a leaf candidate when it is found to lack its first
// branch, or after its first subtree when it lacks its second: the order in
// which a search of the finished tree would examine it. Only the path to the
// node being grown and the second children still waiting are kept.
void PlasmaArcWalk::GrowForkTree(POINT root, const RECT& bounds) {
    // The root lies in the band's middle row.
    rowBase_ = bounds.top;
    rowCount_ = bounds.bottom - bounds.top + 1;
    std::fill_n(rowLengths_.data(), rowCount_, 0);
    corner_ = POINT{bounds.left, bounds.top};
    // The walk measures from the band's corner, so that a point's height is
    // its row and one unsigned comparison per side tells whether it is in.
    const unsigned wide = static_cast<unsigned>(std::max(bounds.right - bounds.left, 0));
    const unsigned high = static_cast<unsigned>(std::max(bounds.bottom - bounds.top, 0));
    // Held in locals for the walk, which stores a point per node: the
    // compiler would otherwise reload them all after every store.
    POINT* const path = path_.data();
    Pending* const pending = pending_.data();
    const BYTE* const steps = steps_.data();
    const Fork* const forks = forks_.data();
    const int* const rowLengths = rowLengths_.data();
    const int capacity = capacity_;
    std::uint32_t nodes = 1;
    std::uint64_t examined = 0;
    // A child node exists when it lies in the band and the tree still has room.
    auto grows = [&](POINT p, int depth) {
        return static_cast<unsigned>(p.x) < wide && static_cast<unsigned>(p.y) < high && depth < capacity &&
               nodes < kMaxForkNodes;
    };
    // Only a row's first leaf is kept, and most rows have theirs early.
    auto examine = [&](int depth) {
        const std::uint64_t order = examined++;
        const int row = path[depth].y;
        if (rowLengths[row] == 0) KeepLeaf(depth, row, order);
    };
    crt::RandStream draw;
    int waiting = 0;
    int depth = 0;
    POINT at{root.x - corner_.x, root.y - corner_.y};
    for (;;) {
        path[depth] = at;
        int turn = 0, step = 0;
        draw(turn, step);
        const Fork& fork = forks[steps[step] * (kMaxDegrees + 1) + Turn(turn)];
        const POINT first = Add(at, fork.first);
        const POINT second = Add(at, fork.second);
        if (static_cast<unsigned>(first.x) >= wide && static_cast<unsigned>(second.x) >= wide) {
            // Most leaves: both children past the band's end, so the node is
            // examined for its first branch and its second, nothing between.
            examine(depth);
            ++examined;
        } else {
            pending[waiting++] = Pending{second, depth + 1};
            if (grows(first, depth + 1)) {
                ++nodes;
                at = first;
                ++depth;
                continue;
            }
            examine(depth);
        }
        for (;;) {
            if (waiting == 0) {
                forkNodes_ = nodes;
                return;
            }
            const Pending& next = pending[--waiting];
            if (grows(next.at, next.depth)) {
                ++nodes;
                at = next.at;
                depth = next.depth;
                break;
            }
            examine(next.depth - 1);
        }
    }
}

void PlasmaArcWalk::KeepLeaf(int depth, int row, std::uint64_t order) {
    POINT* stored = rowPaths_.data() + static_cast<std::size_t>(row) * capacity_;
    for (int i = 0; i <= depth; ++i) stored[i] = Add(path_[i], corner_);
    rowLengths_[row] = depth + 1;
    rowOrder_[row] = order;
}

void PlasmaArcWalk::GrowChain(POINT root, const RECT& bounds) {
    chainLength_ = 0;
    chain_[chainLength_++] = root;
    for (POINT p = root;;) {
        const int step = Step();
        const int sign = (crt::rand() & 1) ? 1 : -1;
        const POINT q = Add(p, Offset(1, sign * TurnDegrees(), step));
        if (!Inside(q, bounds) || chainLength_ >= capacity_) break;
        chain_[chainLength_++] = q;
        p = q;
    }
}

// The first leaf examined among those nearest in height to the chain's end:
// only a strictly smaller distance replaces the best one.
void PlasmaArcWalk::LinkNearestLeaf() {
    const POINT end = chain_[chainLength_ - 1];
    int best = -1;
    int bestDistance = kUnreachable;
    for (int row = 0; row < rowCount_; ++row) {
        if (rowLengths_[row] == 0) continue;
        const int distance = std::abs(rowBase_ + row - end.y);
        if (distance < bestDistance || (distance == bestDistance && rowOrder_[row] < rowOrder_[best])) {
            best = row;
            bestDistance = distance;
        }
    }
    linkLength_ = 0;
    if (best < 0) return;
    link_[linkLength_++] = end;
    const POINT* stored = rowPaths_.data() + static_cast<std::size_t>(best) * capacity_;
    for (int i = rowLengths_[best] - 1; i >= 0; --i) link_[linkLength_++] = stored[i];
}

int PlasmaArcFrameCount(int frames, int mode) {
    return mode == kStrikeArc ? 2 * StrikeWait(frames) + StrikeSweep(frames) : frames;
}

namespace {

int PlasmaArcInitialise(BuildContext* context, LONG width, LONG height) {
    auto& s = *static_cast<PlasmaArcState*>(context->state);
    const HWND page = context->page;
    crt::srand(static_cast<unsigned>(ReadPageInt(page, kSeedField)));
    s.width = width;
    s.height = height;
    s.frames = ReadPageInt(page, kFramesField);
    s.preview = (context->flags & kPreviewFlag) != 0;
    const int mode = static_cast<int>(SendDlgItemMessageA(page, kModeList, CB_GETCURSEL, 0, 0));
    s.mode = s.preview || mode < kSimpleArc || mode > kStrikeArc ? kSimpleArc : mode;
    s.waitFrames = StrikeWait(s.frames);
    s.sweepFrames = StrikeSweep(s.frames);
    s.colour = ReadPageColour(page, kColourButton);
    s.halfHeight = (2 * ReadPageInt(page, kSizeField) * 60) / 100;
    s.energy = ReadPageInt(page, kEnergyField);
    s.opacity = ReadPageInt(page, kOpacityField);
    const int minStep = 2 * ReadPageInt(page, kComplexityField) + 14;
    return plasmaArcWalk.Prepare(width, s.halfHeight, minStep, minStep + (2 * minStep) / 3) ? 1 : 0;
}

void PlasmaArcFree(BuildContext*) { plasmaArcWalk.Release(); }

// The arc's height on the double-size surface and its band's half-height.
void ArcPlace(const PlasmaArcState& s, int& y, int& halfHeight) {
    const long long h2 = 2LL * s.height;
    const int n = s.frames, f = s.frame;
    halfHeight = s.halfHeight;
    if (s.mode == kStrikeArc) {
        const int margin = (s.halfHeight * 110) / 100;
        if (s.phase == 0)
            y = static_cast<int>(h2 - margin);
        else if (s.phase == 1)
            y = static_cast<int>(h2 - ((h2 - 2 * margin) * f) / s.sweepFrames - margin);
        else
            y = margin;
        return;
    }
    y = static_cast<int>(((n - f - 1) * h2) / n);
    if (s.mode == kGraduatedArc) halfHeight = std::min(f < n / 2 ? 2 * f : 2 * (n - f) - 2, s.halfHeight);
}

// Draws the glow: strokes from wide and faint to thin and bright.
bool DrawArc(HDC dc, const PlasmaArcState& s, const PlasmaArcWalk& walk) {
    const int strokes = 2 * s.energy;
    for (int j = 0; j < strokes; ++j) {
        const BYTE level = static_cast<BYTE>(((j + 1) * s.opacity) / strokes);
        GdiObject pen(CreatePen(PS_SOLID, 4 * s.energy - 2 * j, RGB(level, level, level)));
        if (!pen) return false;
        Selection selected(dc, pen.get());
        Polyline(dc, walk.chain(), walk.chainLength());
        if (walk.linkLength() > 0) Polyline(dc, walk.link(), walk.linkLength());
    }
    return true;
}

HGLOBAL PlasmaArcRender(BuildContext* context, int frame) {
    auto& s = *static_cast<PlasmaArcState*>(context->state);
    s.phase = 0;
    s.frame = frame;
    if (s.preview) {
        s.frame = (2 * s.frames) / 3;
    } else if (s.mode == kStrikeArc) {
        if (frame >= s.waitFrames + s.sweepFrames) {
            s.phase = 2;
            s.frame = frame - s.waitFrames - s.sweepFrames;
        } else if (frame >= s.waitFrames) {
            s.phase = 1;
            s.frame = frame - s.waitFrames;
        }
    }
    int y = 0, halfHeight = 0;
    ArcPlace(s, y, halfHeight);

    GlobalBlock picture(SourceCanvas(s.width, s.height));
    if (!picture) return nullptr;
    SurfaceGuard surface;
    if (!surface.Open(2 * s.width, 2 * s.height)) return nullptr;
    crt::rand();
    crt::rand();
    plasmaArcWalk.Grow(y, halfHeight);
    if (!DrawArc(surface.dc(), s, plasmaArcWalk)) return nullptr;
    GlobalBlock large(surface.Take());
    // A failed reduction fails the frame: the double-size drawing would put
    // the arc in the wrong place.
    GlobalBlock mask(large ? ScaleDibPercent(large.get(), 50, 50) : nullptr);
    GlobalLockGuard<BYTE> target(picture.get()), coverage(mask.get());
    if (!target || !coverage) return nullptr;
    BlendColourThroughMask(target.get(), coverage.get(), 0, 0, s.colour, 255, 0);
    return picture.release();
}

}  // namespace

constexpr EffectBody PlasmaArcBody{&plasmaArcState, sizeof plasmaArcState, PlasmaArcInitialise, PlasmaArcRender,
                                   PlasmaArcFree, kDelayField, kFramesField};

namespace {

// Every frame gets its own delay, a random multiple of the page's Delay, and
// Strike adds its waiting frames.
int PlasmaArcBuild(BuildContext* context) {
    if (!context || !context->frames) return 0;
    const int delay = ReadPageInt(context->page, kDelayField);
    // Disturbance 0 leaves no spread to draw from: every frame gets the
    // Delay, as with 1, and the draw is still made.
    const int spread = std::max(ReadPageInt(context->page, kDisturbanceField), 1);
    context->flags &= ~kPreviewFlag;
    if (!StartBody(context, PlasmaArcBody)) return 0;
    BodyStateGuard state(context, PlasmaArcBody);
    const int total = PlasmaArcFrameCount(plasmaArcState.frames, plasmaArcState.mode);
    for (int i = 0; i < total; ++i) {
        HGLOBAL image = PlasmaArcRender(context, i);
        if (!image) return 0;
        const DWORD frameDelay = static_cast<DWORD>((crt::rand() % spread + 1) * delay);
        if (!AppendImage(context, image, frameDelay)) return 0;
        ReportProgress(context, i, plasmaArcState.frames);
    }
    return 1;
}

}  // namespace

const EffectOperations PlasmaArcOperations{PreviewWith<PlasmaArcBody>, PlasmaArcBuild, DefaultBackgroundColour,
                                           DefaultPageEvent};
