#include "tests/colour/reference.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "image/packed_dib.h"
#include "plugin/guards.h"

namespace reference {

namespace {

int Lum(int r, int g, int b) { return (77 * r) / 255 + (150 * g) / 255 + (28 * b) / 255; }

struct Header {
    LONG width, height;
    int bits;
};
Header Read(const void* dib) {
    auto* h = static_cast<const BITMAPINFOHEADER*>(dib);
    return {h->biWidth, h->biHeight, h->biBitCount};
}
const RGBQUAD* Table(const void* dib) {
    return reinterpret_cast<const RGBQUAD*>(static_cast<const BYTE*>(dib) + sizeof(BITMAPINFOHEADER));
}

// The per-pixel choice with the remap cache built whole, as described.
struct Chooser {
    const BYTE* palette;
    int count;
    bool fast;
    std::vector<int> cache;

    Chooser(const BYTE* p, int n, bool fastRemap) : palette(p), count(n), fast(fastRemap), cache(32768) {
        for (int i = 0; i < (fast ? 32768 : 0); ++i)
            cache[i] = FindNearestColour((i % 32) * 8, ((i / 32) % 32) * 8, (i / 1024) * 8, palette, count);
    }
    int Choose(int r, int g, int b) const {
        if (!fast) return FindNearestColour(r, g, b, palette, count);
        for (int i = 0; i < std::min(count, 256); ++i)
            if (palette[i * 3] == r && palette[i * 3 + 1] == g && palette[i * 3 + 2] == b) return i;
        return cache[(r / 8) + 32 * (g / 8) + 1024 * (b / 8)];
    }
};

}  // namespace

int FindNearestColour(int red, int green, int blue, const BYTE* palette, int count) {
    if (count < 1) return 0;
    count = std::min(count, 256);
    for (int i = 0; i < count; ++i)
        if (palette[i * 3] == red && palette[i * 3 + 1] == green && palette[i * 3 + 2] == blue) return i;
    int best = 0;
    long bestDistance = LONG_MAX;
    for (int i = 0; i < count; ++i) {
        long dr = red - palette[i * 3], dg = green - palette[i * 3 + 1], db = blue - palette[i * 3 + 2];
        long d = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
        if (d < bestDistance) bestDistance = d, best = i;
    }
    return best;
}

HGLOBAL RemapFrame(HGLOBAL source, const BYTE* palette, int depthCode, int count, bool fastRemap) {
    GlobalLockGuard<BYTE> src(source);
    Header s = Read(src.get());
    int outBits = DibBitsForDepthCode(depthCode);
    int indexMap[256] = {};
    if (s.bits <= 8)
        for (int i = 0; i < (1 << s.bits); ++i)
            indexMap[i] = FindNearestColour(Table(src.get())[i].rgbRed, Table(src.get())[i].rgbGreen,
                                            Table(src.get())[i].rgbBlue, palette, 1 << depthCode);
    Chooser chooser(palette, count, fastRemap);
    int white = chooser.Choose(255, 255, 255);
    int black = chooser.Choose(0, 0, 0);
    HGLOBAL result = CreatePackedDib(s.width, s.height, palette, depthCode);
    GlobalLockGuard<BYTE> out(result);
    for (LONG y = 0; y < s.height; ++y) {
        for (LONG x = 0; x < s.width; ++x) {
            DWORD v = GetDibPixel(src.get(), x, y);
            DWORD index;
            if (s.bits == 1) {
                index = outBits == 1 ? v : v ? white : black;
            } else if (s.bits <= 8) {
                const RGBQUAD& e = Table(src.get())[v];
                index = outBits == 1 ? Lum(e.rgbRed, e.rgbGreen, e.rgbBlue) >= 129 : indexMap[v];
            } else {
                int r = v & 0xFF, g = (v >> 8) & 0xFF, b = (v >> 16) & 0xFF;
                index = outBits == 1 ? Lum(r, g, b) >= 129 : chooser.Choose(r, g, b);
            }
            SetDibPixel(out.get(), x, y, index);
        }
    }
    return result;
}

HGLOBAL DitherFrame(HGLOBAL source, const BYTE* palette, int depthCode, int count, bool fastRemap,
                    DWORD brightness, DWORD contrast) {
    GlobalLockGuard<BYTE> src(source);
    Header s = Read(src.get());
    auto colourAt = [&](LONG x, LONG y, int& r, int& g, int& b) {
        DWORD v = GetDibPixel(src.get(), x, y);
        if (s.bits <= 8) {
            const RGBQUAD& e = Table(src.get())[v];
            r = e.rgbRed, g = e.rgbGreen, b = e.rgbBlue;
        } else {
            r = v & 0xFF, g = (v >> 8) & 0xFF, b = (v >> 16) & 0xFF;
        }
    };
    HGLOBAL result = CreatePackedDib(s.width, s.height, palette, depthCode);
    GlobalLockGuard<BYTE> out(result);
    if (depthCode == 1) {
        std::vector<std::vector<int>> grey(s.height, std::vector<int>(s.width));
        int low = 255, high = 0;
        for (LONG y = 0; y < s.height; ++y)
            for (LONG x = 0; x < s.width; ++x) {
                int r, g, b;
                colourAt(x, y, r, g, b);
                grey[y][x] = Lum(r, g, b);
                low = std::min(low, grey[y][x]);
                high = std::max(high, grey[y][x]);
            }
        int c = static_cast<int>(std::min<DWORD>(contrast, 127));
        double step = 256.0 / (256 - 2 * c);
        double t = static_cast<double>(brightness) - c;
        int tone[256];
        for (int i = 0; i < 256; ++i) {
            tone[i] = t > 254 ? 254 : t < 1 ? 1 : static_cast<int>(t);
            t += step;
        }
        int threshold = (low + high) / 2;
        auto add = [](int& v, int d) { v = std::clamp(v + d, 0, 255); };
        for (LONG y = s.height - 1; y >= 0; --y) {
            for (LONG x = 0; x < s.width; ++x) {
                int v = tone[grey[y][x]];
                int error;
                if (v > threshold) {
                    SetDibPixel(out.get(), x, y, 1);
                    error = v - high;
                } else {
                    SetDibPixel(out.get(), x, y, 0);
                    error = v - low;
                }
                int q = error >> 4;
                if (x + 1 < s.width && y > 0) add(grey[y - 1][x + 1], q);
                if (x >= 1 && y > 0) add(grey[y - 1][x - 1], 3 * q);
                if (y > 0) add(grey[y - 1][x], 5 * q);
                if (x + 1 < s.width) add(grey[y][x + 1], 7 * q);
            }
        }
        return result;
    }
    Chooser chooser(palette, count, fastRemap);
    std::vector<std::int16_t> current(3 * s.width), next(3 * s.width);
    for (LONG y = s.height - 1; y >= 0; --y) {
        for (LONG x = 0; x < s.width; ++x) {
            int rgb[3];
            colourAt(x, y, rgb[0], rgb[1], rgb[2]);
            for (int c = 0; c < 3; ++c) current[3 * x + c] = static_cast<std::int16_t>(current[3 * x + c] + rgb[c]);
        }
        for (LONG x = 0; x < s.width; ++x) {
            int v[3];
            for (int c = 0; c < 3; ++c) v[c] = std::clamp<int>(current[3 * x + c], 0, 255);
            int index = chooser.Choose(v[0], v[1], v[2]);
            SetDibPixel(out.get(), x, y, index);
            for (int c = 0; c < 3; ++c) {
                int e = v[c] - palette[index * 3 + c];
                if (x + 1 < s.width) current[3 * (x + 1) + c] += (7 * e) >> 4;
                if (x >= 1 && y > 0) next[3 * (x - 1) + c] += (3 * e) >> 4;
                if (y > 0) next[3 * x + c] += (5 * e) >> 4;
                if (x + 1 < s.width && y > 0) next[3 * (x + 1) + c] += e >> 4;
            }
        }
        current = next;
        std::fill(next.begin(), next.end(), 0);
    }
    return result;
}

HGLOBAL MaskBackgroundColour(HGLOBAL remapped, HGLOBAL source, COLORREF background, int index) {
    GlobalLockGuard<BYTE> from(remapped);
    GlobalLockGuard<BYTE> frame(source);
    Header r = Read(from.get());
    BYTE triplets[768];
    DibTableToTriplets(from.get(), triplets);
    HGLOBAL result = CreatePackedDib(r.width, r.height, triplets, r.bits);
    GlobalLockGuard<BYTE> out(result);
    Header f = Read(frame.get());
    for (LONG y = 0; y < r.height; ++y)
        for (LONG x = 0; x < r.width; ++x) {
            DWORD v = GetDibPixel(from.get(), x, y);
            bool inside = x < f.width && y < f.height;
            if (index >= 0 && inside && (GetDibPixel(frame.get(), x, y) & 0xFFFFFF) == (background & 0xFFFFFF))
                v = static_cast<DWORD>(index);
            SetDibPixel(out.get(), x, y, v);
        }
    return result;
}

namespace {

struct Node {
    double count = 0, red = 0, green = 0, blue = 0, error = 0;
    int childId = 0, level = 0, parent = 0;
    int children[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
    bool alive = true;
};

struct Tree {
    std::vector<Node> nodes;
    int depth;
    std::size_t limit;
    long live = 1;
    long leaves = 0;
    double threshold = 0, next = 0;

