// Drawing speed: 10 000 shapes of one kind on a 1024 x 1024 24-bit surface,
// the way effects fill their masks.
#include <benchmark/benchmark.h>
#include <windows.h>

#include <random>
#include <vector>

namespace {

constexpr int kSize = 1024;
constexpr int kShapes = 10000;

struct Surface {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    Surface() {
        BITMAPINFO bi{};
        bi.bmiHeader = {sizeof(BITMAPINFOHEADER), kSize, -kSize, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        previous = SelectObject(dc, bitmap);
    }
    ~Surface() {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
};

std::vector<RECT> boxes() {
    std::mt19937 random(1);
    std::uniform_int_distribution<int> at(-32, kSize), size(4, 160);
    std::vector<RECT> out;
    for (int i = 0; i < kShapes; ++i) {
        int x = at(random), y = at(random);
        out.push_back(RECT{x, y, x + size(random), y + size(random)});
    }
    return out;
}

void Ellipses(benchmark::State& state) {
    Surface s;
    std::vector<RECT> shapes = boxes();
    HBRUSH brush = CreateSolidBrush(RGB(255, 255, 255));
    HGDIOBJ oldBrush = SelectObject(s.dc, brush);
    HGDIOBJ oldPen = SelectObject(s.dc, GetStockObject(NULL_PEN));
    for (auto _ : state)
        for (const RECT& r : shapes) Ellipse(s.dc, r.left, r.top, r.right, r.bottom);
    SelectObject(s.dc, oldPen);
    SelectObject(s.dc, oldBrush);
    DeleteObject(brush);
    state.SetItemsProcessed(state.iterations() * kShapes);
}
BENCHMARK(Ellipses)->Unit(benchmark::kMillisecond);

void Polygons(benchmark::State& state) {
    Surface s;
    std::vector<RECT> shapes = boxes();
    HBRUSH brush = CreateSolidBrush(RGB(200, 200, 200));
    HGDIOBJ oldBrush = SelectObject(s.dc, brush);
    HGDIOBJ oldPen = SelectObject(s.dc, GetStockObject(NULL_PEN));
    SetPolyFillMode(s.dc, WINDING);
    for (auto _ : state)
        for (const RECT& r : shapes) {
            // A five-pointed star across the box.
            int cx = (r.left + r.right) / 2, w = r.right - r.left, h = r.bottom - r.top;
            POINT star[5] = {{cx, r.top}, {r.left + w / 5, r.bottom}, {r.right, r.top + h / 3},
                             {r.left, r.top + h / 3}, {r.right - w / 5, r.bottom}};
            Polygon(s.dc, star, 5);
        }
    SelectObject(s.dc, oldPen);
    SelectObject(s.dc, oldBrush);
    DeleteObject(brush);
    state.SetItemsProcessed(state.iterations() * kShapes);
}
BENCHMARK(Polygons)->Unit(benchmark::kMillisecond);

void WideLines(benchmark::State& state) {
    Surface s;
    std::vector<RECT> shapes = boxes();
    HPEN pen = CreatePen(PS_SOLID, 8, RGB(255, 255, 255));
    HGDIOBJ oldPen = SelectObject(s.dc, pen);
    for (auto _ : state)
        for (const RECT& r : shapes) {
            MoveToEx(s.dc, r.left, r.top, nullptr);
            LineTo(s.dc, r.right, r.bottom);
        }
    SelectObject(s.dc, oldPen);
    DeleteObject(pen);
    state.SetItemsProcessed(state.iterations() * kShapes);
}
BENCHMARK(WideLines)->Unit(benchmark::kMillisecond);

}  // namespace
