#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "dialog/main_dialog.h"
#include "dialog/marker_window.h"
#include "effects/effect_table.h"
#include "effects/source_image.h"
#include "image/packed_dib.h"
#include "luma/automation.h"
#include "luma/testing.h"
#include "plugin/folders.h"
#include "plugin/guards.h"
#include "settings/bound_controls.h"
#include "settings/documents.h"
#include "tests/support/dialog_fixture.h"
#include "tests/support/effect_harness.h"
#include "tests/support/fault_walk.h"
#include "tests/support/pictures.h"

namespace {

namespace automation = luma::automation;
using testing_support::EffectIndex;

struct MarkerEffect {
    const char* name;
    int id;
};
constexpr MarkerEffect kMarkerEffects[] = {
    {"Skip Intro", kSkipIntroMarkers}, {"Ping", kPingMarkers}, {"Rain", kRainMarkers}, {"Sparkle", kSparkleMarkers}};

MarkerSet Markers(HWND window) {
    MarkerSet set{};
    GlobalLockGuard<MarkerSet> state(reinterpret_cast<HGLOBAL>(GetWindowLongPtrA(window, GWLP_USERDATA)));
    if (state) set = *state.get();
    return set;
}

SIZE ClientSize(HWND window) {
    RECT r{};
    GetClientRect(window, &r);
    return SIZE{r.right, r.bottom};
}

POINT Centre(HWND window, int index) {
    MarkerSet set = Markers(window);
    SIZE size = ClientSize(window);
    return POINT{static_cast<LONG>(static_cast<float>(size.cx) * set.fx[index]),
                 static_cast<LONG>(static_cast<float>(size.cy) * set.fy[index])};
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

class MarkerWindow : public testing_support::MainDialogTest {
protected:
    void SetUp() override {
        MainDialogTest::SetUp();
        OpenDialog();
        ShowWindow(dialog, SW_SHOW);
        automation::Pump();
    }

    // Chooses the effect in the effect list and closes the list, as the
    // user does; its marker window, when it has one.
    HWND Choose(const char* effect, int id = kSkipIntroMarkers) {
        testing_support::ChooseEffect(dialog, effect);
        return FindMarkerWindow(dialog, id);
    }

    void Drag(HWND window, POINT from, POINT to) {
        ASSERT_TRUE(automation::MouseDown(window, from, dialog));
        ASSERT_TRUE(automation::MouseMove(window, to, dialog));
        ASSERT_TRUE(automation::MouseUp(window, to, dialog));
    }

    RECT InnerPreviewArea() const {
        HWND preview = GetDlgItem(dialog, kPreviewControl);
        RECT area;
        GetClientRect(preview, &area);
        InflateRect(&area, -4, -4);
        MapWindowPoints(preview, dialog, reinterpret_cast<POINT*>(&area), 2);
        return area;
    }

    RECT WindowInDialog(HWND window) const {
        RECT r;
        GetWindowRect(window, &r);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
        return r;
    }

    // Loads a plain picture of the given size as the user's picture.
    void LoadPicture(LONG width, LONG height) {
        std::string path = "/pictures/" + std::to_string(width) + "x" + std::to_string(height) + ".bmp";
        host->pictures[path] = CreatePackedDib(width, height, nullptr, 24);
        ASSERT_EQ(LoadSourcePicture(dialog, path.c_str()), 1);
    }
};

TEST_F(MarkerWindow, LiesTransparentOverThePreviewPictureWithTheDefaultPlaces) {
    HWND window = Choose("Skip Intro");
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TRANSPARENT);
    EXPECT_EQ(GetParent(window), dialog);
    EXPECT_EQ(CurrentMarkerWindow(dialog), window);
    // Above its siblings: the first child in z-order.
    EXPECT_EQ(GetWindow(dialog, GW_CHILD), window);

    // The sample picture (400 x 300) is shrunk by one percentage to fit the
    // preview's inner area and centred there.
    RECT area = InnerPreviewArea();
    LONG areaWidth = area.right - area.left, areaHeight = area.bottom - area.top;
    ASSERT_TRUE(areaWidth < 400 || areaHeight < 300);
    long percent = std::min(100L * areaWidth / 400, 100L * areaHeight / 300);
    LONG width = static_cast<LONG>(400 * static_cast<double>(percent) / 100.0 + 0.5);
    LONG height = static_cast<LONG>(300 * static_cast<double>(percent) / 100.0 + 0.5);
    RECT expected{area.left + (areaWidth - width) / 2, area.top + (areaHeight - height) / 2, 0, 0};
    expected.right = expected.left + width;
    expected.bottom = expected.top + height;
    RECT placed = WindowInDialog(window);
    EXPECT_TRUE(EqualRect(&placed, &expected));
    RECT computed;
    ASSERT_TRUE(PreviewPictureRect(dialog, &computed));
    EXPECT_TRUE(EqualRect(&computed, &expected));

    MarkerSet set = Markers(window);
    const float fx[] = {0.25f, 0.75f, 0.75f, 0.25f, 0.5f}, fy[] = {0.25f, 0.25f, 0.75f, 0.75f, 0.5f};
    for (int i = 0; i < kMarkerCount; ++i) {
        EXPECT_EQ(set.fx[i], fx[i]) << i;
        EXPECT_EQ(set.fy[i], fy[i]) << i;
    }
    POINT p;
    ASSERT_EQ(GetMarkerPosition(window, 2, 400, 300, &p), 1);
    EXPECT_EQ(p.x, 300);
    EXPECT_EQ(p.y, 225);
}

TEST_F(MarkerWindow, PositionsWithoutAWindowAreTheQuarterPointsAndTheCentre) {
    const POINT expected[] = {{2, 1}, {8, 1}, {8, 6}, {2, 6}, {5, 3}};  // 10 x 7, integer division
    for (int i = 0; i < kMarkerCount; ++i) {
        POINT p{-1, -1};
        ASSERT_EQ(GetMarkerPosition(nullptr, i, 10, 7, &p), 1);
        EXPECT_EQ(p.x, expected[i].x) << i;
        EXPECT_EQ(p.y, expected[i].y) << i;
    }
    POINT p;
    EXPECT_EQ(GetMarkerPosition(nullptr, 5, 10, 7, &p), 0);
    EXPECT_EQ(GetMarkerPosition(nullptr, -1, 10, 7, &p), 0);
    // Another kind of window holds no markers.
    EXPECT_EQ(GetMarkerPosition(GetDlgItem(dialog, kPreviewControl), 1, 10, 7, &p), 1);
    EXPECT_EQ(p.x, 8);
    // A marker window answers from its fractions, truncated.
    HWND window = Choose("Ping", kPingMarkers);
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(GetMarkerPosition(window, 1, 10, 7, &p), 1);
    EXPECT_EQ(p.x, 7);  // trunc(10 x 0.75)
    EXPECT_EQ(p.y, 1);
    EXPECT_EQ(GetMarkerPosition(window, 5, 10, 7, &p), 0);
}

TEST_F(MarkerWindow, PaintsFiveInvertedDottedSquaresOverThePreview) {
    HWND window = Choose("Skip Intro");
    ASSERT_NE(window, nullptr);
    GlobalBlock shown(automation::Render(dialog));
    testing_support::SaveBitmapFile(shown.get(), "dialog_test_output", "marker_window.bmp");
    ShowWindow(window, SW_HIDE);
    automation::Pump();
    GlobalBlock hidden(automation::Render(dialog));
    ASSERT_TRUE(shown && hidden);

    RECT dialogBox;
    GetWindowRect(dialog, &dialogBox);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    origin.x -= dialogBox.left;
    origin.y -= dialogBox.top;
    std::vector<RECT> squares;
    for (int i = 0; i < kMarkerCount; ++i) {
        POINT c = Centre(window, i);
        squares.push_back(RECT{c.x - 5, c.y - 5, c.x + 5, c.y + 5});
    }
    GlobalLockGuard<BYTE> a(shown.get()), b(hidden.get());
    SIZE size = ClientSize(window);
    std::vector<int> onSquare(kMarkerCount, 0);
    int stray = 0;
    for (LONG y = 0; y < size.cy; ++y) {
        for (LONG x = 0; x < size.cx; ++x) {
            DWORD before = GetDibPixel(b.get(), origin.x + x, origin.y + y);
            DWORD after = GetDibPixel(a.get(), origin.x + x, origin.y + y);
            if (before == after) continue;
            EXPECT_EQ(after, ~before & 0xFFFFFF) << "not inverted at " << x << "," << y;
            bool found = false;
            for (int i = 0; i < kMarkerCount; ++i) {
                const RECT& s = squares[i];
                bool onEdge = x >= s.left && x < s.right && y >= s.top && y < s.bottom &&
                              (x == s.left || x == s.right - 1 || y == s.top || y == s.bottom - 1);
                if (onEdge) {
                    ++onSquare[i];
                    found = true;
                    break;
                }
            }
            if (!found) ++stray;
        }
    }
    EXPECT_EQ(stray, 0);
    // A dotted outline inverts every other pixel of its 36.
    for (int i = 0; i < kMarkerCount; ++i) EXPECT_EQ(onSquare[i], 18) << i;
}

TEST_F(MarkerWindow, AClickOutsideEveryMarkerBeepsAndChangesNothing) {
    HWND window = Choose("Skip Intro");
    ASSERT_NE(window, nullptr);
    MarkerSet before = Markers(window);
    automation::Reset();
    Drag(window, POINT{1, 1}, POINT{60, 60});
    ASSERT_EQ(automation::GetReport().beeps.size(), 1u);
    EXPECT_EQ(automation::GetReport().beeps[0], static_cast<UINT>(MB_ICONEXCLAMATION));
    MarkerSet after = Markers(window);
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(MarkerWindow, DraggingAMarkerStoresItsNewPlaceAsFractions) {
    HWND window = Choose("Skip Intro");
    ASSERT_NE(window, nullptr);
    SIZE size = ClientSize(window);
    POINT from = Centre(window, 2);
    from.x += 3;  // anywhere on its square picks it up
    ASSERT_TRUE(automation::MouseDown(window, from, dialog));
    EXPECT_EQ(GetCapture(), window);
    ASSERT_TRUE(automation::MouseMove(window, POINT{40, 50}, dialog));
    ASSERT_TRUE(automation::MouseUp(window, POINT{61, 47}, dialog));
    EXPECT_EQ(GetCapture(), nullptr);
    MarkerSet set = Markers(window);
    EXPECT_EQ(set.fx[2], 61.0f / static_cast<float>(size.cx));
    EXPECT_EQ(set.fy[2], 47.0f / static_cast<float>(size.cy));
    EXPECT_EQ(set.fx[0], 0.25f);  // the others stay
    EXPECT_EQ(set.fy[4], 0.5f);
    EXPECT_TRUE(automation::GetReport().beeps.empty());
}

TEST_F(MarkerWindow, OfTwoMarkersAtOnePlaceTheLowerIndexIsPickedUp) {
    HWND window = Choose("Skip Intro");
    ASSERT_NE(window, nullptr);
    // Markers 1 and 3 moved onto marker 4 in the middle.
    ASSERT_EQ(SendMessageA(window, kReadLineMessage, 0,
                           reinterpret_cast<LPARAM>("MARKER470=0.25,0.5,0.75,0.5,0.5,0.25,0.5,0.75,0.5,0.5")),
              1);
    automation::Pump();
    Drag(window, Centre(window, 4), POINT{20, 20});
    SIZE size = ClientSize(window);
    MarkerSet set = Markers(window);
    EXPECT_EQ(set.fx[1], 20.0f / static_cast<float>(size.cx));
    EXPECT_EQ(set.fy[1], 20.0f / static_cast<float>(size.cy));
    EXPECT_EQ(set.fx[3], 0.5f);
    EXPECT_EQ(set.fx[4], 0.5f);
}

TEST_F(MarkerWindow, AMarkerDroppedAtTheEdgeStaysFivePixelsInside) {
    HWND window = Choose("Skip Intro");
    ASSERT_NE(window, nullptr);
    SIZE size = ClientSize(window);
    Drag(window, Centre(window, 0), POINT{-30, -2});
    Drag(window, Centre(window, 2), POINT{size.cx + 40, size.cy});
    MarkerSet set = Markers(window);
    EXPECT_EQ(set.fx[0], 5.0f / static_cast<float>(size.cx));
    EXPECT_EQ(set.fy[0], 5.0f / static_cast<float>(size.cy));
    EXPECT_EQ(set.fx[2], static_cast<float>(size.cx - 5) / static_cast<float>(size.cx));
    EXPECT_EQ(set.fy[2], static_cast<float>(size.cy - 5) / static_cast<float>(size.cy));
    // Its square lies wholly inside the window.
    POINT c = Centre(window, 2);
    EXPECT_LE(c.x + 5, size.cx);
    EXPECT_LE(c.y + 5, size.cy);
}

TEST_F(MarkerWindow, ADragWhoseCaptureIsTakenAwayLeavesTheMarker) {
    HWND window = Choose("Skip Intro");
    ASSERT_NE(window, nullptr);
    MarkerSet before = Markers(window);
    ASSERT_TRUE(automation::MouseDown(window, Centre(window, 0), dialog));
    ASSERT_EQ(GetCapture(), window);
    ReleaseCapture();
    automation::Pump();
    ASSERT_TRUE(automation::MouseUp(window, POINT{30, 30}, dialog));
    MarkerSet after = Markers(window);
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
}

TEST_F(MarkerWindow, PositionsGoToTheMarkerFileAndComeBack) {
    HWND window = Choose("Skip Intro");
    ASSERT_NE(window, nullptr);
    SIZE size = ClientSize(window);
    Drag(window, Centre(window, 3), POINT{33, 21});
    MarkerSet dragged = Markers(window);
    Choose("Snow");
    EXPECT_EQ(FindMarkerWindow(dialog, kSkipIntroMarkers), nullptr);

    const std::string path = MarkerFilePath(kSkipIntroMarkers);
    EXPECT_NE(path.find("Vellumark/Lumafex/MARKER00470.mkr"), std::string::npos) << path;
    char x3[32], y3[32];
    std::snprintf(x3, sizeof x3, "%f", static_cast<double>(33.0f / static_cast<float>(size.cx)));
    std::snprintf(y3, sizeof y3, "%f", static_cast<double>(21.0f / static_cast<float>(size.cy)));
    EXPECT_EQ(ReadFile(path), std::string("[MARKERS]\r\n"
                                          "MARKERX00 = 0.250000\r\nMARKERY00 = 0.250000\r\n"
                                          "MARKERX01 = 0.750000\r\nMARKERY01 = 0.250000\r\n"
                                          "MARKERX02 = 0.750000\r\nMARKERY02 = 0.750000\r\n"
                                          "MARKERX03 = ") +
                                  x3 + "\r\nMARKERY03 = " + y3 +
                                  "\r\n"
                                  "MARKERX04 = 0.500000\r\nMARKERY04 = 0.500000\r\n");

    window = Choose("Skip Intro");
    ASSERT_NE(window, nullptr);
    MarkerSet read = Markers(window);
    for (int i = 0; i < kMarkerCount; ++i) {
        EXPECT_NEAR(read.fx[i], dragged.fx[i], 1e-6) << i;
        EXPECT_NEAR(read.fy[i], dragged.fy[i], 1e-6) << i;
    }
}

TEST_F(MarkerWindow, MarkerFileLinesAreReadByTheirIndexClampedToTheFiveMarkers) {
    WriteFile(MarkerFilePath(kRainMarkers), "[MARKERS]\r\n"
                                            "MARKERX07 = 0.125\r\n"      // index 7 sets marker 4
                                            "MARKERY-2 = 0.375\r\n"      // below 0: marker 0
                                            "  MARKERX01=0.0625\n"       // anywhere in the line, no blanks
                                            "MARKERY02 = 3.5\r\n"        // off the picture: its edge
                                            "MARKERX03 = nan\r\n"        // no number: the default stays
                                            "comment MARKERZ00 = 0.9\r\n");
    HWND window = Choose("Rain", kRainMarkers);
    ASSERT_NE(window, nullptr);
    MarkerSet set = Markers(window);
    EXPECT_EQ(set.fx[4], 0.125f);
    EXPECT_EQ(set.fy[4], 0.5f);
    EXPECT_EQ(set.fy[0], 0.375f);
    EXPECT_EQ(set.fx[0], 0.25f);
    EXPECT_EQ(set.fx[1], 0.0625f);
    EXPECT_EQ(set.fy[2], 1.0f);
    EXPECT_EQ(set.fx[3], 0.25f);
}

TEST_F(MarkerWindow, ShiftHeldOrAMissingFileGiveTheDefaults) {
    WriteFile(MarkerFilePath(kSparkleMarkers), "[MARKERS]\r\nMARKERX00 = 0.9\r\n");
    automation::HoldShift(true);
    HWND window = Choose("Sparkle", kSparkleMarkers);
    automation::HoldShift(false);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(Markers(window).fx[0], 0.25f);

    Choose("Snow");
    std::remove(MarkerFilePath(kSparkleMarkers));
    window = Choose("Sparkle", kSparkleMarkers);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(Markers(window).fx[0], 0.25f);
}

TEST_F(MarkerWindow, PositionsTravelInSettingsDocuments) {
    HWND window = Choose("Skip Intro");
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(SendMessageA(window, kReadLineMessage, 0,
                           reinterpret_cast<LPARAM>("MARKER470=0.1,0.2,0.3,0.4,0.5,0.6,0.7,0.8,0.9,1")),
              1);
    const std::string path = (folder / "markers.lfx").string();
    ASSERT_EQ(SaveDocument(dialog, path.c_str()), 1);
    std::string text = ReadFile(path);
    EXPECT_NE(text.find("\r\nMARKER470=0.10000,0.20000,0.30000,0.40000,0.50000,0.60000,0.70000,0.80000,0.90000,"
                        "1.00000\r\n"),
              std::string::npos);

    Drag(window, Centre(window, 0), POINT{50, 50});
    ASSERT_EQ(OpenDocument(dialog, path.c_str()), 1);
    automation::Pump();
    // The same window, shown again with the document's places.
    EXPECT_EQ(FindMarkerWindow(dialog, kSkipIntroMarkers), window);
    EXPECT_TRUE(IsWindowVisible(window));
    MarkerSet set = Markers(window);
    EXPECT_FLOAT_EQ(set.fx[0], 0.1f);
    EXPECT_FLOAT_EQ(set.fy[4], 1.0f);
}

TEST_F(MarkerWindow, DocumentLinesAreMatchedByTagWithoutCase) {
    HWND window = Choose("Skip Intro");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(SendMessageA(window, kReadLineMessage, 0, reinterpret_cast<LPARAM>("marker470 = =0.5,0.25")), 1);
    MarkerSet set = Markers(window);
    EXPECT_EQ(set.fx[0], 0.5f);
    EXPECT_EQ(set.fx[1], 0.25f);
    EXPECT_EQ(set.fx[2], 0.75f);  // numbers the line lacks keep their value
    EXPECT_EQ(SendMessageA(window, kReadLineMessage, 0, reinterpret_cast<LPARAM>("CHKBOX470=1")), 0);
    EXPECT_EQ(SendMessageA(window, kReadLineMessage, 0, reinterpret_cast<LPARAM>("MARKER470")), 0);
    EXPECT_EQ(SendMessageA(window, kReadLineMessage, 0, reinterpret_cast<LPARAM>("MARKER470=inf,-4")), 1);
    set = Markers(window);
    EXPECT_EQ(set.fx[0], 0.5f);
    EXPECT_EQ(set.fx[1], 0.0f);
}

TEST_F(MarkerWindow, FractionsSurviveANewPicture) {
    HWND window = Choose("Ping", kPingMarkers);
    ASSERT_NE(window, nullptr);
    Drag(window, Centre(window, 1), POINT{70, 30});
    MarkerSet before = Markers(window);

    // A small picture chosen with Select... is shown at full size, centred;
    // the window follows it.
    const std::string path = "/pictures/120x80.bmp";
    host->pictures[path] = CreatePackedDib(120, 80, nullptr, 24);
    host->chosenFile = path;
    ASSERT_TRUE(automation::Click(GetDlgItem(dialog, 51)));
    automation::Pump();
    RECT area = InnerPreviewArea();
    RECT placed = WindowInDialog(window);
    EXPECT_EQ(placed.right - placed.left, 120);
    EXPECT_EQ(placed.bottom - placed.top, 80);
    EXPECT_EQ(placed.left, area.left + (area.right - area.left - 120) / 2);
    EXPECT_EQ(placed.top, area.top + (area.bottom - area.top - 80) / 2);
    MarkerSet after = Markers(window);
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
    POINT p;
    GetMarkerPosition(window, 1, 120, 80, &p);
    EXPECT_EQ(p.x, static_cast<LONG>(120.0f * before.fx[1]));
    EXPECT_EQ(p.y, static_cast<LONG>(80.0f * before.fy[1]));
}

TEST_F(MarkerWindow, EachMarkerEffectOwnsItsWindowWhileItsPageIsShown) {
    for (const MarkerEffect& effect : kMarkerEffects) {
        HWND window = Choose(effect.name, effect.id);
        ASSERT_NE(window, nullptr) << effect.name;
        EXPECT_EQ(CurrentMarkerWindow(dialog), window);
        for (const MarkerEffect& other : kMarkerEffects) {
            if (other.id == effect.id) continue;
            EXPECT_EQ(FindMarkerWindow(dialog, other.id), nullptr) << other.name;
        }
        const EffectRecord& record = EffectTable[EffectIndex(effect.name)];
        EXPECT_EQ(record.PageEvent(dialog, kPageRefresh), 1);
        EXPECT_EQ(record.PageEvent(dialog, 4), 0);
    }
    Choose("Snow");
    for (const MarkerEffect& effect : kMarkerEffects) {
        EXPECT_EQ(FindMarkerWindow(dialog, effect.id), nullptr);
        // Each left its places in its file when it went.
        EXPECT_EQ(ReadFile(MarkerFilePath(effect.id)).rfind("[MARKERS]\r\n", 0), 0u) << effect.name;
    }
    EXPECT_EQ(CurrentMarkerWindow(dialog), nullptr);
}

TEST_F(MarkerWindow, ClosingTheDialogSavesTheShownEffectsMarkers) {
    HWND window = Choose("Sparkle", kSparkleMarkers);
    ASSERT_NE(window, nullptr);
    Drag(window, Centre(window, 4), POINT{12, 12});
    std::remove(MarkerFilePath(kSparkleMarkers));
    CloseDialog();
    EXPECT_NE(ReadFile(MarkerFilePath(kSparkleMarkers)).find("MARKERX04 = "), std::string::npos);
}

TEST_F(MarkerWindow, CreationFailsCleanlyWhenMemoryRunsOut) {
    // Hidden, the dialog paints no preview, whose rendering would only
    // lengthen the walk with allocations that are not the window's.
    ShowWindow(dialog, SW_HIDE);
    automation::Pump();
    const std::size_t windows = luma::LiveWindows();
    int walked = testing_support::WalkAllocationFailures(
        [&] {
            HWND window = CreateMarkerWindow(dialog, kSkipIntroMarkers);
            automation::Pump();
            EXPECT_EQ(luma::LiveWindows(), windows + (window ? 1 : 0));
            if (!window) return false;
            DestroyWindow(window);
            return true;
        },
        false);
    EXPECT_GT(walked, 1);
    EXPECT_EQ(luma::LiveWindows(), windows);
}

}  // namespace
