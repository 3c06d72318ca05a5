// The main dialog operated as a user would: the preview and its picture,
// effect switching, the picture through the host, colour buttons, the
// preview timer, settings documents and their file dialogs, Shift.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <vector>
#include <sstream>
#include <string>

#include "colour/fixed_palette.h"
#include "dialog/main_dialog.h"
#include "effects/effect_table.h"
#include "effects/source_image.h"
#include "image/packed_dib.h"
#include "luma/automation.h"
#include "luma/crt.h"
#include "luma/driver.h"
#include "luma/testing.h"
#include "plugin/folders.h"
#include "plugin/guards.h"
#include "plugin/message_dialog.h"
#include "settings/settings.h"
#include "tests/support/dialog_fixture.h"
#include "tests/support/pictures.h"

namespace {

namespace automation = luma::automation;
using testing_support::AnswerMessage;
using testing_support::TextOf;

constexpr int kSnowDensity = 108;
constexpr int kSnowColour1 = 112;

class MainDialog : public testing_support::MainDialogTest {
protected:
    std::filesystem::path ConfigPath() const { return folder / "config" / "Vellumark" / "lumaplug.ini"; }
    void WriteConfig(const std::string& text) const {
        std::ofstream out(ConfigPath(), std::ios::binary);
        out << text;
    }

    // The dialog opened and shown, as the user sees it.
    void Show(std::uint8_t flags = kHundredthsFlag) {
        OpenDialog(flags);
        ShowWindow(dialog, SW_SHOW);
        automation::Pump();
    }

    // A picture the host decodes for path.
    void OfferPicture(const std::string& path, LONG width, LONG height) {
        std::mt19937 random(static_cast<unsigned>(width * 7 + height));
        host->pictures[path] = testing_support::RandomPackedDib(random, width, height, 24);
    }

    // The preview's inner area in its control's coordinates.
    RECT InnerArea() const {
        RECT area;
        GetClientRect(GetDlgItem(dialog, kPreviewArea), &area);
        InflateRect(&area, -4, -4);
        return area;
    }

    // The preview control as the screen shows it.
    GlobalBlock PreviewPixels() const { return GlobalBlock(automation::Render(GetDlgItem(dialog, kPreviewArea))); }

