// The plug-in's main dialog with real widgets, offscreen: every control in
// its place, the preview on screen, the effect list, a typed spin field,
// colour buttons answered through a colour dialog, the help viewer and
// Build, operated through the widgets as a person would.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QAbstractTextDocumentLayout>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSet>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QWidget>

#include <filesystem>
#include <set>

#include "dialog/main_dialog.h"
#include "effects/effect_bodies.h"
#include "host/core/host.h"
#include "host/gui/dialog_robot.h"
#include "host/gui/gui_services.h"
#include "luma/driver.h"
#include "luma/qt_driver.h"
#include "plugin/host_interface.h"
#include "settings/settings.h"
#include "tests/qt/qt_support.h"
#include "tests/support/test_host.h"

namespace {

using qt_testing::QtTest;

constexpr int kSnowDensity = 108;
constexpr int kSnowColour1 = 112;
constexpr int kRainDelay = 549;
// The first preview follows the preview timer; drawing it takes a moment more.
constexpr unsigned kAfterPreview = 900;

std::vector<HWND> Descendants(HWND parent) {
    std::vector<HWND> out;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        out.push_back(child);
        for (HWND inner : Descendants(child)) out.push_back(inner);
    }
    return out;
}

// Where the window sits in its top-level window's client area.
QRect PlaceInDialog(HWND hwnd, HWND dialog) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    POINT origin{0, 0};
    ClientToScreen(dialog, &origin);
    return QRect(r.left - origin.x, r.top - origin.y, r.right - r.left, r.bottom - r.top);
}

QImage PlatformPicture(HWND hwnd) {
    luma::WindowPicture view = luma::GetWindowPicture(hwnd);
    if (!view.bits) return {};
    return QImage(view.bits, view.width, view.height, view.stride, QImage::Format_BGR888).copy();
}

std::string TextOf(HWND hwnd) {
    char text[256] = {};
    GetWindowTextA(hwnd, text, sizeof text);
    return text;
}

int PixelsOf(const QImage& image, QColor colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) n += image.pixelColor(x, y) == colour;
    return n;
}

// Where the document's element named `name` begins in the viewer's document.
int AnchorTop(QTextBrowser& viewer, const QString& name) {
    QTextDocument* document = viewer.document();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().anchorNames().contains(name))
                return qRound(document->documentLayout()->blockBoundingRect(block).top());
    return -1;
}

int DistinctColours(const QImage& image) {
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) colours.insert(image.pixel(x, y));
    return static_cast<int>(colours.size());
}

class DialogWithWidgets : public QtTest {
protected:
    void SetUp() override {
        QtTest::SetUp();
        qt = std::make_unique<luma::qt::ScopedQtDriver>();
        robot = std::make_unique<DialogRobot>(qt->driver());
        services.unattended = true;
    }
    void TearDown() override {
        robot.reset();
        qt.reset();
        QtTest::TearDown();
    }

    HostOptions Options() {
        HostOptions options;
        options.pluginPath = LUMAFEX_PLUGIN_PATH;
        options.outputPath = (folder / "out.gif").string();
        return options;
    }

    // Runs the plug-in's dialog through a Host while the robot's steps run.
    int Run(Host& host) {
        robot->Start();
        int result = host.RunPlugin(nullptr);
        EXPECT_TRUE(robot->Finished());
        EXPECT_TRUE(robot->Failures().empty()) << robot->Failures().front();
        return result;
    }

    std::unique_ptr<luma::qt::ScopedQtDriver> qt;
    std::unique_ptr<DialogRobot> robot;
    GuiServices services;
};

