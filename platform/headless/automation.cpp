// The automation API: every action is real input (mouse presses at a
// control's position, key strokes to the focus window) delivered through the
// message loop, so controls answer with the notifications Windows sends.
#include <commctrl.h>
#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "headless/headless.h"
#include "wm.h"

namespace luma::automation {
namespace {

using headless::Headless;
using headless::Step;

std::string ClassOf(HWND hwnd) {
    char name[64];
    return GetClassNameA(hwnd, name, sizeof name) ? std::string(name) : std::string();
}

bool IsClass(HWND hwnd, const char* cls) { return strcasecmp(ClassOf(hwnd).c_str(), cls) == 0; }

std::string TextOf(HWND hwnd) {
    int n = GetWindowTextLengthA(hwnd);
    std::string s(static_cast<size_t>(std::max(n, 0)) + 1, '\0');
    GetWindowTextA(hwnd, s.data(), n + 1);
    s.resize(std::strlen(s.c_str()));
    return s;
}

// A label as a person reads it: no mnemonic marks, no trailing colon, no case.
std::string Normalize(const std::string& text) {
    std::string out;
    for (char c : text)
        if (c != '&') out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    auto trim = [&out] {
        while (!out.empty() && std::isspace(static_cast<unsigned char>(out.back()))) out.pop_back();
        size_t start = 0;
        while (start < out.size() && std::isspace(static_cast<unsigned char>(out[start]))) ++start;
        out.erase(0, start);
    };
    trim();
    if (!out.empty() && out.back() == ':') out.pop_back();
    trim();
    return out;
}

void Descendants(HWND root, std::vector<HWND>& out) {
    for (HWND child : wm::ChildrenOf(root)) {
        out.push_back(child);
        Descendants(child, out);
    }
}

HWND FindById(HWND root, int id, bool visibleOnly) {
    std::vector<HWND> all;
    Descendants(root, all);
    for (HWND h : all)
        if (GetDlgCtrlID(h) == id && (!visibleOnly || IsWindowVisible(h))) return h;
    return nullptr;
}

HWND FindByLabel(HWND root, const std::string& label, bool visibleOnly) {
    std::string wanted = Normalize(label);
    std::vector<HWND> all;
    Descendants(root, all);
    for (HWND h : all) {
        if (visibleOnly && !IsWindowVisible(h)) continue;
        if (Normalize(TextOf(h)) != wanted) continue;
        if (!IsClass(h, "Static")) return h;
        // A static text names the control that stands after it.
        for (HWND next = GetWindow(h, GW_HWNDNEXT); next; next = GetWindow(next, GW_HWNDNEXT)) {
            if (visibleOnly && !IsWindowVisible(next)) continue;
            return next;
        }
    }
    return nullptr;
}

POINT ScreenPoint(HWND hwnd, POINT client) {
    ClientToScreen(hwnd, &client);
    return client;
}

POINT Center(HWND hwnd) {
    RECT r;
    GetClientRect(hwnd, &r);
    return ScreenPoint(hwnd, POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
}

bool Operable(HWND hwnd) { return hwnd && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd); }

void PressAt(POINT screen, bool allowDoubleClick) {
    InjectMouse(MouseAction::kMove, screen);
    InjectMouse(MouseAction::kLeftDown, screen, allowDoubleClick);
    InjectMouse(MouseAction::kLeftUp, screen);
}

UINT KeyFor(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    if (std::isalpha(u) && u < 128) return static_cast<UINT>(std::toupper(u));
    if (std::isdigit(u)) return u;
    if (c == ' ') return VK_SPACE;
    return VK_PACKET;
}

void Stroke(UINT key, char character = 0) {
    InjectKey(key, true, character);
    InjectKey(key, false, character);
}

// The actions below only queue input; the caller delivers it (Pump or a modal loop).

bool DoClick(const Target& target, HWND root, bool twice) {
    HWND h = target.Resolve(root);
    if (!Operable(h)) return false;
    PressAt(Center(h), false);
    if (twice) {
        POINT p = Center(h);
        InjectMouse(MouseAction::kLeftDown, p, true);
        InjectMouse(MouseAction::kLeftUp, p);
    }
    return true;
}

bool DoSetCheck(const Target& target, HWND root, bool checked) {
    HWND h = target.Resolve(root);
    if (!Operable(h) || !IsClass(h, "Button")) return false;
    LONG type = GetWindowLongA(h, GWL_STYLE) & BS_TYPEMASK;
    bool checkable = type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON ||
                     type == BS_3STATE || type == BS_AUTO3STATE || type == BS_AUTORADIOBUTTON;
    if (!checkable) return false;
    LRESULT state = SendMessageA(h, BM_GETCHECK, 0, 0);
    if ((state == BST_CHECKED) == checked) return true;
    PressAt(Center(h), false);
    return true;
}

bool DoSelectItem(const Target& target, HWND root, const std::string& text) {
    HWND h = target.Resolve(root);
    if (!Operable(h) || !IsClass(h, "ComboBox")) return false;
    LRESULT index = SendMessageA(h, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text.c_str()));
    if (index == CB_ERR) return false;
    // Open the list, bring the item into view as a person would scroll, and press it.
    // The list must be open first: opening it scrolls to the current selection.
    PressAt(Center(h), false);
    Pump();
    if (!IsWindow(h) || !SendMessageA(h, CB_GETDROPPEDSTATE, 0, 0)) return false;
    RECT dropped;
    SendMessageA(h, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped));
    RECT mine;
    GetWindowRect(h, &mine);
    int itemHeight = static_cast<int>(SendMessageA(h, CB_GETITEMHEIGHT, 0, 0));
    if (itemHeight <= 0) itemHeight = 13;
    int listTop = mine.bottom;
    int visible = std::max(1, (static_cast<int>(dropped.bottom) - listTop - 2) / itemHeight);
    int top = static_cast<int>(SendMessageA(h, CB_GETTOPINDEX, 0, 0));
    if (index < top || index >= top + visible) {
        top = static_cast<int>(index);
        SendMessageA(h, CB_SETTOPINDEX, static_cast<WPARAM>(top), 0);
    }
    POINT item{(mine.left + mine.right) / 2, listTop + 1 + static_cast<int>(index - top) * itemHeight + itemHeight / 2};
    InjectMouse(MouseAction::kMove, item);
    InjectMouse(MouseAction::kLeftDown, item, false);
    InjectMouse(MouseAction::kLeftUp, item);
    return true;
}

