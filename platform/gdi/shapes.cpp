#include "gdi/shapes.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace luma::gdi {

namespace {

// Octants counted clockwise from the positive x axis, 1..8.
int octantOf(int dx, int dy) {
    if (dy > 0) {
        if (dx > 0) return dx > dy ? 1 : 2;
        return -dx > dy ? 4 : 3;
    }
    if (dx < 0) return -dx > -dy ? 5 : 6;
    return dx > -dy ? 8 : 7;
}

// Coordinates this far out would overflow the error terms; Windows scales
// such lines down.
POINT cropped(POINT p) {
    if (p.x >= 0x10000000 || p.x <= -0x10000000 || p.y >= 0x10000000 || p.y <= -0x10000000) {
        p.x /= 8;
        p.y /= 8;
    }
    return p;
}

// One polygon edge stepped down the rows: the x of the first pixel centre at
// or right of the edge, kept with an integer error term.
struct Edge {
    int top = 0;
    int last = 0;  // last row the edge covers
    bool clockwise = false;
    std::int64_t x = 0, d = 0, m = 0, m1 = 0, incr1 = 0, incr2 = 0;

    void Init(std::int64_t dy, std::int64_t x1, std::int64_t x2) {
        x = x1;
        std::int64_t dx = x2 - x1;
        m = dx / dy;
        if (dx < 0) {
            m1 = m - 1;
            incr1 = -2 * dx + 2 * dy * m1;
            incr2 = -2 * dx + 2 * dy * m;
            d = 2 * m * dy - 2 * dx - 2 * dy;
        } else {
            m1 = m + 1;
            incr1 = 2 * dx - 2 * dy * m1;
            incr2 = 2 * dx - 2 * dy * m;
            d = -2 * m * dy + 2 * dx;
        }
    }
    void Step() {
        bool big = m1 > 0 ? d > 0 : d >= 0;
        if (big) {
            x += m1;
            d += incr1;
        } else {
            x += m;
            d += incr2;
        }
    }
};

void addRectSpans(std::vector<Span>& spans, RECT r, int rowsFrom, int rowsTo) {
    if (r.left >= r.right) return;
    int top = std::max<int>(r.top, rowsFrom), bottom = std::min<int>(r.bottom, rowsTo);
    for (int y = top; y < bottom; ++y) spans.push_back(Span{y, r.left, r.right});
}

void addRegionSpans(std::vector<Span>& spans, const Region& region, int dx, int dy, int rowsFrom, int rowsTo) {
    for (const RECT& r : region.Rects())
        addRectSpans(spans, RECT{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy}, rowsFrom, rowsTo);
}

void addPolygonSpans(std::vector<Span>& spans, const POINT* pts, int count, int rowsFrom, int rowsTo) {
    Region r = PolygonRegion(pts, &count, 1, ALTERNATE, rowsFrom, rowsTo);
    addRegionSpans(spans, r, 0, 0, rowsFrom, rowsTo);
}

long roundHalfAway(double f) { return static_cast<long>(f > 0 ? f + 0.5 : f - 0.5); }

// The sides of a wide segment where it meets its neighbours.
struct Face {
    POINT start{}, end{};
    int dx = 0, dy = 0;
};

class WideLine {
public:
    WideLine(int width, int rowsFrom, int rowsTo) : width_(width), from_(rowsFrom), to_(rowsTo) {
        int half = width / 2;
        cap_ = RoundRectRegion(-half, -half, (width + 1) / 2 + 1, (width + 1) / 2 + 1, INT_MAX, INT_MAX);
    }

    void Draw(const POINT* pts, int num, bool close) {
        while (num > 2 && pts[0].x == pts[1].x && pts[0].y == pts[1].y) {
            ++pts;
            --num;
        }
        while (num > 2 && pts[num - 1].x == pts[num - 2].x && pts[num - 1].y == pts[num - 2].y) --num;
        if (close)
            segments(pts, num, true, 0, num, pts[0], pts[0]);
        else
            segments(pts, num, false, 0, num - 1, pts[0], pts[num - 1]);
    }

    std::vector<Span>& Spans() { return spans_; }

private:
    void cap(POINT p) { addRegionSpans(spans_, cap_, p.x, p.y, from_, to_); }

    void join(POINT p) { cap(p); }