TEST_F(DialogWithWidgets, OpensWithEveryControlInItsPlaceAndThePreviewOnScreen) {
    Host host(Options(), services);
    int checked = 0;
    robot->Then(UpdateDelay + kAfterPreview, "check the controls and the screenshot", [&] {
        HWND dialog = robot->Dialog();
        QWidget* frame = qt->driver().WidgetOf(dialog);
        EXPECT_TRUE(frame && frame->isVisible());
        if (!frame) return false;
        RECT client{};
        GetClientRect(dialog, &client);
        EXPECT_EQ(frame->size(), QSize(client.right, client.bottom));

        for (HWND control : Descendants(dialog)) {
            QWidget* widget = qt->driver().WidgetOf(control);
            EXPECT_TRUE(widget) << "control " << GetDlgCtrlID(control) << " has no widget";
            if (!widget) continue;
            EXPECT_EQ(widget->isVisibleTo(frame), IsWindowVisible(control) != FALSE) << GetDlgCtrlID(control);
            if (!IsWindowVisible(control)) continue;
            QRect place(widget->mapTo(frame, QPoint(0, 0)), widget->size());
            EXPECT_EQ(place, PlaceInDialog(control, dialog)) << "control " << GetDlgCtrlID(control);
            ++checked;
        }
        // Build stands where the template puts it: 452, 234, 60 x 14 dialog units.
        RECT build{452, 234, 452 + 60, 234 + 14};
        MapDialogRect(dialog, &build);
        QWidget* buildButton = robot->Control(kBuildButton);
        EXPECT_TRUE(buildButton);
        if (buildButton) {
            EXPECT_EQ(QRect(buildButton->mapTo(frame, QPoint(0, 0)), buildButton->size()),
                      QRect(build.left, build.top, build.right - build.left, build.bottom - build.top));
        }

        QImage shot = robot->Grab().convertToFormat(QImage::Format_RGB888);
        EXPECT_TRUE(shot.save(QString::fromStdString((qt_testing::ArtifactFolder() / "main_dialog.png").string())));
        // The preview area shows the picture the plug-in drew, pixel for pixel.
        HWND preview = GetDlgItem(dialog, kPreviewArea);
        QImage drawn = PlatformPicture(preview).convertToFormat(QImage::Format_RGB888);
        QRect area = PlaceInDialog(preview, dialog);
        EXPECT_FALSE(drawn.isNull());
        EXPECT_EQ(shot.copy(area), drawn);
        EXPECT_GT(DistinctColours(drawn), 500) << "the preview shows no picture";
        return true;
    });
    robot->Then(0, "cancel", [&] { return robot->Click(kCancelButton); });
    Run(host);
    EXPECT_GT(checked, 40);
    EXPECT_FALSE(host.LastAnimation());
}

