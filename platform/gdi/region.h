// Regions as Windows keeps them: rectangles banded by rows (every rectangle
// of a band shares its top and bottom), sorted, non-touching inside a band,
// and equal neighbouring bands merged. Shapes, clip regions and HRGN objects
// all use this one type.
#pragma once

#include <windows.h>

#include <vector>

namespace luma::gdi {

// One row piece [x1, x2) of row y, the raw output of scan conversion.
struct Span {
    int y;
    int x1;
    int x2;
};

class Region {
public:
    Region() = default;
    static Region FromRect(const RECT& rect);
    // The union of any spans in any order.
    static Region FromSpans(std::vector<Span>& spans);

    const std::vector<RECT>& Rects() const { return rects_; }
    bool Empty() const { return rects_.empty(); }
    RECT Extents() const;
    // NULLREGION, SIMPLEREGION or COMPLEXREGION.
    int Type() const;
    bool Contains(int x, int y) const;
    bool Overlaps(const RECT& rect) const;
    void Offset(int dx, int dy);
    bool operator==(const Region& other) const;

    // RGN_AND, RGN_OR, RGN_XOR or RGN_DIFF.
    static Region Combine(const Region& a, const Region& b, int mode);
    Region Intersect(const Region& other) const { return Combine(*this, other, RGN_AND); }
    Region Union(const Region& other) const { return Combine(*this, other, RGN_OR); }
    Region Subtract(const Region& other) const { return Combine(*this, other, RGN_DIFF); }
    Region IntersectRect(const RECT& rect) const;

private:
    friend class RegionBuilder;
    std::vector<RECT> rects_;
};

// Appends bands from top to bottom, merging a band into the one above when
// they touch and hold the same pieces.
class RegionBuilder {
public:
    // xs holds [x1, x2) pairs, sorted and not touching.
    void AddBand(int top, int bottom, const std::vector<int>& xs);
    Region Finish();

private:
    std::vector<RECT> rects_;
    std::size_t lastBand_ = 0;
};

}  // namespace luma::gdi