    static std::string FileText(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }
};

// Whether the region of shot at (left, top) holds exactly the picture.
bool ShowsPicture(HGLOBAL shot, LONG left, LONG top, HGLOBAL picture) {
    GlobalLockGuard<BYTE> screen(shot), expected(picture);
    DibLayout p;
    DibLayout::From(expected.get(), p);
    for (LONG y = 0; y < p.height; ++y)
        for (LONG x = 0; x < p.width; ++x)
            if (GetDibPixel(screen.get(), left + x, top + y) != GetDibPixel(expected.get(), x, y)) return false;
    return true;
}

GlobalBlock SnowPreview(HWND dialog) {
    BuildContext context{};
    context.page = dialog;
    EffectTable[kDefaultEffect].Preview(&context);
    return GlobalBlock(context.previewImage);
}

TEST_F(MainDialog, ASmallPictureIsShownWholeInTheMiddle) {
    Show();
    OfferPicture("/pictures/small.png", 60, 40);
    host->chosenFile = "/pictures/small.png";
    ASSERT_TRUE(automation::Click("Select...", dialog));
    RECT shown;
    ASSERT_TRUE(LastPreviewPictureRect(&shown));
    const RECT area = InnerArea();
    EXPECT_EQ(shown.right - shown.left, 60);
    EXPECT_EQ(shown.bottom - shown.top, 40);
    EXPECT_EQ(shown.left, area.left + (area.right - area.left - 60) / 2);
    EXPECT_EQ(shown.top, area.top + (area.bottom - area.top - 40) / 2);
    EXPECT_EQ(TextOf(GetDlgItem(dialog, kPictureSizeField)), "60 x 40 pixels");
    GlobalBlock shot = PreviewPixels();
    GlobalBlock preview = SnowPreview(dialog);
    EXPECT_TRUE(ShowsPicture(shot.get(), shown.left, shown.top, preview.get()));
    // The rest of the area is the button face, the control's edge the shadow.
    GlobalLockGuard<BYTE> pixels(shot.get());
    EXPECT_EQ(GetDibPixel(pixels.get(), area.left, area.top), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(GetDibPixel(pixels.get(), 0, 0), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(std::string(FileNamePath), "/pictures/small.png");
    EXPECT_EQ(TextOf(GetDlgItem(dialog, kPicturePathField)), "/pictures/small.png");
}

TEST_F(MainDialog, ALargePictureIsShrunkByOnePercentage) {
    Show();
    OfferPicture("/pictures/wide.png", 1000, 500);
    host->chosenFile = "/pictures/wide.png";
    ASSERT_TRUE(automation::Click("Select...", dialog));
    const RECT area = InnerArea();
    const LONG areaWidth = area.right - area.left, areaHeight = area.bottom - area.top;
    const int percent = std::min(100 * areaWidth / 1000, 100 * areaHeight / 500);
    RECT shown;
    ASSERT_TRUE(LastPreviewPictureRect(&shown));
    EXPECT_EQ(shown.right - shown.left, static_cast<LONG>(1000 * percent / 100.0 + 0.5));
    EXPECT_EQ(shown.bottom - shown.top, static_cast<LONG>(500 * percent / 100.0 + 0.5));
    EXPECT_EQ(TextOf(GetDlgItem(dialog, kPictureSizeField)), "1000 x 500 pixels");
    GlobalBlock preview = SnowPreview(dialog);
    GlobalBlock scaled(ScaleDibPercent(preview.get(), percent, percent));
    GlobalBlock shot = PreviewPixels();
    EXPECT_TRUE(ShowsPicture(shot.get(), shown.left, shown.top, scaled.get()));
}

TEST_F(MainDialog, TheKeyLineFramesThePicture) {
    WriteConfig("SampleWindowKeyLine = 1\r\n");
    Show();
    RECT shown;
    ASSERT_TRUE(LastPreviewPictureRect(&shown));
    GlobalBlock shot = PreviewPixels();
    GlobalLockGuard<BYTE> pixels(shot.get());
    EXPECT_EQ(GetDibPixel(pixels.get(), shown.left - 1, shown.top - 1), RGB(192, 192, 192));
    EXPECT_EQ(GetDibPixel(pixels.get(), shown.right, shown.bottom), RGB(192, 192, 192));
}

TEST_F(MainDialog, AnEffectWithoutAPreviewLeavesTheAreaPlain) {
    Show();
    ASSERT_TRUE(automation::SelectItem("Effect", "Stars", dialog));
    EXPECT_EQ(MainEffect, 17u);
    RECT shown;
    EXPECT_FALSE(LastPreviewPictureRect(&shown));
    GlobalBlock shot = PreviewPixels();
    GlobalLockGuard<BYTE> pixels(shot.get());
    const RECT area = InnerArea();
    EXPECT_EQ(GetDibPixel(pixels.get(), (area.left + area.right) / 2, (area.top + area.bottom) / 2),
              GetSysColor(COLOR_3DLIGHT));
}

TEST_F(MainDialog, ClosingTheEffectListOnTheSameEffectChangesNothing) {
    Show();
    SetDlgItemTextA(dialog, kPictureSizeField, "");
    crt::srand(777);
    const int expected = crt::rand();
    crt::srand(777);
    ASSERT_TRUE(automation::SelectItem("Effect", "Snow", dialog));
    EXPECT_EQ(crt::rand(), expected) << "no preview was rendered";
    EXPECT_EQ(TextOf(GetDlgItem(dialog, kPictureSizeField)), "");

    // Another effect shows its page and hides Snow's; coming back renders again.
    ASSERT_TRUE(automation::SelectItem("Effect", "Stars", dialog));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, kSnowDensity)));
    ASSERT_TRUE(automation::SelectItem("Effect", "Snow", dialog));
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog, kSnowDensity)));
    EXPECT_EQ(MainEffect, 15u);
    EXPECT_EQ(TextOf(GetDlgItem(dialog, kPictureSizeField)), "400 x 300 pixels");
}