TEST_F(DialogWithWidgets, ChoosingRainInTheEffectListShowsItsPage) {
    Host host(Options(), services);
    QComboBox* list = nullptr;
    bool markerChecked = false;
    robot->Then(300, "open the effect list", [&] {
        list = dynamic_cast<QComboBox*>(robot->Control(kEffectList));
        if (!list) return false;
        QTest::mouseClick(list, Qt::LeftButton);
        return list->view()->isVisible();
    });
    robot->Then(600, "click Rain", [&] {
        int index = list->findText("Rain");
        if (index < 0) return false;
        QAbstractItemView* view = list->view();
        QRect item = view->visualRect(view->model()->index(index, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, item.center());
        return true;
    });
    robot->Then(300, "look at Rain's page", [&] {
        HWND dialog = robot->Dialog();
        EXPECT_FALSE(list->view()->isVisible());
        EXPECT_EQ(list->currentText(), "Rain");
        char text[64] = {};
        HWND platformList = GetDlgItem(dialog, kEffectList);
        SendMessageA(platformList, CB_GETLBTEXT, static_cast<WPARAM>(SendMessageA(platformList, CB_GETCURSEL, 0, 0)),
                     reinterpret_cast<LPARAM>(text));
        EXPECT_STREQ(text, "Rain");
        QWidget* rainDelay = robot->Control(kRainDelay);
        EXPECT_TRUE(rainDelay && rainDelay->isVisible());
        QWidget* snowDensity = qt->driver().WidgetOf(GetDlgItem(dialog, kSnowDensity));
        EXPECT_TRUE(snowDensity && !snowDensity->isVisible());

        // Rain's marker window lies over the preview, above it, and shows its picture.
        HWND preview = GetDlgItem(dialog, kPreviewArea);
        QRect previewPlace = PlaceInDialog(preview, dialog);
        for (HWND child : Descendants(dialog)) {
            if (child == preview || !IsWindowVisible(child)) continue;
            QRect place = PlaceInDialog(child, dialog);
            if (!previewPlace.contains(place) || place.width() < 16) continue;
            QWidget* marker = qt->driver().WidgetOf(child);
            QWidget* previewWidget = qt->driver().WidgetOf(preview);
            EXPECT_TRUE(marker && marker->isVisible());
            if (marker && previewWidget && marker->parentWidget() == previewWidget->parentWidget()) {
                const QObjectList& siblings = marker->parentWidget()->children();
                EXPECT_GT(siblings.indexOf(marker), siblings.indexOf(previewWidget)) << "the markers lie under the preview";
            }
            markerChecked = true;
        }
        return true;
    });
    robot->Then(0, "cancel", [&] { return robot->Click(kCancelButton); });
    Run(host);
    if (!markerChecked) {
        if (RainBody.Initialise == RenderingNotAvailable)
            GTEST_SKIP() << "Rain's rendering and marker window are not part of this build yet";
        ADD_FAILURE() << "Rain's page shows no marker window over the preview";
    }
}

TEST_F(DialogWithWidgets, BuildClosesTheDialogAndTheHostHoldsTheFrames) {
    Host host(Options(), services);
    robot->Then(200, "press Build", [&] { return robot->Click(kBuildButton); });
    EXPECT_EQ(Run(host), 1);
    const ReceivedAnimation* animation = host.LastAnimation();
    ASSERT_TRUE(animation);
    EXPECT_FALSE(animation->test);
    EXPECT_EQ(animation->frames.size(), 48u);  // Snow's Frames
    EXPECT_TRUE(host.LastOutcome().written);
    EXPECT_TRUE(std::filesystem::exists(folder / "out.gif"));
    for (HWND top : {GetForegroundWindow(), GetActiveWindow()}) EXPECT_FALSE(top && IsWindowVisible(top));
}

TEST_F(DialogWithWidgets, ColourButtonsTakeTheColourChosenInAColourDialog) {
    services.unattended = false;  // the chooser is a real window here
    Host host(Options(), services);
    const QColor chosen(10, 200, 30);
    std::unique_ptr<qt_testing::WindowAnswer> answer;
    QColor offered;
    COLORREF before = 0;
    auto accept = [](QColorDialog& dialog) {
        auto* buttons = dialog.findChild<QDialogButtonBox*>();
        QPushButton* ok = buttons ? buttons->button(QDialogButtonBox::Ok) : nullptr;
        ASSERT_TRUE(ok) << "the colour dialog has no OK button";
        ok->click();
    };
    robot->Then(300, "click Color 1", [&] {
        before = static_cast<COLORREF>(std::stoul("0" + TextOf(GetDlgItem(robot->Dialog(), kSnowColour1))));
        answer = qt_testing::AnswerNext<QColorDialog>("the colour dialog", [&](QColorDialog& dialog) {
            offered = dialog.currentColor();
            dialog.setCurrentColor(chosen);
            accept(dialog);
        });
        QWidget* button = robot->Control(kSnowColour1);
        if (!button) return false;
        QTest::mouseClick(button, Qt::LeftButton);
        return true;
    });
    robot->Then(100, "look at Color 1", [&] {
        EXPECT_TRUE(answer->Done());
        EXPECT_EQ(offered, QColor(GetRValue(before), GetGValue(before), GetBValue(before))) << "not the button's colour";
        EXPECT_EQ(TextOf(GetDlgItem(robot->Dialog(), kSnowColour1)),
                  std::to_string(RGB(chosen.red(), chosen.green(), chosen.blue())));
        QImage shown = robot->Control(kSnowColour1)->grab().toImage();
        EXPECT_GT(PixelsOf(shown, chosen), shown.width() * shown.height() / 4) << "the button does not show it";
        return true;
    });
    // Clicked again, later than a double click would be: cancelled, the colour stays.
    robot->Then(GetDoubleClickTime() + 100, "click Color 1 again", [&] {
        answer = qt_testing::AnswerNext<QColorDialog>("the colour dialog, cancelled", [](QColorDialog& dialog) {
            dialog.setCurrentColor(Qt::black);
            dialog.reject();
        });
        QTest::mouseClick(robot->Control(kSnowColour1), Qt::LeftButton);
        return true;
    });
    robot->Then(100, "look at Color 1 again", [&] {
        EXPECT_TRUE(answer->Done());
        EXPECT_EQ(TextOf(GetDlgItem(robot->Dialog(), kSnowColour1)),
                  std::to_string(RGB(chosen.red(), chosen.green(), chosen.blue())));
        return true;
    });
    robot->Then(0, "cancel", [&] { return robot->Click(kCancelButton); });
    Run(host);
}

TEST_F(DialogWithWidgets, HelpShowsTheDocumentAtTheAskedPlace) {
    services.unattended = false;  // the viewer is a real window here
    Host host(Options(), services);
    const std::filesystem::path document =
        std::filesystem::path(LUMAFEX_PLUGIN_PATH).parent_path() / "LUMAPLUG.HTML";
    QPointer<QTextBrowser> viewer;
    int aboutScroll = -1;
    auto read = [&](const QString& anchor) {
        EXPECT_TRUE(qt_testing::WaitUntil([&] { return (viewer = qt_testing::ShownWindow<QTextBrowser>()) != nullptr; }))
            << "no help viewer";
        if (!viewer) return;
        EXPECT_EQ(viewer->source().toLocalFile().toStdString(), document.string());
        EXPECT_EQ(viewer->source().fragment(), anchor);
        const int top = AnchorTop(*viewer, anchor);
        EXPECT_GE(top, 0) << "the document has no place " << anchor.toStdString();
        // The place is at the top of the view, or as near as the document's end allows.
        QScrollBar* bar = viewer->verticalScrollBar();
        EXPECT_EQ(bar->value(), std::min(top, bar->maximum()));
        EXPECT_GE(top - bar->value(), 0);
        EXPECT_LT(top - bar->value(), viewer->viewport()->height());
        aboutScroll = bar->value();
    };
    HWND dialog = nullptr;
    robot->Then(300, "press Help", [&] {
        dialog = robot->Dialog();
        return robot->Click(kHelpButton);
    });
    robot->Then(100, "read the help", [&] {
        read(kPrefaceAnchor);
        return true;
    });
    robot->Then(0, "open the About box", [&] { return robot->Click(kAboutButton); });
    robot->Then(300, "press the About box's Help", [&] {
        EXPECT_NE(robot->Dialog(), dialog) << "no About box";
        return robot->Click(kHelpButton);
    });
    robot->Then(100, "read about", [&] {
        read(kAboutAnchor);
        EXPECT_GT(aboutScroll, 0) << "the view stayed at the start";
        return true;
    });
    robot->Then(0, "close the About box", [&] { return robot->Click(IDCANCEL); });
    robot->Then(100, "close the dialog", [&] {
        EXPECT_EQ(robot->Dialog(), dialog);
        EXPECT_TRUE(viewer && viewer->isVisible()) << "the help went with the About box";
        return robot->Click(kCancelButton);
    });
    Run(host);
    EXPECT_EQ(services.helpShown.size(), 2u);
    EXPECT_FALSE(viewer) << "the help viewer outlived the dialog";
}

// The plug-in's code linked into the test, so its settings can be read.
class SettingsThroughWidgets : public DialogWithWidgets {};

TEST_F(SettingsThroughWidgets, TypingInASpinFieldUpdatesTheSettingAfterThePreviewTimer) {
    testing_support::TestHost host;
    QImage before;
    DWORD typedAt = 0;
    robot->Then(UpdateDelay + kAfterPreview, "type into Density", [&] {
        HWND dialog = robot->Dialog();
        before = PlatformPicture(GetDlgItem(dialog, kPreviewArea));
        auto* field = dynamic_cast<QLineEdit*>(robot->Control(kSnowDensity));
        if (!field) return false;
        typedAt = Style000Density;
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, "20");
        return true;
    });
    robot->Then(0, "look at the field", [&] {
        char text[16] = {};
        GetWindowTextA(GetDlgItem(robot->Dialog(), kSnowDensity), text, sizeof text);
        EXPECT_STREQ(text, "20");
        return true;
    });
    robot->Then(UpdateDelay + kAfterPreview, "look at the setting and the preview", [&] {
        EXPECT_EQ(Style000Density, 20u);
        QImage after = PlatformPicture(GetDlgItem(robot->Dialog(), kPreviewArea));
        EXPECT_NE(after, before) << "the preview was not drawn again";
        return true;
    });
    robot->Then(0, "cancel", [&] { return robot->Click(kCancelButton); });
    robot->Start();
    PLUGIN16DoBuild(nullptr, host.context());
    EXPECT_TRUE(robot->Failures().empty());
    EXPECT_EQ(host.Count(kRequestNewAnimation), 0u);
    EXPECT_NE(typedAt, 20u);
}

}  // namespace
