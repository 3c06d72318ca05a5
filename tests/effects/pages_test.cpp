// The twenty pages as the main dialog holds them, walked control by control
// against the parameter tables typed in tests/support/expected_pages.cpp.
#include <gtest/gtest.h>

#include <commctrl.h>
#include <strings.h>

#include <set>
#include <sstream>
#include <string>

#include "controls/direction_pad.h"
#include "dialog/main_dialog.h"
#include "effects/effect_table.h"
#include "effects/pages.h"
#include "luma/automation.h"
#include "settings/bound_controls.h"
#include "settings/settings.h"
#include "tests/support/dialog_fixture.h"
#include "tests/support/expected_pages.h"

namespace {

namespace automation = luma::automation;
using testing_support::Expect;
using testing_support::ExpectedPages;
using testing_support::ExpectedParam;
using testing_support::TextOf;

std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

bool SameText(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

void* KeyAddress(const std::string& key) {
    for (const ConfigKey& entry : KeyTable())
        if (key == entry.name) return entry.address;
    return nullptr;
}

void* UserData(HWND window) { return reinterpret_cast<void*>(GetWindowLongPtrA(window, GWLP_USERDATA)); }

DWORD Style(HWND window) { return static_cast<DWORD>(GetWindowLongPtrA(window, GWL_STYLE)); }

bool ShownFlag(HWND window) { return (Style(window) & WS_VISIBLE) != 0; }

std::string RangeText(int min, int max, int def) {
    return std::to_string(min) + "," + std::to_string(max) + "," + std::to_string(def);
}

std::vector<std::string> Items(const std::string& joined) {
    std::vector<std::string> items;
    std::stringstream stream(joined);
    std::string item;
    while (std::getline(stream, item, ';')) items.push_back(item);
    return items;
}

class Pages : public testing_support::MainDialogTest {
protected:
    // The label standing directly before control, with its text.
    void ExpectLabelBefore(HWND control, int labelId, const std::string& text) {
        HWND label = GetDlgItem(dialog, labelId);
        ASSERT_NE(label, nullptr) << labelId;
        EXPECT_TRUE(SameText(ClassOf(label), "Static"));
        EXPECT_EQ(TextOf(label), text);
        EXPECT_EQ(GetWindow(control, GW_HWNDPREV), label) << "label " << text << " stands before its control";
    }

    void ExpectBinding(HWND control, const ExpectedParam& want) {
        if (want.key.empty()) {
            void* setting = UserData(control);
            ASSERT_NE(setting, nullptr);
            for (const ConfigKey& entry : KeyTable()) EXPECT_NE(setting, entry.address) << "bound to " << entry.name;
        } else {
            EXPECT_EQ(UserData(control), KeyAddress(want.key)) << want.key;
        }
    }

    void CheckParam(const ExpectedParam& want, bool hundredths) {
        if (want.kind == Expect::Hidden) return;  // the key table test covers these
        SCOPED_TRACE(want.label + " (" + std::to_string(want.id) + ")");
        HWND control = GetDlgItem(dialog, want.id);
        ASSERT_NE(control, nullptr);
        switch (want.kind) {
        case Expect::Spin:
        case Expect::Delay:
        case Expect::Signed: {
            EXPECT_TRUE(SameText(ClassOf(control), "Edit"));
            HWND upDown = GetDlgItem(dialog, want.id + 10000);
            ASSERT_NE(upDown, nullptr);
            EXPECT_TRUE(SameText(ClassOf(upDown), UPDOWN_CLASS));
            EXPECT_EQ(GetWindow(control, GW_HWNDNEXT), upDown);
            EXPECT_EQ(reinterpret_cast<HWND>(SendMessageA(upDown, UDM_GETBUDDY, 0, 0)), control);
            int min = want.min, max = want.max, def = want.def;
            if (want.kind == Expect::Delay) {
                min = 1;
                max = hundredths ? 100 : 1000;
                def = hundredths ? 4 : 40;
            }
            EXPECT_EQ(TextOf(upDown), RangeText(min, max, def));
            int low = 0, high = 0;
            SendMessageA(upDown, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low), reinterpret_cast<LPARAM>(&high));
            EXPECT_EQ(low, min);
            EXPECT_EQ(high, max);
            if (want.kind == Expect::Signed) {
                EXPECT_EQ(TextOf(control), want.builtInText);
                EXPECT_EQ(BoundKindOf(control), BoundKind::SignedSpin);
            } else {
                EXPECT_EQ(TextOf(control), std::to_string(want.builtIn));
                EXPECT_EQ(BoundKindOf(control), BoundKind::Spin);
                if (want.kind == Expect::Delay) {
                    EXPECT_TRUE(want.shiftHundredths > 0 && want.shiftMilliseconds > 0);
                }
            }
            EXPECT_TRUE(IsBoundUpDown(upDown));
            ExpectLabelBefore(control, want.id + 1, want.label);
            ExpectBinding(control, want);
            break;
        }
        case Expect::Colour:
            EXPECT_TRUE(SameText(ClassOf(control), "Button"));
            EXPECT_EQ(Style(control) & BS_TYPEMASK, static_cast<DWORD>(BS_OWNERDRAW));
            EXPECT_EQ(TextOf(control), std::to_string(want.builtIn));
            EXPECT_EQ(BoundKindOf(control), BoundKind::Colour);
            ExpectLabelBefore(control, want.id + 1, want.label);
            ExpectBinding(control, want);
            break;
        case Expect::Check:
            EXPECT_TRUE(SameText(ClassOf(control), "Button"));
            EXPECT_EQ(Style(control) & BS_TYPEMASK, static_cast<DWORD>(BS_AUTOCHECKBOX));
            EXPECT_EQ(TextOf(control), want.label);
            EXPECT_EQ(SendMessageA(control, BM_GETCHECK, 0, 0), want.builtIn ? BST_CHECKED : BST_UNCHECKED);
            EXPECT_EQ(BoundKindOf(control), BoundKind::Check);
            ExpectBinding(control, want);
            break;
        case Expect::Combo: {
            EXPECT_TRUE(SameText(ClassOf(control), "ComboBox"));
            EXPECT_EQ(Style(control) & 3, static_cast<DWORD>(CBS_DROPDOWNLIST));
            auto items = Items(want.items);
            ASSERT_EQ(SendMessageA(control, CB_GETCOUNT, 0, 0), static_cast<LRESULT>(items.size()));
            for (std::size_t i = 0; i < items.size(); ++i) {
                char text[300] = {};
                SendMessageA(control, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
                EXPECT_EQ(std::string(text), items[i]);
            }
            EXPECT_EQ(SendMessageA(control, CB_GETCURSEL, 0, 0), static_cast<LRESULT>(want.builtIn));
            EXPECT_EQ(BoundKindOf(control), BoundKind::Combo);
            ExpectLabelBefore(control, want.id + 1, want.label);
            ExpectBinding(control, want);
            break;
        }
        case Expect::Pad: {
            EXPECT_TRUE(SameText(ClassOf(control), "Button"));
            RECT box;
            GetWindowRect(control, &box);
            bool fourWay = want.max == 3;
            EXPECT_EQ(box.right - box.left, fourWay ? 75 : 50);
            EXPECT_EQ(box.bottom - box.top, fourWay ? 75 : 25);
            EXPECT_EQ(TextOf(control), std::to_string(want.builtIn));
            EXPECT_EQ(DirectionPadValue(control), static_cast<int>(want.builtIn));
            ExpectLabelBefore(control, want.id + 1, want.label);
            break;
        }
        case Expect::Hidden:
            break;
        }
    }

    void WalkEveryPage(bool hundredths) {
        for (std::size_t index = 0; index < ExpectedPages().size(); ++index) {
            const auto& page = ExpectedPages()[index];
            SCOPED_TRACE(page.name);
            std::set<int> expectedIds;
            for (const auto& want : page.params) {
                CheckParam(want, hundredths);
                if (want.kind == Expect::Hidden) continue;
                expectedIds.insert(want.id);
                if (want.kind != Expect::Check) expectedIds.insert(want.id + 1);
                if (want.kind == Expect::Spin || want.kind == Expect::Delay || want.kind == Expect::Signed)
                    expectedIds.insert(want.id + 10000);
            }
            // The control list names every control of the page; a page may add labels of its own.
            std::set<int> listed;
            for (const DWORD* id = EffectTable[index].PageControlList; *id; ++id) listed.insert(*id);
            for (int id : expectedIds) EXPECT_TRUE(listed.count(id)) << id;
            for (int id : listed) {
                if (expectedIds.count(id)) continue;
                HWND extra = GetDlgItem(dialog, id);
                ASSERT_NE(extra, nullptr) << id;
                EXPECT_TRUE(SameText(ClassOf(extra), "Static")) << id;
            }
        }
    }
};

TEST_F(Pages, EveryPageMatchesItsParameterTableForAHundredthsHost) {
    OpenDialog(kHundredthsFlag);
    ASSERT_NE(dialog, nullptr);
    WalkEveryPage(true);
}

TEST_F(Pages, EveryPageMatchesItsParameterTableForAMillisecondsHost) {
    OpenDialog(kTrueColourFlag);
    ASSERT_NE(dialog, nullptr);
    WalkEveryPage(false);
}

TEST_F(Pages, EffectListInTableOrderWithTheStoredEffectSelected) {
    MainEffect = 7;
    OpenDialog();
    HWND list = GetDlgItem(dialog, kEffectList);
    ASSERT_EQ(SendMessageA(list, CB_GETCOUNT, 0, 0), 20);
    for (int i = 0; i < 20; ++i) {
        char text[64] = {};
        SendMessageA(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        EXPECT_STREQ(text, ExpectedPages()[i].name);
    }
    EXPECT_EQ(SendMessageA(list, CB_GETCURSEL, 0, 0), 7);
}

TEST_F(Pages, OnlyTheCurrentPageIsShown) {
    OpenDialog();
    auto shownIds = [&] {
        std::set<int> ids;
        for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            if (ShownFlag(child) && GetDlgCtrlID(child) >= 100) ids.insert(GetDlgCtrlID(child));
        return ids;
    };
    auto listOf = [](int effect) {
        std::set<int> ids;
        for (const DWORD* id = EffectTable[effect].PageControlList; *id; ++id) ids.insert(*id);
        return ids;
    };
    EXPECT_EQ(shownIds(), listOf(15));  // Snow at start
    ShowPage(dialog, 3);
    EXPECT_EQ(shownIds(), listOf(3));
    for (int id : {1, 2, 10, 13, 14, 50}) EXPECT_TRUE(ShownFlag(GetDlgItem(dialog, id))) << id;
    ShowPage(dialog, 99);  // no such effect: every page hidden
    EXPECT_TRUE(shownIds().empty());
}

TEST_F(Pages, ShiftHeldShowsTheShiftDelaysWithoutChangingTheSettings) {
    automation::HoldShift(true);
    OpenDialog(kTrueColourFlag);  // delays in milliseconds
    automation::HoldShift(false);
    EXPECT_EQ(TextOf(GetDlgItem(dialog, 126)), "60");    // Snow, unstored delay
    EXPECT_EQ(TextOf(GetDlgItem(dialog, 568)), "10");    // Gravity Delay
    EXPECT_EQ(TextOf(GetDlgItem(dialog, 724)), "2000");  // Sparkle Pause
    EXPECT_EQ(Style000Delay, 6u);
    EXPECT_EQ(Style013Delay, 5u);
    EXPECT_EQ(Style016Pause, 300u);
    EXPECT_EQ(ReadPageInt(dialog, 724), 1000);  // the milliseconds range ends at 1000
}

TEST_F(Pages, ShiftDelaysForAHundredthsHost) {
    automation::HoldShift(true);
    OpenDialog(kHundredthsFlag);
    automation::HoldShift(false);
    EXPECT_EQ(TextOf(GetDlgItem(dialog, 568)), "1");
    EXPECT_EQ(TextOf(GetDlgItem(dialog, 806)), "10");  // Bad Video medium delay
    EXPECT_EQ(ReadPageInt(dialog, 806), 10);
}

TEST_F(Pages, ReadPageIntClampsToTheSpinRange) {
    OpenDialog();
    SetDlgItemTextA(dialog, 108, "99999");  // Snow density, 1..32
    EXPECT_EQ(ReadPageInt(dialog, 108), 32);
    SetDlgItemTextA(dialog, 108, "-5");
    EXPECT_EQ(ReadPageInt(dialog, 108), 1);
    SetDlgItemTextA(dialog, 108, "4294967295");  // far above the maximum, not below the minimum
    EXPECT_EQ(ReadPageInt(dialog, 108), 32);
    SetDlgItemTextA(dialog, 108, "17");
    EXPECT_EQ(ReadPageInt(dialog, 108), 17);
    SetDlgItemTextA(dialog, 826, "-50");  // Wave angle, signed -45..45
    EXPECT_EQ(ReadPageInt(dialog, 826), -45);
    SetDlgItemTextA(dialog, 826, "-12");
    EXPECT_EQ(ReadPageInt(dialog, 826), -12);
    // Without an up-down range the field is clamped to 0..100.
    HWND upDown = GetDlgItem(dialog, 10108);
    SetWindowTextA(upDown, "");
    SetDlgItemTextA(dialog, 108, "150");
    EXPECT_EQ(ReadPageInt(dialog, 108), 100);
    SetWindowTextA(upDown, "50");  // only a minimum: 50..100
    SetDlgItemTextA(dialog, 108, "7");
    EXPECT_EQ(ReadPageInt(dialog, 108), 50);
    EXPECT_EQ(ReadPageInt(dialog, 5), 0);  // no such field
}

TEST(SpinRange, TakesWhatTheTextHoldsAndKeepsTheRest) {
    int min = -32767, max = 32767, def = -32767;
    EXPECT_EQ(ParseSpinRange("2,32760,64", min, max, def), 3);
    EXPECT_EQ(min, 2);
    EXPECT_EQ(max, 32760);
    EXPECT_EQ(def, 64);
    min = -32767, max = 32767, def = -32767;
    EXPECT_EQ(ParseSpinRange("-45,45", min, max, def), 2);  // no default: the position stays unset
    EXPECT_EQ(min, -45);
    EXPECT_EQ(def, -32767);
    EXPECT_EQ(ParseSpinRange("7", min, max, def), 1);  // no maximum: no range is set
    EXPECT_EQ(max, 45);
    EXPECT_EQ(ParseSpinRange("x,1,2", min, max, def), 0);
    EXPECT_EQ(ParseSpinRange("", min, max, def), 0);
}

TEST_F(Pages, EditsReachTheirSettingsWhileTheDialogIsShown) {
    OpenDialog();
    ShowWindow(dialog, SW_SHOW);
    ASSERT_TRUE(automation::Type(108, "12", dialog));
    EXPECT_EQ(Style000Density, 12u);
    ASSERT_TRUE(automation::Type(108, "40", dialog));
    EXPECT_EQ(Style000Density, 32u);  // the setting takes the clamped value
    ShowPage(dialog, 19);
    ASSERT_TRUE(automation::Type(826, "-20", dialog));
    EXPECT_STREQ(Style019Angle, "-20");
    ShowPage(dialog, 15);
    ASSERT_TRUE(automation::SetCheck(122, false, dialog));
    EXPECT_EQ(Style000FillEnable2, 0u);
    ASSERT_TRUE(automation::Type(108, "20", dialog));
    ASSERT_TRUE(automation::Spin(10108, 1, dialog));
    EXPECT_EQ(Style000Density, 21u);
    ASSERT_TRUE(automation::Spin(10108, -3, dialog));
    EXPECT_EQ(Style000Density, 18u);
}

TEST_F(Pages, DirectionPadsPickACellAndKeepItInTheirSetting) {
    OpenDialog();
    HWND pad = GetDlgItem(dialog, 832);  // Wave, four-way
    ASSERT_NE(pad, nullptr);
    SendMessageA(pad, WM_LBUTTONDOWN, 0, MAKELPARAM(30, 60));  // bottom cell
    SendMessageA(pad, WM_LBUTTONUP, 0, MAKELPARAM(30, 60));
    EXPECT_EQ(DirectionPadValue(pad), 3);
    EXPECT_EQ(Style019Direction, 3u);
    EXPECT_EQ(TextOf(pad), "3");
    SendMessageA(pad, WM_LBUTTONDOWN, 0, MAKELPARAM(5, 5));  // a corner: no cell
    SendMessageA(pad, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(DirectionPadValue(pad), 3);
    HWND scroll = GetDlgItem(dialog, 309);  // Hyperspace, two-way
    SendMessageA(scroll, WM_LBUTTONDOWN, 0, MAKELPARAM(3, 3));
    SendMessageA(scroll, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    EXPECT_EQ(Style005Scroll, 0u);
    // A settings line in lower case with blanks round the sign still loads.
    EXPECT_EQ(SendMessageA(pad, kReadLineMessage, 0, reinterpret_cast<LPARAM>("scrl4d832 =  2")), 1);
    EXPECT_EQ(DirectionPadValue(pad), 2);
    EXPECT_EQ(SendMessageA(pad, kReadLineMessage, 0, reinterpret_cast<LPARAM>("SCRL2D832=1")), 0);
    // Destroying the page keeps the last value in the setting.
    Style019Direction = 0;
    CloseDialog();
    EXPECT_EQ(Style019Direction, 2u);
}

TEST(DirectionPadCells, CellsOfBothPads) {
    EXPECT_EQ(DirectionPadCell(4, {30, 5}), 0);
    EXPECT_EQ(DirectionPadCell(4, {60, 30}), 1);
    EXPECT_EQ(DirectionPadCell(4, {10, 30}), 2);
    EXPECT_EQ(DirectionPadCell(4, {30, 74}), 3);
    EXPECT_EQ(DirectionPadCell(4, {74, 74}), -1);
    EXPECT_EQ(DirectionPadCell(4, {37, 37}), -1);  // the middle is no cell
    EXPECT_EQ(DirectionPadCell(2, {24, 24}), 0);
    EXPECT_EQ(DirectionPadCell(2, {25, 0}), 1);
    EXPECT_EQ(DirectionPadCell(2, {50, 10}), -1);
}

}  // namespace
