// The host window: the picture it opened goes to the plug-in's dialog, Test
// plays in the window while the dialog stays open, the player steps through
// the frames with their delays, and the animation saves in each format.
#include <gtest/gtest.h>

#include <QListWidget>

#include <fstream>
#include <iterator>
#include <string>

#include "dialog/main_dialog.h"
#include "host/gui/dialog_robot.h"
#include "host/gui/main_window.h"
#include "luma/qt_driver.h"
#include "settings/settings.h"
#include "tests/qt/qt_support.h"

namespace {

using qt_testing::QtTest;

std::string Head(const std::filesystem::path& path, std::size_t n) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes(std::istreambuf_iterator<char>(in), {});
    return bytes.substr(0, n);
}

std::string Contents(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class HostWindow : public QtTest {
protected:
    void SetUp() override {
        QtTest::SetUp();
        if (const char* tmp = std::getenv("TMPDIR")) savedTmp_ = tmp;
        setenv("TMPDIR", folder.c_str(), 1);
        qt = std::make_unique<luma::qt::ScopedQtDriver>();
        HostOptions options;
        options.pluginPath = LUMAFEX_PLUGIN_PATH;
        options.outputPath = (folder / "built.gif").string();
        window = std::make_unique<MainWindow>(qt->driver(), options);
        window->services().unattended = true;
    }
    void TearDown() override {
        window.reset();
        qt.reset();
        if (savedTmp_.empty()) unsetenv("TMPDIR");
        else setenv("TMPDIR", savedTmp_.c_str(), 1);
        QtTest::TearDown();
    }
    std::unique_ptr<luma::qt::ScopedQtDriver> qt;
    std::unique_ptr<MainWindow> window;

private:
    std::string savedTmp_;
};

TEST_F(HostWindow, TestPlaysWhileTheDialogStaysOpenAndThePlayerSteps) {
    const std::string picture = std::string(LUMAFEX_SOURCE_DIR) + "/resources/bitmaps/sample_picture.bmp";
    window->SetPicture(QString::fromStdString(picture));
    DialogRobot robot(qt->driver());
    robot.Then(300, "look at the picture handed over", [&] {
        char text[512] = {};
        GetWindowTextA(GetDlgItem(robot.Dialog(), kPicturePathField), text, sizeof text);
        EXPECT_EQ(std::string(text), picture);
        return true;
    });
    robot.Then(UpdateDelay, "press Test", [&] { return robot.Click(kTestButton); });
    robot.Then(1500, "let the test run", [] { return true; });
    robot.Then(400, "watch the test animation", [&] {
        EXPECT_TRUE(robot.Dialog()) << "the dialog closed";
        EXPECT_EQ(window->FrameCount(), 48);
        EXPECT_TRUE(window->Playing());
        return true;
    });
    robot.Then(0, "cancel", [&] { return robot.Click(kCancelButton); });
    robot.Start();
    window->RunPlugin();
    EXPECT_TRUE(robot.Finished());
    EXPECT_TRUE(robot.Failures().empty());

    // Snow's frames come every 6 hundredths of a second.
    ASSERT_EQ(window->FrameCount(), 48);
    EXPECT_EQ(window->FrameList()->count(), 48);
    EXPECT_EQ(window->FrameDelay(0), 60u);
    EXPECT_EQ(window->FrameList()->item(0)->text(), "Frame 1  60 ms");
    window->TogglePlay();
    EXPECT_FALSE(window->Playing());
    window->ShowFrame(47);
    window->Step(1);
    EXPECT_EQ(window->CurrentFrame(), 0);  // round to the start
    window->Step(-1);
    EXPECT_EQ(window->CurrentFrame(), 47);
    window->FrameList()->setCurrentRow(5);
    EXPECT_EQ(window->CurrentFrame(), 5);

    // Saved in each format, whatever the host wrote.
    EXPECT_TRUE(window->SaveTo(QString::fromStdString((folder / "a.gif").string())));
    EXPECT_TRUE(window->SaveTo(QString::fromStdString((folder / "a.png").string())));
    EXPECT_TRUE(window->SaveTo(QString::fromStdString((folder / "a.webp").string())));
    EXPECT_EQ(Head(folder / "a.gif", 6), "GIF89a");
    EXPECT_EQ(Head(folder / "a.png", 8), "\x89PNG\r\n\x1a\n");
    EXPECT_NE(Contents(folder / "a.png").find("acTL"), std::string::npos) << "not animated";
    EXPECT_EQ(Head(folder / "a.webp", 4), "RIFF");
    EXPECT_NE(Contents(folder / "a.webp").find("ANIM"), std::string::npos) << "not animated";
    // A folder that does not exist takes nothing and leaves nothing.
    EXPECT_FALSE(window->SaveTo(QString::fromStdString((folder / "missing" / "a.gif").string())));
    EXPECT_FALSE(std::filesystem::exists(folder / "missing"));
}

TEST_F(HostWindow, NothingToSaveBeforeAnAnimationArrives) {
    EXPECT_EQ(window->FrameCount(), 0);
    EXPECT_FALSE(window->SaveTo(QString::fromStdString((folder / "a.gif").string())));
    EXPECT_FALSE(std::filesystem::exists(folder / "a.gif"));
}

}  // namespace
