#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "controls/direction_pad.h"
#include "dialog/main_dialog.h"
#include "effects/source_image.h"
#include "image/packed_dib.h"
#include "luma/automation.h"
#include "settings/bound_controls.h"
#include "settings/documents.h"
#include "settings/settings.h"
#include "tests/support/dialog_fixture.h"
#include "tests/support/pictures.h"

namespace {

namespace automation = luma::automation;
using testing_support::AnswerMessage;
using testing_support::TextOf;

// What a bound control shows and what its setting holds.
struct ControlState {
    std::string shown;
    std::string setting;
    bool operator==(const ControlState&) const = default;
};

bool IsPad(HWND window) { return DirectionPadValue(window) >= 0; }

ControlState StateOf(HWND control) {
    ControlState state;
    void* setting = reinterpret_cast<void*>(GetWindowLongPtrA(control, GWLP_USERDATA));
    switch (BoundKindOf(control)) {
    case BoundKind::Check:
        state.shown = std::to_string(SendMessageA(control, BM_GETCHECK, 0, 0));
        state.setting = std::to_string(*static_cast<DWORD*>(setting));
        break;
    case BoundKind::Combo:
        state.shown = std::to_string(SendMessageA(control, CB_GETCURSEL, 0, 0));
        state.setting = std::to_string(*static_cast<DWORD*>(setting));
        break;
    case BoundKind::Text:
    case BoundKind::SignedSpin:
        state.shown = TextOf(control);
        state.setting = static_cast<const char*>(setting);
        break;
    case BoundKind::Colour:
    case BoundKind::Spin:
        state.shown = TextOf(control);
        state.setting = std::to_string(*static_cast<DWORD*>(setting));
        break;
    case BoundKind::None:
        state.shown = TextOf(control);
        state.setting = std::to_string(DirectionPadValue(control));
        break;
    }
    return state;
}

class Documents : public testing_support::MainDialogTest {
protected:
    std::string DocumentPath(const char* name = "test.lfx") const { return (folder / name).string(); }

    std::vector<HWND> BoundControls() const {
        std::vector<HWND> controls;
        for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            if (BoundKindOf(child) != BoundKind::None || IsPad(child)) controls.push_back(child);
        return controls;
    }

    std::map<int, ControlState> States() const {
        std::map<int, ControlState> states;
        for (HWND control : BoundControls()) states[GetDlgCtrlID(control)] = StateOf(control);
        return states;
    }

    // Gives every bound control a value of its own, chosen by variant, as a user would.
    void ChangeEverything(int variant) {
        for (HWND control : BoundControls()) {
            const int id = GetDlgCtrlID(control);
            const int pick = id * 7 + variant * 3;
            switch (BoundKindOf(control)) {
            case BoundKind::Check:
                SendMessageA(control, BM_SETCHECK, (pick / 3) % 2 ? BST_CHECKED : BST_UNCHECKED, 0);
                break;
            case BoundKind::Combo: {
                LRESULT count = SendMessageA(control, CB_GETCOUNT, 0, 0);
                SendMessageA(control, CB_SETCURSEL, pick % count, 0);
                break;
            }
            case BoundKind::Colour:
                SetWindowTextA(control, std::to_string((pick * 2654435761u) & 0xFFFFFF).c_str());
                break;
            case BoundKind::Spin:
            case BoundKind::SignedSpin: {
                int low = 0, high = 0;
                SendMessageA(GetDlgItem(dialog, id + 10000), UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low),
                             reinterpret_cast<LPARAM>(&high));
                SetWindowTextA(control, std::to_string(low + pick % (high - low + 1)).c_str());
                break;
            }
            case BoundKind::Text:
                SetWindowTextA(control, variant == 1 ? picturePath.c_str() : "");
                break;
            case BoundKind::None: {
                bool fourWay = id == 832;
                POINT cell = fourWay ? (variant == 1 ? POINT{60, 30} : POINT{30, 5})
                                     : (variant == 1 ? POINT{30, 5} : POINT{5, 5});
                SendMessageA(control, WM_LBUTTONDOWN, 0, MAKELPARAM(cell.x, cell.y));
                SendMessageA(control, WM_LBUTTONUP, 0, MAKELPARAM(cell.x, cell.y));
                break;
            }
            }
            UpdateBoundSetting(control);
        }
    }

    void WriteDocument(const std::string& body, const char* name = "test.lfx") const {
        std::ofstream out(DocumentPath(name), std::ios::binary);
        out << ";This is a document created by Lumafex Plugin by Vellumark - do not edit.\r\n" << body;
    }

    std::string picturePath = "/pictures/kept.bmp";
};

