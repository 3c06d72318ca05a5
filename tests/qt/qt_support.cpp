#include "tests/qt/qt_support.h"

#include <unistd.h>

#include <QPushButton>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>

#include <cstdlib>
#include <memory>

namespace qt_testing {

QApplication& App() {
    // Kept to the end of the process: Qt's own objects must not outlive it at exit.
    static QApplication* app = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        // Qt's own dialogs, whatever platform theme the machine has: a native
        // one has no widgets to work.
        QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
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

WindowAnswer::WindowAnswer(std::string what, std::function<QWidget*()> find, std::function<void(QWidget&)> answer,
                           int deadlineMs)
    : what_(std::move(what)), find_(std::move(find)), answer_(std::move(answer)), deadlineMs_(deadlineMs) {
    clock_.start();
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start(20);
}

WindowAnswer::~WindowAnswer() { timer_.stop(); }

void WindowAnswer::Poll() {
    if (timedOut_) {
        // Innermost first: a message box over a file dialog goes before it.
        bool open = false;
        if (QWidget* modal = QApplication::activeModalWidget()) {
            if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject(), open = true;
        }
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QDialog*>(widget);
            if (dialog && dialog->isVisible()) dialog->reject(), open = true;
        }
        if (!open) timer_.stop();
        return;
    }
    if (!answered_) {
        if (QWidget* window = find_()) {
            answered_ = true;
            shown_ = window;
            answer_(*window);
            return;
        }
    } else if (Done()) {
        timer_.stop();
        return;
    }
    if (clock_.elapsed() > deadlineMs_) {
        ADD_FAILURE() << what_ << (answered_ ? ": the window stayed open after its answer" : ": no window came");
        timedOut_ = true;
    }
}

void TypeFileName(QFileDialog& dialog, const QString& name) {
    auto* field = dialog.findChild<QLineEdit*>("fileNameEdit");
    ASSERT_TRUE(field) << "the file dialog has no file name field";
    field->setFocus();
    field->setText(name);
}

void PressAccept(QFileDialog& dialog) {
    auto* buttons = dialog.findChild<QDialogButtonBox*>("buttonBox");
    ASSERT_TRUE(buttons) << "the file dialog has no buttons";
    QPushButton* accept = buttons->button(dialog.acceptMode() == QFileDialog::AcceptSave ? QDialogButtonBox::Save
                                                                                              : QDialogButtonBox::Open);
    ASSERT_TRUE(accept) << "the file dialog has no accepting button";
    accept->click();
}

bool WaitUntil(const std::function<bool()>& done, int deadlineMs) {
    QElapsedTimer clock;
    clock.start();
    QTimer tick;  // wakes the wait below to look again
    tick.start(10);
    while (!done()) {
        if (clock.elapsed() > deadlineMs) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

}  // namespace qt_testing

// Under the leak checker: when Qt's font database is the first to load
// Fontconfig's configuration, a few hundred bytes of the parsed configuration
// files are never freed (the library is never finalised). Fontconfig is built
// without frame pointers, so the report's stack ends inside it and only its
// name can match. Our own use of Fontconfig is checked, unsuppressed, by the
// GDI tests; Qt and everything else stays checked here.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