bool DoType(const Target& target, HWND root, const std::string& text) {
    HWND h = target.Resolve(root);
    if (!Operable(h) || !IsClass(h, "Edit")) return false;
    PressAt(Center(h), false);
    // Select everything, then type over it.
    bool shiftHeld = GetKeyState(VK_SHIFT) < 0;
    if (shiftHeld) SetKeyDown(VK_SHIFT, false);
    Stroke(VK_HOME);
    InjectKey(VK_SHIFT, true);
    Stroke(VK_END);
    InjectKey(VK_SHIFT, false);
    if (text.empty()) Stroke(VK_DELETE);
    for (char c : text) Stroke(KeyFor(c), c);
    if (shiftHeld) InjectKey(VK_SHIFT, true);
    return true;
}

HWND UpDownFor(HWND h) {
    if (IsClass(h, UPDOWN_CLASSA)) return h;
    HWND parent = GetParent(h);
    for (HWND s : wm::ChildrenOf(parent))
        if (IsClass(s, UPDOWN_CLASSA) && reinterpret_cast<HWND>(SendMessageA(s, UDM_GETBUDDY, 0, 0)) == h) return s;
    return nullptr;
}

bool DoSpin(const Target& target, HWND root, int steps) {
    HWND h = target.Resolve(root);
    HWND updown = h ? UpDownFor(h) : nullptr;
    if (!Operable(updown)) return false;
    RECT r;
    GetClientRect(updown, &r);
    bool horizontal = GetWindowLongA(updown, GWL_STYLE) & UDS_HORZ;
    POINT up = horizontal ? POINT{r.right * 3 / 4, r.bottom / 2} : POINT{r.right / 2, r.bottom / 4};
    POINT down = horizontal ? POINT{r.right / 4, r.bottom / 2} : POINT{r.right / 2, r.bottom * 3 / 4};
    POINT where = ScreenPoint(updown, steps > 0 ? up : down);
    for (int i = 0; i < std::abs(steps); ++i) PressAt(where, false);
    return true;
}

bool DoMouse(const Target& target, HWND root, POINT client, MouseAction action) {
    HWND h = target.Resolve(root);
    if (!h || !IsWindowVisible(h)) return false;
    POINT p = ScreenPoint(h, client);
    if (action != MouseAction::kMove) InjectMouse(MouseAction::kMove, p);
    InjectMouse(action, p, false);
    return true;
}

