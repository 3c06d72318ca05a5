// A run of the plug-in's dialog worked by lumafex: the steps a person would
// take, one each time the dialog waits for input, with every message dialog
// the plug-in shows read out and closed on the way. A step that fails, or
// that makes the plug-in complain, ends the run: the remaining steps are
// dropped and the dialog is cancelled.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <stdexcept>
#include <string>

#include "host/cli/terminal_services.h"
#include "luma/driver.h"

// A step that cannot be taken; the text goes to the user.
class StepError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Counts the popup menus and file dialogs the plug-in shows, so a step can
// tell whether a button did what it should; everything is answered by the
// driver it stands in front of.
class ObservingDriver : public luma::Driver {
public:
    // Installs itself in front of the current driver until destroyed.
    ObservingDriver();
    ~ObservingDriver() override;
    ObservingDriver(const ObservingDriver&) = delete;
    ObservingDriver& operator=(const ObservingDriver&) = delete;

    unsigned MenusShown() const { return menus_; }
    unsigned FileDialogsShown() const { return fileDialogs_; }

    void WindowCreated(HWND window) override { inner_.WindowCreated(window); }
    void WindowDestroyed(HWND window) override { inner_.WindowDestroyed(window); }
    void WindowChanged(HWND window, unsigned changes) override { inner_.WindowChanged(window, changes); }
    void WindowPainted(HWND window, const RECT& area) override { inner_.WindowPainted(window, area); }
    unsigned long long Now() override { return inner_.Now(); }
    luma::WaitResult WaitForInput(HWND modal, std::optional<unsigned long long> deadline) override {
        return inner_.WaitForInput(modal, deadline);
    }
    UINT PopupMenu(const luma::PopupMenuRequest& request) override;
    std::optional<luma::FileDialogAnswer> FileDialog(const luma::FileDialogRequest& request) override;
    void Beep(UINT type) override { inner_.Beep(type); }
    void CursorChanged(HCURSOR cursor) override { inner_.CursorChanged(cursor); }
    SIZE ScreenSize() override { return inner_.ScreenSize(); }

private:
    luma::Driver& inner_;
    unsigned menus_ = 0;
    unsigned fileDialogs_ = 0;
};

class DialogSession {
public:
    // An action on the main dialog; it throws StepError when it cannot be done.
    using Action = std::function<void(HWND dialog)>;

    explicit DialogSession(TerminalServices& services);
    ~DialogSession();
    DialogSession(const DialogSession&) = delete;
    DialogSession& operator=(const DialogSession&) = delete;

    // Actions run in the order added; the last one closes the dialog.
    void Add(std::string description, Action action);

    // Makes the first step wait for the dialog; call just before the plug-in
    // opens it. A dialog that complains while it opens (a remembered picture
    // that cannot be read) is cancelled unless forgiving is set.
    void Start(bool forgiving = false);

    bool Failed() const { return failed_; }
    // Whether every action was taken.
    bool Completed() const { return completed_; }
    // The main dialog, once it was seen.
    HWND Dialog() const { return dialog_; }
    // What the plug-in complained of before the dialog was ready.
    std::size_t OpeningComplaints() const { return openingComplaints_; }
    // Lets the last complaints of the action under way pass without ending
    // the run.
    void Forgive(std::size_t complaints);
    // Complaints let pass: at opening when forgiving, and by actions.
    std::size_t ForgivenComplaints() const { return forgivenComplaints_; }

private:
    struct Entry {
        std::string description;
        Action action;
    };
    void Queue();
    void Step();
    void AnswerMessage(HWND box);
    void CloseStranger(HWND window);
    void Fail();

    TerminalServices& services_;
    std::deque<Entry> actions_;
    HWND dialog_ = nullptr;
    bool acting_ = false;
    bool failed_ = false;
    bool completed_ = false;
    bool cancelling_ = false;
    bool forgiving_ = false;
    std::size_t openingComplaints_ = 0;
    std::size_t forgivenComplaints_ = 0;
    std::size_t stepForgiven_ = 0;
};

// True for the plug-in's main dialog: the window with the effect list.
bool IsMainDialog(HWND window);
// True for the plug-in's message dialogs: a text 101 and their buttons.
bool IsMessageDialog(HWND window);

// The window text.
std::string WindowText(HWND window);
