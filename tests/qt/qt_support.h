// The QApplication the tests share (offscreen, whatever the display), a
// configuration folder of each test's own, and bounded answers to the
// windows the code under test waits on.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

class QFileDialog;

namespace qt_testing {

QApplication& App();

// Lets Qt and the platform run for ms milliseconds of real time.
void RunFor(int ms);

class QtTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::filesystem::path folder;

private:
    std::string savedConfigHome_;
    bool hadConfigHome_ = false;
};

// Where screenshots are kept for a look after the run.
std::filesystem::path ArtifactFolder();

// How long a test waits for a window to come or go before it fails.
inline constexpr int kWindowDeadlineMs = 20000;

// Answers the next window that `find` finds (a file or colour dialog the code
// under test opens and waits on) as a person would, polling while the
// window's own loop runs. The wait is bounded: a window that has not come,
// or not gone once answered, by the deadline fails the test, and every dialog
// still open is rejected so that the call waiting on it returns.
class WindowAnswer {
public:
    WindowAnswer(std::string what, std::function<QWidget*()> find, std::function<void(QWidget&)> answer,
                 int deadlineMs = kWindowDeadlineMs);
    ~WindowAnswer();
    WindowAnswer(const WindowAnswer&) = delete;
    WindowAnswer& operator=(const WindowAnswer&) = delete;

    bool Answered() const { return answered_; }
    // Answered and gone again.
    bool Done() const { return answered_ && !timedOut_ && (!shown_ || !shown_->isVisible()); }

private:
    void Poll();

    std::string what_;
    std::function<QWidget*()> find_;
    std::function<void(QWidget&)> answer_;
    int deadlineMs_;
    QElapsedTimer clock_;
    QTimer timer_;
    QPointer<QWidget> shown_;
    bool answered_ = false;
    bool timedOut_ = false;
};

// The visible window of type T, if one is shown.
template <typename T>
T* ShownWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<T*>(widget); window && window->isVisible()) return window;
    return nullptr;
}

// Answers the next window of type T.
template <typename T>
std::unique_ptr<WindowAnswer> AnswerNext(std::string what, std::function<void(T&)> answer,
                                         int deadlineMs = kWindowDeadlineMs) {
    return std::make_unique<WindowAnswer>(
        std::move(what), [] { return static_cast<QWidget*>(ShownWindow<T>()); },
        [answer = std::move(answer)](QWidget& window) { answer(static_cast<T&>(window)); }, deadlineMs);
}

// A file dialog worked as a person would: the name typed into its file name
// field, the accepting button pressed (which does nothing while the dialog
// does not take the name).
void TypeFileName(QFileDialog& dialog, const QString& name);
void PressAccept(QFileDialog& dialog);

// Runs Qt until done() holds or the deadline passes; false on the deadline.
bool WaitUntil(const std::function<bool()>& done, int deadlineMs = kWindowDeadlineMs);

}  // namespace qt_testing
