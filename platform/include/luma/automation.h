// Operating windows as a person would, without a display: find controls by
// id or label, click, check, choose list items, type, spin, drag, hold Shift,
// answer menus and file dialogs, let virtual time pass, and take pictures of
// windows. Each immediate call acts and then delivers every message it caused;
// a Script holds the same steps for the message loop of a modal dialog, which
// runs one step each time it has nothing else to do. When a script is used up
// and nothing is queued, a modal dialog ends as Cancel would and the report
// says so: nothing ever waits for input that cannot come.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace luma::automation {

// A control named by handle, by id or by its label. A label matches a
// control's own text (buttons, check boxes) or a static text standing
// directly before the control; case, "&" and a trailing ":" are ignored.
class Target {
public:
    Target(HWND hwnd) : hwnd_(hwnd) {}
    Target(int id) : id_(id) {}
    Target(const char* label) : label_(label ? label : "") {}
    Target(std::string label) : label_(std::move(label)) {}

    // The control within root (null: the active window); null when absent.
    HWND Resolve(HWND root = nullptr) const;
    std::string Describe() const;

private:
    HWND hwnd_ = nullptr;
    int id_ = 0;
    std::string label_;
};

// The top-most enabled, visible top-level window: where input goes.
HWND ActiveWindow();

// The control a target names, or null.
HWND Find(const Target& target, HWND root = nullptr);

// Immediate actions. Each returns false when its control cannot be found or
// cannot take the action (hidden, disabled, wrong kind).
bool Click(const Target& target, HWND root = nullptr);
bool DoubleClick(const Target& target, HWND root = nullptr);
bool SetCheck(const Target& target, bool checked, HWND root = nullptr);
bool SelectItem(const Target& target, const std::string& text, HWND root = nullptr);
bool Type(const Target& target, const std::string& text, HWND root = nullptr);  // replaces the text
bool Spin(const Target& target, int steps, HWND root = nullptr);  // up-down control or its buddy; > 0 up
bool PressKey(UINT virtualKey);  // to the focus window
bool MouseDown(const Target& target, POINT client, HWND root = nullptr);
bool MouseMove(const Target& target, POINT client, HWND root = nullptr);
bool MouseUp(const Target& target, POINT client, HWND root = nullptr);
void HoldShift(bool held);

// Answers for the next popup menu (by item id or text) and file dialog.
void AnswerNextMenu(UINT id);
void AnswerNextMenu(const std::string& itemText);
void DismissNextMenu();
void AnswerNextFileDialog(const std::string& path);
void CancelNextFileDialog();

// Lets ms milliseconds of virtual time pass, delivering timers as they fall due.
void Wait(unsigned ms);

// Delivers every queued message, paint and due timer; returns when idle.
void Pump();

// The window and its visible children as a 24-bit PackedDib (bottom-up rows,
// 40-byte header, global block owned by the caller), as the screen would
// show it once every pending paint is done. Null when hwnd is no window or
// is not visible (a hidden window has no pixels on the screen).
HGLOBAL Render(HWND hwnd);

// The steps a modal dialog's loop runs while idle.
class Script {
public:
    Script& Click(const Target& target);
    Script& DoubleClick(const Target& target);
    Script& SetCheck(const Target& target, bool checked);
    Script& SelectItem(const Target& target, const std::string& text);
    Script& Type(const Target& target, const std::string& text);
    Script& Spin(const Target& target, int steps);
    Script& PressKey(UINT virtualKey);
    Script& MouseDown(const Target& target, POINT client);
    Script& MouseMove(const Target& target, POINT client);
    Script& MouseUp(const Target& target, POINT client);
    Script& HoldShift(bool held);
    Script& AnswerNextMenu(UINT id);
    Script& AnswerNextMenu(const std::string& itemText);
    Script& AnswerNextFileDialog(const std::string& path);
    Script& CancelNextFileDialog();
    Script& Wait(unsigned ms);
    // Any other step; it returns false to report failure.
    Script& Do(std::string description, std::function<bool()> step);

    bool Empty() const;
    size_t Size() const;
    void Clear();
};

// The script that modal loops consume.
Script& CurrentScript();

// What happened while the platform ran headless.
struct Report {
    bool scriptRanOut = false;           // a modal dialog was ended for lack of input
    std::vector<std::string> events;     // in order: script ran out, failed steps, unanswered menus/dialogs
    std::vector<UINT> beeps;             // MessageBeep types
    std::vector<std::string> failedSteps;
};
const Report& GetReport();

// Forgets the report, the script, pending answers and held keys (not the clock).
void Reset();

// Milliseconds of virtual time since the process started.
unsigned long long Now();

}  // namespace luma::automation