    bool segment(POINT p1, POINT p2, int dx, int dy, Face& f1, Face& f2) {
        if (dx == 0 && dy == 0) return false;
        if (dy == 0) {
            RECT r{std::min(p1.x, p2.x), p1.y - width_ / 2, std::max(p1.x, p2.x), 0};
            r.bottom = r.top + width_;
            addRectSpans(spans_, r, from_, to_);
        } else if (dx == 0) {
            RECT r{p1.x - width_ / 2, std::min(p1.y, p2.y), 0, std::max(p1.y, p2.y)};
            r.right = r.left + width_;
            addRectSpans(spans_, r, from_, to_);
        } else {
            double len = std::hypot(static_cast<double>(dx), static_cast<double>(dy));
            double widthX = width_ * std::abs(dy) / len;
            double widthY = width_ * std::abs(dx) / len;
            POINT narrow{static_cast<LONG>(roundHalfAway(widthX / 2)), static_cast<LONG>(roundHalfAway(widthY / 2))};
            POINT wide{static_cast<LONG>(roundHalfAway((widthX + 1) / 2)),
                       static_cast<LONG>(roundHalfAway((widthY + 1) / 2))};
            if (dx < 0) {
                wide.y = -wide.y;
                narrow.y = -narrow.y;
            }
            if (dy < 0) {
                std::swap(narrow, wide);
                wide.x = -wide.x;
                narrow.x = -narrow.x;
            }
            POINT quad[4] = {
                {p1.x - narrow.x, p1.y + narrow.y},
                {p1.x + wide.x, p1.y - wide.y},
                {p2.x + wide.x, p2.y - wide.y},
                {p2.x - narrow.x, p2.y + narrow.y},
            };
            addPolygonSpans(spans_, quad, 4, from_, to_);
        }
        f1.dx = f2.dx = dx;
        f1.dy = f2.dy = dy;
        return true;
    }

    void segments(const POINT* pts, int num, bool close, int start, int count, POINT first, POINT last) {
        Face f1, f2, previous, firstFace;
        if (!close) {
            cap(first);
            cap(last);
        }
        if (count == 1) {
            const POINT& a = pts[start];
            const POINT& b = pts[(start + 1) % num];
            segment(first, last, b.x - a.x, b.y - a.y, f1, f2);
            return;
        }
        {
            const POINT& a = pts[start];
            const POINT& b = pts[(start + 1) % num];
            segment(first, b, b.x - a.x, b.y - a.y, firstFace, previous);
        }
        for (int i = 1; i < count - 1; ++i) {
            const POINT& a = pts[(start + i) % num];
            const POINT& b = pts[(start + i + 1) % num];
            if (segment(a, b, b.x - a.x, b.y - a.y, f1, f2)) {
                join(a);
                previous = f2;
            }
        }
        const POINT& a = pts[(start + count - 1) % num];
        const POINT& b = pts[(start + count) % num];
        segment(a, last, b.x - a.x, b.y - a.y, f1, f2);
        join(a);
        if (close) join(last);
    }

    int width_;
    int from_, to_;
    Region cap_;
    std::vector<Span> spans_;
};

// Ends the subdivision when the control points lie within a pixel of the
// chord and between its ends. Coordinates carry four fraction bits.
constexpr int kBezierShift = 4;
constexpr int kBezierPixel = 1 << kBezierShift;
constexpr int kBezierDepth = 8;

int shiftDown(int v) { return (v + (1 << (kBezierShift - 1))) >> kBezierShift; }

POINT middle(POINT a, POINT b) { return POINT{(a.x + b.x + 1) / 2, (a.y + b.y + 1) / 2}; }

bool between(int v, int from, int to) { return v < from ? v >= to : v <= to; }

bool flatEnough(const POINT* p) {
    int dx = p[3].x - p[0].x;
    int dy = p[3].y - p[0].y;
    if (std::abs(dy) <= std::abs(dx)) {
        if (!between(p[1].x, p[0].x, p[3].x) || !between(p[2].x, p[0].x, p[3].x)) return false;
        dx = shiftDown(dx);
        if (!dx) return true;
        return std::abs(p[1].y - p[0].y - (dy / dx) * shiftDown(p[1].x - p[0].x)) <= kBezierPixel &&
               std::abs(p[2].y - p[0].y - (dy / dx) * shiftDown(p[2].x - p[0].x)) <= kBezierPixel;
    }
    if (!between(p[1].y, p[0].y, p[3].y) || !between(p[2].y, p[0].y, p[3].y)) return false;
    dy = shiftDown(dy);
    if (!dy) return true;
    return std::abs(p[1].x - p[0].x - (dx / dy) * shiftDown(p[1].y - p[0].y)) <= kBezierPixel &&
           std::abs(p[2].x - p[0].x - (dx / dy) * shiftDown(p[2].y - p[0].y)) <= kBezierPixel;
}

void subdivide(POINT* p, std::vector<POINT>& out, int level) {
    if (level == 0 || flatEnough(p)) {
        if (out.empty()) out.push_back(POINT{shiftDown(p[0].x), shiftDown(p[0].y)});
        out.push_back(POINT{shiftDown(p[3].x), shiftDown(p[3].y)});
        return;
    }
    POINT second[4];
    second[3] = p[3];
    second[2] = middle(p[2], p[3]);
    second[0] = middle(p[1], p[2]);
    second[1] = middle(second[0], second[2]);
    p[1] = middle(p[0], p[1]);
    p[2] = middle(p[1], second[0]);
    p[3] = middle(p[2], second[1]);
    second[0] = p[3];
    subdivide(p, out, level - 1);
    subdivide(second, out, level - 1);
}

}  // namespace

