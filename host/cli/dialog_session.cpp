#include "host/cli/dialog_session.h"

#include <algorithm>

#include "dialog/main_dialog.h"
#include "luma/automation.h"
#include "plugin/message_dialog.h"

namespace automation = luma::automation;

namespace {


std::string ClassName(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

bool IsClass(HWND window, const char* name) {
    std::string have = ClassName(window);
    std::string want = name;
    return std::equal(have.begin(), have.end(), want.begin(), want.end(),
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b)); });
}

// Presses the first of the buttons the window has, as a person would;
// failing that, sends the command the last one would.
void Press(HWND window, std::initializer_list<int> buttons) {
    for (int id : buttons) {
        HWND button = GetDlgItem(window, id);
        if (button && IsWindowVisible(button) && IsWindowEnabled(button) && automation::Click(button)) return;
    }
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(*(buttons.end() - 1), BN_CLICKED), 0);
}

}  // namespace

std::string WindowText(HWND window) {
    int length = GetWindowTextLengthA(window);
    std::string text(static_cast<std::size_t>(std::max(length, 0)) + 1, '\0');
    int copied = GetWindowTextA(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(copied, 0)));
    return text;
}

bool IsMainDialog(HWND window) {
    HWND list = window ? GetDlgItem(window, kEffectList) : nullptr;
    return list && IsClass(list, "ComboBox") && GetDlgItem(window, IDOK);
}

bool IsMessageDialog(HWND window) {
    HWND text = window ? GetDlgItem(window, kMessageTextId) : nullptr;
    return text && IsClass(text, "Static") && !IsMainDialog(window);
}

ObservingDriver::ObservingDriver() : inner_(luma::CurrentDriver()) { luma::SetDriver(this); }

ObservingDriver::~ObservingDriver() { luma::SetDriver(&inner_); }

UINT ObservingDriver::PopupMenu(const luma::PopupMenuRequest& request) {
    ++menus_;
    return inner_.PopupMenu(request);
}

std::optional<luma::FileDialogAnswer> ObservingDriver::FileDialog(const luma::FileDialogRequest& request) {
    ++fileDialogs_;
    return inner_.FileDialog(request);
}

DialogSession::DialogSession(TerminalServices& services) : services_(services) {}

DialogSession::~DialogSession() = default;

void DialogSession::Add(std::string description, Action action) {
    actions_.push_back({std::move(description), std::move(action)});
}

void DialogSession::Forgive(std::size_t complaints) {
    forgivenComplaints_ += complaints;
    stepForgiven_ += complaints;
}

void DialogSession::Start(bool forgiving) {
    forgiving_ = forgiving;
    Queue();
}

void DialogSession::Queue() {
    automation::CurrentScript().Do("next step of lumafex", [this] {
        Step();
        return true;  // failures are handled here, not by dropping the script
    });
}

void DialogSession::AnswerMessage(HWND box) {
    services_.PluginMessage(WindowText(GetDlgItem(box, kMessageTextId)));
    Press(box, {IDOK, IDNO, IDCANCEL});
}

void DialogSession::CloseStranger(HWND window) {
    services_.Error("The plug-in opened the window \"" + WindowText(window) +
                    "\", which lumafex cannot answer; it was closed.");
    Press(window, {IDCANCEL});
}

void DialogSession::Fail() {
    failed_ = true;
    actions_.clear();
    if (cancelling_) return;
    cancelling_ = true;
    actions_.push_back({"press Cancel",
                        [](HWND dialog) {
                            if (IsWindow(dialog) && IsWindowVisible(dialog)) Press(dialog, {IDCANCEL});
                        }});
}

void DialogSession::Step() {
    HWND active = automation::ActiveWindow();
    const bool message = active && IsMessageDialog(active);
    if (message || (acting_ && active && active != dialog_)) {
        if (message) AnswerMessage(active);
        else CloseStranger(active);
        // A window that stays open gets no further step, so its loop ends it
        // as Cancel rather than waiting for ever.
        if (IsWindow(active) && IsWindowVisible(active)) {
            services_.Error("The window \"" + WindowText(active) + "\" would not close.");
            return;
        }
        Queue();
        return;
    }
    // The dialog itself waits while one of its actions is under way: no
    // input can come from here.
    if (acting_) return;
    if (!dialog_) {
        if (!active || !IsMainDialog(active)) {
            services_.Error("The plug-in's dialog did not open.");
            failed_ = true;
            return;  // with no further step the waiting loop ends as Cancel
        }
        dialog_ = active;
        openingComplaints_ = services_.Complaints();
        if (forgiving_) forgivenComplaints_ += openingComplaints_;
        else if (openingComplaints_) Fail();
    }
    if (actions_.empty()) return;
    Entry entry = std::move(actions_.front());
    actions_.pop_front();
    Queue();
    services_.Detail(entry.description);
    const std::size_t complaints = services_.Complaints();
    acting_ = true;
    stepForgiven_ = 0;
    try {
        entry.action(dialog_);
    } catch (const StepError& error) {
        services_.Error(error.what());
    }
    acting_ = false;
    if (services_.Complaints() - complaints > stepForgiven_) {
        if (!cancelling_) Fail();
        return;
    }
    if (actions_.empty() && !failed_) completed_ = true;
}