bool DoPressKey(UINT key) {
    Stroke(key);
    return true;
}

template <typename F>
bool Deliver(F action) {
    bool ok = action();
    Pump();
    return ok;
}

void PushStep(std::string description, std::function<bool()> run) {
    Step step;
    step.description = std::move(description);
    step.run = std::move(run);
    Headless().script.push_back(std::move(step));
}

}  // namespace

HWND Target::Resolve(HWND root) const {
    if (hwnd_) return IsWindow(hwnd_) ? hwnd_ : nullptr;
    if (!root) root = ActiveWindow();
    if (!root) return nullptr;
    if (!label_.empty()) {
        if (HWND h = FindByLabel(root, label_, true)) return h;
        return FindByLabel(root, label_, false);
    }
    if (HWND h = FindById(root, id_, true)) return h;
    return FindById(root, id_, false);
}

std::string Target::Describe() const {
    if (hwnd_) return "window " + std::to_string(reinterpret_cast<uintptr_t>(hwnd_));
    if (!label_.empty()) return "\"" + label_ + "\"";
    return "control " + std::to_string(id_);
}

HWND ActiveWindow() {
    HWND active = GetActiveWindow();
    if (active && IsWindowVisible(active) && IsWindowEnabled(active)) return active;
    for (HWND top : wm::TopLevelWindows())
        if (IsWindowVisible(top) && IsWindowEnabled(top)) return top;
    return nullptr;
}

HWND Find(const Target& target, HWND root) { return target.Resolve(root); }

bool Click(const Target& target, HWND root) { return Deliver([&] { return DoClick(target, root, false); }); }
bool DoubleClick(const Target& target, HWND root) { return Deliver([&] { return DoClick(target, root, true); }); }
bool SetCheck(const Target& target, bool checked, HWND root) {
    return Deliver([&] { return DoSetCheck(target, root, checked); });
}
bool SelectItem(const Target& target, const std::string& text, HWND root) {
    return Deliver([&] { return DoSelectItem(target, root, text); });
}
bool Type(const Target& target, const std::string& text, HWND root) {
    return Deliver([&] { return DoType(target, root, text); });
}
bool Spin(const Target& target, int steps, HWND root) { return Deliver([&] { return DoSpin(target, root, steps); }); }
bool PressKey(UINT virtualKey) { return Deliver([&] { return DoPressKey(virtualKey); }); }
bool MouseDown(const Target& target, POINT client, HWND root) {
    return Deliver([&] { return DoMouse(target, root, client, MouseAction::kLeftDown); });
}
bool MouseMove(const Target& target, POINT client, HWND root) {
    return Deliver([&] { return DoMouse(target, root, client, MouseAction::kMove); });
}
bool MouseUp(const Target& target, POINT client, HWND root) {
    return Deliver([&] { return DoMouse(target, root, client, MouseAction::kLeftUp); });
}

void HoldShift(bool held) { SetKeyDown(VK_SHIFT, held); }

void AnswerNextMenu(UINT id) { Headless().menuAnswers.push_back(headless::MenuAnswer{id}); }
void AnswerNextMenu(const std::string& itemText) { Headless().menuAnswers.push_back(headless::MenuAnswer{itemText}); }
void DismissNextMenu() { Headless().menuAnswers.push_back(headless::MenuAnswer{}); }
void AnswerNextFileDialog(const std::string& path) { Headless().fileAnswers.push_back(headless::FileAnswer{path}); }
void CancelNextFileDialog() { Headless().fileAnswers.push_back(headless::FileAnswer{}); }

void Pump() {
    // A window that posts itself a message for every message it gets would
    // keep the queue busy forever; stop after a generous count and say so.
    for (int delivered = 0; wm::PumpOne(); ++delivered) {
        if (delivered > 1000000) {
            headless::NoteEvent("messages kept coming; delivery stopped after a million");
            return;
        }
    }
}

void Wait(unsigned ms) {
    auto& driver = Headless();
    unsigned long long target = driver.Now() + ms;
    Pump();
    // Each round delivers the timers due at the earliest time still ahead.
    for (int rounds = 0; rounds < 10000000; ++rounds) {
        auto due = wm::NextTimerDue();
        if (!due || *due > target) break;
        if (*due <= driver.Now() && rounds > 0) break;  // could not be delivered
        driver.Advance(*due);
        Pump();
    }
    driver.Advance(target);
    Pump();
}