LineSteps LineStepsFor(POINT a, POINT b) {
    a = cropped(a);
    b = cropped(b);
    LineSteps s;
    s.start = a;
    int dx = b.x - a.x, dy = b.y - a.y;
    if (dx == 0 && dy == 0) return s;
    int octant = octantOf(dx, dy);
    s.xMajor = octant == 1 || octant == 4 || octant == 5 || octant == 8;
    s.xStep = (octant == 1 || octant == 2 || octant == 7 || octant == 8) ? 1 : -1;
    s.yStep = octant <= 4 ? 1 : -1;
    s.bias = (octant == 3 || octant == 5 || octant == 6 || octant == 8) ? 1 : 0;
    std::int64_t ax = std::abs(static_cast<std::int64_t>(dx)), ay = std::abs(static_cast<std::int64_t>(dy));
    s.major = 2 * (s.xMajor ? ax : ay);
    s.minor = 2 * (s.xMajor ? ay : ax);
    s.length = static_cast<int>(s.xMajor ? ax : ay);
    return s;
}

void EllipseQuadrant(int width, int height, std::vector<POINT>& out) {
    out.clear();
    const std::int64_t a = width - 1;
    const std::int64_t b = height - 1;
    const std::int64_t asq = 8 * a * a;
    const std::int64_t bsq = 8 * b * b;
    std::int64_t dx = 4 * b * b * (1 - a);
    std::int64_t dy = 4 * a * a * (1 + (b % 2));
    std::int64_t err = dx + dy + a * a * (b % 2);
    POINT pt{static_cast<LONG>(a), height / 2};
    while (pt.x >= width / 2) {
        std::int64_t e2 = 2 * err;
        out.push_back(pt);
        if (e2 >= dx) {
            --pt.x;
            err += dx += bsq;
        }
        if (e2 <= dy) {
            ++pt.y;
            err += dy += asq;
        }
    }
}

Region RoundRectRegion(int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight) {
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    // The region covers the interior, one pixel short at right and bottom.
    --right;
    --bottom;
    long long ew = std::min<long long>(right - left, std::llabs(static_cast<long long>(ellipseWidth)));
    long long eh = std::min<long long>(bottom - top, std::llabs(static_cast<long long>(ellipseHeight)));
    if (ew < 2 || eh < 2) return Region::FromRect(RECT{left, top, right, bottom});
    int w = static_cast<int>(ew), h = static_cast<int>(eh);
    std::vector<int> lefts(static_cast<std::size_t>(h) + 2), rights(static_cast<std::size_t>(h) + 2);
    const std::int64_t a = w - 1;
    const std::int64_t b = h - 1;
    const std::int64_t asq = 8 * a * a;
    const std::int64_t bsq = 8 * b * b;
    std::int64_t dx = 4 * b * b * (1 - a);
    std::int64_t dy = 4 * a * a * (1 + (b % 2));
    std::int64_t err = dx + dy + a * a * (b % 2);
    int x = 0, y = h / 2;
    lefts[y] = left;
    rights[y] = right;
    while (x <= w / 2) {
        std::int64_t e2 = 2 * err;
        if (e2 >= dx) {
            ++x;
            err += dx += bsq;
        }
        if (e2 <= dy) {
            ++y;
            err += dy += asq;
            if (y < static_cast<int>(lefts.size())) {
                lefts[y] = left + x;
                rights[y] = right - x;
            }
        }
    }
    std::vector<Span> spans;
    for (int i = 0; i < h / 2; ++i) spans.push_back(Span{top + i, lefts[b - i], rights[b - i]});
    for (int i = h / 2; i < h; ++i) spans.push_back(Span{bottom - h + i, lefts[i], rights[i]});
    // The middle row reaches up to the top of the straight sides.
    Region region = Region::FromSpans(spans);
    int middleTop = top + h / 2, middleBottom = bottom - h + h / 2;
    if (middleTop < middleBottom) {
        region = region.Union(Region::FromRect(RECT{lefts[h / 2], middleTop, rights[h / 2], middleBottom}));
    }
    return region;
}

