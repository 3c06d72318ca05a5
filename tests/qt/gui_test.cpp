// The host window: the picture it opened goes to the plug-in's dialog, Test
// plays in the window while the dialog stays open, a build shows its status
// and progress, the player's controls step through the frames with their
// delays, and what Save animation as... writes plays the received frames.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include <string>
#include <vector>

#include "dialog/main_dialog.h"
#include "host/gui/dialog_robot.h"
#include "host/gui/main_window.h"
#include "luma/qt_driver.h"
#include "settings/settings.h"
#include "tests/cli/cli_support.h"
#include "tests/host/host_test_support.h"
#include "tests/qt/qt_support.h"

namespace {

using qt_testing::QtTest;

constexpr int kSnowFrames = 102;

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

    // The player's button with this text.
    QPushButton* PlayerButton(const QString& text) {
        for (QPushButton* button : window->findChildren<QPushButton*>())
            if (button->text() == text) return button;
        return nullptr;
    }
    // The picture the player shows.
    QImage Shown() {
        auto* area = window->findChild<QScrollArea*>();
        auto* view = area ? qobject_cast<QLabel*>(area->widget()) : nullptr;
        return view ? view->pixmap().toImage() : QImage();
    }

    // Builds Snow with this many frames through the dialog's Build button.
    void Build(int frames) {
        DialogRobot robot(qt->driver());
        robot.Then(300, "type the frame count",
                   [&] { return robot.Type(kSnowFrames, QString::number(frames)); });
        robot.Then(UpdateDelay + 300, "press Build", [&] { return robot.Click(kBuildButton); });
        robot.Start();
        window->RunPlugin();
        EXPECT_TRUE(robot.Finished());
        EXPECT_TRUE(robot.Failures().empty()) << robot.Failures().front();
    }

    std::unique_ptr<luma::qt::ScopedQtDriver> qt;
    std::unique_ptr<MainWindow> window;

private:
    std::string savedTmp_;
};

TEST_F(HostWindow, TestPlaysWhileTheDialogStaysOpen) {
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
    robot.Then(0, "watch the test animation", [&] {
        EXPECT_TRUE(qt_testing::WaitUntil([&] { return window->FrameCount() > 0; })) << "nothing arrived";
        EXPECT_TRUE(robot.Dialog()) << "the dialog closed";
        EXPECT_EQ(window->FrameCount(), 48);
        EXPECT_TRUE(window->Playing());
        const int first = window->CurrentFrame();
        EXPECT_TRUE(qt_testing::WaitUntil([&] { return window->CurrentFrame() != first; })) << "the player stands still";
        EXPECT_TRUE(robot.Dialog()) << "the dialog closed";
        return true;
    });
    robot.Then(0, "cancel", [&] { return robot.Click(kCancelButton); });
    robot.Start();
    window->RunPlugin();
    EXPECT_TRUE(robot.Finished());
    EXPECT_TRUE(robot.Failures().empty());
    // Cancelling keeps what Test played.
    EXPECT_EQ(window->FrameCount(), 48);
    EXPECT_EQ(window->FrameDelay(0), 60u);  // Snow's 6 hundredths
}

TEST_F(HostWindow, ABuildShowsItsStatusAndProgressInTheStatusBar) {
    QStatusBar* bar = window->statusBar();
    auto* progress = window->findChild<QProgressBar*>();
    ASSERT_TRUE(progress);
    QStringList texts;
    QObject::connect(bar, &QStatusBar::messageChanged, [&](const QString& text) { texts << text; });
    struct Seen {
        int value, maximum;
        bool visible;
    };
    std::vector<Seen> seen;
    auto shown = window->services().progress;
    window->services().progress = [&, shown](std::int64_t index, std::int64_t count) {
        shown(index, count);
        seen.push_back(Seen{progress->value(), progress->maximum(), progress->isVisibleTo(window.get())});
    };

    Build(6);
    ASSERT_EQ(window->FrameCount(), 6);

    // The plug-in's stages, in order, each while it runs.
    const int building = static_cast<int>(texts.indexOf("Building"));
    const int remapping = static_cast<int>(texts.indexOf("Remapping"));
    EXPECT_GE(building, 0) << texts.join(" | ").toStdString();
    EXPECT_GT(remapping, building) << texts.join(" | ").toStdString();
    EXPECT_EQ(bar->currentMessage(), "Built animation: 6 frames");

    // Frame by frame up to the last, which fills the bar; cleared between stages.
    ASSERT_FALSE(seen.empty());
    int full = 0, counting = 0;
    for (const Seen& s : seen) {
        if (!s.visible) continue;
        ++counting;
        EXPECT_EQ(s.maximum, 6);
        EXPECT_GE(s.value, 1);
        EXPECT_LE(s.value, s.maximum);
        full += s.value == s.maximum;
    }
    EXPECT_GE(counting, 12) << "the building and remapping stages count every frame";
    EXPECT_GE(full, 2) << "a stage ended without the bar full";
    EXPECT_FALSE(progress->isVisibleTo(window.get())) << "the bar stays after the build";
}