Script& Script::Click(const Target& target) {
    PushStep("click " + target.Describe(), [target] { return DoClick(target, nullptr, false); });
    return *this;
}
Script& Script::DoubleClick(const Target& target) {
    PushStep("double-click " + target.Describe(), [target] { return DoClick(target, nullptr, true); });
    return *this;
}
Script& Script::SetCheck(const Target& target, bool checked) {
    PushStep((checked ? "check " : "uncheck ") + target.Describe(),
             [target, checked] { return DoSetCheck(target, nullptr, checked); });
    return *this;
}
Script& Script::SelectItem(const Target& target, const std::string& text) {
    PushStep("select \"" + text + "\" in " + target.Describe(),
             [target, text] { return DoSelectItem(target, nullptr, text); });
    return *this;
}
Script& Script::Type(const Target& target, const std::string& text) {
    PushStep("type \"" + text + "\" into " + target.Describe(), [target, text] { return DoType(target, nullptr, text); });
    return *this;
}
Script& Script::Spin(const Target& target, int steps) {
    PushStep("spin " + target.Describe() + " by " + std::to_string(steps),
             [target, steps] { return DoSpin(target, nullptr, steps); });
    return *this;
}
Script& Script::PressKey(UINT virtualKey) {
    PushStep("press key " + std::to_string(virtualKey), [virtualKey] { return DoPressKey(virtualKey); });
    return *this;
}
Script& Script::MouseDown(const Target& target, POINT client) {
    PushStep("mouse down on " + target.Describe(),
             [target, client] { return DoMouse(target, nullptr, client, MouseAction::kLeftDown); });
    return *this;
}
Script& Script::MouseMove(const Target& target, POINT client) {
    PushStep("mouse move on " + target.Describe(),
             [target, client] { return DoMouse(target, nullptr, client, MouseAction::kMove); });
    return *this;
}
Script& Script::MouseUp(const Target& target, POINT client) {
    PushStep("mouse up on " + target.Describe(),
             [target, client] { return DoMouse(target, nullptr, client, MouseAction::kLeftUp); });
    return *this;
}
Script& Script::HoldShift(bool held) {
    PushStep(held ? "hold Shift" : "release Shift", [held] {
        SetKeyDown(VK_SHIFT, held);
        return true;
    });
    return *this;
}
Script& Script::AnswerNextMenu(UINT id) {
    Step step;
    step.description = "answer the next menu with item " + std::to_string(id);
    step.menu = headless::MenuAnswer{id};
    Headless().script.push_back(std::move(step));
    return *this;
}
Script& Script::AnswerNextMenu(const std::string& itemText) {
    Step step;
    step.description = "answer the next menu with \"" + itemText + "\"";
    step.menu = headless::MenuAnswer{itemText};
    Headless().script.push_back(std::move(step));
    return *this;
}
Script& Script::AnswerNextFileDialog(const std::string& path) {
    Step step;
    step.description = "answer the next file dialog with \"" + path + "\"";
    step.file = headless::FileAnswer{path};
    Headless().script.push_back(std::move(step));
    return *this;
}
Script& Script::CancelNextFileDialog() {
    Step step;
    step.description = "cancel the next file dialog";
    step.file = headless::FileAnswer{};
    Headless().script.push_back(std::move(step));
    return *this;
}
Script& Script::Wait(unsigned ms) {
    PushStep("wait " + std::to_string(ms) + " ms", [ms] {
        auto& d = Headless();
        d.waitingUntil = d.Now() + ms;
        return true;
    });
    return *this;
}
Script& Script::Do(std::string description, std::function<bool()> step) {
    PushStep(std::move(description), std::move(step));
    return *this;
}

bool Script::Empty() const { return Headless().script.empty(); }
size_t Script::Size() const { return Headless().script.size(); }
void Script::Clear() { Headless().script.clear(); }

Script& CurrentScript() {
    static Script script;
    return script;
}

const Report& GetReport() { return Headless().report; }

void Reset() {
    auto& d = Headless();
    d.script.clear();
    d.menuAnswers.clear();
    d.fileAnswers.clear();
    d.waitingUntil.reset();
    d.report = Report{};
    for (UINT key = 0; key < 256; ++key) SetKeyDown(key, false);
}

unsigned long long Now() { return Headless().Now(); }

}  // namespace luma::automation
