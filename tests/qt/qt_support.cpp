#include "tests/qt/qt_support.h"

#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>

#include <cstdlib>
#include <memory>

namespace qt_testing {

QApplication& App() {
    // Kept to the end of the process: Qt's own objects must not outlive it at exit.
    static QApplication* app = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "qt_tests";
        static char* argv[] = {name, nullptr};
        return std::make_unique<QApplication>(argc, argv).release();
    }();
    return *app;
}

void RunFor(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

void QtTest::SetUp() {
    App();
    folder = std::filesystem::temp_directory_path() /
             ("lumafex_qt_" + std::to_string(getpid()) + "_" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder / "config");
    if (const char* home = std::getenv("XDG_CONFIG_HOME")) {
        hadConfigHome_ = true;
        savedConfigHome_ = home;
    }
    setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
}

void QtTest::TearDown() {
    if (hadConfigHome_) setenv("XDG_CONFIG_HOME", savedConfigHome_.c_str(), 1);
    else unsetenv("XDG_CONFIG_HOME");
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

std::filesystem::path ArtifactFolder() {
    std::filesystem::path out = std::filesystem::path(LUMAFEX_BINARY_DIR) / "qt_test_output";
    std::filesystem::create_directories(out);
    return out;
}

}  // namespace qt_testing

// Under the leak checker: Qt, Fontconfig and GLib keep process-wide caches
// that they never free; the plug-in's and the driver's own blocks are still checked.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libQt6\nleak:libfontconfig\nleak:libglib\nleak:libgobject\nleak:libdbus\n";
}