TEST_F(HostWindow, ThePlayerStepsThroughTheFramesWithTheirDelays) {
    // Three frames of one colour each; the middle one has no delay.
    BYTE palette[768] = {};
    const QColor colours[] = {QColor(200, 0, 0), QColor(0, 180, 0), QColor(0, 0, 220)};
    for (int i = 0; i < 3; ++i) {
        palette[3 * i] = static_cast<BYTE>(colours[i].red());
        palette[3 * i + 1] = static_cast<BYTE>(colours[i].green());
        palette[3 * i + 2] = static_cast<BYTE>(colours[i].blue());
    }
    const std::uint32_t delays[] = {10, 0, 25};
    ReceivedAnimation animation;
    for (int i = 0; i < 3; ++i) {
        ReceivedFrame frame;
        frame.image.reset(host_testing::MakeFrame(8, 6, 8, palette, [i](LONG, LONG) { return static_cast<DWORD>(i); }));
        ASSERT_TRUE(frame.image);
        frame.delay = delays[i];
        animation.frames.push_back(std::move(frame));
    }
    window->ShowAnimation(animation);

    ASSERT_EQ(window->FrameCount(), 3);
    QListWidget* list = window->FrameList();
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->item(0)->text(), "Frame 1  100 ms");
    EXPECT_EQ(list->item(1)->text(), "Frame 2  0 ms");
    EXPECT_EQ(list->item(2)->text(), "Frame 3  250 ms");

    // It plays at once, each frame for its own delay; one without a delay
    // still shows for a moment.
    QPushButton* play = PlayerButton("Pause");
    ASSERT_TRUE(play) << "no Pause button while playing";
    EXPECT_TRUE(window->Playing());
    std::vector<std::pair<int, int>> timings;  // frame, time on show
    QObject recorder;  // goes before timings, and what it waits for with it
    QObject::connect(list, &QListWidget::currentRowChanged, &recorder, [&](int row) {
        // Read once the player is done with the change.
        QTimer::singleShot(0, &recorder, [&, row] { timings.emplace_back(row, window->ShowingFor()); });
    });
    timings.emplace_back(window->CurrentFrame(), window->ShowingFor());
    ASSERT_TRUE(qt_testing::WaitUntil([&] { return timings.size() >= 5; })) << "the player stands still";
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(timings[i].first, static_cast<int>(i % 3));
        EXPECT_EQ(timings[i].second, i % 3 == 1 ? 20 : static_cast<int>(delays[i % 3] * 10)) << "frame " << i % 3;
    }

    play->click();
    EXPECT_FALSE(window->Playing());
    EXPECT_EQ(play->text(), "Play");
    const int stopped = window->CurrentFrame();
    qt_testing::RunFor(300);  // longer than any delay: a paused player stays
    EXPECT_EQ(window->CurrentFrame(), stopped);

    // Stepping goes round at both ends and shows the frame's picture.
    QPushButton* back = PlayerButton("<");
    QPushButton* forward = PlayerButton(">");
    ASSERT_TRUE(back && forward);
    list->setCurrentRow(2);
    EXPECT_EQ(window->CurrentFrame(), 2);
    EXPECT_EQ(Shown().pixelColor(3, 3), colours[2]);
    forward->click();
    EXPECT_EQ(window->CurrentFrame(), 0);
    EXPECT_EQ(list->currentRow(), 0);
    EXPECT_EQ(Shown().pixelColor(3, 3), colours[0]);
    back->click();
    EXPECT_EQ(window->CurrentFrame(), 2);
    back->click();
    EXPECT_EQ(window->CurrentFrame(), 1);
    EXPECT_EQ(Shown().pixelColor(3, 3), colours[1]);
    EXPECT_FALSE(window->Playing()) << "stepping started the player";

    play->click();
    EXPECT_TRUE(window->Playing());
    EXPECT_EQ(play->text(), "Pause");
    EXPECT_EQ(window->ShowingFor(), 20);  // frame 2, no delay of its own
}

