// lumafex-gui: a small animation host around the plug-in's dialog.
//   lumafex-gui [PICTURE]
//   lumafex-gui --screenshot FILE.png [-e EFFECT] [-i PICTURE]
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include <QApplication>
#include <QDir>

#include "host/core/host_error.h"
#include "host/gui/main_window.h"
#include "host/gui/screenshot.h"
#include "luma/qt_driver.h"

namespace {

void Usage(std::ostream& out) {
    out << "usage: lumafex-gui [PICTURE]\n"
           "       lumafex-gui --screenshot FILE.png [-e EFFECT] [-i PICTURE]\n"
           "  --screenshot FILE.png  open the plug-in's dialog, wait for its preview, save the\n"
           "                         whole dialog as FILE.png and exit (offscreen without a display)\n"
           "  -e, --effect EFFECT    choose this effect in the dialog's effect list first\n"
           "  -i, --image PICTURE    choose this picture with the dialog's Select... button first\n";
}

bool HasDisplay() {
    auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value && *value;
    };
    return set("DISPLAY") || set("WAYLAND_DISPLAY");
}

}  // namespace

int main(int argc, char** argv) {
    ScreenshotOptions shot;
    std::string picture;
    bool screenshot = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](const char* what) -> std::string {
            if (i + 1 >= argc) {
                std::cerr << "lumafex-gui: " << arg << " needs " << what << "\n";
                std::exit(2);
            }
            return argv[++i];
        };
        if (arg == "--screenshot") {
            screenshot = true;
            shot.output = value("a file name");
        } else if (arg == "-e" || arg == "--effect") {
            shot.effect = value("an effect name");
        } else if (arg == "-i" || arg == "--image") {
            shot.picture = value("a picture file");
        } else if (arg == "-h" || arg == "--help") {
            Usage(std::cout);
            return 0;
        } else if (!arg.empty() && arg[0] == '-') {
            std::cerr << "lumafex-gui: unknown option " << arg << "\n";
            Usage(std::cerr);
            return 2;
        } else {
            picture = arg;
        }
    }
    if (!screenshot && (!shot.effect.empty() || !shot.picture.empty())) {
        std::cerr << "lumafex-gui: -e and -i go with --screenshot\n";
        return 2;
    }
    // Screenshots need no display.
    if (screenshot && !HasDisplay() && !std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);

    QApplication app(argc, argv);
    QApplication::setApplicationName("lumafex-gui");
    if (screenshot) return TakeScreenshot(shot);

    try {
        luma::qt::ScopedQtDriver qt;
        // Builds land in a scratch file; Save animation as... puts them where the user wants.
        HostOptions options;
        options.outputPath = QDir::temp().filePath("lumafex-gui-" + QString::number(QCoreApplication::applicationPid()) + ".gif").toStdString();
        MainWindow window(qt.driver(), options);
        if (!picture.empty()) window.SetPicture(QString::fromStdString(picture));
        window.show();
        return QApplication::exec();
    } catch (const HostError& error) {
        std::cerr << "lumafex-gui: " << error.what() << "\n";
        return 1;
    }
}
