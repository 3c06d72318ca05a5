#include "host/cli/dialog_controls.h"

#include <commctrl.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "dialog/main_dialog.h"
#include "effects/page_tables.h"
#include "luma/automation.h"

namespace automation = luma::automation;

namespace {

// Controls whose middles lie this close (pixels) stand on one row.
constexpr LONG kRowTolerance = 4;

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return Lower(name);
}

LONG ButtonType(HWND window) { return GetWindowLongA(window, GWL_STYLE) & BS_TYPEMASK; }

bool IsCheckType(LONG type) {
    return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE ||
           type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
}

// The static text standing directly before a control names it.
std::string LabelBefore(HWND window) {
    HWND before = GetWindow(window, GW_HWNDPREV);
    if (!before || ClassOf(before) != "static") return {};
    if (IsWindowVisible(window) && !IsWindowVisible(before)) return {};
    return WindowText(before);
}

bool Named(HWND window, bool page, LabelledControl& out) {
    const std::string cls = ClassOf(window);
    out = LabelledControl{};
    out.window = window;
    if (cls == "static" || cls == UPDOWN_CLASSA) return false;
    if (cls == "edit") {
        out.kind = ControlKind::Field;
    } else if (cls == "combobox") {
        out.kind = ControlKind::List;
    } else if (cls == "button") {
        const LONG type = ButtonType(window);
        const std::string text = WindowText(window);
        if (IsCheckType(type)) {
            out.kind = ControlKind::Check;
            out.label = text;
        } else if (type == BS_OWNERDRAW) {
            // A page's owner-drawn buttons are colour buttons (their text is
            // the colour's number); the dialog's own with a text are push
            // buttons in the host's look.
            if (page) out.kind = ControlKind::Colour;
            else if (!text.empty()) out.kind = ControlKind::Button, out.label = text;
            else out.kind = ControlKind::Other;
        } else if (page) {
            out.kind = ControlKind::Pad;
        } else {
            out.kind = ControlKind::Button;
            out.label = text;
        }
    } else {
        out.kind = ControlKind::Other;
    }
    if (out.label.empty()) out.label = LabelBefore(window);
    out.label = NormalLabel(out.label).empty() ? std::string() : out.label;
    return !out.label.empty();
}

std::vector<LabelledControl> Controls(HWND dialog, bool page) {
    std::vector<LabelledControl> controls;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const int id = GetDlgCtrlID(child);
        const bool onPage = id >= kFirstPageControlId && id <= kLastPageControlId;
        if (onPage != page || (!page && (id <= 0 || id >= kFirstPageControlId))) continue;
        if (!IsWindowVisible(child)) continue;
        LabelledControl control;
        if (Named(child, page, control)) controls.push_back(control);
    }
    // The row's label: the nearest labelled control to the left on the same line.
    for (LabelledControl& control : controls) {
        RECT mine;
        GetWindowRect(control.window, &mine);
        const LONG middle = (mine.top + mine.bottom) / 2;
        LONG nearest = std::numeric_limits<LONG>::min();
        for (const LabelledControl& other : controls) {
            RECT theirs;
            GetWindowRect(other.window, &theirs);
            if (other.window == control.window || theirs.right > mine.left) continue;
            if (std::abs((theirs.top + theirs.bottom) / 2 - middle) > kRowTolerance) continue;
            if (theirs.right > nearest) {
                nearest = theirs.right;
                control.rowLabel = other.label;
            }
        }
    }
    return controls;
}

std::string Plain(const std::string& label) {
    std::string out;
    for (char c : label)
        if (c != '&') out += c;
    while (!out.empty() && (out.back() == ':' || out.back() == ' ')) out.pop_back();
    return out;
}

std::string Qualified(const LabelledControl& control) { return Plain(control.rowLabel) + " " + Plain(control.label); }

// How a person would name each setting of a place, qualified where a label repeats.
std::string Names(const std::vector<LabelledControl>& controls) {
    std::string names;
    for (const LabelledControl& control : controls) {
        if (control.kind == ControlKind::Button || control.kind == ControlKind::Other) continue;
        const bool repeated = std::count_if(controls.begin(), controls.end(), [&](const LabelledControl& other) {
                                  return NormalLabel(other.label) == NormalLabel(control.label);
                              }) > 1;
        names += (names.empty() ? "" : ", ") + (repeated && !control.rowLabel.empty() ? Qualified(control) : Plain(control.label));
    }
    return names;
}

std::string CurrentEffect(HWND dialog) {
    HWND list = GetDlgItem(dialog, kEffectList);
    LRESULT index = list ? SendMessageA(list, CB_GETCURSEL, 0, 0) : CB_ERR;
    if (index == CB_ERR) return "effect's";
    std::vector<std::string> items = ListItems(list);
    return static_cast<std::size_t>(index) < items.size() ? items[static_cast<std::size_t>(index)] : "effect's";
}

bool ParseInt(const std::string& text, long& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text.c_str(), &end, 10);
    return !*end && !errno && value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max();
}

