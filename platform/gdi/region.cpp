#include "gdi/region.h"

#include <algorithm>
#include <climits>

namespace luma::gdi {

namespace {

// The band starting at rects[begin]: its pieces run to the returned index.
std::size_t bandEnd(const std::vector<RECT>& rects, std::size_t begin) {
    std::size_t end = begin;
    while (end < rects.size() && rects[end].top == rects[begin].top) ++end;
    return end;
}

bool keep(int mode, bool inA, bool inB) {
    switch (mode) {
    case RGN_AND:
        return inA && inB;
    case RGN_OR:
        return inA || inB;
    case RGN_XOR:
        return inA != inB;
    default:  // RGN_DIFF
        return inA && !inB;
    }
}

// Combines the pieces of one band of each region; a and b are [x1, x2)
// pairs sorted from left to right.
void combinePieces(const std::vector<int>& a, const std::vector<int>& b, int mode, std::vector<int>& out) {
    out.clear();
    std::size_t i = 0, j = 0;
    bool inA = false, inB = false;
    while (i < a.size() || j < b.size()) {
        int x = INT_MAX;
        if (i < a.size()) x = std::min(x, a[i]);
        if (j < b.size()) x = std::min(x, b[j]);
        while (i < a.size() && a[i] == x) {
            inA = !inA;
            ++i;
        }
        while (j < b.size() && b[j] == x) {
            inB = !inB;
            ++j;
        }
        bool inside = keep(mode, inA, inB);
        bool open = out.size() % 2 == 1;
        if (inside && !open) {
            if (!out.empty() && out.back() == x)
                out.pop_back();  // touches the previous piece: extend it
            else
                out.push_back(x);
        } else if (!inside && open) {
            out.push_back(x);
        }
    }
}

void piecesOf(const std::vector<RECT>& rects, std::size_t begin, std::size_t end, std::vector<int>& xs) {
    xs.clear();
    for (std::size_t k = begin; k < end; ++k) {
        xs.push_back(rects[k].left);
        xs.push_back(rects[k].right);
    }
}

}  // namespace

void RegionBuilder::AddBand(int top, int bottom, const std::vector<int>& xs) {
    if (xs.empty() || top >= bottom) return;
    std::size_t count = xs.size() / 2;
    if (lastBand_ < rects_.size() && rects_[lastBand_].bottom == top && rects_.size() - lastBand_ == count) {
        bool same = true;
        for (std::size_t k = 0; k < count && same; ++k)
            same = rects_[lastBand_ + k].left == xs[2 * k] && rects_[lastBand_ + k].right == xs[2 * k + 1];
        if (same) {
            for (std::size_t k = lastBand_; k < rects_.size(); ++k) rects_[k].bottom = bottom;
            return;
        }
    }
    lastBand_ = rects_.size();
    for (std::size_t k = 0; k < count; ++k) rects_.push_back(RECT{xs[2 * k], top, xs[2 * k + 1], bottom});
}

Region RegionBuilder::Finish() {
    Region region;
    region.rects_ = std::move(rects_);
    rects_.clear();
    lastBand_ = 0;
    return region;
}

Region Region::FromRect(const RECT& rect) {
    Region region;
    if (rect.left < rect.right && rect.top < rect.bottom) region.rects_.push_back(rect);
    return region;
}

Region Region::FromSpans(std::vector<Span>& spans) {
    std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) {
        return a.y != b.y ? a.y < b.y : a.x1 < b.x1;
    });
    RegionBuilder builder;
    std::vector<int> xs;
    std::size_t i = 0;
    while (i < spans.size()) {
        int y = spans[i].y;
        xs.clear();
        for (; i < spans.size() && spans[i].y == y; ++i) {
            const Span& s = spans[i];
            if (s.x1 >= s.x2) continue;
            if (!xs.empty() && s.x1 <= xs.back())
                xs.back() = std::max(xs.back(), s.x2);
            else {
                xs.push_back(s.x1);
                xs.push_back(s.x2);
            }
        }
        builder.AddBand(y, y + 1, xs);
    }
    return builder.Finish();
}

