// Operates the plug-in's dialog through its Qt widgets, as a person would,
// while the dialog's modal loop waits: steps run one after another, each
// after its pause of real time. Screenshots and the tests use it; the host
// window uses it to hand over the picture it opened.
#pragma once

#include <windows.h>

#include <QImage>
#include <QString>

#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace luma::qt {
class QtDriver;
}

class DialogRobot {
public:
    explicit DialogRobot(luma::qt::QtDriver& driver);
    ~DialogRobot();
    DialogRobot(const DialogRobot&) = delete;
    DialogRobot& operator=(const DialogRobot&) = delete;

    // A step returns false to stop the rest (the reason goes to Failures).
    using Step = std::function<bool()>;
    DialogRobot& Then(unsigned pauseMs, std::string description, Step step);

    // Starts once a dialog's modal loop waits; steps run while it keeps waiting.
    void Start();
    bool Finished() const { return next_ >= steps_.size(); }
    const std::vector<std::string>& Failures() const { return failures_; }

    // The dialog whose loop waits now (null when none).
    HWND Dialog() const;
    // The widget of the control with this id in the dialog or any of its pages.
    QWidget* Control(int id) const;
    // Actions on widgets as a user would do them; false when the control is
    // missing, hidden, disabled or of the wrong kind.
    bool Click(int id);
    bool Choose(int id, const QString& itemText);
    bool Type(int id, const QString& text);
    // The dialog's whole window as the screen shows it.
    QImage Grab() const;

private:
    struct Entry {
        unsigned pauseMs;
        std::string description;
        Step step;
    };
    void RunNext();
    // Looks again after delayMs until the dialog waits for input, then runs the steps.
    void WaitForDialog(int delayMs);

    luma::qt::QtDriver& driver_;
    std::vector<Entry> steps_;
    std::size_t next_ = 0;
    std::vector<std::string> failures_;
    std::shared_ptr<bool> token_ = std::make_shared<bool>(true);
};