    Tree(int d, std::size_t nodeLimit) : nodes(1), depth(d), limit(nodeLimit) {}

    void Merge(int n) {
        for (int id = 0; id < 8; ++id)
            if (nodes[n].children[id] >= 0) Merge(nodes[n].children[id]);
        Node& node = nodes[n];
        Node& parent = nodes[node.parent];
        parent.count += node.count;
        parent.red += node.red;
        parent.green += node.green;
        parent.blue += node.blue;
        parent.children[node.childId] = -1;
        node.alive = false;
        --live;
    }
    void Prune(int n) {
        for (int id = 0; id < 8; ++id) {
            int c = nodes[n].children[id];
            if (c < 0) continue;
            if (nodes[c].level == depth)
                Merge(c);
            else
                Prune(c);
        }
    }
    void Classify(int r, int g, int b, int n) {
        int node = 0;
        double cr = 127.5, cg = 127.5, cb = 127.5, half = 128;
        for (int level = 1; level <= depth; ++level) {
            half = half / 2;
            int rb = (r >> (8 - level)) & 1, gb = (g >> (8 - level)) & 1, bb = (b >> (8 - level)) & 1;
            int id = rb * 4 + gb * 2 + bb;
            cr = rb ? cr + half : cr - half;
            cg = gb ? cg + half : cg - half;
            cb = bb ? cb + half : cb - half;
            if (nodes[node].children[id] < 0) {
                Node child;
                child.childId = id;
                child.level = level;
                child.parent = node;
                nodes.push_back(child);
                nodes[node].children[id] = static_cast<int>(nodes.size() - 1);
                ++live;
                if (level == depth) ++leaves;
            }
            node = nodes[node].children[id];
            nodes[node].error += n * ((r - cr) * (r - cr) + (g - cg) * (g - cg) + (b - cb) * (b - cb));
            nodes[0].error += nodes[node].error;
        }
        nodes[node].count += n;
        nodes[node].red += static_cast<double>(n) * r;
        nodes[node].green += static_cast<double>(n) * g;
        nodes[node].blue += static_cast<double>(n) * b;
    }
    void AddFrame(const void* dib) {
        Header h = Read(dib);
        for (LONG y = h.height - 1; y >= 0; --y) {
            if (static_cast<std::size_t>(live) > limit && depth > 1) {
                Prune(0);
                --depth;
            }
            LONG x = 0;
            while (x < h.width) {
                DWORD v = GetDibPixel(dib, x, y);
                LONG end = x + 1;
                while (end < h.width && GetDibPixel(dib, end, y) == v) ++end;
                Classify(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF, end - x);
                x = end;
            }
        }
    }
    void Pass(int n) {
        for (int id = 0; id < 8; ++id)
            if (nodes[n].children[id] >= 0) Pass(nodes[n].children[id]);
        if (n != 0 && nodes[n].error <= threshold) {
            Merge(n);
            return;
        }
        if (nodes[n].count > 0) ++leaves;
        if (nodes[n].error < next) next = nodes[n].error;
    }
    void Reduce(int colours) {
        next = 0;
        while (leaves > colours) {
            threshold = next;
            next = nodes[0].error - 1;
            leaves = 0;
            Pass(0);
        }
    }
    void Write(int n, BYTE* palette, int& entries) {
        for (int id = 0; id < 8; ++id)
            if (nodes[n].children[id] >= 0) Write(nodes[n].children[id], palette, entries);
        const Node& node = nodes[n];
        if (node.count == 0) return;
        palette[entries * 3] = static_cast<BYTE>(static_cast<int>((node.red + node.count / 2) / node.count));
        palette[entries * 3 + 1] = static_cast<BYTE>(static_cast<int>((node.green + node.count / 2) / node.count));
        palette[entries * 3 + 2] = static_cast<BYTE>(static_cast<int>((node.blue + node.count / 2) / node.count));
        ++entries;
    }
    double Pixels() const {
        double total = 0;
        for (const Node& n : nodes)
            if (n.alive) total += n.count;
        return total;
    }
};

template <class F>
void ForEachFrame(const FrameList& frames, F f) {
    if (frames.count <= 0) return;
    GlobalLockGuard<FrameRecord> records(frames.records);
    for (int i = 0; i < frames.count; ++i) {
        GlobalLockGuard<BYTE> dib(records.get()[i].image);
        if (Read(dib.get()).bits == 24) f(dib.get());
    }
}

}  // namespace

OctreeOutcome OctreePalette(const FrameList& frames, int depth, std::size_t nodeLimit, int maxColours,
                            BYTE* palette) {
    Tree tree(depth, nodeLimit);
    ForEachFrame(frames, [&](const void* dib) { tree.AddFrame(dib); });
    OctreeOutcome outcome{0, tree.depth, tree.Pixels()};
    tree.Reduce(maxColours);
    std::memset(palette, 0, 768);
    tree.Write(0, palette, outcome.entries);
    return outcome;
}

int BuildFramePalette(int maxColours, BYTE* palette, const FrameList& frames) {
    int n = maxColours <= 0 || maxColours > 256 ? 256 : maxColours;
    std::vector<DWORD> seen;
    bool more = false;
    ForEachFrame(frames, [&](const void* dib) {
        Header h = Read(dib);
        for (LONG y = 0; y < h.height; ++y)
            for (LONG x = 0; x < h.width; ++x) {
                DWORD v = GetDibPixel(dib, x, y);
                if (std::find(seen.begin(), seen.end(), v) != seen.end()) continue;
                if (seen.size() == 256)
                    more = true;
                else
                    seen.push_back(v);
            }
    });
    std::memset(palette, 0, 768);
    if (!more && static_cast<int>(seen.size()) <= n) {
        for (std::size_t i = 0; i < seen.size(); ++i) {
            palette[i * 3] = seen[i] & 0xFF;
            palette[i * 3 + 1] = (seen[i] >> 8) & 0xFF;
            palette[i * 3 + 2] = (seen[i] >> 16) & 0xFF;
        }
        return static_cast<int>(seen.size());
    }
    int depth = 0;
    for (int v = n; v; v >>= 2) ++depth;
    return OctreePalette(frames, std::clamp(depth, 2, 8), 266817, n, palette).entries;
}

void MarkUnchangedPixels(const FrameList& frames, HGLOBAL* masks) {
    GlobalLockGuard<FrameRecord> records(frames.records);
    GlobalBlock previous(CopyGlobalBlock(records.get()[0].image));
    GlobalLockGuard<BYTE> seen(previous.get());
    masks[0] = nullptr;
    for (int i = 1; i < frames.count; ++i) {
        GlobalLockGuard<BYTE> frame(records.get()[i].image);
        Header h = Read(frame.get());
        BYTE blackWhite[6] = {0, 0, 0, 255, 255, 255};
        masks[i] = CreatePackedDib(h.width, h.height, blackWhite, 1);
        GlobalLockGuard<BYTE> mask(masks[i]);
        for (LONG y = 0; y < h.height; ++y)
            for (LONG x = 0; x < h.width; ++x) {
                DWORD now = GetDibPixel(frame.get(), x, y);
                if (GetDibPixel(seen.get(), x, y) == now) {
                    SetDibPixel(mask.get(), x, y, 1);
                } else {
                    SetDibPixel(seen.get(), x, y, now);
                    SetDibPixel(mask.get(), x, y, 0);
                }
            }
    }
}

void ApplyChangeMask(HGLOBAL remapped, HGLOBAL mask, int spareIndex, COLORREF background) {
    if (spareIndex < 0) return;
    GlobalLockGuard<BYTE> picture(remapped);
    GlobalLockGuard<BYTE> bits(mask);
    Header h = Read(picture.get());
    for (LONG y = 0; y < h.height; ++y)
        for (LONG x = 0; x < h.width; ++x)
            if (GetDibPixel(bits.get(), x, y) == 1) SetDibPixel(picture.get(), x, y, spareIndex);
    RGBQUAD* table = reinterpret_cast<RGBQUAD*>(picture.get() + sizeof(BITMAPINFOHEADER));
    table[spareIndex].rgbRed = background & 0xFF;
    table[spareIndex].rgbGreen = (background >> 8) & 0xFF;
    table[spareIndex].rgbBlue = (background >> 16) & 0xFF;
}

}  // namespace reference