RECT Region::Extents() const {
    if (rects_.empty()) return RECT{0, 0, 0, 0};
    RECT box{INT_MAX, rects_.front().top, INT_MIN, rects_.back().bottom};
    for (const RECT& r : rects_) {
        box.left = std::min(box.left, r.left);
        box.right = std::max(box.right, r.right);
    }
    return box;
}

int Region::Type() const {
    if (rects_.empty()) return NULLREGION;
    return rects_.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

bool Region::Contains(int x, int y) const {
    for (const RECT& r : rects_) {
        if (r.top > y) break;
        if (y < r.bottom && x >= r.left && x < r.right) return true;
    }
    return false;
}

bool Region::Overlaps(const RECT& rect) const {
    for (const RECT& r : rects_) {
        if (r.top >= rect.bottom) break;
        if (r.bottom > rect.top && r.left < rect.right && r.right > rect.left) return true;
    }
    return false;
}

void Region::Offset(int dx, int dy) {
    for (RECT& r : rects_) {
        r.left += dx;
        r.right += dx;
        r.top += dy;
        r.bottom += dy;
    }
}

bool Region::operator==(const Region& other) const {
    if (rects_.size() != other.rects_.size()) return false;
    for (std::size_t i = 0; i < rects_.size(); ++i) {
        const RECT& a = rects_[i];
        const RECT& b = other.rects_[i];
        if (a.left != b.left || a.top != b.top || a.right != b.right || a.bottom != b.bottom) return false;
    }
    return true;
}

Region Region::Combine(const Region& a, const Region& b, int mode) {
    const std::vector<RECT>& ra = a.rects_;
    const std::vector<RECT>& rb = b.rects_;
    RegionBuilder builder;
    std::vector<int> pa, pb, out;
    std::size_t ia = 0, ib = 0;
    std::size_t ea = ra.empty() ? 0 : bandEnd(ra, 0), eb = rb.empty() ? 0 : bandEnd(rb, 0);
    int y = INT_MIN;
    while (ia < ra.size() || ib < rb.size()) {
        bool aIn = ia < ra.size() && ra[ia].top <= y;
        bool bIn = ib < rb.size() && rb[ib].top <= y;
        if (!aIn && !bIn) {
            y = INT_MAX;
            if (ia < ra.size()) y = std::min(y, ra[ia].top);
            if (ib < rb.size()) y = std::min(y, rb[ib].top);
            continue;
        }
        int next = INT_MAX;
        if (ia < ra.size()) next = std::min(next, aIn ? ra[ia].bottom : ra[ia].top);
        if (ib < rb.size()) next = std::min(next, bIn ? rb[ib].bottom : rb[ib].top);
        if (aIn)
            piecesOf(ra, ia, ea, pa);
        else
            pa.clear();
        if (bIn)
            piecesOf(rb, ib, eb, pb);
        else
            pb.clear();
        combinePieces(pa, pb, mode, out);
        builder.AddBand(y, next, out);
        y = next;
        if (ia < ra.size() && ra[ia].bottom <= y) {
            ia = ea;
            if (ia < ra.size()) ea = bandEnd(ra, ia);
        }
        if (ib < rb.size() && rb[ib].bottom <= y) {
            ib = eb;
            if (ib < rb.size()) eb = bandEnd(rb, ib);
        }
    }
    return builder.Finish();
}

Region Region::IntersectRect(const RECT& rect) const {
    RegionBuilder builder;
    std::vector<int> xs;
    std::size_t i = 0;
    while (i < rects_.size()) {
        std::size_t end = bandEnd(rects_, i);
        int top = std::max(rects_[i].top, rect.top);
        int bottom = std::min(rects_[i].bottom, rect.bottom);
        if (top < bottom) {
            xs.clear();
            for (std::size_t k = i; k < end; ++k) {
                int l = std::max(rects_[k].left, rect.left);
                int r = std::min(rects_[k].right, rect.right);
                if (l < r) {
                    xs.push_back(l);
                    xs.push_back(r);
                }
            }
            builder.AddBand(top, bottom, xs);
        }
        i = end;
    }
    return builder.Finish();
}

}  // namespace luma::gdi