void SetField(const LabelledControl& control, const std::string& value, TerminalServices& services) {
    const std::string name = Plain(control.label);
    HWND updown = GetDlgItem(GetParent(control.window), GetDlgCtrlID(control.window) + kSpinIdOffset);
    if (updown) {
        long number = 0;
        if (!ParseInt(value, number)) throw StepError(name + " takes a whole number, not \"" + value + "\".");
        int low = 0, high = 0;
        SendMessageA(updown, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low), reinterpret_cast<LPARAM>(&high));
        if (low <= high && (number < low || number > high))
            services.Note(name + ": " + value + " lies outside the page's range of " + std::to_string(low) + " to " +
                          std::to_string(high) + "; the effect reads " + std::to_string(number < low ? low : high) + ".");
    }
    if (!automation::Type(control.window, value)) throw StepError(name + " does not take typing here.");
    const std::string shown = WindowText(control.window);
    if (shown != value) throw StepError(name + " shows \"" + shown + "\" after \"" + value + "\" was typed.");
}

void SetColour(const LabelledControl& control, const std::string& value, TerminalServices& services) {
    const std::string name = Plain(control.label);
    COLORREF colour = 0;
    if (!ParseColour(value, colour)) throw StepError(name + " takes a colour as #rrggbb, not \"" + value + "\".");
    services.colourChoices.assign(1, colour);
    const unsigned asked = services.ColoursAsked();
    const bool clicked = automation::Click(control.window);
    const bool answered = services.colourChoices.empty();
    services.colourChoices.clear();
    if (!clicked) throw StepError("The colour button " + name + " cannot be pressed here.");
    if (services.ColoursAsked() == asked || !answered)
        throw StepError("The colour button " + name + " did not ask for a colour.");
    const std::string shown = WindowText(control.window);
    if (shown != std::to_string(colour))
        throw StepError("The colour button " + name + " holds " + shown + " after " + value + " was chosen.");
}

void SetPad(const LabelledControl& control, const std::string& value) {
    const std::string name = Plain(control.label);
    RECT client;
    GetClientRect(control.window, &client);
    // Four cells around the middle of 75 x 75 pixels, or two side by side.
    const bool fourWay = client.bottom - client.top > 30;
    const std::vector<std::string> cells = fourWay ? std::vector<std::string>{"up", "right", "left", "down"}
                                                   : std::vector<std::string>{"left", "right"};
    const POINT middles4[] = {{37, 12}, {62, 37}, {12, 37}, {37, 62}};
    const POINT middles2[] = {{12, 12}, {37, 12}};
    const std::string wanted = Lower(value);
    int cell = -1;
    for (std::size_t i = 0; i < cells.size(); ++i)
        if (wanted == cells[i] || wanted == std::to_string(i)) cell = static_cast<int>(i);
    if (cell < 0) {
        std::string choices;
        for (const std::string& c : cells) choices += (choices.empty() ? "" : ", ") + c;
        throw StepError(name + " is a direction: " + choices + ", not \"" + value + "\".");
    }
    const POINT at = fourWay ? middles4[cell] : middles2[cell];
    if (!automation::MouseDown(control.window, at) || !automation::MouseUp(control.window, at))
        throw StepError(name + " cannot be clicked here.");
    if (WindowText(control.window) != std::to_string(cell))
        throw StepError(name + " did not take " + cells[static_cast<std::size_t>(cell)] + ".");
}

}  // namespace

std::string NormalLabel(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '&') continue;
        if (std::isspace(static_cast<unsigned char>(c))) {
            if (!out.empty() && out.back() != ' ') out += ' ';
            continue;
        }
        out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    while (!out.empty() && (out.back() == ' ' || out.back() == ':')) out.pop_back();
    return out;
}

std::vector<LabelledControl> PageControls(HWND dialog) { return Controls(dialog, true); }

std::vector<LabelledControl> OwnControls(HWND dialog) { return Controls(dialog, false); }

LabelledControl FindLabelledControl(HWND dialog, const std::string& label) {
    const std::string wanted = NormalLabel(label);
    const std::vector<LabelledControl> places[] = {PageControls(dialog), OwnControls(dialog)};
    for (const std::vector<LabelledControl>& controls : places) {
        std::vector<const LabelledControl*> plain, qualified;
        for (const LabelledControl& control : controls) {
            if (NormalLabel(control.label) == wanted) plain.push_back(&control);
            if (!control.rowLabel.empty() && NormalLabel(control.rowLabel) + " " + NormalLabel(control.label) == wanted)
                qualified.push_back(&control);
        }
        for (const std::vector<const LabelledControl*>* found : {&plain, &qualified}) {
            if (found->size() == 1) return *found->front();
            if (found->size() > 1) {
                std::string which;
                for (const LabelledControl* control : *found)
                    which += (which.empty() ? "\"" : ", \"") + Qualified(*control) + "\"";
                throw StepError("\"" + label + "\" names " + std::to_string(found->size()) +
                                " controls; say which with the label of its row: " + which + ".");
            }
        }
    }
    throw StepError("Nothing on the " + CurrentEffect(dialog) + " page or in the dialog is labelled \"" + label +
                    "\". The page has: " + Names(places[0]) + ". The dialog has: " + Names(places[1]) + ".");
}

