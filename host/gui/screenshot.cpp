#include "host/gui/screenshot.h"

#include <QImage>

#include <iostream>

#include "dialog/main_dialog.h"
#include "host/core/host.h"
#include "host/core/host_error.h"
#include "host/gui/dialog_robot.h"
#include "host/gui/gui_services.h"
#include "luma/qt_driver.h"
#include "settings/settings.h"

namespace {

// The preview follows a change after the preview timer; this leaves room for drawing it.
constexpr unsigned kPreviewMargin = 1500;

}  // namespace

int TakeScreenshot(const ScreenshotOptions& options) {
    luma::qt::ScopedQtDriver qt;
    GuiServices services;
    services.unattended = true;
    if (!options.picture.empty()) services.fileChoices.push_back(options.picture);
    bool saved = false;
    try {
        Host host(HostOptions{}, services);
        DialogRobot robot(qt.driver());
        if (!options.picture.empty())
            robot.Then(0, "choose the picture", [&] { return robot.Click(kSelectPictureButton); });
        if (!options.effect.empty())
            robot.Then(0, "choose the effect \"" + options.effect + "\"",
                       [&] { return robot.Choose(kEffectList, QString::fromStdString(options.effect)); });
        robot.Then(UpdateDelay + kPreviewMargin, "save the screenshot", [&] {
            QImage shot = robot.Grab();
            saved = !shot.isNull() && shot.save(QString::fromStdString(options.output), "PNG");
            if (!saved) std::cerr << "lumafex-gui: cannot write " << options.output << "\n";
            return saved;
        });
        robot.Then(0, "close the dialog", [&] { return robot.Click(kCancelButton); });
        robot.Start();
        host.RunPlugin(nullptr);
        for (const std::string& failure : robot.Failures()) std::cerr << "lumafex-gui: could not " << failure << "\n";
        for (const auto& [kind, text] : services.messages)
            if (kind == MessageKind::Error) std::cerr << "lumafex-gui: " << text << "\n";
    } catch (const HostError& error) {
        std::cerr << "lumafex-gui: " << error.what() << "\n";
        return 1;
    }
    return saved ? 0 : 1;
}
