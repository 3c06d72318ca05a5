// GDI objects: selection, deletion, descriptions, counting and failure.
#include <gtest/gtest.h>
#include <windows.h>

#include "luma/testing.h"
#include "tests/gdi/canvas.h"
#include "tests/support/fault_walk.h"

namespace {

TEST(GdiObjects, SelectObjectReturnsWhatWasSelectedBefore) {
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_NE(dc, nullptr);
    HPEN red = CreatePen(PS_SOLID, 3, RGB(255, 0, 0));
    HPEN blue = CreatePen(PS_SOLID, 1, RGB(0, 0, 255));
    HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
    EXPECT_EQ(SelectObject(dc, red), GetStockObject(BLACK_PEN));
    EXPECT_EQ(SelectObject(dc, blue), red);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), blue);
    EXPECT_EQ(SelectObject(dc, green), GetStockObject(WHITE_BRUSH));
    EXPECT_EQ(SelectObject(dc, GetStockObject(NULL_BRUSH)), green);

    HRGN rgn = CreateRectRgn(0, 0, 4, 4);
    EXPECT_EQ(SelectObject(dc, rgn), reinterpret_cast<HGDIOBJ>(static_cast<INT_PTR>(SIMPLEREGION)));
    RECT box;
    EXPECT_EQ(GetClipBox(dc, &box), SIMPLEREGION);

    SelectObject(dc, GetStockObject(BLACK_PEN));
    EXPECT_TRUE(DeleteObject(red));
    EXPECT_TRUE(DeleteObject(blue));
    EXPECT_TRUE(DeleteObject(green));
    EXPECT_TRUE(DeleteObject(rgn));
    EXPECT_TRUE(DeleteDC(dc));
}

TEST(GdiObjects, DeletingASelectedObjectIsRefusedUntilItIsDeselected) {
    const std::size_t before = luma::LiveGdiObjects();
    HDC dc = CreateCompatibleDC(nullptr);
    HPEN pen = CreatePen(PS_SOLID, 2, RGB(1, 2, 3));
    HBRUSH brush = CreateSolidBrush(RGB(4, 5, 6));
    HBITMAP bitmap = CreateCompatibleBitmap(dc, 4, 4);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    ASSERT_NE(oldBitmap, nullptr);

    EXPECT_FALSE(DeleteObject(pen));
    EXPECT_FALSE(DeleteObject(brush));
    EXPECT_FALSE(DeleteObject(bitmap));
    LOGPEN log{};
    EXPECT_EQ(GetObject(pen, sizeof log, &log), static_cast<int>(sizeof log)) << "the pen must still exist";
    EXPECT_EQ(log.lopnWidth.x, 2);
    EXPECT_EQ(log.lopnColor, RGB(1, 2, 3));

    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldBitmap);
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_TRUE(DeleteObject(brush));
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_EQ(GetObject(pen, sizeof log, &log), 0) << "a deleted handle is refused";
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_EQ(luma::LiveGdiObjects(), before);
}

TEST(GdiObjects, DeleteDcReleasesItsSelectionsAndStockObjectsSurviveDeletion) {
    HDC dc = CreateCompatibleDC(nullptr);
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(9, 9, 9));
    SelectObject(dc, pen);
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_TRUE(DeleteObject(pen)) << "a deleted DC no longer holds its pen";

    EXPECT_TRUE(DeleteObject(GetStockObject(WHITE_BRUSH)));
    LOGBRUSH log{};
    ASSERT_EQ(GetObject(GetStockObject(WHITE_BRUSH), sizeof log, &log), static_cast<int>(sizeof log));
    EXPECT_EQ(log.lbColor, RGB(255, 255, 255));
    EXPECT_EQ(GetObject(GetStockObject(NULL_PEN), 0, nullptr), static_cast<int>(sizeof(LOGPEN)));
}

TEST(GdiObjects, ABitmapLivesInOneDcAtATime) {
    HDC a = CreateCompatibleDC(nullptr);
    HDC b = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(a, 2, 2);
    HGDIOBJ old = SelectObject(a, bitmap);
    EXPECT_NE(old, nullptr);
    EXPECT_EQ(SelectObject(b, bitmap), nullptr);
    SelectObject(a, old);
    HGDIOBJ oldB = SelectObject(b, bitmap);
    EXPECT_NE(oldB, nullptr);
    SelectObject(b, oldB);
    DeleteObject(bitmap);
    DeleteDC(a);
    DeleteDC(b);
}

