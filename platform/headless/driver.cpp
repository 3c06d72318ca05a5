// The headless driver: nothing is shown, time is virtual and moves only when
// a script or a test says so, input comes from the automation script, and a
// used-up script tells every waiting loop that no input will come.
#include "headless/headless.h"

#include <strings.h>

#include <algorithm>

namespace luma {
namespace {

Driver* installed = nullptr;

}  // namespace

Driver& CurrentDriver() { return installed ? *installed : headless::Headless(); }

void SetDriver(Driver* driver) { installed = driver; }

}  // namespace luma

namespace luma::headless {
namespace {

std::string Plain(const std::string& text) {
    std::string out;
    for (char c : text)
        if (c != '&') out += c;
    // A menu item's accelerator text after a tab is not part of its name.
    auto tab = out.find('\t');
    if (tab != std::string::npos) out.erase(tab);
    return out;
}

const PopupMenuItem* FindItem(const std::vector<PopupMenuItem>& items, const MenuAnswer& answer) {
    for (const PopupMenuItem& item : items) {
        if (item.separator) continue;
        if (!item.submenu.empty()) {
            if (const PopupMenuItem* found = FindItem(item.submenu, answer)) return found;
            continue;
        }
        if (const UINT* id = std::get_if<UINT>(&answer.item)) {
            if (item.id == *id) return &item;
        } else if (const std::string* text = std::get_if<std::string>(&answer.item)) {
            if (strcasecmp(Plain(item.text).c_str(), Plain(*text).c_str()) == 0) return &item;
        }
    }
    return nullptr;
}

std::string Describe(const MenuAnswer& answer) {
    if (const UINT* id = std::get_if<UINT>(&answer.item)) return "item " + std::to_string(*id);
    if (const std::string* text = std::get_if<std::string>(&answer.item)) return "\"" + *text + "\"";
    return "dismiss";
}

}  // namespace

HeadlessDriver& Headless() {
    static HeadlessDriver* driver = new HeadlessDriver;
    return *driver;
}

WaitResult HeadlessDriver::WaitForInput(HWND, std::optional<unsigned long long> deadline) {
    if (waitingUntil) {
        if (deadline && *deadline < *waitingUntil) {
            Advance(*deadline);
            return WaitResult::kReady;
        }
        Advance(*waitingUntil);
        waitingUntil.reset();
        return WaitResult::kReady;
    }
    if (script.empty()) return WaitResult::kExhausted;
    Step step = std::move(script.front());
    script.pop_front();
    RunStep(std::move(step));
    return WaitResult::kReady;
}

UINT HeadlessDriver::PopupMenu(const PopupMenuRequest& request) {
    MenuAnswer answer;
    if (!menuAnswers.empty()) {
        answer = menuAnswers.front();
        menuAnswers.pop_front();
    } else if (!script.empty() && script.front().menu) {
        answer = *script.front().menu;
        script.pop_front();
    } else {
        NoteEvent("a popup menu was dismissed: no answer was given");
        return 0;
    }
    if (std::holds_alternative<std::monostate>(answer.item)) return 0;
    const PopupMenuItem* item = FindItem(request.items, answer);
    if (!item) {
        NoteEvent("the popup menu has no " + Describe(answer) + "; dismissed");
        return 0;
    }
    if (item->grayed) {
        NoteEvent("the menu item " + Describe(answer) + " is disabled; dismissed");
        return 0;
    }
    return item->id;
}

std::optional<FileDialogAnswer> HeadlessDriver::FileDialog(const FileDialogRequest& request) {
    FileAnswer answer;
    if (!fileAnswers.empty()) {
        answer = fileAnswers.front();
        fileAnswers.pop_front();
    } else if (!script.empty() && script.front().file) {
        answer = *script.front().file;
        script.pop_front();
    } else {
        NoteEvent(std::string("a file ") + (request.save ? "save" : "open") +
                  " dialog was cancelled: no answer was given");
        return std::nullopt;
    }
    if (!answer.path) return std::nullopt;
    FileDialogAnswer out;
    out.path = *answer.path;
    return out;
}

void HeadlessDriver::Beep(UINT type) { report.beeps.push_back(type); }

bool RunStep(Step step) {
    HeadlessDriver& d = Headless();
    if (step.menu) {
        d.menuAnswers.push_back(*step.menu);
        return true;
    }
    if (step.file) {
        d.fileAnswers.push_back(*step.file);
        return true;
    }
    bool ok = step.run ? step.run() : true;
    if (!ok) {
        d.report.failedSteps.push_back(step.description);
        NoteEvent("script step failed: " + step.description + "; the rest of the script was dropped");
        d.script.clear();
        d.waitingUntil.reset();
    }
    return ok;
}

void NoteInputExhausted(HWND modal) {
    HeadlessDriver& d = Headless();
    d.report.scriptRanOut = true;
    std::string what = "a message loop";
    if (modal && IsWindow(modal)) {
        char caption[256];
        GetWindowTextA(modal, caption, sizeof caption);
        what = caption[0] ? "the dialog \"" + std::string(caption) + "\"" : "a dialog";
    }
    NoteEvent("the script ran out while " + what + " waited for input; ended as Cancel");
}

void NoteEvent(std::string event) { Headless().report.events.push_back(std::move(event)); }

}  // namespace luma::headless