TEST_F(Documents, EveryBoundControlOfEveryPageRoundTrips) {
    OpenDialog(kHundredthsFlag | kTrueColourFlag);
    std::mt19937 random(5);
    host->pictures[picturePath] = testing_support::RandomPackedDib(random, 40, 30, 24);
    ASSERT_GT(BoundControls().size(), 300u);

    ChangeEverything(1);
    auto saved = States();
    ASSERT_EQ(SaveDocument(dialog, DocumentPath().c_str()), 1);

    ChangeEverything(2);
    ASSERT_NE(States(), saved);
    EXPECT_EQ(OpenDocument(dialog, DocumentPath().c_str()), 1);
    auto opened = States();
    for (const auto& [id, state] : saved) {
        EXPECT_EQ(opened[id].shown, state.shown) << "control " << id;
        EXPECT_EQ(opened[id].setting, state.setting) << "setting of control " << id;
    }
    // The document's picture was loaded.
    EXPECT_TRUE(HasSourceImage());
}

TEST_F(Documents, SavedFileHasItsMarksAndOneLinePerBoundControl) {
    OpenDialog(kHundredthsFlag | kTrueColourFlag);
    ASSERT_EQ(SaveDocument(dialog, DocumentPath().c_str()), 1);
    std::ifstream in(DocumentPath(), std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    std::string text = all.str();
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size());
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], ";This is a document created by Lumafex Plugin by Vellumark - do not edit.");
    EXPECT_EQ(lines[1], ";Start of document");
    EXPECT_EQ(lines.back(), ";End of document");
    EXPECT_EQ(lines.size(), BoundControls().size() + 3);
    auto has = [&](const std::string& line) { return std::find(lines.begin(), lines.end(), line) != lines.end(); };
    EXPECT_TRUE(has("CHKBOX10=1"));
    EXPECT_TRUE(has("CHKBOX14=1"));
    EXPECT_TRUE(has("CMBBOX13=6"));
    EXPECT_TRUE(has("CMBBOX50=15"));
    EXPECT_TRUE(has("TXTFLD41="));
    EXPECT_TRUE(has("SPNBTN108=32"));  // the stored 36 reads as the page maximum
    EXPECT_TRUE(has("CLRBTN112=15393755"));
    EXPECT_TRUE(has("SPNSGN826=30"));
    EXPECT_TRUE(has("SCRL4D832=1"));
    EXPECT_TRUE(has("SCRL2D309=1"));
    EXPECT_TRUE(has("CMBBOX450=6"));
    EXPECT_TRUE(has("SPNBTN126=6"));
}

TEST_F(Documents, AFirstLineWithoutTheMarksIsRefusedAsDamaged) {
    OpenDialog();
    {
        std::ofstream out(DocumentPath(), std::ios::binary);
        out << ";This is a document created by Someone Else - do not edit.\r\nSPNBTN108=5\r\n";
    }
    auto before = States();
    int result = -1;
    EXPECT_EQ(AnswerMessage([&] { result = OpenDocument(dialog, DocumentPath().c_str()); }),
              "This file has been damaged.");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(States(), before);
}

TEST_F(Documents, AnEmptyFilePassesAndChangesNothing) {
    OpenDialog();
    { std::ofstream out(DocumentPath(), std::ios::binary); }
    auto before = States();
    EXPECT_EQ(AnswerMessage([&] { EXPECT_EQ(OpenDocument(dialog, DocumentPath().c_str()), 1); }), "");
    EXPECT_EQ(States(), before);
}

TEST_F(Documents, FilesThatCannotBeOpenedOrCreatedAreReported) {
    OpenDialog();
    EXPECT_EQ(AnswerMessage([&] { EXPECT_EQ(OpenDocument(dialog, DocumentPath("absent.lfx").c_str()), 0); }),
              "There has been an error opening the requested file.");
    std::string nowhere = (folder / "no" / "such" / "folder.lfx").string();
    EXPECT_EQ(AnswerMessage([&] { EXPECT_EQ(SaveDocument(dialog, nowhere.c_str()), 0); }),
              "There has been an error creating the requested file.");
}

TEST_F(Documents, SpinValuesBeyondTheRangeAreShownAsWrittenButClampedInTheSetting) {
    OpenDialog();
    WriteDocument("SPNBTN108=500\r\nSPNBTN102=1\r\nSPNSGN826=-90\r\n");
    ASSERT_EQ(OpenDocument(dialog, DocumentPath().c_str()), 1);
    EXPECT_EQ(TextOf(GetDlgItem(dialog, 108)), "500");
    EXPECT_EQ(Style000Density, 32u);
    EXPECT_EQ(TextOf(GetDlgItem(dialog, 102)), "1");
    EXPECT_EQ(Style000Frames, 2u);
    EXPECT_EQ(TextOf(GetDlgItem(dialog, 826)), "-90");
    EXPECT_STREQ(Style019Angle, "-45");
}