TEST_F(MainDialog, APictureTheHostCannotDecodeKeepsThePreviousOne) {
    Show();
    OfferPicture("/pictures/good.png", 30, 20);
    host->chosenFile = "/pictures/good.png";
    ASSERT_TRUE(automation::Click("Select...", dialog));
    host->chosenFile = "/pictures/broken.png";
    std::string message = AnswerMessage([&] { automation::Click("Select...", dialog); });
    EXPECT_EQ(message, "There has been error loading the selected image file");
    EXPECT_EQ(std::string(FileNamePath), "/pictures/good.png");
    EXPECT_EQ(TextOf(GetDlgItem(dialog, kPicturePathField)), "/pictures/good.png");
    EXPECT_EQ(TextOf(GetDlgItem(dialog, kPictureSizeField)), "30 x 20 pixels");
    auto asked = host->Of(kRequestChooseImageFile);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0]->a, reinterpret_cast<std::int64_t>(dialog));

    // Nothing chosen: nothing asked to decode.
    host->chosenFile.clear();
    const std::size_t decodes = host->Count(kRequestDecodeImage);
    ASSERT_TRUE(automation::Click("Select...", dialog));
    EXPECT_EQ(host->Count(kRequestDecodeImage), decodes);
}

TEST_F(MainDialog, AColourButtonAsksTheHostsChooser) {
    Show();
    std::vector<BYTE> grid;
    host->onRequest = [&](const testing_support::HostRequest& request) {
        if (request.colour) grid.assign(request.colour->triples, request.colour->triples + 768);
    };
    const DWORD before = Style000FillColor1;
    ASSERT_TRUE(automation::Click(kSnowColour1, dialog));  // cancelled
    EXPECT_EQ(Style000FillColor1, before);
    host->chosenColour = RGB(1, 2, 3);
    ASSERT_TRUE(automation::Click(kSnowColour1, dialog));
    EXPECT_EQ(Style000FillColor1, RGB(1, 2, 3));
    EXPECT_EQ(TextOf(GetDlgItem(dialog, kSnowColour1)), std::to_string(RGB(1, 2, 3)));
    auto asked = host->Of(kRequestChooseColour);
    ASSERT_EQ(asked.size(), 2u);
    const ColourRequest& request = *asked[1]->colour;
    EXPECT_EQ(request.size, 40u);
    EXPECT_EQ(request.version, 4096u);
    EXPECT_EQ(request.tripleBits, 24u);
    EXPECT_EQ(request.colour, before);
    EXPECT_EQ(request.owner, dialog);
    // 256 triples: red and green in eight levels, blue in four.
    ASSERT_EQ(grid.size(), 768u);
    const BYTE* entry = grid.data() + 3 * ((5 * 8 + 2) * 4 + 3);
    EXPECT_EQ(entry[0], 180);
    EXPECT_EQ(entry[1], 72);
    EXPECT_EQ(entry[2], 255);
    EXPECT_EQ(grid[3 * 255], 255);
    EXPECT_EQ(grid[3 * 255 + 1], 255);
    EXPECT_EQ(grid[3 * 255 + 2], 255);
}

TEST_F(MainDialog, EditingAPageFieldRepaintsThePreviewAfterTheDelay) {
    WriteConfig("UpdateDelay = 300\r\n");
    Show();
    SetDlgItemTextA(dialog, kPictureSizeField, "");
    ASSERT_TRUE(automation::Type(kSnowDensity, "5", dialog));
    EXPECT_EQ(Style000Density, 5u);
    automation::Wait(299);
    EXPECT_EQ(TextOf(GetDlgItem(dialog, kPictureSizeField)), "");
    automation::Wait(1);
    EXPECT_EQ(TextOf(GetDlgItem(dialog, kPictureSizeField)), "400 x 300 pixels");
    // The timer fires once.
    SetDlgItemTextA(dialog, kPictureSizeField, "");
    automation::Wait(1000);
    EXPECT_EQ(TextOf(GetDlgItem(dialog, kPictureSizeField)), "");

    // The dialog's own check boxes change no preview.
    ASSERT_TRUE(automation::SetCheck("Dither", true, dialog));
    EXPECT_EQ(MainDither, 1u);
    automation::Wait(1000);
    EXPECT_EQ(TextOf(GetDlgItem(dialog, kPictureSizeField)), "");
}

