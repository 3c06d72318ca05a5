#include <gtest/gtest.h>
#include <windows.h>

#include "effects/elements.h"
#include "tests/support/dialog_fixture.h"

namespace {

class ColorSetFromPage : public testing_support::MainDialogTest {
protected:
    void SetUp() override {
        MainDialogTest::SetUp();
        OpenDialog();
    }
    // Snow's colour buttons and Enable boxes.
    const ColorSetControls snow{{112, 114, 116, 118, 120}, {122, 123, 124, 125}};
};

TEST_F(ColorSetFromPage, ReadsTheButtonsColoursAndOnlyCheckedEnableBoxes) {
    const COLORREF colours[5] = {0x0000FF, 0x00FF00, 0xFF0000, 0x123456, 0xABCDEF};
    for (int i = 0; i < 5; ++i) SetDlgItemTextA(dialog, snow.colour[i], std::to_string(colours[i]).c_str());
    CheckDlgButton(dialog, 122, BST_CHECKED);
    CheckDlgButton(dialog, 123, BST_UNCHECKED);
    CheckDlgButton(dialog, 124, BST_UNCHECKED);
    CheckDlgButton(dialog, 125, BST_CHECKED);
    ColorSet set = ReadColorSet(dialog, snow);
    ASSERT_EQ(set.count, 3);
    EXPECT_EQ(set.colours[0], colours[0]);
    EXPECT_EQ(set.colours[1], colours[1]);
    EXPECT_EQ(set.colours[2], colours[4]);

    for (int id : snow.enable) CheckDlgButton(dialog, id, BST_UNCHECKED);
    set = ReadColorSet(dialog, snow);
    ASSERT_EQ(set.count, 1);
    EXPECT_EQ(set.colours[0], colours[0]);
}

}  // namespace