TEST(GdiObjects, DibSectionDescribesItself) {
    Canvas c(5, 3, 24, true);
    DIBSECTION ds{};
    ASSERT_EQ(GetObject(c.bitmap, sizeof ds, &ds), static_cast<int>(sizeof ds));
    EXPECT_EQ(ds.dsBm.bmWidth, 5);
    EXPECT_EQ(ds.dsBm.bmHeight, 3);
    EXPECT_EQ(ds.dsBm.bmWidthBytes, 16);
    EXPECT_EQ(ds.dsBm.bmBitsPixel, 24);
    EXPECT_EQ(ds.dsBm.bmBits, c.bits);
    EXPECT_EQ(ds.dsBmih.biHeight, -3);
    BITMAP bm{};
    EXPECT_EQ(GetObject(c.bitmap, sizeof bm, &bm), static_cast<int>(sizeof bm));
    EXPECT_EQ(GetObjectType(c.bitmap), static_cast<DWORD>(OBJ_BITMAP));
    EXPECT_EQ(GetObjectType(c.dc), static_cast<DWORD>(OBJ_MEMDC));
}

TEST(GdiObjects, ForeignAndStaleHandlesAreRefused) {
    int local = 0;
    HDC fake = reinterpret_cast<HDC>(&local);
    EXPECT_EQ(SelectObject(fake, GetStockObject(BLACK_PEN)), nullptr);
    EXPECT_FALSE(DeleteObject(reinterpret_cast<HGDIOBJ>(&local)));
    EXPECT_FALSE(DeleteDC(fake));
    EXPECT_FALSE(Rectangle(fake, 0, 0, 2, 2));
    HDC dc = CreateCompatibleDC(nullptr);
    DeleteDC(dc);
    EXPECT_FALSE(DeleteDC(dc));
    EXPECT_EQ(GetPixel(dc, 0, 0), CLR_INVALID);
}

TEST(GdiObjects, DibSectionsRefuseHeadersTheyCannotHold) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = 4;
    bi.bmiHeader.biHeight = 4;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 16;
    void* bits = reinterpret_cast<void*>(1);
    EXPECT_EQ(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    EXPECT_EQ(bits, nullptr);
    bi.bmiHeader.biBitCount = 24;
    bi.bmiHeader.biWidth = 0;
    EXPECT_EQ(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    bi.bmiHeader.biWidth = 0x7FFFFFFF;
    bi.bmiHeader.biHeight = 0x7FFFFFFF;
    EXPECT_EQ(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr) << "size overflow";
    bi.bmiHeader.biWidth = 4;
    bi.bmiHeader.biHeight = 4;
    bi.bmiHeader.biCompression = BI_RLE8;
    EXPECT_EQ(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
}

TEST(GdiObjects, EveryCreationFailsCleanlyWhenMemoryRunsOut) {
    using testing_support::WalkAllocationFailures;
    auto made = [](HGDIOBJ o) {
        if (!o) return false;
        DeleteObject(o);
        return true;
    };
    EXPECT_EQ(WalkAllocationFailures([&] { return made(CreatePen(PS_SOLID, 4, 0)); }), 1);
    EXPECT_EQ(WalkAllocationFailures([&] { return made(CreateSolidBrush(RGB(1, 1, 1))); }), 1);
    EXPECT_EQ(WalkAllocationFailures([&] { return made(CreateRectRgn(0, 0, 3, 3)); }), 1);
    EXPECT_EQ(WalkAllocationFailures([&] { return made(CreateFont(14, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Arial")); }), 1);
    EXPECT_EQ(WalkAllocationFailures([&] {
                  HDC dc = CreateCompatibleDC(nullptr);
                  if (!dc) return false;
                  DeleteDC(dc);
                  return true;
              }),
              1);
    EXPECT_EQ(WalkAllocationFailures([&] {
                  BITMAPINFO bi{};
                  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), 7, -5, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
                  void* bits = nullptr;
                  HBITMAP b = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
                  if (!b) {
                      EXPECT_EQ(bits, nullptr);
                      return false;
                  }
                  DeleteObject(b);
                  return true;
              }),
              1);
    EXPECT_EQ(WalkAllocationFailures([&] {
                  HDC dc = GetDC(nullptr);
                  if (!dc) return false;
                  ReleaseDC(nullptr, dc);
                  return true;
              }),
              1);
}

TEST(GdiObjects, ScreenDcIsReleasedAndReportsTheScreen) {
    const std::size_t before = luma::LiveDeviceContexts();
    HDC screen = GetDC(nullptr);
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(luma::LiveDeviceContexts(), before + 1);
    EXPECT_GE(GetDeviceCaps(screen, BITSPIXEL), 9) << "a true-colour screen";
    EXPECT_EQ(GetObjectType(screen), static_cast<DWORD>(OBJ_DC));
    HDC memory = CreateCompatibleDC(screen);
    EXPECT_EQ(ReleaseDC(nullptr, memory), 0) << "memory DCs are deleted, not released";
    DeleteDC(memory);
    EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
    EXPECT_EQ(luma::LiveDeviceContexts(), before);
    EXPECT_EQ(GetDC(reinterpret_cast<HWND>(&screen)), nullptr) << "window DCs belong to the window manager";
}

}  // namespace