TEST_F(MainDialog, ThePaletteListClosingSetsThePalette) {
    Show();
    ASSERT_TRUE(automation::SetCheck("Custom palette", false, dialog));
    ASSERT_TRUE(automation::SelectItem(kPaletteList, "216-color safe", dialog));
    EXPECT_EQ(MainPalette, 5u);
    CustomPalette = 1;
}

TEST_F(MainDialog, HoldingShiftResetsTheDocumentAndDeletesTheMarkerFiles) {
    const std::filesystem::path data = folder / "config" / "Vellumark" / "Lumafex";
    const char* names[] = {"MARKER00470.mkr", "MARKER00507.mkr", "MARKER00551.mkr", "MARKER00719.mkr"};
    auto makeMarkers = [&] {
        for (const char* name : names) std::ofstream(data / name) << "[MARKERS]\r\n";
    };
    auto markersLeft = [&] {
        int left = 0;
        for (const char* name : names) left += std::filesystem::exists(data / name);
        return left;
    };
    WriteConfig("FirstRun = 0\r\nCurrentFileName = /somewhere/mine.lfx\r\n");
    makeMarkers();
    OpenDialog();
    EXPECT_EQ(markersLeft(), 4) << "kept without Shift after the first run";
    EXPECT_EQ(std::string(CurrentFileName), "/somewhere/mine.lfx");
    CloseDialog();

    automation::HoldShift(true);
    OpenDialog();
    automation::HoldShift(false);
    EXPECT_EQ(markersLeft(), 0);
    EXPECT_EQ(std::string(CurrentFileName), std::string(DocumentsFolder("untitled.lfx")));
    CloseDialog();

    // The first run starts from defaults too.
    WriteConfig("FirstRun = 1\r\n");
    makeMarkers();
    OpenDialog();
    EXPECT_EQ(markersLeft(), 0);
    EXPECT_EQ(FirstRun, 0u);
}

TEST_F(MainDialog, AHostWithoutTrueColourCannotHaveItTurnedOn) {
    WriteConfig("Truecolour = 1\r\n");
    Show(kHundredthsFlag);
    EXPECT_FALSE(automation::SetCheck("True color", true, dialog));
    EXPECT_EQ(IsDlgButtonChecked(dialog, kTrueColourBox), static_cast<UINT>(BST_UNCHECKED));
    EXPECT_EQ(Truecolour, 0u);
    CloseDialog();
    Show(kHundredthsFlag | kTrueColourFlag);
    EXPECT_EQ(IsDlgButtonChecked(dialog, kTrueColourBox), static_cast<UINT>(BST_UNCHECKED)) << "as written back";
    EXPECT_TRUE(automation::SetCheck("True color", true, dialog));
    EXPECT_EQ(Truecolour, 1u);
}

TEST_F(MainDialog, DocumentsAreSavedAndOpenedThroughTheMenu) {
    Show();
    const std::string path = (folder / "mine.lfx").string();
    // Save of an untitled document asks for a name.
    EXPECT_EQ(std::string(CurrentFileName), "untitled.lfx");
    automation::AnswerNextMenu("Save");
    automation::AnswerNextFileDialog(path);
    ASSERT_TRUE(automation::Click("Open/Save", dialog));
    EXPECT_EQ(std::string(CurrentFileName), path);
    EXPECT_NE(FileText(path).find("SPNBTN108=32\r\n"), std::string::npos);

    // Save of a named one writes it without asking.
    ASSERT_TRUE(automation::Type(kSnowDensity, "7", dialog));
    automation::AnswerNextMenu("Save");
    ASSERT_TRUE(automation::Click("Open/Save", dialog));
    EXPECT_NE(FileText(path).find("SPNBTN108=7\r\n"), std::string::npos);
    EXPECT_TRUE(automation::GetReport().events.empty());

    ASSERT_TRUE(automation::Type(kSnowDensity, "20", dialog));
    automation::AnswerNextMenu("Open");
    automation::AnswerNextFileDialog(path);
    ASSERT_TRUE(automation::Click("Open/Save", dialog));
    EXPECT_EQ(Style000Density, 7u);
    EXPECT_EQ(TextOf(GetDlgItem(dialog, kSnowDensity)), "7");

    const std::string other = (folder / "other.lfx").string();
    automation::AnswerNextMenu("Save as...");
    automation::AnswerNextFileDialog(other);
    ASSERT_TRUE(automation::Click("Open/Save", dialog));
    EXPECT_EQ(std::string(CurrentFileName), other);
    EXPECT_TRUE(std::filesystem::exists(other));
}

