// The configuration file around one opening and closing of the main dialog.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "dialog/main_dialog.h"
#include "luma/automation.h"
#include "plugin/folders.h"
#include "settings/settings.h"
#include "tests/support/dialog_fixture.h"

namespace {

namespace automation = luma::automation;

class DialogSettings : public testing_support::MainDialogTest {
protected:
    std::filesystem::path ConfigPath() const { return folder / "config" / "Vellumark" / "lumaplug.ini"; }
    void WriteConfig(const std::string& text) const {
        std::ofstream out(ConfigPath(), std::ios::binary);
        out << text;
    }
    std::string ReadConfig() const {
        std::ifstream in(ConfigPath(), std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }
};

TEST_F(DialogSettings, TheFileIsReadWhenTheDialogOpensAndRewrittenWhenItCloses) {
    WriteConfig("[PlugIn]\r\nMainEffect = 3\r\nStyle008Density = 77\r\nUpdateDelay = 250\r\n");
    OpenDialog();
    EXPECT_EQ(MainEffect, 3u);
    EXPECT_EQ(SendDlgItemMessageA(dialog, kEffectList, CB_GETCURSEL, 0, 0), 3);
    EXPECT_EQ(GetDlgItemInt(dialog, 416, nullptr, FALSE), 77u);  // Confetti density on its page
    EXPECT_EQ(FirstRun, 0u);
    UpdateDelay = 300;
    CloseDialog();
    std::string written = ReadConfig();
    EXPECT_NE(written.find("\r\nMainEffect = 3\r\n"), std::string::npos);
    EXPECT_NE(written.find("\r\nFirstRun = 0\r\n"), std::string::npos);
    EXPECT_NE(written.find("\r\nUpdateDelay = 300\r\n"), std::string::npos);
}

TEST_F(DialogSettings, ShiftHeldMeansDefaultsAndTheyAreWrittenBack) {
    WriteConfig("MainEffect = 3\r\nUpdateDelay = 250\r\n");
    automation::HoldShift(true);
    OpenDialog();
    automation::HoldShift(false);
    EXPECT_EQ(MainEffect, 15u);
    EXPECT_EQ(UpdateDelay, 1000u);
    EXPECT_EQ(std::string(CurrentFileName), std::string(DocumentsFolder("untitled.lfx")));
    EXPECT_EQ(std::string(OpenPath), std::string(DocumentsFolder("")));
    CloseDialog();
    std::string written = ReadConfig();
    EXPECT_NE(written.find("\r\nMainEffect = 15\r\n"), std::string::npos);
    EXPECT_NE(written.find("\r\nUpdateDelay = 1000\r\n"), std::string::npos);
}

TEST_F(DialogSettings, AHostWithoutTrueColourKeepsTrueColourOffWhateverTheFileSays) {
    WriteConfig("Truecolour = 1\r\nMainSupercompress = 1\r\n");
    OpenDialog(0);
    EXPECT_EQ(Truecolour, 0u);
    EXPECT_EQ(IsDlgButtonChecked(dialog, kTrueColourBox), static_cast<UINT>(BST_UNCHECKED));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, kTrueColourBox)));
    // Without hundredths there is no supercompression either.
    EXPECT_EQ(IsDlgButtonChecked(dialog, kSupercompressBox), static_cast<UINT>(BST_UNCHECKED));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, kSupercompressBox)));
}

TEST_F(DialogSettings, AnEffectOutsideTheTableFallsBackToSnow) {
    WriteConfig("MainEffect = 42\r\n");
    OpenDialog();
    EXPECT_EQ(MainEffect, 15u);
    EXPECT_EQ(SendDlgItemMessageA(dialog, kEffectList, CB_GETCURSEL, 0, 0), 15);
}

TEST_F(DialogSettings, ThePaletteListFollowsCustomPalette) {
    OpenDialog();
    automation::Pump();
    HWND palettes = GetDlgItem(dialog, kPaletteList);
    EXPECT_EQ(SendMessageA(palettes, CB_GETCOUNT, 0, 0), 9);
    EXPECT_EQ(SendMessageA(palettes, CB_GETCURSEL, 0, 0), 6);
    EXPECT_FALSE(IsWindowEnabled(palettes));  // Custom palette starts checked
    ShowWindow(dialog, SW_SHOW);
    ASSERT_TRUE(automation::SetCheck(kCustomPaletteBox, false, dialog));
    EXPECT_TRUE(IsWindowEnabled(palettes));
    EXPECT_EQ(CustomPalette, 0u);
    CustomPalette = 1;
}

}  // namespace