TEST_F(Documents, UnknownIdsWrongKindsAndMalformedLinesAreIgnored) {
    OpenDialog();
    auto before = States();
    WriteDocument(
        "SPNBTN9999=5\r\n"      // no such control
        "CHKBOX0=1\r\n"         // no id
        "CHKBOX108=1\r\n"       // a spin field is no check box
        "SPNBTN122=9\r\n"       // a check box is no spin field
        "XXXXXX110=5\r\n"       // unknown tag
        "SPNBTN110\r\n"         // no value
        "short\r\n"
        "\r\n"
        ";SPNBTN110=200\r\n");  // a comment
    ASSERT_EQ(OpenDocument(dialog, DocumentPath().c_str()), 1);
    EXPECT_EQ(States(), before);
}

TEST_F(Documents, LinesAreMatchedByIdWhateverTheirOrderOrCase) {
    OpenDialog();
    WriteDocument("chkbox122=0\nCLRBTN112 == 255\nSPNBTN110=  2000\r\n");
    ASSERT_EQ(OpenDocument(dialog, DocumentPath().c_str()), 1);
    EXPECT_EQ(Style000FillEnable2, 0u);
    EXPECT_EQ(Style000FillColor1, 255u);
    EXPECT_EQ(Style000Seed, 2000u);
}

TEST_F(Documents, ValuesAboveTheSignedRangeSurviveSavingAndOpening) {
    OpenDialog();
    WriteDocument("CLRBTN112=-1\r\nCLRBTN114=4294967295\r\nCLRBTN116=3000000000\r\nCLRBTN118=99999999999\r\n"
                  "SCRL4D832=-1\r\n");
    ASSERT_EQ(OpenDocument(dialog, DocumentPath().c_str()), 1);
    EXPECT_EQ(Style000FillColor1, 0xFFFFFFFFu);
    EXPECT_EQ(Style000FillColor2, 0xFFFFFFFFu);
    EXPECT_EQ(Style000FillColor3, 3000000000u);
    EXPECT_EQ(Style000FillColor4, 2147483647u);
    EXPECT_EQ(Style019Direction, 0xFFFFFFFFu);
    auto opened = States();

    ASSERT_EQ(SaveDocument(dialog, DocumentPath("again.lfx").c_str()), 1);
    ChangeEverything(2);
    ASSERT_EQ(OpenDocument(dialog, DocumentPath("again.lfx").c_str()), 1);
    for (int id : {112, 114, 116, 118, 832}) EXPECT_EQ(States()[id], opened[id]) << "control " << id;
}

TEST_F(Documents, TheSavedEffectIsSelectedAgain) {
    OpenDialog();
    HWND list = GetDlgItem(dialog, kEffectList);
    SendMessageA(list, CB_SETCURSEL, 3, 0);
    UpdateBoundSetting(list);
    ASSERT_EQ(SaveDocument(dialog, DocumentPath().c_str()), 1);
    SendMessageA(list, CB_SETCURSEL, 12, 0);
    UpdateBoundSetting(list);
    ASSERT_EQ(OpenDocument(dialog, DocumentPath().c_str()), 1);
    EXPECT_EQ(SendMessageA(list, CB_GETCURSEL, 0, 0), 3);
    EXPECT_EQ(MainEffect, 3u);
    // Confetti's page is the one shown.
    EXPECT_TRUE(GetWindowLongPtrA(GetDlgItem(dialog, 416), GWL_STYLE) & WS_VISIBLE);
    EXPECT_FALSE(GetWindowLongPtrA(GetDlgItem(dialog, 108), GWL_STYLE) & WS_VISIBLE);
}

TEST_F(Documents, AMissingPictureIsReportedAfterEveryValueIsRestoredAndTheOldOneKept) {
    OpenDialog();
    std::mt19937 random(9);
    HGLOBAL old = testing_support::RandomPackedDib(random, 20, 10, 24);
    auto oldBytes = testing_support::BlockBytes(old);
    SetSourceImage(old);
    WriteDocument("SPNBTN110=777\r\nTXTFLD41=/nowhere/missing.png\r\nSPNBTN108=7\r\n");
    DWORD densityAtMessage = 0;
    automation::CurrentScript().Do("answer", [&] {
        densityAtMessage = Style000Density;
        HWND box = automation::ActiveWindow();
        EXPECT_EQ(TextOf(GetDlgItem(box, 101)), "There has been error loading the selected image file");
        return automation::Click(IDOK, box);
    });
    EXPECT_EQ(OpenDocument(dialog, DocumentPath().c_str()), 1);
    EXPECT_EQ(densityAtMessage, 7u);
    EXPECT_STREQ(FileNamePath, "/nowhere/missing.png");
    HGLOBAL copy = GetSourceImageCopy();
    EXPECT_EQ(testing_support::BlockBytes(copy), oldBytes);
    GlobalFree(copy);
    ASSERT_FALSE(host->requests.empty());
    EXPECT_EQ(host->requests.back().code, static_cast<std::uint32_t>(kRequestDecodeImage));
    EXPECT_EQ(host->requests.back().text, "/nowhere/missing.png");
}

}  // namespace