// The headless driver, but file dialogs are answered here: the test sees
// where each dialog stood and resizes it as a user would.
class ResizingDriver : public luma::Driver {
public:
    explicit ResizingDriver(luma::Driver& inner) : inner_(inner) {}
    void WindowCreated(HWND w) override { inner_.WindowCreated(w); }
    void WindowDestroyed(HWND w) override { inner_.WindowDestroyed(w); }
    void WindowChanged(HWND w, unsigned c) override { inner_.WindowChanged(w, c); }
    void WindowPainted(HWND w, const RECT& r) override { inner_.WindowPainted(w, r); }
    unsigned long long Now() override { return inner_.Now(); }
    luma::WaitResult WaitForInput(HWND modal, std::optional<unsigned long long> deadline) override {
        return inner_.WaitForInput(modal, deadline);
    }
    UINT PopupMenu(const luma::PopupMenuRequest& request) override { return inner_.PopupMenu(request); }
    void Beep(UINT type) override { inner_.Beep(type); }
    void CursorChanged(HCURSOR cursor) override { inner_.CursorChanged(cursor); }
    SIZE ScreenSize() override { return inner_.ScreenSize(); }

    std::optional<luma::FileDialogAnswer> FileDialog(const luma::FileDialogRequest& request) override {
        RECT box{};
        GetWindowRect(request.frame, &box);
        seen.push_back(box);
        MoveWindow(request.frame, 10, 10, resizeTo.cx, resizeTo.cy, FALSE);
        return std::nullopt;  // cancelled
    }

    std::vector<RECT> seen;
    SIZE resizeTo{700, 500};

private:
    luma::Driver& inner_;
};

TEST_F(MainDialog, FileDialogsComeBackAtTheSizeTheUserLeftThem) {
    Show();
    ResizingDriver driver(luma::CurrentDriver());
    luma::SetDriver(&driver);
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
    SendMessageA(dialog, WM_COMMAND, kOpenDocumentCommand, 0);
    SendMessageA(dialog, WM_COMMAND, kSaveDocumentAsCommand, 0);
    driver.resizeTo = SIZE{100, 90};  // too small to be remembered
    SendMessageA(dialog, WM_COMMAND, kOpenDocumentCommand, 0);
    luma::SetDriver(nullptr);
    ASSERT_EQ(driver.seen.size(), 3u);
    auto centred = [&](const RECT& r) {
        return r.left == (screenWidth - (r.right - r.left)) / 2 && r.top == (screenHeight - (r.bottom - r.top)) / 2;
    };
    EXPECT_TRUE(centred(driver.seen[0]));
    EXPECT_TRUE(centred(driver.seen[1]));
    EXPECT_EQ(driver.seen[1].right - driver.seen[1].left, 700);
    EXPECT_EQ(driver.seen[1].bottom - driver.seen[1].top, 500);
    EXPECT_EQ(driver.seen[2].right - driver.seen[2].left, 700);
    EXPECT_EQ(std::string(CurrentFileName), "untitled.lfx") << "cancelled dialogs change no name";
}

TEST_F(MainDialog, ClosingFreesWhatTheDialogMadeAndWritesTheSettings) {
    WriteConfig("SolidBackground = 0\r\n");
    const std::size_t blocks = luma::LiveGlobalBlocks();
    const std::size_t objects = luma::LiveGdiObjects();
    const std::size_t timers = luma::LiveTimers();
    Show();
    EXPECT_GT(luma::LiveTimers(), timers) << "the emblem's timer runs";
    CloseDialog();
    EXPECT_EQ(luma::LiveGlobalBlocks(), blocks);
    EXPECT_EQ(luma::LiveGdiObjects(), objects);
    EXPECT_EQ(luma::LiveTimers(), timers);
    EXPECT_NE(FileText(ConfigPath()).find("SolidBackground = 0"), std::string::npos);
}

}  // namespace