// A saved animation played as a viewer plays it: the received frames, each
// laid over what the one before left where it is transparent.
std::vector<std::vector<BYTE>> Expected(const ReceivedAnimation& animation) {
    std::vector<std::vector<BYTE>> canvases;
    std::vector<BYTE> canvas;
    for (const ReceivedFrame& frame : animation.frames) {
        QImage image = FrameImage(frame);
        if (canvas.empty()) canvas.assign(static_cast<std::size_t>(image.width()) * image.height() * 4, 0);
        for (int y = 0; y < image.height(); ++y) {
            const BYTE* row = image.constScanLine(y);
            for (int x = 0; x < image.width(); ++x) {
                const BYTE* pixel = row + 4 * x;
                if (pixel[3] == 0) continue;
                std::copy(pixel, pixel + 4, canvas.begin() + 4 * (static_cast<std::ptrdiff_t>(y) * image.width() + x));
            }
        }
        canvases.push_back(canvas);
    }
    return canvases;
}

TEST_F(HostWindow, SaveAsWritesEachFormatWithTheReceivedFrames) {
    Build(5);
    const ReceivedAnimation* animation = window->host().LastAnimation();
    ASSERT_TRUE(animation);
    ASSERT_EQ(animation->frames.size(), 5u);
    const std::vector<std::vector<BYTE>> expected = Expected(*animation);
    const std::vector<int> delays(5, static_cast<int>(window->FrameDelay(0)));

    struct Case {
        QString typed;  // into the save dialog
        QString filter;
        std::string written;
    };
    const Case cases[] = {
        {"plain", "GIF (*.gif)", "plain.gif"},
        {"moving", "APNG (*.png *.apng)", "moving.png"},
        {"web", "WebP (*.webp)", "web.webp"},
        {"named.webp", "GIF (*.gif)", "named.webp"},  // the name's extension decides
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.written);
        QStringList filters;
        auto save = qt_testing::AnswerNext<QFileDialog>("the save dialog", [&](QFileDialog& dialog) {
            filters = dialog.nameFilters();
            dialog.setDirectory(QString::fromStdString(folder.string()));
            dialog.selectNameFilter(c.filter);
            qt_testing::TypeFileName(dialog, c.typed);
            qt_testing::PressAccept(dialog);
        });
        window->SaveAs();
        EXPECT_TRUE(save->Done());
        EXPECT_EQ(filters, (QStringList{"GIF (*.gif)", "APNG (*.png *.apng)", "WebP (*.webp)"}));
        const std::string path = (folder / c.written).string();
        const std::string extension = c.written.substr(c.written.rfind('.'));
        cli_testing::Playback play = extension == ".gif"   ? cli_testing::PlayGif(path)
                                     : extension == ".png" ? cli_testing::PlayApng(path)
                                                           : cli_testing::PlayWebP(path);
        ASSERT_TRUE(play.read) << play.error;
        EXPECT_EQ(play.width, static_cast<int>(animation->task.width));
        EXPECT_EQ(play.delays, delays);
        EXPECT_TRUE(play.canvases == expected) << "the frames differ";
        EXPECT_EQ(window->statusBar()->currentMessage(), "Saved " + QString::fromStdString(path));
    }

    // Cancelled: nothing written.
    auto cancel = qt_testing::AnswerNext<QFileDialog>("the save dialog", [](QFileDialog& dialog) { dialog.reject(); });
    const auto before = std::distance(std::filesystem::directory_iterator(folder), {});
    window->SaveAs();
    EXPECT_TRUE(cancel->Done());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), before);

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