void SetControl(const LabelledControl& control, const std::string& value, TerminalServices& services) {
    const std::string name = Plain(control.label);
    switch (control.kind) {
    case ControlKind::Field:
        SetField(control, value, services);
        return;
    case ControlKind::List:
        ChooseListItem(control.window, FindListItem(control.window, value, name), name);
        return;
    case ControlKind::Check: {
        bool on = false;
        if (!ParseSwitch(value, on)) throw StepError(name + " is a check box: on or off, not \"" + value + "\".");
        SetCheckBox(control.window, on, name);
        return;
    }
    case ControlKind::Colour:
        SetColour(control, value, services);
        return;
    case ControlKind::Pad:
        SetPad(control, value);
        return;
    case ControlKind::Button:
        throw StepError(name + " is a button, not a setting.");
    case ControlKind::Other:
        throw StepError(name + " cannot be set from the command line" +
                        std::string(NormalLabel(name) == "current image" ? "; use --image." : "."));
    }
}

std::vector<std::string> ListItems(HWND list) {
    std::vector<std::string> items;
    const LRESULT count = SendMessageA(list, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = SendMessageA(list, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
        std::string text(static_cast<std::size_t>(std::max<LRESULT>(length, 0)) + 1, '\0');
        SendMessageA(list, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
        text.resize(std::strlen(text.c_str()));
        items.push_back(text);
    }
    return items;
}

int FindListItem(HWND list, const std::string& wanted, const std::string& what) {
    const std::vector<std::string> items = ListItems(list);
    const std::string key = NormalLabel(wanted);
    int prefixed = -1, prefixCount = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const std::string item = NormalLabel(items[i]);
        if (item == key) return static_cast<int>(i);
        if (!key.empty() && item.compare(0, key.size(), key) == 0) prefixed = static_cast<int>(i), ++prefixCount;
    }
    if (prefixCount == 1) return prefixed;
    std::string choices;
    for (const std::string& item : items) choices += (choices.empty() ? "" : ", ") + item;
    throw StepError(what + (prefixCount > 1 ? " has several items beginning with \"" : " has no item \"") + wanted +
                    "\"; it offers " + (choices.empty() ? "nothing" : choices) + ".");
}

void ChooseListItem(HWND list, int index, const std::string& what) {
    const std::vector<std::string> items = ListItems(list);
    if (index < 0 || static_cast<std::size_t>(index) >= items.size()) throw StepError(what + " has no such item.");
    if (!automation::SelectItem(list, items[static_cast<std::size_t>(index)]))
        throw StepError(what + " cannot be chosen from here" + std::string(IsWindowEnabled(list) ? "." : ": it is disabled."));
    if (SendMessageA(list, CB_GETCURSEL, 0, 0) != index)
        throw StepError(what + " did not take \"" + items[static_cast<std::size_t>(index)] + "\".");
}

void SetCheckBox(HWND box, bool checked, const std::string& what) {
    const bool now = SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
    if (now == checked) return;
    if (!IsWindowEnabled(box))
        throw StepError(what + " cannot be " + (checked ? "checked" : "cleared") + " here: it is disabled.");
    if (!automation::SetCheck(box, checked)) throw StepError(what + " cannot be " + (checked ? "checked." : "cleared."));
    if ((SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED) != checked)
        throw StepError(what + " did not take the " + (checked ? "check." : "clearing."));
}

HWND DialogItem(HWND dialog, int id, const std::string& what) {
    HWND item = GetDlgItem(dialog, id);
    if (!item) throw StepError("The dialog has no " + what + ".");
    return item;
}

HWND DialogButton(HWND dialog, const std::string& label) {
    for (const LabelledControl& control : OwnControls(dialog))
        if (control.kind == ControlKind::Button && NormalLabel(control.label) == NormalLabel(label)) return control.window;
    throw StepError("The dialog has no " + label + " button.");
}

void ClickButton(HWND button, const std::string& what) {
    if (!automation::Click(button))
        throw StepError("The " + what + " button cannot be pressed" +
                        std::string(IsWindowEnabled(button) ? "." : ": it is disabled."));
}

bool ParseColour(const std::string& text, COLORREF& colour) {
    if (text.size() != 7 || text[0] != '#') return false;
    unsigned value = 0;
    for (std::size_t i = 1; i < 7; ++i) {
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
        value = value * 16 + static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : c - 'a' + 10);
    }
    colour = RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
    return true;
}

bool ParseSwitch(const std::string& text, bool& on) {
    const std::string word = Lower(text);
    if (word == "on" || word == "yes" || word == "true" || word == "1" || word == "checked") return on = true, true;
    if (word == "off" || word == "no" || word == "false" || word == "0" || word == "unchecked") return on = false, true;
    return false;
}