Region PolygonRegion(const POINT* points, const int* counts, int polygons, int mode, int rowsFrom, int rowsTo) {
    std::vector<Edge> edges;
    int total = 0;
    for (int p = 0; p < polygons; ++p) total += std::max(0, counts[p]);
    edges.reserve(static_cast<std::size_t>(total));
    int ymin = INT_MAX, ymax = INT_MIN;
    const POINT* pts = points;
    for (int p = 0; p < polygons; ++p) {
        int count = counts[p];
        if (count < 2) {
            pts += std::max(0, count);
            continue;
        }
        for (int i = 0; i < count; ++i) {
            const POINT& prev = pts[(i + count - 1) % count];
            const POINT& cur = pts[i];
            Edge e;
            const POINT *upper, *lower;
            if (prev.y > cur.y) {
                lower = &prev;
                upper = &cur;
                e.clockwise = false;
            } else {
                lower = &cur;
                upper = &prev;
                e.clockwise = true;
            }
            if (lower->y == upper->y) continue;
            if (upper->y >= rowsTo || lower->y <= rowsFrom) continue;
            e.top = upper->y;
            e.last = lower->y - 1;
            e.Init(static_cast<std::int64_t>(lower->y) - upper->y, upper->x, lower->x);
            edges.push_back(e);
            ymin = std::min(ymin, static_cast<int>(upper->y));
            ymax = std::max(ymax, static_cast<int>(lower->y));
        }
        pts += count;
    }
    if (edges.empty()) return Region();
    std::stable_sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) { return a.top < b.top; });

    std::vector<Span> spans;
    std::vector<Edge*> active;
    std::size_t next = 0;
    int end = std::min(ymax, rowsTo);
    for (int y = ymin; y < end; ++y) {
        // New edges enter before active ones at the same x.
        while (next < edges.size() && edges[next].top == y) {
            Edge* e = &edges[next++];
            auto at = std::find_if(active.begin(), active.end(), [&](Edge* o) { return o->x >= e->x; });
            active.insert(at, e);
        }
        if (y >= rowsFrom) {
            if (mode == WINDING) {
                int winding = 0;
                bool open = false;
                std::int64_t from = 0;
                for (Edge* e : active) {
                    winding += e->clockwise ? 1 : -1;
                    if (!open && winding != 0) {
                        open = true;
                        from = e->x;
                    } else if (open && winding == 0) {
                        open = false;
                        if (from != e->x) spans.push_back(Span{y, static_cast<int>(from), static_cast<int>(e->x)});
                    }
                }
            } else {
                for (std::size_t i = 0; i + 1 < active.size(); i += 2) {
                    if (active[i]->x != active[i + 1]->x)
                        spans.push_back(Span{y, static_cast<int>(active[i]->x), static_cast<int>(active[i + 1]->x)});
                }
            }
        }
        // Leave finished edges, step the rest, and keep them sorted by x.
        std::size_t kept = 0;
        for (Edge* e : active) {
            if (e->last == y) continue;
            e->Step();
            active[kept++] = e;
        }
        active.resize(kept);
        for (std::size_t i = 1; i < active.size(); ++i) {
            Edge* e = active[i];
            std::size_t j = 0;
            while (j < i && active[j]->x <= e->x) ++j;
            if (j == i) continue;
            active.erase(active.begin() + static_cast<std::ptrdiff_t>(i));
            active.insert(active.begin() + static_cast<std::ptrdiff_t>(j), e);
        }
    }
    return Region::FromSpans(spans);
}

Region WideLineRegion(const POINT* points, int count, bool close, int width, int rowsFrom, int rowsTo) {
    if (count < 2) return Region();
    WideLine line(width, rowsFrom, rowsTo);
    line.Draw(points, count, close);
    return Region::FromSpans(line.Spans());
}

std::vector<POINT> FlattenBeziers(const POINT* points, int count) {
    std::vector<POINT> out;
    if (count < 4 || (count - 1) % 3 != 0) return out;
    for (int k = 0; k < (count - 1) / 3; ++k) {
        POINT p[4];
        for (int i = 0; i < 4; ++i)
            p[i] = POINT{points[3 * k + i].x << kBezierShift, points[3 * k + i].y << kBezierShift};
        subdivide(p, out, kBezierDepth);
    }
    return out;
}

}  // namespace luma::gdi
