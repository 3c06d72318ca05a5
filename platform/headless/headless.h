// Inside the headless driver: the virtual clock, the automation script and
// the answers it holds for menus and file dialogs, and the report.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <variant>

#include "luma/automation.h"
#include "luma/driver.h"

namespace luma::headless {

struct MenuAnswer {
    std::variant<std::monostate, UINT, std::string> item;  // monostate: dismiss
};

struct FileAnswer {
    std::optional<std::string> path;  // none: cancel
};

struct Step {
    std::string description;
    std::function<bool()> run;
    std::optional<MenuAnswer> menu;  // answer steps are also taken when a menu or dialog opens
    std::optional<FileAnswer> file;
};

class HeadlessDriver final : public Driver {
public:
    unsigned long long Now() override { return now_; }
    WaitResult WaitForInput(HWND modal, std::optional<unsigned long long> deadline) override;
    UINT PopupMenu(const PopupMenuRequest& request) override;
    std::optional<FileDialogAnswer> FileDialog(const FileDialogRequest& request) override;
    void Beep(UINT type) override;

    // Moves the clock forward (never back).
    void Advance(unsigned long long to) {
        if (to > now_) now_ = to;
    }

    std::deque<Step> script;
    std::deque<MenuAnswer> menuAnswers;
    std::deque<FileAnswer> fileAnswers;
    std::optional<unsigned long long> waitingUntil;  // a Wait step in progress
    automation::Report report;

private:
    unsigned long long now_ = 0;
};

HeadlessDriver& Headless();

// Runs one script step; false when it failed (the rest of the script is dropped).
bool RunStep(Step step);

// A modal loop (modal, or GetMessage when null) found no input left.
void NoteInputExhausted(HWND modal);
void NoteEvent(std::string event);

}  // namespace luma::headless
