#include "host/gui/dialog_robot.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QTimer>
#include <QWidget>

#include <memory>

#include "luma/qt_driver.h"

namespace {

constexpr int kPollMs = 20;

HWND FindIn(HWND parent, int id) {
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (GetDlgCtrlID(child) == id && IsWindowVisible(child)) return child;
        if (HWND inner = FindIn(child, id)) return inner;
    }
    return nullptr;
}

bool Usable(const QWidget* widget) { return widget && widget->isVisible() && widget->isEnabled(); }

}  // namespace

DialogRobot::DialogRobot(luma::qt::QtDriver& driver) : driver_(driver) {}

DialogRobot::~DialogRobot() { *token_ = false; }

DialogRobot& DialogRobot::Then(unsigned pauseMs, std::string description, Step step) {
    steps_.push_back(Entry{pauseMs, std::move(description), std::move(step)});
    return *this;
}

HWND DialogRobot::Dialog() const {
    HWND modal = driver_.Waiting() ? driver_.WaitingModal() : nullptr;
    return modal && IsWindow(modal) && IsWindowVisible(modal) ? modal : nullptr;
}

void DialogRobot::Start() { WaitForDialog(0); }

void DialogRobot::WaitForDialog(int delayMs) {
    std::weak_ptr<bool> alive = token_;
    QTimer::singleShot(delayMs, [this, alive] {
        if (alive.expired()) return;
        if (Dialog())
            RunNext();
        else
            WaitForDialog(kPollMs);
    });
}

void DialogRobot::RunNext() {
    if (Finished()) return;
    std::weak_ptr<bool> alive = token_;
    QTimer::singleShot(static_cast<int>(steps_[next_].pauseMs), [this, alive] {
        if (alive.expired() || Finished()) return;
        if (!Dialog()) {
            // The plug-in is busy (a preview, a build) or between dialogs: the
            // step waits until a dialog waits for input again.
            steps_[next_].pauseMs = kPollMs;
            RunNext();
            return;
        }
        Entry& entry = steps_[next_++];
        if (!entry.step()) {
            failures_.push_back(entry.description);
            next_ = steps_.size();
            // Nobody is left to close the dialog: it ends as its close box would.
            HWND dialog = Dialog();
            driver_.Deliver([dialog] {
                if (IsWindow(dialog)) PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
            });
            return;
        }
        RunNext();
    });
}

QWidget* DialogRobot::Control(int id) const {
    HWND dialog = Dialog();
    HWND control = dialog ? FindIn(dialog, id) : nullptr;
    return control ? driver_.WidgetOf(control) : nullptr;
}

bool DialogRobot::Click(int id) {
    auto* button = dynamic_cast<QAbstractButton*>(Control(id));
    if (!Usable(button)) return false;
    button->click();
    return true;
}

bool DialogRobot::Choose(int id, const QString& itemText) {
    auto* combo = dynamic_cast<QComboBox*>(Control(id));
    if (!Usable(combo)) return false;
    int index = combo->findText(itemText, Qt::MatchFixedString);
    if (index < 0) return false;
    // Opened, the item taken, closed: in the order Qt's own list reports a click.
    combo->showPopup();
    combo->setCurrentIndex(index);
    combo->hidePopup();
    emit combo->activated(index);
    return true;
}

bool DialogRobot::Type(int id, const QString& text) {
    auto* edit = dynamic_cast<QLineEdit*>(Control(id));
    if (!Usable(edit)) return false;
    edit->setFocus();
    edit->selectAll();
    edit->insert(text);  // as typed: the edit reports textEdited
    return true;
}

QImage DialogRobot::Grab() const {
    HWND dialog = Dialog();
    QWidget* widget = dialog ? driver_.WidgetOf(dialog) : nullptr;
    return widget ? widget->grab().toImage() : QImage();
}
